#pragma once
// A lock shared by every process of the machine that uses the same name (a named mutex on
// Windows, an flock'ed file on Linux), and by the threads of this process. A holder that dies
// releases it. Acquiring gives up after a bound, so a stuck holder elsewhere cannot hang us.
#include <cstdint>
#include <mutex>
#include <string>

namespace kelvox::platform {

class NamedLock {
public:
    explicit NamedLock(std::string name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // True when the lock is held across processes; false when it could not be had within the
    // bound (the caller then goes on holding only the in-process part).
    bool Lock(uint32_t timeout_ms = 5000);
    void Unlock();

private:
    std::string name_;
    std::mutex local_;
    bool held_ = false;
    intptr_t os_ = -1;  // the mutex handle, or the lock file's descriptor
};

// Holds a NamedLock for a scope.
class NamedLockGuard {
public:
    explicit NamedLockGuard(NamedLock& lock) : lock_(lock) { lock_.Lock(); }
    ~NamedLockGuard() { lock_.Unlock(); }
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;

private:
    NamedLock& lock_;
};

}  // namespace kelvox::platform
