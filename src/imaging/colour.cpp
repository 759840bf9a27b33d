#include "imaging/colour.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/dib_image.h"

namespace kelvox::imaging {

Plane PlaneOf(DibImage& image) {
    return Plane{image.pixels(), image.width(), image.height(), image.stride(), image.bytes_per_pixel()};
}

namespace {

constexpr uint8_t kBayerColours[4][4] = {
    {1, 2, 0, 1},  // G B / R G
    {0, 1, 1, 2},  // R G / G B
    {2, 1, 1, 0},  // B G / G R
    {1, 0, 2, 1},  // G R / B G
};
constexpr uint8_t kGrayPhases[4][4] = {
    {1, 0, 3, 2},  // G1 R1 / B1 G2
    {3, 2, 1, 0},  // B1 G2 / G1 R1
    {0, 1, 2, 3},  // R1 G1 / G2 B1
    {2, 3, 0, 1},  // G2 B1 / R1 G1
};

template <class T>
const T* RowOf(const Plane& p, int y) {
    return reinterpret_cast<const T*>(p.pixels + static_cast<size_t>(y) * p.stride);
}
template <class T>
T* MutableRowOf(const Plane& p, int y) {
    return reinterpret_cast<T*>(p.pixels + static_cast<size_t>(y) * p.stride);
}

// An index outside the picture moves four places inward (same Bayer phase); tiny pictures clamp.
inline int Inward(int i, int n) {
    if (i < 0) i += 4;
    else if (i >= n) i -= 4;
    return std::clamp(i, 0, n - 1);
}

}  // namespace

int BayerColourAt(int bayer_mode, int row, int column) {
    return kBayerColours[bayer_mode & 3][(row & 1) * 2 + (column & 1)];
}

int AdjustBayerMode(int bayer_mode, int mirror_v, int mirror_h) {
    if (mirror_v) bayer_mode ^= 1;
    if (mirror_h) bayer_mode ^= 2;
    return bayer_mode & 3;
}

int GrayPhaseAt(int bayer_mode, int row, int column, int width) {
    const int column_phase = static_cast<int>((static_cast<int64_t>(row) * width + column) & 1);
    return kGrayPhases[bayer_mode & 3][(row & 1) * 2 + column_phase];
}

// ---- white balance ----

namespace {

template <class T>
void SumColours(const Plane& raw, int bayer_mode, uint64_t sums[3], uint64_t counts[3]) {
    for (int y = 0; y < raw.height; ++y) {
        const T* row = RowOf<T>(raw, y);
        uint64_t even = 0, odd = 0;
        int x = 0;
        for (; x + 1 < raw.width; x += 2) {
            even += row[x];
            odd += row[x + 1];
        }
        if (x < raw.width) even += row[x];
        const int even_count = (raw.width + 1) / 2, odd_count = raw.width / 2;
        const int c0 = BayerColourAt(bayer_mode, y, 0), c1 = BayerColourAt(bayer_mode, y, 1);
        sums[c0] += even;
        counts[c0] += even_count;
        sums[c1] += odd;
        counts[c1] += odd_count;
    }
}

int GainOf(double quotient) {
    if (!(quotient < 400.0)) return 400;  // also an infinite or undefined quotient
    return static_cast<int>(quotient);
}

}  // namespace

BayerGains MeasureWhiteBalance(const Plane& raw, int bayer_mode) {
    uint64_t sums[3] = {}, counts[3] = {};
    if (raw.bytes_per_pixel == 2) SumColours<uint16_t>(raw, bayer_mode, sums, counts);
    else SumColours<uint8_t>(raw, bayer_mode, sums, counts);
    auto mean = [&](int c) { return counts[c] ? static_cast<double>(sums[c]) / static_cast<double>(counts[c]) : 0.0; };
    const double r = mean(0), g = mean(1), b = mean(2);
    const double total = r + g + b;
    // The quotient G / R, in the form the measurement has always used.
    auto gain = [&](double c) { return GainOf((total / c / 3.0 * 100.0) / (total / g / 3.0)); };
    BayerGains gains;
    gains.red = gain(r);
    gains.green = 100;
    gains.blue = gain(b);
    return gains;
}

// ---- demosaic ----

namespace {

template <class T>
constexpr int kMaxSample = sizeof(T) == 1 ? 255 : 65535;

// One output pixel by the plain formula, for the border and for tiny pictures.
template <class T>
void DemosaicPixel(const Plane& raw, int mode, int kr, int kb, int y, int x, int out[3]) {
    const int h = raw.height, w = raw.width;
    auto sample = [&](int r, int c) { return static_cast<int>(RowOf<T>(raw, Inward(r, h))[Inward(c, w)]); };
    int green = 0;
    int sigma[3] = {};
    for (int dy = -1; dy <= 0; ++dy)
        for (int dx = -1; dx <= 0; ++dx) {
            const int ry = y + dy, rx = x + dx;
            const int colour = BayerColourAt(mode, ry & 1, rx & 1);
            if (colour == 1) {
                green += sample(ry, rx);
                continue;
            }
            const int hx = rx == x ? x - 2 : x + 1;
            const int vy = ry == y ? y - 2 : y + 1;
            sigma[colour] = 9 * sample(ry, rx) + 3 * sample(ry, hx) + 3 * sample(vy, rx) + sample(vy, hx);
        }
    out[0] = std::min(kMaxSample<T>, (kr * sigma[0]) >> 11);
    out[1] = std::min(kMaxSample<T>, green >> 1);
    out[2] = std::min(kMaxSample<T>, (kb * sigma[2]) >> 11);
}

// One row of output pixels for columns 2..W-3, where every column index is inside the picture.
// The four logical rows y-2..y+1 come already moved inward.
template <class T, int kPixel>
void DemosaicRowInterior(const T* r_m2, const T* r_m1, const T* r_0, const T* r_p1, T* out, int y, int width,
                         int mode, int kr, int kb) {
    // Which of the block rows (y-1: A, y: B) holds red, and at which column parity.
    const int colour_a0 = BayerColourAt(mode, y - 1, 0), colour_a1 = BayerColourAt(mode, y - 1, 1);
    const int colour_b0 = BayerColourAt(mode, y, 0), colour_b1 = BayerColourAt(mode, y, 1);
    const bool red_in_a = colour_a0 == 0 || colour_a1 == 0;
    const bool blue_in_a = colour_a0 == 2 || colour_a1 == 2;
    const int red_parity = red_in_a ? (colour_a0 == 0 ? 0 : 1) : (colour_b0 == 0 ? 0 : 1);
    const int blue_parity = blue_in_a ? (colour_a0 == 2 ? 0 : 1) : (colour_b0 == 2 ? 0 : 1);
    const int green_a_parity = colour_a0 == 1 ? 0 : 1;  // the other green sits in row B at the other parity
    (void)colour_b1;
    // A sample in row A looks one row further down (y+1), one in row B two rows up (y-2).
    const T* red_row = red_in_a ? r_m1 : r_0;
    const T* red_far = red_in_a ? r_p1 : r_m2;
    const T* blue_row = blue_in_a ? r_m1 : r_0;
    const T* blue_far = blue_in_a ? r_p1 : r_m2;
    constexpr int kMax = kMaxSample<T>;
    for (int x = 2; x <= width - 3; ++x) {
        const int parity = x & 1;
        // The same-colour sample in the block is at x when x has that colour's parity, else at
        // x-1; its horizontal partner is then x-2, else x+1.
        const int v_x = 3 * red_row[x] + red_far[x], v_xm1 = 3 * red_row[x - 1] + red_far[x - 1];
        const int v_xm2 = 3 * red_row[x - 2] + red_far[x - 2], v_xp1 = 3 * red_row[x + 1] + red_far[x + 1];
        const int red_sigma = parity == red_parity ? 3 * v_x + v_xm2 : 3 * v_xm1 + v_xp1;
        const int u_x = 3 * blue_row[x] + blue_far[x], u_xm1 = 3 * blue_row[x - 1] + blue_far[x - 1];
        const int u_xm2 = 3 * blue_row[x - 2] + blue_far[x - 2], u_xp1 = 3 * blue_row[x + 1] + blue_far[x + 1];
        const int blue_sigma = parity == blue_parity ? 3 * u_x + u_xm2 : 3 * u_xm1 + u_xp1;
        const int green = parity == green_a_parity ? r_m1[x] + r_0[x - 1] : r_m1[x - 1] + r_0[x];
        const int red = std::min(kMax, (kr * red_sigma) >> 11);
        const int blue = std::min(kMax, (kb * blue_sigma) >> 11);
        T* px = out + static_cast<size_t>(x) * kPixel;
        px[0] = static_cast<T>(blue);
        px[1] = static_cast<T>(green >> 1);
        px[2] = static_cast<T>(red);
    }
}

template <class T, int kPixel>
void DemosaicImage(const Plane& raw, const Plane& colour, int mode, int kr, int kb) {
    const int w = raw.width, h = raw.height;
    for (int y = 0; y < h; ++y) {
        T* out = MutableRowOf<T>(colour, y);
        if (w >= 5) {
            DemosaicRowInterior<T, kPixel>(RowOf<T>(raw, Inward(y - 2, h)), RowOf<T>(raw, Inward(y - 1, h)),
                                           RowOf<T>(raw, y), RowOf<T>(raw, Inward(y + 1, h)), out, y, w, mode, kr, kb);
        }
        for (int x = 0; x < w; ++x) {
            if (x == 2 && w >= 5) x = w - 2;  // the interior is done
            int bgr[3];
            DemosaicPixel<T>(raw, mode, kr, kb, y, x, bgr);
            T* px = out + static_cast<size_t>(x) * kPixel;
            px[0] = static_cast<T>(bgr[2]);
            px[1] = static_cast<T>(bgr[1]);
            px[2] = static_cast<T>(bgr[0]);
        }
    }
}

}  // namespace

void Demosaic(const Plane& raw, const Plane& colour, int bayer_mode, int red_gain, int blue_gain) {
    if (!raw.pixels || !colour.pixels || raw.width != colour.width || raw.height != colour.height) return;
    const int kr = static_cast<int>(red_gain * 1.28), kb = static_cast<int>(blue_gain * 1.28);
    const int mode = bayer_mode & 3;
    if (raw.bytes_per_pixel == 1) {
        if (colour.bytes_per_pixel == 3) DemosaicImage<uint8_t, 3>(raw, colour, mode, kr, kb);
        else if (colour.bytes_per_pixel == 4) DemosaicImage<uint8_t, 4>(raw, colour, mode, kr, kb);
    } else if (raw.bytes_per_pixel == 2) {
        if (colour.bytes_per_pixel == 6) DemosaicImage<uint16_t, 3>(raw, colour, mode, kr, kb);
        else if (colour.bytes_per_pixel == 8) DemosaicImage<uint16_t, 4>(raw, colour, mode, kr, kb);
    }
}

// ---- grey modes ----

namespace {

template <class T>
void SumPhases(const Plane& raw, int bayer_mode, uint64_t sums[4], uint64_t counts[4]) {
    for (int y = 0; y < raw.height; ++y) {
        const T* row = RowOf<T>(raw, y);
        uint64_t even = 0, odd = 0;
        int x = 0;
        for (; x + 1 < raw.width; x += 2) {
            even += row[x];
            odd += row[x + 1];
        }
        if (x < raw.width) even += row[x];
        const int p0 = GrayPhaseAt(bayer_mode, y, 0, raw.width), p1 = GrayPhaseAt(bayer_mode, y, 1, raw.width);
        sums[p0] += even;
        counts[p0] += (raw.width + 1) / 2;
        sums[p1] += odd;
        counts[p1] += raw.width / 2;
    }
}

template <class T>
void BalanceRows(const Plane& raw, int bayer_mode, const GrayBalance& b, int max_value) {
    for (int y = 0; y < raw.height; ++y) {
        T* row = MutableRowOf<T>(raw, y);
        const int p0 = GrayPhaseAt(bayer_mode, y, 0, raw.width), p1 = GrayPhaseAt(bayer_mode, y, 1, raw.width);
        const int g0 = b.gain[p0], o0 = b.offset[p0], g1 = b.gain[p1], o1 = b.offset[p1];
        for (int x = 0; x < raw.width; ++x) {
            const bool odd = x & 1;
            const int v = (odd ? o1 : o0) + (row[x] * (odd ? g1 : g0)) / 128;
            row[x] = static_cast<T>(std::clamp(v, 0, max_value));
        }
    }
}

}  // namespace

void MeasureGrayGains(const Plane& raw, int bayer_mode, GrayBalance* balance) {
    uint64_t sums[4] = {}, counts[4] = {};
    if (raw.bytes_per_pixel == 2) SumPhases<uint16_t>(raw, bayer_mode, sums, counts);
    else SumPhases<uint8_t>(raw, bayer_mode, sums, counts);
    float means[4];
    for (int p = 0; p < 4; ++p)
        means[p] = counts[p] ? static_cast<float>(sums[p]) / static_cast<float>(counts[p]) : 0.0f;
    balance->gain[1] = 128;
    for (int p : {0, 2, 3}) {
        const float q = 128.0f * means[1] / means[p];
        if (means[p] > 0.0f && q < 2147483520.0f) balance->gain[p] = static_cast<int>(q);
    }
}

void ApplyGrayBalance(const Plane& raw, int bayer_mode, const GrayBalance& balance, int max_value) {
    if (raw.bytes_per_pixel == 2) BalanceRows<uint16_t>(raw, bayer_mode, balance, max_value);
    else BalanceRows<uint8_t>(raw, bayer_mode, balance, max_value);
}

void LumaFromColour(const Plane& colour, const Plane& grey) {
    const int step = colour.bytes_per_pixel;
    for (int y = 0; y < grey.height && y < colour.height; ++y) {
        const uint8_t* in = RowOf<uint8_t>(colour, y);
        uint8_t* out = MutableRowOf<uint8_t>(grey, y);
        const int w = std::min(grey.width, colour.width);
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = in + static_cast<size_t>(x) * step;
            out[x] = static_cast<uint8_t>((30 * p[2] + 59 * p[1] + 11 * p[0]) / 100);
        }
    }
}

