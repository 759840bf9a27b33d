#include "platform/event.h"

namespace kelvox::platform {

Event::Event(enum Reset reset, bool initially_set)
    : manual_(reset == Reset::Manual), signalled_(initially_set) {}

// Notifies under the lock: a waiter may destroy the event as soon as its wait returns, which it
// cannot do before Set has let go of the event.
void Event::Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    if (manual_) cv_.notify_all();
    else cv_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return signalled_;
}

bool Event::Wait(uint32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ready = [this] { return signalled_; };
    if (timeout_ms == 0) {  // a poll: some thread libraries round a zero timed wait up to a tick
        if (!signalled_) return false;
    } else if (timeout_ms == kInfinite) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
        return false;
    }
    if (!manual_) signalled_ = false;
    return true;
}

}  // namespace kelvox::platform
