#include "imaging/row_converters.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace kelvox::imaging {

namespace {

// 16-bit samples are stored little-endian, which is the byte order of every target.
static_assert(std::endian::native == std::endian::little);

// Byte copies of 16-bit samples: the pixel memory is only ever bytes to the compiler, and these
// compile to plain (vectorisable) loads and stores.
inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store16(uint8_t* p, unsigned v) {
    const auto w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, sizeof w);
}

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

bool ValidBits(intptr_t bits) { return bits >= 8 && bits <= 16; }

// Walks the rows of the rectangle in the requested order and hands each pair of rows to `row`
// with the rectangle's width; the per-pixel loops live in the row functions.
template <typename Row>
int EachRow(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp, int src_bpp,
            int dst_stride, int src_stride, intptr_t row_order, Row row) {
    const int width = rect.right - rect.left;
    const int rows = rect.bottom - rect.top;
    const bool reversed = row_order != kSameRowOrder;
    uint8_t* d = dst + static_cast<ptrdiff_t>(dst_y) * dst_stride + static_cast<ptrdiff_t>(dst_x) * dst_bpp;
    const uint8_t* s0 = src + static_cast<ptrdiff_t>(rect.left) * src_bpp;
    for (int k = 0; k < rows; ++k, d += dst_stride) {
        const int y = reversed ? rect.bottom - 1 - k : rect.top + k;
        row(d, s0 + static_cast<ptrdiff_t>(y) * src_stride, width);
    }
    return 1;
}

void ReduceGreyRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width, unsigned shift) {
    for (int x = 0; x < width; ++x) d[x] = static_cast<uint8_t>(Load16(s + 2 * x) >> shift);
}

template <int Step>
void ReduceColourRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width, unsigned shift) {
    for (int x = 0; x < width; ++x) {
        const uint8_t* p = s + Step * x;
        d[3 * x] = static_cast<uint8_t>(Load16(p) >> shift);
        d[3 * x + 1] = static_cast<uint8_t>(Load16(p + 2) >> shift);
        d[3 * x + 2] = static_cast<uint8_t>(Load16(p + 4) >> shift);
    }
}

// Per-frame rows into 3-byte pixels go four pixels (three words) at a time: byte loops with a step
// of three do not vectorise without byte shuffles, which baseline x86-64 lacks; this halves the time.
void DropFourthRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width) {
    const int quads = width / 4;
    for (int i = 0; i < quads; ++i) {
        const uint8_t* p = s + 16 * i;
        const uint32_t w0 = Load32(p), w1 = Load32(p + 4), w2 = Load32(p + 8), w3 = Load32(p + 12);
        uint8_t* q = d + 12 * i;
        Store32(q, (w0 & 0xFFFFFF) | (w1 << 24));
        // Written as shifts, not shift-and-mask, which the vectoriser would take for byte extracts.
        Store32(q + 4, (w1 >> 8 & 0xFFFFu) | (w2 << 16));
        Store32(q + 8, (w2 << 8 >> 24) | (w3 << 8));
    }
    for (int x = 4 * quads; x < width; ++x) {
        d[3 * x] = s[4 * x];
        d[3 * x + 1] = s[4 * x + 1];
        d[3 * x + 2] = s[4 * x + 2];
    }
}

void ExpandGreyRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width) {
    const int quads = width / 4;
    for (int i = 0; i < quads; ++i) {
        const uint32_t g = Load32(s + 4 * i);  // g0 g1 g2 g3 -> g0 g0 g0 g1 | g1 g1 g2 g2 | g2 g3 g3 g3
        const uint32_t g0 = g & 0xFF, g1 = (g >> 8) & 0xFF, g2 = (g >> 16) & 0xFF, g3 = g >> 24;
        uint8_t* q = d + 12 * i;
        Store32(q, g0 * 0x010101u | g1 << 24);
        Store32(q + 4, g1 * 0x0101u | g2 * 0x01010000u);
        Store32(q + 8, g2 | g3 * 0x01010100u);
    }
    for (int x = 4 * quads; x < width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
}

void InvertFourthRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width) {
    for (int x = 0; x < width; ++x) {
        d[4 * x] = s[4 * x];
        d[4 * x + 1] = s[4 * x + 1];
        d[4 * x + 2] = s[4 * x + 2];
        d[4 * x + 3] = static_cast<uint8_t>(255 - s[4 * x + 3]);
    }
}

// Every 16-bit sample of the row shifted (grey and 48-bit pixels alike).
void ShiftSamplesRow(uint8_t* __restrict d, const uint8_t* __restrict s, int samples, unsigned shift) {
    for (int i = 0; i < samples; ++i) Store16(d + 2 * i, Load16(s + 2 * i) << shift);
}

void ShiftOpaqueRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width, unsigned shift) {
    for (int x = 0; x < width; ++x) {
        const uint8_t* p = s + 8 * x;
        uint8_t* q = d + 8 * x;
        Store16(q, Load16(p) << shift);
        Store16(q + 2, Load16(p + 2) << shift);
        Store16(q + 4, Load16(p + 4) << shift);
        Store16(q + 6, 0xFFFF);
    }
}

