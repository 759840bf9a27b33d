#pragma once
// Working memory of one thread, kept from call to call: made on the thread's first use and freed
// when the thread ends. A thread_local object with a destructor would do the same, but in a
// MinGW-built DLL its destructor may run after the thread's TLS block has been freed (both are
// thread-exit callbacks of winpthreads, in no set order), and then frees memory twice.
#include <pthread.h>

namespace kelvox::platform {

namespace detail {
template <class T>
struct ScratchKey {
    pthread_key_t key{};
    bool made = false;
    ScratchKey() { made = pthread_key_create(&key, [](void* p) { delete static_cast<T*>(p); }) == 0; }
    // At unload no destructor may point into the library any more; values still held leak.
    ~ScratchKey() {
        if (made) pthread_key_delete(key);
    }
};
}  // namespace detail

// The calling thread's T, default-constructed on first use.
template <class T>
T& ThreadScratch() {
    static detail::ScratchKey<T> slot;
    thread_local T* cached = nullptr;  // a plain pointer: nothing to destroy at thread exit
    if (cached) return *cached;
    auto* value = new T();
    if (slot.made) pthread_setspecific(slot.key, value);
    return *(cached = value);
}

}  // namespace kelvox::platform
