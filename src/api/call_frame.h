#pragma once
// The frame every handle-taking export runs through: find the session, or return the export's
// failure value with nothing recorded; no exception crosses the export.
#include <cstdint>

#include "api/handle_table.h"
#include "session/session.h"

namespace kelvox {

template <class R, class F>
R CallFrame(int32_t handle, R failure, F&& operation) noexcept {
    try {
        // Holding the shared session and a counted call keeps it alive, and its release waiting,
        // until the operation has returned.
        const std::shared_ptr<LiveSession> live = Handles().Enter(handle);
        if (!live) return failure;
        struct Exit {
            LiveSession& live;
            ~Exit() { live.Leave(); }
        } exit{*live};
        return operation(live->session());
    } catch (...) {
        return failure;
    }
}

}  // namespace kelvox
