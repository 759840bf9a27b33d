#pragma once
// Plain per-pixel versions of the frame processing kernels, written for clarity rather than
// speed, against which the fast kernels are compared byte for byte. Nothing here is shared with
// the SDK's own code.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvox_ref {

// A picture in memory order: row 0 is the top picture row, rows padded to 4 bytes.
// Bytes per pixel: 1 / 2 grey, 3 / 4 B G R (+ fourth), 6 / 8 the same with 16-bit components.
struct Picture {
    int width = 0, height = 0, bytes_per_pixel = 0, stride = 0;
    std::vector<uint8_t> bytes;

    Picture() = default;
    Picture(int w, int h, int bpp)
        : width(w), height(h), bytes_per_pixel(bpp), stride((w * bpp + 3) / 4 * 4),
          bytes(static_cast<size_t>(stride) * h, 0) {}

    bool sixteen_bit() const { return bytes_per_pixel == 2 || bytes_per_pixel == 6 || bytes_per_pixel == 8; }
    int component_bytes() const { return sixteen_bit() ? 2 : 1; }
    int components() const { return bytes_per_pixel <= 2 ? 1 : 3; }  // the fourth is never counted
    int max_value() const { return sixteen_bit() ? 65535 : 255; }

    size_t Offset(int y, int x, int c) const {
        return static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bytes_per_pixel +
               static_cast<size_t>(c) * component_bytes();
    }
    // Component c of pixel (y, x): 0 blue, 1 green, 2 red for colour; 0 for grey.
    int Get(int y, int x, int c = 0) const {
        size_t o = Offset(y, x, c);
        return sixteen_bit() ? bytes[o] | bytes[o + 1] << 8 : bytes[o];
    }
    void Set(int y, int x, int c, int v) {
        size_t o = Offset(y, x, c);
        bytes[o] = static_cast<uint8_t>(v & 0xFF);
        if (sixteen_bit()) bytes[o + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
};

enum { kRed = 0, kGreen = 1, kBlue = 2 };

inline int Parity(int i) { return ((i % 2) + 2) % 2; }

// --- Bayer phase -------------------------------------------------------------------------------

inline int BayerColourAt(int bayer_mode, int row, int column) {
    static const int table[4][2][2] = {
        {{kGreen, kBlue}, {kRed, kGreen}},  // 0
        {{kRed, kGreen}, {kGreen, kBlue}},  // 1
        {{kBlue, kGreen}, {kGreen, kRed}},  // 2
        {{kGreen, kRed}, {kBlue, kGreen}},  // 3
    };
    return table[bayer_mode][Parity(row)][Parity(column)];
}

inline int AdjustBayerMode(int bayer_mode, int mirror_v, int mirror_h) {
    static const int vertical[4] = {1, 0, 3, 2};
    static const int horizontal[4] = {2, 3, 0, 1};
    int mode = bayer_mode;
    if (mirror_v) mode = vertical[mode];
    if (mirror_h) mode = horizontal[mode];
    return mode;
}

// --- White balance -----------------------------------------------------------------------------

struct Gains {
    int red = 100, green = 100, blue = 100;
};

// A colour without samples counts as a zero mean. The quotient 100 G / R is evaluated through each
// colour's share of the sum of the means, which in floating point is not always the plain
// quotient: G 100, B 40 gives 249.99999999999997, so 249.
inline Gains MeasureWhiteBalance(const Picture& raw, int bayer_mode) {
    double sum[3] = {0, 0, 0};
    double count[3] = {0, 0, 0};
    for (int y = 0; y < raw.height; ++y)
        for (int x = 0; x < raw.width; ++x) {
            int colour = BayerColourAt(bayer_mode, y, x);
            sum[colour] += raw.Get(y, x);
            count[colour] += 1;
        }
    double mean[3];
    for (int c = 0; c < 3; ++c) mean[c] = count[c] > 0 ? sum[c] / count[c] : 0.0;
    const double all = mean[kRed] + mean[kGreen] + mean[kBlue];
    auto gain_for = [&](double m) {
        if (m == 0.0) return 400;
        double g = (all / m / 3 * 100) / (all / mean[kGreen] / 3);  // no green: 0
        return g >= 400.0 ? 400 : static_cast<int>(g);
    };
    Gains gains;
    gains.red = gain_for(mean[kRed]);
    gains.green = 100;
    gains.blue = gain_for(mean[kBlue]);
    return gains;
}

// --- Demosaic ----------------------------------------------------------------------------------

// An index outside 0..n-1 moves four places inward (same Bayer phase); pictures smaller than four
// may still be outside after that and are clamped.
inline int BorderIndex(int i, int n) {
    if (i < 0) i += 4;
    else if (i >= n) i -= 4;
    return std::clamp(i, 0, n - 1);
}

inline int DemosaicGain(int percent) { return static_cast<int>(percent * 1.28); }

inline void Demosaic(const Picture& raw, Picture& colour, int bayer_mode, int red_gain, int blue_gain) {
    const int H = raw.height, W = raw.width;
    const int max_value = colour.max_value();
    const int64_t kr = DemosaicGain(red_gain), kb = DemosaicGain(blue_gain);
    auto sample = [&](int y, int x) { return static_cast<int64_t>(raw.Get(BorderIndex(y, H), BorderIndex(x, W))); };

    // Interior and border share the formula: inside 2..N-3 no index ever leaves the picture.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int ys[4] = {y - 1, y - 1, y, y};
            const int xs[4] = {x - 1, x, x - 1, x};
            int64_t green_sum = 0;
            int red_y = 0, red_x = 0, blue_y = 0, blue_x = 0;
            for (int k = 0; k < 4; ++k) {
                int c = BayerColourAt(bayer_mode, ys[k], xs[k]);
                if (c == kGreen) green_sum += sample(ys[k], xs[k]);
                if (c == kRed) red_y = ys[k], red_x = xs[k];
                if (c == kBlue) blue_y = ys[k], blue_x = xs[k];
            }
            // Further out: away from the point between the four samples.
            auto weighted = [&](int sy, int sx) {
                int out_x = sx == x ? sx - 2 : sx + 2;
                int out_y = sy == y ? sy - 2 : sy + 2;
                return 9 * sample(sy, sx) + 3 * sample(sy, out_x) + 3 * sample(out_y, sx) + sample(out_y, out_x);
            };
            int64_t red = (kr * weighted(red_y, red_x)) >> 11;
            int64_t blue = (kb * weighted(blue_y, blue_x)) >> 11;
            int64_t green = green_sum >> 1;
            colour.Set(y, x, 0, static_cast<int>(std::min<int64_t>(blue, max_value)));
            colour.Set(y, x, 1, static_cast<int>(std::min<int64_t>(green, max_value)));
            colour.Set(y, x, 2, static_cast<int>(std::min<int64_t>(red, max_value)));
        }
}

// --- Grey modes --------------------------------------------------------------------------------

enum { kR1 = 0, kG1 = 1, kG2 = 2, kB1 = 3 };

// The column phase toggles once per pixel over the whole picture, not once per column.
inline int GrayPhaseAt(int bayer_mode, int row, int column, int width) {
    static const int table[4][2][2] = {
        {{kG1, kR1}, {kB1, kG2}},  // 0
        {{kB1, kG2}, {kG1, kR1}},  // 1
        {{kR1, kG1}, {kG2, kB1}},  // 2
        {{kG2, kB1}, {kR1, kG1}},  // 3
    };
    long long pixels_before = static_cast<long long>(row) * width + column;
    return table[bayer_mode][row % 2][pixels_before % 2];
}

struct GrayBalance {
    int gain[4] = {128, 128, 128, 128};
    int offset[4] = {128, 128, 128, 128};
};

// Sums are exact; the means and the quotient are single precision.
inline void MeasureGrayGains(const Picture& raw, int bayer_mode, GrayBalance& balance) {
    long long sum[4] = {0, 0, 0, 0};
    long long count[4] = {0, 0, 0, 0};
    for (int y = 0; y < raw.height; ++y)
        for (int x = 0; x < raw.width; ++x) {
            int p = GrayPhaseAt(bayer_mode, y, x, raw.width);
            sum[p] += raw.Get(y, x);
            count[p] += 1;
        }
    float mean[4];
    for (int p = 0; p < 4; ++p) mean[p] = count[p] ? static_cast<float>(sum[p]) / static_cast<float>(count[p]) : 0.0f;
    balance.gain[kG1] = 128;
    for (int p : {kR1, kG2, kB1})
        if (mean[p] != 0.0f) balance.gain[p] = static_cast<int>(128.0f * mean[kG1] / mean[p]);
}

inline void ApplyGrayBalance(Picture& raw, int bayer_mode, const GrayBalance& balance, int max_value) {
    for (int y = 0; y < raw.height; ++y)
        for (int x = 0; x < raw.width; ++x) {
            int p = GrayPhaseAt(bayer_mode, y, x, raw.width);
            long long v = balance.offset[p] + static_cast<long long>(raw.Get(y, x)) * balance.gain[p] / 128;
            raw.Set(y, x, 0, static_cast<int>(std::clamp<long long>(v, 0, max_value)));
        }
}

inline void LumaFromColour(const Picture& colour, Picture& grey) {
    for (int y = 0; y < colour.height; ++y)
        for (int x = 0; x < colour.width; ++x) {
            int b = colour.Get(y, x, 0), g = colour.Get(y, x, 1), r = colour.Get(y, x, 2);
            grey.Set(y, x, 0, (30 * r + 59 * g + 11 * b) / 100);
        }
}

// --- Hue and saturation ------------------------------------------------------------------------

struct HueShift {
    int a = 0, s = 0, r = 0;
};

inline HueShift HueShiftOf(int hue) {
    uint16_t angle = static_cast<uint16_t>(static_cast<int>(static_cast<long long>(hue) * 65536 / 360));
    int x = (angle * 6) >> 8;
    int m = x % 512;
    if (m >= 256) m -= 512;
    int o = (x + 256) >> 9;
    int b = o % 3;
    HueShift h;
    h.a = m + 510 * b;
    if (h.a < 0) h.a += 1530;
    else if (h.a > 1529) h.a -= 1530;
    h.s = h.a / 255;
    h.r = h.a % 255;
    return h;
}

// One pixel of 8-bit components; the tables are evaluated where they are used.
inline void HueSaturationPixel(int& blue, int& green, int& red, int hue, int saturation) {
    const HueShift shift = HueShiftOf(hue);
    auto grey = [](int n) -> uint32_t { return static_cast<uint32_t>(n) * 0x010101u; };
    auto reciprocal = [](int c) -> int { return c == 0 ? 0 : 0xFF0000 / c; };
    const int k = (saturation + 256) * 256;
    auto scaled = [&](int c) { return (k * c + 0x8000) >> 16; };
    auto lightness = [](int L) { return L; };  // the lightness shift is always 0
    auto limit = [](int L) { return L < 256 ? L : 511 - L; };
    static const uint32_t mask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
    static const int32_t step[6] = {-1, 0x100, -0x10000, 1, -0x100, 0x10000};

    const int R = red, G = green, B = blue;
    const int mx = std::max({R, G, B}), mn = std::min({R, G, B});
    const int c = mx - mn;
    const int L = lightness(mx + mn);
    int sector, n;
    if (R >= G && R >= B) sector = 1, n = G - B;
    else if (G > R && G >= B) sector = 3, n = B - R;
    else sector = 5, n = R - G;  // B above both
    if (n < 0) sector -= 1, n += c;

    const int c2 = std::min(scaled(c), limit(L));
    const int m2 = (L - c2) >> 1;
    const int A = ((L + c2) >> 1) - m2;
    uint32_t v = grey(m2);
    if (c != 0) {
        int w = ((n * reciprocal(c) + 0x8000) >> 16) + shift.r;
        int sk = sector + shift.s;
        if (w >= 255) sk += 1, w -= 255;
        v += (grey(A) & mask[sk % 6]) + static_cast<uint32_t>(((A * w + 128) >> 8) * step[sk % 6]);
    }
    blue = v & 0xFF;
    green = (v >> 8) & 0xFF;
    red = (v >> 16) & 0xFF;
}

inline void HueSaturation(Picture& colour, int hue, int saturation) {
    const int shift = colour.sixteen_bit() ? 8 : 0;
    for (int y = 0; y < colour.height; ++y)
        for (int x = 0; x < colour.width; ++x) {
            int b = colour.Get(y, x, 0) >> shift, g = colour.Get(y, x, 1) >> shift, r = colour.Get(y, x, 2) >> shift;
            HueSaturationPixel(b, g, r, hue, saturation);
            colour.Set(y, x, 0, b << shift);
            colour.Set(y, x, 1, g << shift);
            colour.Set(y, x, 2, r << shift);
        }
}

// --- Point tables ------------------------------------------------------------------------------

inline std::vector<uint16_t> GammaTable(int gamma, bool sixteen_bit) {
    const int M = sixteen_bit ? 65535 : 255;
    std::vector<uint16_t> t(M + 1);
    t[0] = 0;
    for (int i = 1; i <= M; ++i) {
        double v = std::pow(static_cast<double>(i) / M, 100.0 / gamma) * M;  // gamma 0: exponent +inf
        t[i] = static_cast<uint16_t>(v >= M ? M : static_cast<int>(v));
    }
    return t;
}

inline std::vector<uint16_t> ContrastTable(int contrast, bool sixteen_bit) {
    const int M = sixteen_bit ? 65535 : 255;
    const int h = sixteen_bit ? contrast * 256 : contrast;
    const double scale = sixteen_bit ? 65536.0 / (65536 - 512 * contrast) : 256.0 / (256 - 2 * contrast);
    std::vector<uint16_t> t(M + 1);
    for (int i = 0; i <= M; ++i) {
        if (i < h) t[i] = 0;
        else if (i > M - h) t[i] = static_cast<uint16_t>(M);
        else t[i] = static_cast<uint16_t>(static_cast<int>(scale * (i - h)));
    }
    return t;
}

inline std::vector<uint16_t> BrightnessTable(int brightness, bool sixteen_bit) {
    const int M = sixteen_bit ? 65535 : 255;
    float t = 1.0f;
    if (brightness < 0) t = 1.0f - static_cast<float>(-brightness) / 255.0f;
    if (brightness > 0) t = 1.0f + static_cast<float>(10 * brightness) / 255.0f;
    std::vector<uint16_t> table(M + 1);
    for (int i = 0; i <= M; ++i) {
        float v = static_cast<float>(i) * t;
        table[i] = static_cast<uint16_t>(std::min(M, static_cast<int>(v)));
    }
    return table;
}

inline void ApplyTable(Picture& picture, const std::vector<uint16_t>& table) {
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < picture.components(); ++c) picture.Set(y, x, c, table[picture.Get(y, x, c)]);
}

