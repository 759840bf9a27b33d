#pragma once
// A host window and queue reader for tests, over real Windows queues or the Linux helper queues.
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include "kelvox/kelvox_sim.h"
#endif

namespace kelvox_test {

struct Posted {
    void* window;
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
};

#ifdef _WIN32
inline void* CreateProbeWindow() {
    static const char* kClass = "KelvoxTestProbe";
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClass;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
}
inline void DestroyProbeWindow(void* w) { DestroyWindow(static_cast<HWND>(w)); }
// Makes sure the calling thread has a queue before anything is posted to it.
inline void EnsureThreadQueue() {
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
}
// Takes one pending message of the window (null: a thread message of the calling thread).
inline bool TakePosted(void* window, Posted* out) {
    MSG m;
    HWND filter = window ? static_cast<HWND>(window) : reinterpret_cast<HWND>(-1);
    if (!PeekMessageA(&m, filter, 0, 0, PM_REMOVE)) return false;
    *out = Posted{m.hwnd, m.message, m.wParam, m.lParam};
    return true;
}
#else
inline void* CreateProbeWindow() { return KelvoxSim_CreateMessageWindow(); }
inline void DestroyProbeWindow(void* w) { KelvoxSim_DestroyMessageWindow(static_cast<KELVOX_HWND>(w)); }
inline void EnsureThreadQueue() {}
inline bool TakePosted(void* window, Posted* out) {
    KELVOX_SIM_MSG m{};
    if (!KelvoxSim_PeekMessage(static_cast<KELVOX_HWND>(window), &m)) return false;
    *out = Posted{m.window, m.message, m.wParam, m.lParam};
    return true;
}
#endif

// Drops whatever is pending, so a test starts from an empty queue.
inline void DrainPosted(void* window) {
    Posted p;
    while (TakePosted(window, &p)) {
    }
}

}  // namespace kelvox_test