void SwapRow3(uint8_t* __restrict d, const uint8_t* __restrict s, int width) {
    for (int x = 0; x < width; ++x) {
        d[3 * x] = s[3 * x + 2];
        d[3 * x + 1] = s[3 * x + 1];
        d[3 * x + 2] = s[3 * x];
    }
}

void SwapRow4(uint8_t* __restrict d, const uint8_t* __restrict s, int width) {
    for (int x = 0; x < width; ++x) {
        const uint32_t w = Load32(s + 4 * x);
        Store32(d + 4 * x, (w & 0xFF00FF00) | ((w >> 16) & 0xFF) | ((w & 0xFF) << 16));
    }
}

template <int Step>
void Swap16Row(uint8_t* __restrict d, const uint8_t* __restrict s, int width, unsigned shift) {
    for (int x = 0; x < width; ++x) {
        const uint8_t* p = s + Step * x;
        uint8_t* q = d + Step * x;
        Store16(q, Load16(p + 4) << shift);
        Store16(q + 2, Load16(p + 2) << shift);
        Store16(q + 4, Load16(p) << shift);
        if constexpr (Step == 8) Store16(q + 6, 0xFFFF);
    }
}

}  // namespace

int CopyRows(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp, int src_bpp,
             int dst_stride, int src_stride, intptr_t row_order, intptr_t) {
    if (dst_bpp != src_bpp || src_bpp <= 0) return 0;
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [src_bpp](uint8_t* d, const uint8_t* s, int width) {
                       std::memcpy(d, s, static_cast<size_t>(width) * src_bpp);
                   });
}

int ReduceGrey16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                 int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t significant_bits) {
    if (dst_bpp != 1 || src_bpp != 2 || !ValidBits(significant_bits)) return 0;
    const auto shift = static_cast<unsigned>(significant_bits - 8);
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [shift](uint8_t* d, const uint8_t* s, int width) { ReduceGreyRow(d, s, width, shift); });
}

int ReduceColour16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                   int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t significant_bits) {
    if (dst_bpp != 3 || (src_bpp != 6 && src_bpp != 8) || !ValidBits(significant_bits)) return 0;
    const auto shift = static_cast<unsigned>(significant_bits - 8);
    if (src_bpp == 6)
        return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                       [shift](uint8_t* d, const uint8_t* s, int width) { ReduceColourRow<6>(d, s, width, shift); });
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [shift](uint8_t* d, const uint8_t* s, int width) { ReduceColourRow<8>(d, s, width, shift); });
}

int DropFourthByte(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                   int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t) {
    if (dst_bpp != 3 || (src_bpp != 3 && src_bpp != 4)) return 0;
    if (src_bpp == 3)
        return CopyRows(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order, 0);
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [](uint8_t* d, const uint8_t* s, int width) { DropFourthRow(d, s, width); });
}

int ExpandGrey(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp, int src_bpp,
               int dst_stride, int src_stride, intptr_t row_order, intptr_t) {
    if (dst_bpp != 3 || src_bpp != 1) return 0;
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [](uint8_t* d, const uint8_t* s, int width) { ExpandGreyRow(d, s, width); });
}

int InvertFourthByte(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                     int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t) {
    if (dst_bpp != 4 || src_bpp != 4) return 0;
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [](uint8_t* d, const uint8_t* s, int width) { InvertFourthRow(d, s, width); });
}

int WidenSamples16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                   int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t significant_bits) {
    if (dst_bpp != src_bpp || (src_bpp != 2 && src_bpp != 6 && src_bpp != 8) || !ValidBits(significant_bits)) return 0;
    const auto shift = static_cast<unsigned>(16 - significant_bits);
    if (shift == 0)
        return CopyRows(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order, 0);
    if (src_bpp == 8)
        return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                       [shift](uint8_t* d, const uint8_t* s, int width) { ShiftOpaqueRow(d, s, width, shift); });
    const int samples_per_pixel = src_bpp / 2;
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [shift, samples_per_pixel](uint8_t* d, const uint8_t* s, int width) {
                       ShiftSamplesRow(d, s, width * samples_per_pixel, shift);
                   });
}

int SwapRedBlue(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t) {
    if (dst_bpp != src_bpp || (src_bpp != 3 && src_bpp != 4)) return 0;
    if (src_bpp == 3)
        return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                       [](uint8_t* d, const uint8_t* s, int width) { SwapRow3(d, s, width); });
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [](uint8_t* d, const uint8_t* s, int width) { SwapRow4(d, s, width); });
}

int SwapRedBlue16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bpp,
                  int src_bpp, int dst_stride, int src_stride, intptr_t row_order, intptr_t significant_bits) {
    if (dst_bpp != src_bpp || (src_bpp != 6 && src_bpp != 8) || !ValidBits(significant_bits)) return 0;
    const auto shift = static_cast<unsigned>(16 - significant_bits);
    if (src_bpp == 6)
        return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                       [shift](uint8_t* d, const uint8_t* s, int width) { Swap16Row<6>(d, s, width, shift); });
    return EachRow(dst, src, rect, dst_x, dst_y, dst_bpp, src_bpp, dst_stride, src_stride, row_order,
                   [shift](uint8_t* d, const uint8_t* s, int width) { Swap16Row<8>(d, s, width, shift); });
}

}  // namespace kelvox::imaging
