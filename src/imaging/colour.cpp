#include "imaging/colour.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/colour_kernels.h"
#include "imaging/dib_image.h"

namespace kelvox::imaging {

std::vector<const KernelSet*> RunnableKernelSets() {
    std::vector<const KernelSet*> sets{&generic::kKernels};
#if defined(__x86_64__) && defined(KELVOX_AVX2_KERNELS)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2")) {
        sets.push_back(&avx2::kKernels);
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
            sets.push_back(&avx512::kKernels);
    }
#endif
    return sets;
}

const KernelSet* ChooseKernelSet(const std::vector<const KernelSet*>& runnable, const char* choice) {
    static constexpr const char* kChoices[][2] = {{"baseline", "baseline"}, {"avx2", "AVX2"}, {"avx512", "AVX-512"}};
    if (choice)
        for (const auto& c : kChoices) {
            if (std::strcmp(choice, c[0]) != 0) continue;
            for (const KernelSet* set : runnable)
                if (std::strcmp(set->name, c[1]) == 0) return set;
        }
    return runnable.back();
}

const KernelSet& Kernels() {
    // KELVOX_KERNELS lets a benchmark or a bug hunt compare the sets on one machine.
    static const KernelSet* const chosen = ChooseKernelSet(RunnableKernelSets(), std::getenv("KELVOX_KERNELS"));
    return *chosen;
}

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

int GainOf(double quotient) {
    if (!(quotient < 400.0)) return 400;  // also an infinite or undefined quotient
    return static_cast<int>(quotient);
}

}  // namespace

BayerGains MeasureWhiteBalance(const Plane& raw, int bayer_mode) {
    uint64_t sums[3] = {}, counts[3] = {};
    Kernels().sum_colours(raw, bayer_mode, sums, counts);
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

// A sharpness from stored settings can be anything; past this its products would overflow.
constexpr int kSharpnessLimit = 32767;

namespace {

HueStep StepOf(int hue, int saturation, const PointTable* after) {
    const auto angle = static_cast<uint16_t>(hue * 65536 / 360);
    const int x = (angle * 6) >> 8;
    int m = x % 512;
    if (m >= 256) m -= 512;
    const int b = ((x + 256) >> 9) % 3;
    int a = m + 510 * b;
    if (a < 0) a += 1530;
    else if (a >= 1530) a -= 1530;
    HueStep step;
    step.sector_shift = a / 255;
    step.fraction_shift = a % 255;
    step.saturation_scale = std::clamp(saturation, -255, 255) + 256;
    step.after = after && after->built() ? after->after_hue() : nullptr;
    return step;
}

}  // namespace

void Demosaic(const Plane& raw, const Plane& colour, int bayer_mode, int red_gain, int blue_gain,
              const RowAdjustments& after, int first_row, int end_row) {
    if (!raw.pixels || !colour.pixels || raw.width != colour.width || raw.height != colour.height) return;
    // A gain read from stored settings can be anything; past 1599 (factor 2046) the products of
    // 16-bit sums would overflow, and every sample but the darkest is at the top of the range anyway.
    auto factor = [](int gain) { return static_cast<int>(std::clamp(gain, 0, 1599) * 1.28); };
    const int kr = factor(red_gain), kb = factor(blue_gain);
    const bool table = after.table && after.table->built();
    HueStep hue;
    if (after.hue_pass) hue = StepOf(after.hue, after.saturation, after.table);
    RowSteps steps;
    steps.hue = after.hue_pass ? &hue : nullptr;
    steps.table = table ? after.table->table() : nullptr;
    steps.sharpness = std::clamp(after.sharpness, -kSharpnessLimit, kSharpnessLimit);
    steps.brightness = after.brightness;
    steps.first_row = first_row;
    steps.end_row = end_row;
    Kernels().demosaic(raw, colour, bayer_mode & 3, kr, kb, steps);
}

// ---- grey modes ----

void MeasureGrayGains(const Plane& raw, int bayer_mode, GrayBalance* balance) {
    uint64_t sums[4] = {}, counts[4] = {};
    Kernels().sum_phases(raw, bayer_mode, sums, counts);
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
    Kernels().balance(raw, bayer_mode, balance, max_value);
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

void HueSaturation(const Plane& colour, int hue, int saturation, const PointTable* after) {
    Kernels().hue_saturation(colour, StepOf(hue, saturation, after));
}

// ---- point tables ----

PointTable::~PointTable() { delete[] table_; }

float BrightnessFactor(int b) {
    if (b == 0) return 1.0f;
    return b < 0 ? 1.0f - static_cast<float>(-b) / 255.0f : 1.0f + static_cast<float>(b * 10) / 255.0f;
}

namespace {

int PointValue(PointOp op, int setting, int i, bool sixteen_bit) {
    const int top = sixteen_bit ? 65535 : 255;
    const double m = top;
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
        case PointOp::Brightness:
            v = std::min(top, static_cast<int>(static_cast<float>(i) * BrightnessFactor(setting)));
            break;
    }
    return std::clamp(v, 0, top);
}

}  // namespace

void PointTable::Prepare(const PointStep* steps, int count, bool sixteen_bit) {
    count = std::clamp(count, 0, kMaxSteps);
    if (built_ && count == count_ && sixteen_bit == sixteen_bit_ && std::equal(steps, steps + count, steps_)) return;
    if (!table_) table_ = new uint16_t[65536];
    const int top = sixteen_bit ? 65535 : 255;
    for (int i = 0; i <= top; ++i) {
        int v = i;
        for (int k = 0; k < count; ++k) v = PointValue(steps[k].op, steps[k].setting, v, sixteen_bit);
        table_[i] = static_cast<uint16_t>(v);
    }
    // The hue pass yields 8-bit components (16-bit ones as k << 8): their 256 entries.
    for (int k = 0; k < 256; ++k) after_hue_[k] = table_[sixteen_bit ? k << 8 : k];
    std::copy(steps, steps + count, steps_);
    count_ = count;
    sixteen_bit_ = sixteen_bit;
    built_ = true;
}

void PointTable::Apply(const Plane& picture) const {
    if (!built_ || !picture.pixels) return;
    Kernels().apply_table(picture, table_, sixteen_bit_);
}

// ---- sharpening ----

void Sharpen(const Plane& picture, int sharpness, float brightness, const SharpenBand& band) {
    if (!picture.pixels) return;
    Kernels().sharpen(picture, std::clamp(sharpness, -kSharpnessLimit, kSharpnessLimit), brightness, band);
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
