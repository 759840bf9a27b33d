#pragma once
// GDI's device-independent bitmap sections, where there are any. Elsewhere creation fails and
// callers keep their pixels on the heap.
#include <cstdint>

namespace kelvox::platform {

struct DibSection {
    void* bitmap = nullptr;      // HBITMAP
    void* dc = nullptr;          // memory HDC with the bitmap selected
    void* previous = nullptr;    // what the DC held before
    void* bits = nullptr;
};

// CreateDIBSection from a BITMAPINFO (header and colour table), then a memory DC holding it.
// False when any step fails; then nothing is left to release.
bool CreateDibSection(const void* bitmap_info, void* reference_dc, DibSection* out);
void ReleaseDibSection(DibSection* section);
// SetDIBColorTable on the section's DC; entries are RGBQUADs.
void SetDibColorTable(const DibSection& section, unsigned first, unsigned count, const void* entries);

}  // namespace kelvox::platform
