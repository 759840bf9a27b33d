#pragma once

namespace kelvox::platform {

// The calling thread runs time-critical (Windows); elsewhere the request is best effort.
void RaiseCurrentThreadToTimeCritical();

// Names the calling thread for debuggers and profilers (at most 15 characters are kept).
void NameCurrentThread(const char* name);

}  // namespace kelvox::platform
