#pragma once

namespace kelvox::platform {

// The calling thread runs time-critical (Windows); elsewhere the request is best effort.
void RaiseCurrentThreadToTimeCritical();

}  // namespace kelvox::platform
