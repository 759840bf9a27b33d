#include "imaging/nearest_scaler.h"

#include <algorithm>
#include <cstring>

namespace kelvox::imaging {

namespace {

// One destination row, 8 bits per pixel.
void GatherRow8(uint8_t* __restrict d, const uint8_t* __restrict s, const uint32_t* __restrict columns, int width) {
    for (int j = 0; j < width; ++j) d[j] = s[columns[j]];
}

// One destination row, 24 bits per pixel: the first `wide` pixels as 4-byte moves whose fourth
// byte the next pixel overwrites, the rest as 3-byte moves, so no row is read or written past its
// stride.
void GatherRow24(uint8_t* __restrict d, const uint8_t* __restrict s, const uint32_t* __restrict columns, int width,
                 int wide) {
    int j = 0;
    for (; j < wide; ++j) {
        uint32_t v;
        std::memcpy(&v, s + columns[j], 4);
        std::memcpy(d + 3 * j, &v, 4);
    }
    for (; j < width; ++j) std::memcpy(d + 3 * j, s + columns[j], 3);
}

}  // namespace

bool NearestScaler::Scale(const DibImage& source, DibImage& destination) {
    const int bpp = source.bytes_per_pixel();
    if (source.empty() || destination.empty() || bpp != destination.bytes_per_pixel() || (bpp != 1 && bpp != 3))
        return false;
    const int sw = source.width(), sh = source.height();
    const int dw = destination.width(), dh = destination.height();
    if (sw != source_width_ || source.stride() != source_stride_ || dw != destination_width_ ||
        bpp != bytes_per_pixel_) {
        const float sx = static_cast<float>(sw) / static_cast<float>(dw);
        columns_.resize(static_cast<size_t>(dw));
        for (int j = 0; j < dw; ++j) {
            const int c = std::min(static_cast<int>(static_cast<float>(j) * sx), sw - 1);
            columns_[static_cast<size_t>(j)] = static_cast<uint32_t>(c * bpp);
        }
        // Columns are in ascending order; the last destination pixel never takes a 4-byte move.
        wide_columns_ = 0;
        while (wide_columns_ < dw - 1 && columns_[static_cast<size_t>(wide_columns_)] + 4 <= static_cast<uint32_t>(source.stride()))
            ++wide_columns_;
        source_width_ = sw;
        source_stride_ = source.stride();
        destination_width_ = dw;
        bytes_per_pixel_ = bpp;
    }
    const float sy = static_cast<float>(sh) / static_cast<float>(dh);
    const size_t row_bytes = static_cast<size_t>(dw) * bpp;
    int previous = -1;
    for (int i = 0; i < dh; ++i) {
        const int r = std::clamp(static_cast<int>(static_cast<float>(i) * sy), 0, sh - 1);
        const int source_row = sh - 1 - r;
        uint8_t* d = destination.row(i);
        if (source_row == previous) {  // enlarging: this row repeats the one before
            std::memcpy(d, d - destination.stride(), row_bytes);
            continue;
        }
        const uint8_t* s = source.pixels() + static_cast<size_t>(source_row) * source.stride();
        if (bpp == 1) GatherRow8(d, s, columns_.data(), dw);
        else GatherRow24(d, s, columns_.data(), dw, wide_columns_);
        previous = source_row;
    }
    return true;
}

}  // namespace kelvox::imaging
