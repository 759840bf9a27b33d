#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace kelvox::platform {

namespace {
uint32_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

uint32_t TickCount() { return SteadyMs(); }
uint32_t MultimediaTime() { return SteadyMs(); }
void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Linux timers are already fine-grained.
TimerResolution::TimerResolution() = default;
TimerResolution::~TimerResolution() = default;

}  // namespace kelvox::platform
