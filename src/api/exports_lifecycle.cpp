// Handle lifecycle, error history and version.
#include <memory>
#include <new>

#include "api/call_frame.h"
#include "kelvox/kelvox.h"

using kelvox::Session;

KELVOX_API int Kelvox_Initialize(KELVOX_HWND notify_window) {
    int32_t handle = 0;
    try {
        int32_t count;
        {
            auto& chain = kelvox::SdkChain();
            std::lock_guard<std::mutex> guard(chain.lock());
            count = chain.count();
        }
        const int32_t candidate = kelvox::DrawHandle(count);
        auto session = std::make_unique<Session>();
        handle = kelvox::AddSession(candidate, session.get());
        session.release();
    } catch (...) {
        return 0;
    }
    // Initialise failures are reported through the new session's own history and messages.
    kelvox::CallFrame(handle, 0, [&](Session& s) { return s.Initialize(notify_window); });
    return handle;
}

KELVOX_API int Kelvox_Release(int handle) {
    try {
        Session* session = kelvox::TakeSession(handle);
        if (!session) return 0;
        delete session;
        kelvox::RemoveHandle(handle);
        return 1;
    } catch (...) {
        return 0;
    }
}

KELVOX_API int Kelvox_GetLastError(int handle) {
    return kelvox::CallFrame(handle, 0, [](Session& s) { return s.PopLastError(); });
}

KELVOX_API int Kelvox_GetDllVersion(void) { return KELVOX_DLL_VERSION; }
