#include "platform/dib_section.h"

#include <windows.h>

namespace kelvox::platform {

bool CreateDibSection(const void* bitmap_info, void* reference_dc, DibSection* out) {
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(static_cast<HDC>(reference_dc), static_cast<const BITMAPINFO*>(bitmap_info),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = dc ? SelectObject(dc, bitmap) : nullptr;
    if (!dc || !previous) {
        if (dc) DeleteDC(dc);
        DeleteObject(bitmap);
        return false;
    }
    *out = DibSection{bitmap, dc, previous, bits};
    return true;
}

void ReleaseDibSection(DibSection* s) {
    if (s->dc && s->previous) SelectObject(static_cast<HDC>(s->dc), static_cast<HGDIOBJ>(s->previous));
    if (s->bitmap) DeleteObject(static_cast<HGDIOBJ>(s->bitmap));
    if (s->dc) DeleteDC(static_cast<HDC>(s->dc));
    *s = DibSection{};
}

void SetDibColorTable(const DibSection& s, unsigned first, unsigned count, const void* entries) {
    if (s.dc) SetDIBColorTable(static_cast<HDC>(s.dc), first, count, static_cast<const RGBQUAD*>(entries));
}

}  // namespace kelvox::platform
