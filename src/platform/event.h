#pragma once
// A Win32-style event: auto-reset (one waiter released per Set) or manual-reset.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kelvox::platform {

class Event {
public:
    enum class Reset { Auto, Manual };
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    explicit Event(Reset reset = Reset::Auto, bool initially_set = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within timeout_ms (kInfinite waits without limit).
    bool Wait(uint32_t timeout_ms = kInfinite);
    bool IsSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    const bool manual_;
    bool signalled_;
};

}  // namespace kelvox::platform
