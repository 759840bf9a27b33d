#pragma once
// The defect maps of the mask: hot pixels of a dark reference frame, dead pixels of a bright one.
#include "imaging/dib_image.h"

namespace kelvox::imaging {

// Map thresholds: hot where the dark reference is above, dead where the bright one is below.
inline constexpr int kHotAbove8 = 192, kDeadBelow8 = 64;
inline constexpr int kHotAbove16 = 0x3000, kDeadBelow16 = 4096;

// Writes 1 into `map` (same size and depth as `reference`: one byte or one 16-bit word per pixel)
// where the rule holds and 0 where it does not, for rows 2 .. height - 3 and columns
// 2 .. width - 3; the two outer rows and columns are left as they are. 0 when the two pictures
// differ in size or depth, or the depth is not 8 or 16 bits.
int BuildDefectMap(const DibImage& reference, DibImage& map, bool hot);

}  // namespace kelvox::imaging
