#include "platform/text_convert.h"

namespace kelvox::platform {

int NarrowToWide(CodePage, const char* text, wchar_t* out, int capacity) {
    if (!text || !out || capacity <= 0) return 0;
    for (int i = 0; i < capacity; ++i) {
        out[i] = static_cast<unsigned char>(text[i]);
        if (text[i] == '\0') return i + 1;
    }
    return 0;  // no room for the terminator
}

int WideToNarrow(CodePage, const wchar_t* text, char* out, int capacity) {
    if (!text || !out || capacity <= 0) return 0;
    for (int i = 0; i < capacity; ++i) {
        if (text[i] < 0 || text[i] > 0xFF) return 0;  // not in Latin-1
        out[i] = static_cast<char>(text[i]);
        if (text[i] == L'\0') return i + 1;
    }
    return 0;
}

}  // namespace kelvox::platform
