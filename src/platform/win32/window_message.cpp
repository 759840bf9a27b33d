#include "platform/window_message.h"

#include <windows.h>

namespace kelvox::platform {

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                        static_cast<LPARAM>(lparam)) != 0;
}

}  // namespace kelvox::platform
