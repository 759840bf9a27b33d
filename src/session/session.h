#pragma once
// The session object behind one handle.
#include <atomic>

#include "platform/window_message.h"
#include "session/error_history.h"

namespace kelvox {

class CKelvox {
public:
    CKelvox() = default;
    virtual ~CKelvox() = default;
    CKelvox(const CKelvox&) = delete;
    CKelvox& operator=(const CKelvox&) = delete;

    // Run once by Kelvox_Initialize; the handle is returned whatever this reports.
    int Initialize(platform::WindowHandle notify_window);

    // The usual report: into the history, and to the notification window when there is one.
    void RecordError(int code);
    // Message only, posted even without a notification window (then to the caller's own queue).
    void NotifyError(int code);
    int PopLastError() { return errors_.Pop(); }

    platform::WindowHandle notify_window() const { return notify_window_.load(); }

private:
    std::atomic<platform::WindowHandle> notify_window_{nullptr};
    ErrorHistory errors_;
};

}  // namespace kelvox