// ---- hue and saturation ----

namespace {

struct HueTables {
    int reciprocal[256];
    HueTables() {
        reciprocal[0] = 0;
        for (int c = 1; c < 256; ++c) reciprocal[c] = 0xFF0000 / c;
    }
};
const HueTables& Hue() {
    static const HueTables tables;
    return tables;
}

constexpr int kSectorMask[13] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF,
                                 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF};
constexpr int kSectorStep[13] = {-1, 0x100, -0x10000, 1, -0x100, 0x10000, -1,
                                 0x100, -0x10000, 1, -0x100, 0x10000, -1};

template <class T, int kPixel>
void HueSaturationImage(const Plane& p, int sector_shift, int fraction_shift, const int* scaled) {
    constexpr int kShift = sizeof(T) == 2 ? 8 : 0;
    const int* reciprocal = Hue().reciprocal;
    for (int y = 0; y < p.height; ++y) {
        T* row = MutableRowOf<T>(p, y);
        for (int x = 0; x < p.width; ++x) {
            T* px = row + static_cast<size_t>(x) * kPixel;
            const int b = px[0] >> kShift, g = px[1] >> kShift, r = px[2] >> kShift;
            const int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
            const int c = mx - mn, l = mx + mn;
            int sector, n;
            if (r >= g && r >= b) {
                sector = 1;
                n = g - b;
            } else if (g > r && g >= b) {
                sector = 3;
                n = b - r;
            } else {
                sector = 5;
                n = r - g;
            }
            if (n < 0) {
                sector -= 1;
                n += c;
            }
            const int limit = l < 256 ? l : 511 - l;
            const int c2 = std::min(scaled[c], limit);
            const int m2 = (l - c2) >> 1;
            const int a = ((l + c2) >> 1) - m2;
            int v = m2 * 0x010101;
            if (c != 0) {
                int w = ((n * reciprocal[c] + 0x8000) >> 16) + fraction_shift;
                int k = sector + sector_shift;
                if (w >= 255) {
                    k += 1;
                    w -= 255;
                }
                v += ((a * 0x010101) & kSectorMask[k]) + ((a * w + 128) >> 8) * kSectorStep[k];
            }
            px[0] = static_cast<T>((v & 0xFF) << kShift);
            px[1] = static_cast<T>(((v >> 8) & 0xFF) << kShift);
            px[2] = static_cast<T>(((v >> 16) & 0xFF) << kShift);
        }
    }
}

}  // namespace

