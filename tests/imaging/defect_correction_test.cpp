// The shading and defect corrections held byte for byte against plain per-pixel versions written
// from their description (signed divisions, searches to the image edge), on random pictures and
// references, full frame and in windows, with every kernel set, and the worked examples of the
// description.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/colour_kernels.h"
#include "imaging/defect_mask.h"

using namespace kelvox::imaging;

namespace {

uint32_t Get(const DibImage& image, int x, int y) {
    const uint8_t* p = image.pixels() + static_cast<size_t>(y) * image.stride() + x * image.bytes_per_pixel();
    return image.bit_count() == 8 ? p[0] : static_cast<uint32_t>(p[0] | p[1] << 8);
}
void Set(DibImage& image, int x, int y, uint32_t v) {
    uint8_t* p = image.row(y) + x * image.bytes_per_pixel();
    p[0] = static_cast<uint8_t>(v);
    if (image.bit_count() == 16) p[1] = static_cast<uint8_t>(v >> 8);
}
void Fill(DibImage& image, std::mt19937& random, uint32_t range) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) Set(image, x, y, random() % range);
}

// ---- plain versions ----

void PlainShading(DibImage& raw, int x0, int y0, const DibImage& dark, const DibImage& bright) {
    const int w = raw.width(), h = raw.height();
    const int b = w == dark.width() || h == dark.height() ? 2 : 0;
    for (int y = b; y <= h - b - 1; ++y)
        for (int x = b; x <= w - b - 1; ++x) {
            const int64_t v = Get(raw, x, y), d = Get(dark, x0 + x, y0 + y), br = Get(bright, x0 + x, y0 + y);
            if (raw.bit_count() == 8) {
                if (d != br) Set(raw, x, y, static_cast<uint32_t>(std::clamp<int64_t>((v - d) * 256 / (br - d), 0, 255)));
            } else if (d < br) {
                Set(raw, x, y, static_cast<uint32_t>(std::clamp<int64_t>((v - d) * 65536 / (br - d), 0, 65535)));
            }
        }
}

void PlainDefects(DibImage& raw, int x0, int y0, const DibImage& hot, const DibImage& dead, int threshold) {
    const int w = raw.width(), h = raw.height();
    std::vector<uint8_t> flag(static_cast<size_t>(w) * h);
    for (int y = 1; y <= h - 2; ++y)
        for (int x = 1; x <= w - 2; ++x) {
            const int v = static_cast<int>(Get(raw, x, y));
            const int mean = static_cast<int>(Get(raw, x - 1, y) + Get(raw, x + 1, y) + Get(raw, x, y - 1) + Get(raw, x, y + 1)) >> 2;
            const bool marked = x0 + x < hot.width() && y0 + y < hot.height() &&
                                (Get(hot, x0 + x, y0 + y) == 1 || Get(dead, x0 + x, y0 + y) == 1);
            flag[static_cast<size_t>(y) * w + x] = marked || std::abs(v - mean) >= threshold;
        }
    auto flagged = [&](int x, int y) { return flag[static_cast<size_t>(y) * w + x] != 0; };
    for (int y = 1; y <= h - 2; ++y)
        for (int x = 1; x <= w - 2; ++x) {
            if (!flagged(x, y)) continue;
            uint32_t sum = 0, count = 0;
            const int steps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (const auto& s : steps) {
                for (int cx = x + s[0], cy = y + s[1]; cx >= 0 && cx < w && cy >= 0 && cy < h; cx += s[0], cy += s[1])
                    if (!flagged(cx, cy)) {
                        sum += Get(raw, cx, cy);
                        ++count;
                        break;
                    }
            }
            if (count) Set(raw, x, y, sum / count);
        }
}

struct References {
    DibImage dark, bright, hot, dead, flags;
    References(int bits, std::mt19937& random, int defects) {
        for (DibImage* i : {&dark, &bright, &hot, &dead, &flags}) EXPECT_TRUE(i->Create(64, 48, bits));
        const uint32_t range = bits == 8 ? 256 : 65536;
        Fill(dark, random, range / 4);  // mostly below the bright frame, with some crossings and equals
        Fill(bright, random, range);
        for (int i = 0; i < 20; ++i) Set(bright, random() % 64, random() % 48, Get(dark, 7, 7)), Set(dark, 7, 7, 0);
        for (int i = 0; i < defects; ++i) Set(random() % 2 ? hot : dead, 2 + random() % 60, 2 + random() % 44, 1);
    }
};

}  // namespace

