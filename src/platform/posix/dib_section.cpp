#include "platform/dib_section.h"

namespace kelvox::platform {

// No GDI here: pictures live on the heap.
bool CreateDibSection(const void*, void*, DibSection*) { return false; }
void ReleaseDibSection(DibSection* s) { *s = DibSection{}; }
void SetDibColorTable(const DibSection&, unsigned, unsigned, const void*) {}

}  // namespace kelvox::platform
