#include "imaging/defect_mask.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kelvox::imaging {

namespace {

// Up to this many flagged pixels each is searched from directly (at most this many steps each).
constexpr size_t kFewDefects = 1024;

template <class Sample>
const Sample* RowOf(const DibImage& image, int y) {
    return reinterpret_cast<const Sample*>(image.pixels() + static_cast<size_t>(y) * image.stride());
}
template <class Sample>
Sample* RowOf(DibImage& image, int y) {
    return reinterpret_cast<Sample*>(image.row(y));
}

template <class Sample>
void Build(const DibImage& reference, DibImage& map, bool hot, int threshold) {
    const int width = reference.width(), height = reference.height();
    for (int y = 2; y < height - 2; ++y) {
        const Sample* in = RowOf<Sample>(reference, y);
        Sample* out = RowOf<Sample>(map, y);
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

// ---- shading correction ----
//
// q = trunc(n / d) for n = t * 2^k (t the sample less the dark value) is made exact with a factor
// m = ceil(2^(k+16) / d): m * d exceeds 2^(k+16) by less than d, which keeps the product's error
// below the smallest non-zero fraction 1/d for every n < 2^(k+8) and d < 2^8 (8-bit, k = 8) or
// n < 2^32 and d < 2^16 (16-bit, k = 16). Only positive quotients are computed: a negative one is
// limited to 0 anyway.

void ShadingCorrection::Prepare(const DibImage& dark, const DibImage& bright) {
    bits_ = 0;
    const int bits = dark.bit_count();
    if (dark.empty() || bright.width() != dark.width() || bright.height() != dark.height() ||
        bright.bit_count() != bits || (bits != 8 && bits != 16))
        return;
    width_ = dark.width();
    height_ = dark.height();
    dark_ = &dark;
    const size_t count = static_cast<size_t>(width_) * height_;
    if (bits == 8) {
        factor8_.resize(count);
        for (int y = 0; y < height_; ++y) {
            const uint8_t* d = RowOf<uint8_t>(dark, y);
            const uint8_t* b = RowOf<uint8_t>(bright, y);
            int32_t* f = &factor8_[static_cast<size_t>(y) * width_];
            for (int x = 0; x < width_; ++x) {
                const int span = b[x] - d[x];
                const int magnitude = std::abs(span);
                const int32_t m = span == 0 ? 0 : static_cast<int32_t>(((1 << 24) + magnitude - 1) / magnitude);
                f[x] = span < 0 ? -m : m;
            }
        }
    } else {
        factor16_.resize(count);
        for (int y = 0; y < height_; ++y) {
            const uint16_t* d = RowOf<uint16_t>(dark, y);
            const uint16_t* b = RowOf<uint16_t>(bright, y);
            uint64_t* f = &factor16_[static_cast<size_t>(y) * width_];
            for (int x = 0; x < width_; ++x) {
                const int span = b[x] - d[x];
                f[x] = span > 0 ? ((uint64_t{1} << 48) + static_cast<uint64_t>(span) - 1) / static_cast<uint64_t>(span) : 0;
            }
        }
    }
    bits_ = bits;
}

void ShadingCorrection::Apply(DibImage& raw, int x0, int y0) const {
    if (!bits_ || raw.bit_count() != bits_ || raw.empty() || x0 < 0 || y0 < 0) return;
    const int w = raw.width(), h = raw.height();
    const int border = w == width_ || h == height_ ? 2 : 0;
    const int last_row = std::min(h - border, height_ - y0), last_column = std::min(w - border, width_ - x0);
    if (last_column <= border) return;
    for (int y = border; y < last_row; ++y) {
        const size_t at = static_cast<size_t>(y0 + y) * width_ + static_cast<size_t>(x0);
        if (bits_ == 8) {
            uint8_t* v = RowOf<uint8_t>(raw, y);
            const uint8_t* d = RowOf<uint8_t>(*dark_, y0 + y) + x0;
            const int32_t* f = &factor8_[at];
            for (int x = border; x < last_column; ++x) {
                const int32_t sign = f[x] >> 31;  // -1 where bright < dark
                const uint32_t m = static_cast<uint32_t>((f[x] ^ sign) - sign);
                const int t = ((v[x] - d[x]) ^ sign) - sign;
                const uint32_t q = t > 0 ? std::min<uint32_t>(static_cast<uint32_t>(t) * m >> 16, 255) : 0;
                v[x] = static_cast<uint8_t>(m ? q : v[x]);
            }
        } else {
            uint16_t* v = RowOf<uint16_t>(raw, y);
            const uint16_t* d = RowOf<uint16_t>(*dark_, y0 + y) + x0;
            const uint64_t* f = &factor16_[at];
            for (int x = border; x < last_column; ++x) {
                const int t = v[x] - d[x];
                const uint64_t q = t > 0 ? std::min<uint64_t>(static_cast<uint64_t>(t) * f[x] >> 32, 65535) : 0;
                v[x] = static_cast<uint16_t>(f[x] ? q : v[x]);
            }
        }
    }
}

// ---- defect correction ----

void DefectCorrection::Apply(DibImage& raw, int x0, int y0, const DibImage& hot, const DibImage& dead,
                             DibImage& flags, int threshold) {
    const int bits = raw.bit_count();
    if (raw.empty() || (bits != 8 && bits != 16) || flags.bit_count() != bits || flags.width() < raw.width() ||
        flags.height() < raw.height() || hot.bit_count() != bits || dead.bit_count() != bits ||
        dead.width() != hot.width() || dead.height() != hot.height() || x0 < 0 || y0 < 0)
        return;
    if (bits == 8) Run<uint8_t>(raw, x0, y0, hot, dead, flags, threshold);
    else Run<uint16_t>(raw, x0, y0, hot, dead, flags, threshold);
}

template <class Sample>
void DefectCorrection::Run(DibImage& raw, int x0, int y0, const DibImage& hot, const DibImage& dead, DibImage& flags,
                           int threshold) {
    const int w = raw.width(), h = raw.height();
    if (w < 3 || h < 3) {
        std::memset(flags.pixels(), 0, flags.size());
        return;
    }
    // Flags: marked at the sensor position, or standing out from the four neighbours. Every
    // interior flag is written below; the outermost ones are cleared here.
    std::memset(flags.row(0), 0, static_cast<size_t>(w) * sizeof(Sample));
    std::memset(flags.row(h - 1), 0, static_cast<size_t>(w) * sizeof(Sample));
    const int map_columns = std::clamp(hot.width() - x0, 0, w - 1);
    row_flagged_.assign(static_cast<size_t>(h), 0);
    size_t flagged = 0;
    for (int y = 1; y < h - 1; ++y) {
        const Sample* up = RowOf<Sample>(raw, y - 1);
        const Sample* row = RowOf<Sample>(raw, y);
        const Sample* down = RowOf<Sample>(raw, y + 1);
        Sample* f = RowOf<Sample>(flags, y);
        f[0] = f[w - 1] = 0;
        const bool maps = y0 + y < hot.height();
        const Sample* hm = maps ? RowOf<Sample>(hot, y0 + y) + x0 : nullptr;
        const Sample* dm = maps ? RowOf<Sample>(dead, y0 + y) + x0 : nullptr;
        const int mapped = maps ? map_columns : 1;
        unsigned count = 0;
        for (int x = 1; x < mapped; ++x) {
            const int mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
            const Sample bad = (std::abs(row[x] - mean) >= threshold) | (hm[x] != 0) | (dm[x] != 0);
            f[x] = bad;
            count += bad;
        }
        for (int x = mapped; x < w - 1; ++x) {
            const int mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
            const Sample bad = std::abs(row[x] - mean) >= threshold;
            f[x] = bad;
            count += bad;
        }
        flagged += count;
        row_flagged_[y] = count;
    }
    if (flagged == 0) return;
    // A few defects: search from each; its searches are short, and the searches of many could be
    // long, where the sweeps below take the same time whatever the flags.
    if (flagged <= kFewDefects) {
        auto is_flagged = [&](int x, int y) { return RowOf<Sample>(flags, y)[x] != 0; };
        for (int y = 1; y < h - 1; ++y) {
            if (!row_flagged_[y]) continue;
            Sample* row = RowOf<Sample>(raw, y);
            const Sample* f = RowOf<Sample>(flags, y);
            for (int x = 1; x < w - 1; ++x) {
                if (!f[x]) continue;
                int left = x - 1, right = x + 1, up = y - 1, down = y + 1;
                while (f[left]) --left;
                while (f[right]) ++right;
                while (is_flagged(x, up)) --up;
                while (is_flagged(x, down)) ++down;
                row[x] = static_cast<Sample>((row[left] + row[right] + RowOf<Sample>(raw, up)[x] + RowOf<Sample>(raw, down)[x]) / 4);
            }
        }
        return;
    }
    // The outermost rows and columns are never flagged, so every flagged pixel has a good
    // neighbour in all four directions: one sweep per direction finds them all, in linear time.
    below_.resize(static_cast<size_t>(w) * h);
    up_.resize(static_cast<size_t>(w));
    right_.resize(static_cast<size_t>(w));
    {
        std::vector<uint32_t>& nearest = up_;  // used for the values below first
        const Sample* last = RowOf<Sample>(raw, h - 1);
        for (int x = 0; x < w; ++x) nearest[x] = last[x];
        for (int y = h - 2; y >= 1; --y) {
            const Sample* row = RowOf<Sample>(raw, y);
            const Sample* f = RowOf<Sample>(flags, y);
            uint32_t* below = &below_[static_cast<size_t>(y) * w];
            for (int x = 1; x < w - 1; ++x) {
                if (f[x]) below[x] = nearest[x];
                else nearest[x] = row[x];
            }
        }
    }
    const Sample* first = RowOf<Sample>(raw, 0);
    for (int x = 0; x < w; ++x) up_[x] = first[x];
    for (int y = 1; y < h - 1; ++y) {
        Sample* row = RowOf<Sample>(raw, y);
        const Sample* f = RowOf<Sample>(flags, y);
        const uint32_t* below = &below_[static_cast<size_t>(y) * w];
        uint32_t nearest = row[w - 1];
        for (int x = w - 2; x >= 1; --x) {
            if (f[x]) right_[x] = nearest;
            else nearest = row[x];
        }
        nearest = row[0];
        for (int x = 1; x < w - 1; ++x) {
            if (f[x]) {
                row[x] = static_cast<Sample>((nearest + right_[x] + up_[x] + below[x]) / 4);
            } else {
                nearest = row[x];
                up_[x] = row[x];
            }
        }
    }
}

}  // namespace kelvox::imaging
