#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace kelvox::platform {

NamedLock::NamedLock(std::string name) : name_(std::move(name)) {
    os_ = shm_open(("/" + name_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
}

NamedLock::~NamedLock() {
    if (os_ >= 0) close(static_cast<int>(os_));
}

bool NamedLock::Lock(uint32_t timeout_ms) {
    local_.lock();
    held_ = false;
    if (os_ < 0) return false;
    // flock has no timed form: poll, briefly.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (flock(static_cast<int>(os_), LOCK_EX | LOCK_NB) == 0) return held_ = true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void NamedLock::Unlock() {
    if (held_) flock(static_cast<int>(os_), LOCK_UN);
    held_ = false;
    local_.unlock();
}

}  // namespace kelvox::platform
