#pragma once
// Nearest-neighbour scaling for the preview window when its client area is not the picture's
// size: width and height scaled independently, the aspect ratio not kept.
#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"

namespace kelvox::imaging {

class NearestScaler {
public:
    // Fills the whole destination from the source. The source's memory row 0 is the picture's top
    // row; the destination is bottom-up, so its memory row i shows the picture row that sits i
    // rows above the bottom: source row height - 1 - r with r = int(i * sy), and column
    // c = int(j * sx), where sx, sy are the source-to-destination size ratios in single
    // precision, each index limited to the source. Both pictures 8 or both 24 bits per pixel;
    // false, with nothing written, otherwise or when either is empty.
    bool Scale(const DibImage& source, DibImage& destination);

private:
    // The source byte offset of each destination column, remade only when a size changes, so
    // scaling frame after frame allocates nothing.
    std::vector<uint32_t> columns_;
    int source_width_ = 0, source_stride_ = 0, destination_width_ = 0, bytes_per_pixel_ = 0;
    int wide_columns_ = 0;  // leading 24-bit columns that may move 4 bytes
};

}  // namespace kelvox::imaging
