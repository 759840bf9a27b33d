#include "platform/named_lock.h"

#include <windows.h>

namespace kelvox::platform {

NamedLock::NamedLock(std::string name) : name_(std::move(name)) {
    HANDLE h = CreateMutexA(nullptr, FALSE, name_.c_str());
    os_ = h ? reinterpret_cast<intptr_t>(h) : -1;
}

NamedLock::~NamedLock() {
    if (os_ != -1) CloseHandle(reinterpret_cast<HANDLE>(os_));
}

bool NamedLock::Lock(uint32_t timeout_ms) {
    local_.lock();
    held_ = false;
    if (os_ != -1) {
        // An abandoned mutex (its holder died) is ours all the same.
        const DWORD r = WaitForSingleObject(reinterpret_cast<HANDLE>(os_), timeout_ms);
        held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    return held_;
}

void NamedLock::Unlock() {
    if (held_) ReleaseMutex(reinterpret_cast<HANDLE>(os_));
    held_ = false;
    local_.unlock();
}

}  // namespace kelvox::platform
