// Handle lifecycle, error history and version.
#include <chrono>
#include <memory>
#include <new>

#include "api/call_frame.h"
#include "kelvox/kelvox.h"

using kelvox::Session;

namespace {
constexpr std::chrono::milliseconds kReleaseWait{5000};
}  // namespace

KELVOX_API int Kelvox_Initialize(KELVOX_HWND notify_window) {
    int32_t handle = 0;
    try {
        auto& table = kelvox::Handles();
        const int32_t candidate = kelvox::DrawHandle(table.Count());
        auto live = std::make_shared<kelvox::LiveSession>(std::make_unique<Session>());
        handle = table.Insert(candidate, std::move(live));
    } catch (...) {
        return 0;
    }
    // Initialise failures are reported through the new session's own history and messages.
    kelvox::CallFrame(handle, 0, [&](Session& s) { return s.Initialize(notify_window); });
    return handle;
}

KELVOX_API int Kelvox_Release(int handle) {
    try {
        std::shared_ptr<kelvox::LiveSession> live = kelvox::Handles().Remove(handle);
        if (!live) return 0;
        // Longer than a snapshot's frame wait, so calls that end normally are waited out and the
        // session is saved, closed and freed here before the host can unload the library.
        live->Retire(kReleaseWait);
        return 1;
    } catch (...) {
        return 0;
    }
}

KELVOX_API int Kelvox_GetLastError(int handle) {
    return kelvox::CallFrame(handle, 0, [](Session& s) { return s.PopLastError(); });
}

KELVOX_API int Kelvox_GetDllVersion(void) { return KELVOX_DLL_VERSION; }