void HueSaturation(const Plane& colour, int hue, int saturation) {
    const auto angle = static_cast<uint16_t>(hue * 65536 / 360);
    const int x = (angle * 6) >> 8;
    int m = x % 512;
    if (m >= 256) m -= 512;
    const int b = ((x + 256) >> 9) % 3;
    int a = m + 510 * b;
    if (a < 0) a += 1530;
    else if (a >= 1530) a -= 1530;
    const int sector_shift = a / 255, fraction_shift = a % 255;
    const int k = (saturation + 256) * 256;
    int scaled[256];
    for (int c = 0; c < 256; ++c) scaled[c] = (k * c + 0x8000) >> 16;
    switch (colour.bytes_per_pixel) {
        case 3: HueSaturationImage<uint8_t, 3>(colour, sector_shift, fraction_shift, scaled); break;
        case 4: HueSaturationImage<uint8_t, 4>(colour, sector_shift, fraction_shift, scaled); break;
        case 6: HueSaturationImage<uint16_t, 3>(colour, sector_shift, fraction_shift, scaled); break;
        case 8: HueSaturationImage<uint16_t, 4>(colour, sector_shift, fraction_shift, scaled); break;
        default: break;
    }
}

// ---- point tables ----

PointTable::~PointTable() { delete[] table_; }

