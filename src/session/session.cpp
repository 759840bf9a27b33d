#include "session/session.h"

#include "kelvox/kelvox.h"

namespace kelvox {

int CKelvox::Initialize(platform::WindowHandle notify_window) {
    notify_window_.store(notify_window);
    return 1;
}

void CKelvox::RecordError(int code) {
    errors_.Push(code);
    if (platform::WindowHandle w = notify_window_.load())
        platform::PostWindowMessage(w, KELVOX_WM_ERROR, 0, code);
}

void CKelvox::NotifyError(int code) {
    platform::PostWindowMessage(notify_window_.load(), KELVOX_WM_ERROR, 0, code);
}

}  // namespace kelvox