// --- Sharpness ---------------------------------------------------------------------------------

inline void Sharpen(const Picture& source, Picture& target, int sharpness) {
    for (int y = 2; y <= source.height - 3; ++y)
        for (int x = 2; x <= source.width - 3; ++x)
            for (int c = 0; c < source.components(); ++c) {
                int sum = 0;
                for (int by = y - 2; by <= y + 1; ++by)
                    for (int bx = x - 2; bx <= x + 1; ++bx) sum += source.Get(by, bx, c);
                int blur = sum >> 4;
                int o = source.Get(y, x, c);
                int v = o + sharpness * (o - blur) / 10;  // C++ division truncates towards zero
                target.Set(y, x, c, std::clamp(v, 0, source.max_value()));
            }
}

// --- Automatic exposure measuring --------------------------------------------------------------

struct Rect {
    int left, top, right, bottom;  // right and bottom exclusive
};

inline void MeasuringRects(int W, int H, Rect rects[5]) {
    const double xs[5][2] = {{0.1, 0.2}, {0.1, 0.2}, {0.45, 0.55}, {0.8, 0.9}, {0.8, 0.9}};
    const double ys[5][2] = {{0.1, 0.2}, {0.8, 0.9}, {0.45, 0.55}, {0.1, 0.2}, {0.8, 0.9}};
    for (int i = 0; i < 5; ++i)
        rects[i] = {static_cast<int>(xs[i][0] * W), static_cast<int>(ys[i][0] * H), static_cast<int>(xs[i][1] * W),
                    static_cast<int>(ys[i][1] * H)};
}

inline void RegionMeans(const Picture& raw, int means[5]) {
    Rect rects[5];
    MeasuringRects(raw.width, raw.height, rects);
    for (int i = 0; i < 5; ++i) {
        long long sum = 0, count = 0;
        for (int y = rects[i].top; y < rects[i].bottom; ++y)
            for (int x = rects[i].left; x < rects[i].right; ++x) sum += raw.Get(y, x), ++count;
        means[i] = count ? static_cast<int>(sum / count) : 0;
    }
}

}  // namespace kelvox_ref
