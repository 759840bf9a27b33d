#pragma once
#include <array>
#include <mutex>

namespace kelvox {

// The last 20 error codes of a session, newest first. The frame thread records errors while
// host threads pop them, so the shifts are done under a lock of its own.
class ErrorHistory {
public:
    static constexpr int kDepth = 20;

    // Newest goes to entry 0; the oldest entry falls off the end.
    void Push(int code);
    // Returns entry 0 and moves the rest up, leaving 0 at the end.
    int Pop();

private:
    std::mutex mutex_;
    std::array<int, kDepth> codes_{};
};

}  // namespace kelvox