void PointTable::Prepare(PointOp op, int setting, bool sixteen_bit) {
    if (built_ && op == op_ && setting == setting_ && sixteen_bit == sixteen_bit_) return;
    if (!table_) table_ = new uint16_t[65536];
    const int top = sixteen_bit ? 65535 : 255;
    const double m = top;
    for (int i = 0; i <= top; ++i) {
        int v = i;
        switch (op) {
            case PointOp::Gamma:
                v = i == 0 ? 0 : static_cast<int>(std::min(m, std::trunc(std::pow(i / m, 100.0 / setting) * m)));
                break;
            case PointOp::Contrast:
                if (!sixteen_bit) {
                    if (i < setting) v = 0;
                    else if (i > 255 - setting) v = 255;
                    else v = static_cast<int>(256.0 / (256 - 2 * setting) * (i - setting));
                } else {
                    const int h = setting * 256;
                    if (i < h) v = 0;
                    else if (i > 65535 - h) v = 65535;
                    else v = static_cast<int>(65536.0 / (65536 - 512 * setting) * (i - h));
                }
                break;
            case PointOp::Brightness: {
                const float t = setting < 0 ? 1.0f - static_cast<float>(-setting) / 255.0f
                                            : 1.0f + static_cast<float>(setting * 10) / 255.0f;
                v = std::min(top, static_cast<int>(static_cast<float>(i) * t));
                break;
            }
        }
        table_[i] = static_cast<uint16_t>(std::clamp(v, 0, top));
    }
    op_ = op;
    setting_ = setting;
    sixteen_bit_ = sixteen_bit;
    built_ = true;
}

