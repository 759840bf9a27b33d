#pragma once
// The mask file: a 40-byte header ("QUORIN MASK1000", width, height and four byte sizes) and
// the four reference frames of the defect mask, 8-bit dark and bright, then 16-bit dark and
// bright, each as its memory rows (top row first), 13,824,040 bytes in all.
#include <cstdint>

#include "imaging/dib_image.h"

namespace kelvox::output {

struct MaskReferences {
    imaging::DibImage* dark8;
    imaging::DibImage* bright8;
    imaging::DibImage* dark16;
    imaging::DibImage* bright16;
};

inline constexpr int kMaskWidth = 1920, kMaskHeight = 1200;
inline constexpr uint32_t kMaskFileBytes = 40 + 2 * 2304000 + 2 * 4608000;

// 1 when the whole file was written; otherwise 0 and no file is left behind. Width, height and
// sizes come from the 8-bit dark frame, as the format has them.
int SaveMaskFile(const char* name, const MaskReferences& references);
// 1 when the file has the header of the format and all four frames, which then replace the
// references (each 1920 x 1200 at its depth); otherwise 0 and the references are unchanged.
int LoadMaskFile(const char* name, const MaskReferences& references);

}  // namespace kelvox::output
