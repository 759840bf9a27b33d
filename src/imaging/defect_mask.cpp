#include "imaging/defect_mask.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/colour_kernels.h"

namespace kelvox::imaging {

namespace {

constexpr int kScanRows = 4;

template <class Sample>
const MaskRows<Sample>& RowsOf(const KernelSet& kernels) {
    if constexpr (sizeof(Sample) == 1) return kernels.mask8;
    else return kernels.mask16;
}

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

ShadingCorrection::ShadingCorrection() : kernels_(&Kernels()) {}

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

void ShadingCorrection::Apply(DibImage& raw, int x0, int y0, int first_row, int end_row) const {
    if (!bits_ || raw.bit_count() != bits_ || raw.empty() || x0 < 0 || y0 < 0) return;
    const int w = raw.width(), h = raw.height();
    const int border = w == width_ || h == height_ ? 2 : 0;
    const int last_row = std::min({h - border, height_ - y0, end_row}), last_column = std::min(w - border, width_ - x0);
    if (last_column <= border) return;
    for (int y = std::max(border, first_row); y < last_row; ++y) {
        const size_t at = static_cast<size_t>(y0 + y) * width_ + static_cast<size_t>(x0) + border;
        const int n = last_column - border;
        if (bits_ == 8)
            kernels_->mask8.shade(RowOf<uint8_t>(raw, y) + border, RowOf<uint8_t>(*dark_, y0 + y) + x0 + border,
                                  &factor8_[at], n);
        else
            kernels_->mask16.shade(RowOf<uint16_t>(raw, y) + border, RowOf<uint16_t>(*dark_, y0 + y) + x0 + border,
                                   &factor16_[at], n);
    }
}

// ---- defect correction ----

DefectCorrection::DefectCorrection() : kernels_(&Kernels()) {}

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
    const MaskRows<Sample>& rows = RowsOf<Sample>(*kernels_);
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
        const auto flag_row = [&](const Sample* hot_row, const Sample* dead_row, int from, int to) {
            return from < to ? rows.flag(up, row, down, hot_row, dead_row, f, from, to, threshold) : 0u;
        };
        const unsigned count = flag_row(hm, dm, 1, mapped) + flag_row(nullptr, nullptr, mapped, w - 1);
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
    // The sweeps select rather than branch: in a noisy picture the flags follow no pattern.
    const size_t row_bytes = static_cast<size_t>(w) * sizeof(Sample);
    below_.resize(row_bytes * h);
    up_.resize(row_bytes);
    left_.resize(row_bytes * kScanRows);
    right_.resize(row_bytes * kScanRows);
    auto scratch = [](std::vector<uint8_t>& v, size_t at = 0) { return reinterpret_cast<Sample*>(v.data() + at); };
    // The nearest good value below, row by row from the bottom; kept in up_ meanwhile.
    std::memcpy(up_.data(), RowOf<Sample>(raw, h - 1), row_bytes);
    for (int y = h - 2; y >= 1; --y)
        rows.carry_up(RowOf<Sample>(raw, y), RowOf<Sample>(flags, y), scratch(up_), scratch(below_, row_bytes * y), w);
    // The left and right scans are serial along a row; four rows at a time keep four chains going.
    Sample* up = scratch(up_);
    std::memcpy(up, RowOf<Sample>(raw, 0), row_bytes);
    for (int top = 1; top < h - 1; top += kScanRows) {
        const int rows_here = std::min(kScanRows, h - 1 - top);
        Sample* row[kScanRows];
        const Sample* f[kScanRows];
        Sample* left[kScanRows];
        Sample* right[kScanRows];
        for (int k = 0; k < kScanRows; ++k) {
            const int y = top + std::min(k, rows_here - 1);  // a short group repeats its last row
            row[k] = RowOf<Sample>(raw, y);
            f[k] = RowOf<Sample>(flags, y);
            left[k] = scratch(left_, row_bytes * k);
            right[k] = scratch(right_, row_bytes * k);
        }
        uint32_t nearest[kScanRows];
        for (int k = 0; k < kScanRows; ++k) nearest[k] = row[k][w - 1];
        for (int x = w - 2; x >= 1; --x)
            for (int k = 0; k < kScanRows; ++k) {
                right[k][x] = static_cast<Sample>(nearest[k]);
                nearest[k] ^= (nearest[k] ^ row[k][x]) & (uint32_t{f[k][x]} - 1);
            }
        for (int k = 0; k < kScanRows; ++k) nearest[k] = row[k][0];
        for (int x = 1; x < w - 1; ++x)
            for (int k = 0; k < kScanRows; ++k) {
                left[k][x] = static_cast<Sample>(nearest[k]);
                nearest[k] ^= (nearest[k] ^ row[k][x]) & (uint32_t{f[k][x]} - 1);
            }
        for (int k = 0; k < rows_here; ++k) {
            if (row_flagged_[top + k])
                rows.replace(row[k] + 1, f[k] + 1, left[k] + 1, right[k] + 1,
                             scratch(below_, row_bytes * (top + k)) + 1, up + 1, w - 2);
            else
                std::memcpy(up, row[k], row_bytes);
            up[0] = row[k][0];
            up[w - 1] = row[k][w - 1];
        }
    }
}

}  // namespace kelvox::imaging
