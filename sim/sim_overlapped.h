#pragma once
// The OVERLAPPED of sim builds: an auto-reset event plus the request's outcome.
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/driver.h"
#include "platform/event.h"

namespace kelvox::sim {

class SimCamera;

class SimOverlapped final : public platform::Overlapped {
public:
    SimOverlapped() = default;
    // Going away while a request is pending takes the request with it.
    ~SimOverlapped() override;

    // The camera a request of this overlapped was last given to.
    void set_camera(const std::shared_ptr<SimCamera>& camera) {
        std::lock_guard<std::mutex> lock(mutex_);
        camera_ = camera;
    }
    platform::WaitResult Wait(uint32_t timeout_ms) override {
        return event_.Wait(timeout_ms) ? platform::WaitResult::Signalled : platform::WaitResult::TimedOut;
    }

    void Begin() {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = false;
        bytes_ = 0;
        error_ = platform::kErrorIoPending;
    }
    // Everything under the lock: the owner may destroy this as soon as it sees the request done,
    // and its destructor takes the lock first.
    void Complete(uint32_t bytes, uint32_t error) {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
        bytes_ = bytes;
        error_ = error;
        done_cv_.notify_all();
        event_.Set();
    }
    // GetOverlappedResult: false with kErrorIoIncomplete while pending and not waiting.
    bool Result(bool wait, uint32_t* bytes, uint32_t* error) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait) done_cv_.wait(lock, [this] { return done_; });
        if (!done_) {
            *error = platform::kErrorIoIncomplete;
            return false;
        }
        if (bytes) *bytes = bytes_;
        *error = error_;
        return error_ == platform::kErrorSuccess;
    }
    bool done() {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_;
    }

private:
    platform::Event event_{platform::Event::Reset::Auto};
    std::mutex mutex_;
    std::condition_variable done_cv_;
    std::weak_ptr<SimCamera> camera_;
    bool done_ = true;
    uint32_t bytes_ = 0;
    uint32_t error_ = 0;
};

}  // namespace kelvox::sim
