#pragma once
#include <cstdint>

namespace kelvox::platform {

// Milliseconds since system start, wrapping at 2^32 (GetTickCount).
uint32_t TickCount();
// The multimedia timer's milliseconds (timeGetTime); wraps like TickCount.
uint32_t MultimediaTime();
void SleepMs(uint32_t ms);

// Raises the system timer resolution to 1 ms for its lifetime, so short sleeps and waits are short.
class TimerResolution {
public:
    TimerResolution();
    ~TimerResolution();
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;
};

}  // namespace kelvox::platform
