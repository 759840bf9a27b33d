#include "imaging/defect_mask.h"

#include <cstdint>
#include <cstring>

namespace kelvox::imaging {

namespace {

template <class Sample>
void Build(const DibImage& reference, DibImage& map, bool hot, int threshold) {
    const int width = reference.width(), height = reference.height();
    for (int y = 2; y < height - 2; ++y) {
        const auto* in = reinterpret_cast<const Sample*>(reference.pixels() + static_cast<size_t>(y) * reference.stride());
        auto* out = reinterpret_cast<Sample*>(map.row(y));
        if (hot) {
            for (int x = 2; x < width - 2; ++x) out[x] = in[x] > threshold ? 1 : 0;
        } else {
            for (int x = 2; x < width - 2; ++x) out[x] = in[x] < threshold ? 1 : 0;
        }
    }
}

}  // namespace

int BuildDefectMap(const DibImage& reference, DibImage& map, bool hot) {
    const int bits = reference.bit_count();
    if (reference.empty() || map.empty() || map.width() != reference.width() || map.height() != reference.height() ||
        map.bit_count() != bits || (bits != 8 && bits != 16))
        return 0;
    if (bits == 8) Build<uint8_t>(reference, map, hot, hot ? kHotAbove8 : kDeadBelow8);
    else Build<uint16_t>(reference, map, hot, hot ? kHotAbove16 : kDeadBelow16);
    return 1;
}

}  // namespace kelvox::imaging