namespace {

template <class T>
void ApplyTable(const Plane& p, const uint16_t* table) {
    const int components = p.bytes_per_pixel / static_cast<int>(sizeof(T));
    for (int y = 0; y < p.height; ++y) {
        T* row = MutableRowOf<T>(p, y);
        if (components == 4) {
            for (int x = 0; x < p.width; ++x) {
                T* px = row + static_cast<size_t>(x) * 4;
                px[0] = static_cast<T>(table[px[0]]);
                px[1] = static_cast<T>(table[px[1]]);
                px[2] = static_cast<T>(table[px[2]]);
            }
        } else {
            const int n = p.width * components;
            for (int i = 0; i < n; ++i) row[i] = static_cast<T>(table[row[i]]);
        }
    }
}

}  // namespace

void PointTable::Apply(const Plane& picture) const {
    if (!built_ || !picture.pixels) return;
    if (sixteen_bit_) ApplyTable<uint16_t>(picture, table_);
    else ApplyTable<uint8_t>(picture, table_);
}

// ---- sharpening ----

namespace {

template <class T>
void SharpenImage(const Plane& src, const Plane& dst, int s) {
    const int components_per_pixel = src.bytes_per_pixel / static_cast<int>(sizeof(T));
    const int colour = components_per_pixel == 4 ? 3 : components_per_pixel;
    const int w = src.width, h = src.height;
    if (w < 5 || h < 5) return;
    const int n = w * components_per_pixel;
    const int top = sizeof(T) == 1 ? 255 : 65535;
    thread_local std::vector<int> column_sums;
    column_sums.resize(static_cast<size_t>(n));
    int* cs = column_sums.data();
    const int step = components_per_pixel;
    for (int y = 2; y <= h - 3; ++y) {
        const T* r0 = RowOf<T>(src, y - 2);
        const T* r1 = RowOf<T>(src, y - 1);
        const T* r2 = RowOf<T>(src, y);
        const T* r3 = RowOf<T>(src, y + 1);
        for (int i = 0; i < n; ++i) cs[i] = r0[i] + r1[i] + r2[i] + r3[i];
        T* out = MutableRowOf<T>(dst, y);
        for (int x = 2; x <= w - 3; ++x) {
            for (int k = 0; k < colour; ++k) {
                const int i = x * step + k;
                const int blur = (cs[i - 2 * step] + cs[i - step] + cs[i] + cs[i + step]) >> 4;
                const int o = r2[i];
                out[i] = static_cast<T>(std::clamp(o + s * (o - blur) / 10, 0, top));
            }
        }
    }
}

}  // namespace

