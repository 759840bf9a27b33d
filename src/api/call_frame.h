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
        Session* session = SessionOf(handle);
        if (!session) return failure;
        return operation(*session);
    } catch (...) {
        return failure;
    }
}

}  // namespace kelvox
