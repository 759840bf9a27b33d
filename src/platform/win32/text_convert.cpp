#include "platform/text_convert.h"

#include <windows.h>

namespace kelvox::platform {

namespace {
UINT Page(CodePage page) { return page == CodePage::Ansi ? CP_ACP : CP_THREAD_ACP; }
}  // namespace

int NarrowToWide(CodePage page, const char* text, wchar_t* out, int capacity) {
    if (!text || !out || capacity <= 0) return 0;
    return MultiByteToWideChar(Page(page), 0, text, -1, out, capacity);
}

int WideToNarrow(CodePage page, const wchar_t* text, char* out, int capacity) {
    if (!text || !out || capacity <= 0) return 0;
    return WideCharToMultiByte(Page(page), 0, text, -1, out, capacity, nullptr, nullptr);
}

}  // namespace kelvox::platform