void Sharpen(const Plane& source, const Plane& target, int sharpness) {
    if (!source.pixels || !target.pixels || source.width != target.width || source.height != target.height) return;
    if (source.bytes_per_pixel == 2 || source.bytes_per_pixel >= 6) SharpenImage<uint16_t>(source, target, sharpness);
    else SharpenImage<uint8_t>(source, target, sharpness);
}

// ---- automatic exposure ----

void MeasureRegionMeans(const Plane& raw, int means[5]) {
    const double w = raw.width, h = raw.height;
    const double rects[5][4] = {{0.1, 0.2, 0.1, 0.2}, {0.1, 0.2, 0.8, 0.9}, {0.45, 0.55, 0.45, 0.55},
                                {0.8, 0.9, 0.1, 0.2}, {0.8, 0.9, 0.8, 0.9}};
    for (int r = 0; r < 5; ++r) {
        const int left = static_cast<int>(rects[r][0] * w), right = static_cast<int>(rects[r][1] * w);
        const int top = static_cast<int>(rects[r][2] * h), bottom = static_cast<int>(rects[r][3] * h);
        uint64_t sum = 0, count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                sum += raw.bytes_per_pixel == 2 ? RowOf<uint16_t>(raw, y)[x] : RowOf<uint8_t>(raw, y)[x];
            count += right > left ? right - left : 0;
        }
        means[r] = count ? static_cast<int>(sum / count) : 0;
    }
}

}  // namespace kelvox::imaging
