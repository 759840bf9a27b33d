#pragma once
#include <cstdint>

namespace kelvox::platform {

// A host window as the library sees it: HWND on Windows, a message window of the in-process
// queues elsewhere. Null names the calling thread's own queue when posting.
using WindowHandle = void*;

// PostMessageA: queues the message and returns at once; false when the window is unknown.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

}  // namespace kelvox::platform