TEST(DefectCorrection, FastVersionsEqualThePlainOnes) {
    std::mt19937 random(2024);
    const struct {
        int bits, defects, noise;  // noise: how far raw samples spread (outliers at the threshold)
    } kinds[] = {{8, 0, 256}, {8, 12, 40}, {8, 3000, 256}, {16, 12, 800}, {16, 3000, 65536}, {16, 0, 600}};
    const struct {
        int width, height, x0, y0;
    } windows[] = {{64, 48, 0, 0}, {20, 15, 7, 9}, {64, 10, 0, 30}, {3, 3, 60, 44}, {33, 48, 31, 0}};
    for (const KernelSet* set : RunnableKernelSets())
    for (const auto& k : kinds) {
        References r(k.bits, random, k.defects);
        ShadingCorrection shading(*set);
        shading.Prepare(r.dark, r.bright);
        DefectCorrection defects(*set);
        for (const auto& w : windows) {
            SCOPED_TRACE(testing::Message() << set->name << ", " << k.bits << " bits, " << k.defects << " marked, window " << w.width << "x"
                                            << w.height << " at " << w.x0 << "," << w.y0);
            DibImage fast, plain;
            ASSERT_TRUE(fast.Create(w.width, w.height, k.bits));
            ASSERT_TRUE(plain.Create(w.width, w.height, k.bits));
            const uint32_t base = k.bits == 8 ? 100 : 20000;
            for (int y = 0; y < w.height; ++y)
                for (int x = 0; x < w.width; ++x)
                    Set(fast, x, y, k.noise >= 256 && k.bits == 8 ? random() % 256 : (base + random() % k.noise) % (k.bits == 8 ? 256 : 65536));
            std::memcpy(plain.pixels(), fast.pixels(), fast.size());
            for (int first = 0, rows = 1 + static_cast<int>(random() % 5); first < w.height; first += rows)  // in bands
                shading.Apply(fast, w.x0, w.y0, first, std::min(first + rows, w.height));
            PlainShading(plain, w.x0, w.y0, r.dark, r.bright);
            ASSERT_EQ(std::memcmp(fast.pixels(), plain.pixels(), fast.size()), 0) << "shading";
            const int threshold = k.bits == 8 ? kOutlierThreshold8 : kOutlierThreshold16;
            defects.Apply(fast, w.x0, w.y0, r.hot, r.dead, r.flags, threshold);
            PlainDefects(plain, w.x0, w.y0, r.hot, r.dead, threshold);
            ASSERT_EQ(std::memcmp(fast.pixels(), plain.pixels(), fast.size()), 0) << "defects";
        }
    }
}

TEST(DefectCorrection, WorkedExamples) {
    DibImage dark, bright, raw;
    ASSERT_TRUE(dark.Create(8, 8, 8));
    ASSERT_TRUE(bright.Create(8, 8, 8));
    ASSERT_TRUE(raw.Create(8, 8, 8));
    std::memset(dark.pixels(), 10, dark.size());
    std::memset(bright.pixels(), 210, bright.size());
    const int samples[3] = {110, 5, 250}, corrected[3] = {128, 0, 255};
    for (int i = 0; i < 3; ++i) Set(raw, 2 + i, 3, samples[i]);
    ShadingCorrection shading;
    shading.Prepare(dark, bright);
    shading.Apply(raw, 0, 0);  // a window smaller than the references: no border kept
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Get(raw, 2 + i, 3), static_cast<uint32_t>(corrected[i]));

    // 16 bits: a bright reference not above the dark one leaves the sample alone.
    DibImage dark16, bright16, raw16;
    ASSERT_TRUE(dark16.Create(8, 8, 16));
    ASSERT_TRUE(bright16.Create(8, 8, 16));
    ASSERT_TRUE(raw16.Create(8, 8, 16));
    Set(dark16, 4, 4, 3000);
    Set(bright16, 4, 4, 3000);
    Set(raw16, 4, 4, 1234);
    Set(dark16, 5, 4, 1000);
    Set(bright16, 5, 4, 33768);
    Set(raw16, 5, 4, 17384);  // (16384 * 65536) / 32768
    shading.Prepare(dark16, bright16);
    shading.Apply(raw16, 0, 0);
    EXPECT_EQ(Get(raw16, 4, 4), 1234u);
    EXPECT_EQ(Get(raw16, 5, 4), 32768u);

    // Outliers: 100 among neighbours of 60 is replaced by 60, among 80 it stays; a marked pixel is
    // replaced by its good neighbours' mean; the outermost rows and columns never change.
    DibImage none, marked, flags, image;
    for (DibImage* i : {&none, &marked, &flags, &image}) ASSERT_TRUE(i->Create(9, 9, 8));
    DefectCorrection defects;
    for (const int around : {60, 80}) {
        std::memset(image.pixels(), around, image.size());
        Set(image, 4, 4, 100);
        defects.Apply(image, 0, 0, none, none, flags, kOutlierThreshold8);
        EXPECT_EQ(Get(image, 4, 4), around == 60 ? 60u : 100u);
    }
    std::memset(image.pixels(), 50, image.size());
    Set(image, 3, 6, 70);  // within the threshold, but marked: (50 + 50 + 50 + 50) / 4
    Set(image, 4, 6, 60);
    Set(marked, 3, 6, 1);
    Set(image, 0, 5, 250);  // the edge is never flagged
    Set(image, 8, 2, 0);
    defects.Apply(image, 0, 0, marked, none, flags, kOutlierThreshold8);
    EXPECT_EQ(Get(image, 3, 6), (50u + 60 + 50 + 50) / 4);
    EXPECT_EQ(Get(image, 0, 5), 250u);
    EXPECT_EQ(Get(image, 8, 2), 0u);
}
