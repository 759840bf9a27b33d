// The pixel kernels of frame processing: the numbers they are known to give, and byte-for-byte
// agreement with the plain per-pixel versions in reference_kernels.h on random pictures of odd
// and even sizes, including row padding and the fourth component, which no kernel may touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/band_workers.h"
#include "imaging/colour.h"
#include "imaging/colour_kernels.h"
#include "imaging/dib_image.h"
#include "imaging/frame_pipeline.h"
#include "imaging/reference_kernels.h"

namespace img = kelvox::imaging;
namespace ref = kelvox_ref;

namespace {

const std::pair<int, int> kSizes[] = {{1, 1}, {2, 3}, {3, 2}, {4, 1}, {1, 6}, {5, 4},
                                      {7, 9}, {16, 16}, {33, 17}, {64, 31}};

img::Plane PlaneFor(ref::Picture& p) { return {p.bytes.data(), p.width, p.height, p.stride, p.bytes_per_pixel}; }

int Uniform(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// Every byte random, padding and fourth components included.
ref::Picture RandomPicture(std::mt19937& rng, int w, int h, int bpp) {
    ref::Picture p(w, h, bpp);
    for (auto& b : p.bytes) b = static_cast<uint8_t>(rng());
    return p;
}

std::string Where(const ref::Picture& p, size_t i) {
    int row = static_cast<int>(i / p.stride), in_row = static_cast<int>(i % p.stride);
    std::string s = "row " + std::to_string(row);
    if (in_row >= p.width * p.bytes_per_pixel) return s + ", padding byte " + std::to_string(in_row);
    int byte = in_row % p.bytes_per_pixel;
    s += ", column " + std::to_string(in_row / p.bytes_per_pixel) + ", byte " + std::to_string(byte);
    if (p.components() == 3 && byte >= 3 * p.component_bytes()) s += " (fourth component)";
    return s;
}

// Compares whole buffers and names the first difference.
testing::AssertionResult SameBytes(const ref::Picture& expected, const ref::Picture& got) {
    if (expected.bytes.size() != got.bytes.size()) return testing::AssertionFailure() << "buffer sizes differ";
    size_t first = 0, differing = 0;
    for (size_t i = 0; i < expected.bytes.size(); ++i)
        if (expected.bytes[i] != got.bytes[i] && differing++ == 0) first = i;
    if (differing == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << differing << " byte(s) differ in a " << expected.width << "x"
                                       << expected.height << " picture of " << expected.bytes_per_pixel
                                       << " bytes per pixel; first at " << Where(expected, first) << ": reference "
                                       << int(expected.bytes[first]) << ", kernel " << int(got.bytes[first]);
}

std::string Settings(int w, int h, int bpp, const std::string& more) {
    return std::to_string(w) + "x" + std::to_string(h) + " bpp " + std::to_string(bpp) + " " + more;
}

// A raw picture whose samples follow the colour at each position.
ref::Picture BayerField(int w, int h, int bpp, int mode, int red, int green, int blue) {
    ref::Picture raw(w, h, bpp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int c = ref::BayerColourAt(mode, y, x);
            raw.Set(y, x, 0, c == ref::kRed ? red : c == ref::kGreen ? green : blue);
        }
    return raw;
}

ref::Picture FlipRows(const ref::Picture& p) {
    ref::Picture q = p;
    for (int y = 0; y < p.height; ++y)
        std::memcpy(&q.bytes[static_cast<size_t>(y) * p.stride],
                    &p.bytes[static_cast<size_t>(p.height - 1 - y) * p.stride], p.stride);
    return q;
}

ref::Picture FlipColumns(const ref::Picture& p) {
    ref::Picture q = p;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) q.Set(y, x, 0, p.Get(y, p.width - 1 - x));
    return q;
}

// The fast demosaic's output on a colour picture of zeros.
ref::Picture FastDemosaic(ref::Picture raw, int colour_bpp, int mode, int red_gain, int blue_gain) {
    ref::Picture colour(raw.width, raw.height, colour_bpp);
    img::Demosaic(PlaneFor(raw), PlaneFor(colour), mode, red_gain, blue_gain);
    return colour;
}

ref::Picture RefDemosaic(const ref::Picture& raw, int colour_bpp, int mode, int red_gain, int blue_gain) {
    ref::Picture colour(raw.width, raw.height, colour_bpp);
    ref::Demosaic(raw, colour, mode, red_gain, blue_gain);
    return colour;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Known numbers, checked on the kernels and on the reference alike.

TEST(ColourKernelsKnown, PlaneDescribesTheBitmap) {
    img::DibImage image;
    ASSERT_EQ(image.Create(5, 3, 24), 1);
    img::Plane plane = img::PlaneOf(image);
    EXPECT_EQ(plane.pixels, image.pixels());
    EXPECT_EQ(plane.width, 5);
    EXPECT_EQ(plane.height, 3);
    EXPECT_EQ(plane.stride, 16);
    EXPECT_EQ(plane.bytes_per_pixel, 3);
}

TEST(ColourKernelsKnown, BayerTablesAndMirroring) {
    // Vertical mirroring swaps the rows of the cell, horizontal its columns.
    for (int mode = 0; mode < 4; ++mode)
        for (int v = 0; v < 2; ++v)
            for (int h = 0; h < 2; ++h) {
                int adjusted = img::AdjustBayerMode(mode, v, h);
                EXPECT_EQ(adjusted, ref::AdjustBayerMode(mode, v, h)) << mode << v << h;
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < 2; ++x)
                        EXPECT_EQ(img::BayerColourAt(adjusted, v ? 1 - y : y, h ? 1 - x : x),
                                  img::BayerColourAt(mode, y, x))
                            << mode << v << h << y << x;
            }
    EXPECT_EQ(img::AdjustBayerMode(0, 1, 0), 1);
    EXPECT_EQ(img::AdjustBayerMode(0, 0, 1), 2);
    EXPECT_EQ(img::AdjustBayerMode(2, 1, 1), 1);
    // The period is 2 in both directions.
    for (int mode = 0; mode < 4; ++mode)
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(img::BayerColourAt(mode, y, x), ref::BayerColourAt(mode, y, x));
                EXPECT_EQ(img::BayerColourAt(mode, y, x), img::BayerColourAt(mode, y % 2, x % 2));
            }
    EXPECT_EQ(img::BayerColourAt(0, 0, 1), ref::kBlue);
    EXPECT_EQ(img::BayerColourAt(0, 1, 0), ref::kRed);
    EXPECT_EQ(img::BayerColourAt(3, 0, 1), ref::kRed);
    EXPECT_EQ(img::BayerColourAt(2, 0, 0), ref::kBlue);
}

TEST(ColourKernelsKnown, FlatColourFieldsSurviveTheDemosaic) {
    // Red 200 at gain 100: kr 128, sum 16 * 200, 128 * 3200 >> 11 = 200, also at the border,
    // which repeats samples of the same phase.
    for (int raw_bpp : {1, 2})
        for (int colour_bpp : raw_bpp == 1 ? std::vector<int>{3, 4} : std::vector<int>{6, 8})
            for (int mode = 0; mode < 4; ++mode) {
                SCOPED_TRACE(Settings(8, 6, colour_bpp, "mode " + std::to_string(mode)));
                ref::Picture raw = BayerField(8, 6, raw_bpp, mode, 200, 50, 7);
                for (const ref::Picture& colour :
                     {FastDemosaic(raw, colour_bpp, mode, 100, 100), RefDemosaic(raw, colour_bpp, mode, 100, 100)})
                    for (int y = 0; y < 6; ++y)
                        for (int x = 0; x < 8; ++x) {
                            ASSERT_EQ(colour.Get(y, x, 2), 200) << y << "," << x;
                            ASSERT_EQ(colour.Get(y, x, 1), 50) << y << "," << x;
                            ASSERT_EQ(colour.Get(y, x, 0), 7) << y << "," << x;
                        }
            }
}

TEST(ColourKernelsKnown, DemosaicGainsAndTheirLimit) {
    // Gain 400 (kr 512) on 100: 400, which 8-bit output stores as 255 and 16-bit keeps.
    ref::Picture raw8 = BayerField(7, 5, 1, 1, 100, 100, 100);
    ref::Picture raw16 = BayerField(7, 5, 2, 1, 100, 100, 100);
    for (const ref::Picture& colour : {FastDemosaic(raw8, 3, 1, 400, 50), RefDemosaic(raw8, 3, 1, 400, 50)}) {
        EXPECT_EQ(colour.Get(2, 2, 2), 255);
        EXPECT_EQ(colour.Get(2, 2, 0), 50);  // kb = 64
        EXPECT_EQ(colour.Get(2, 2, 1), 100);  // the green gain takes no part
    }
    for (const ref::Picture& colour : {FastDemosaic(raw16, 6, 1, 400, 0), RefDemosaic(raw16, 6, 1, 400, 0)}) {
        EXPECT_EQ(colour.Get(2, 2, 2), 400);
        EXPECT_EQ(colour.Get(2, 2, 0), 0);
    }
    // A full-scale 16-bit field at gain 400 clips to the top of the range.
    ref::Picture bright = BayerField(6, 6, 2, 0, 65535, 65535, 65535);
    for (const ref::Picture& colour : {FastDemosaic(bright, 8, 0, 400, 400), RefDemosaic(bright, 8, 0, 400, 400)})
        for (int c = 0; c < 3; ++c) EXPECT_EQ(colour.Get(3, 3, c), 65535);
    // Gains from stored settings outside 0..400: negative ones act as 0, huge ones as 1599, whose
    // products still fit (the sanitizers would see an overflow).
    std::mt19937 rng(103);
    for (int raw_bpp : {1, 2}) {
        const ref::Picture raw = RandomPicture(rng, 37, 9, raw_bpp);
        const int colour_bpp = 3 * raw_bpp;
        EXPECT_TRUE(
            SameBytes(FastDemosaic(raw, colour_bpp, 2, -5, 1 << 30), FastDemosaic(raw, colour_bpp, 2, 0, 1599)));
        EXPECT_TRUE(SameBytes(FastDemosaic(raw, colour_bpp, 2, 1599, 0), RefDemosaic(raw, colour_bpp, 2, 1599, 0)));
    }
}

TEST(ColourKernelsKnown, DemosaicWeightsTheNearestSamples) {
    // One red sample of 160 in a dark mode-1 field (red at even rows and columns). The point
    // between rows 2..3 and columns 2..3 has it as its nearest red (weight 9): 9 * 160 / 16 = 90.
    // Diagonal neighbours of the point at (4, 4) see it two rows and columns further out: 160 / 16.
    ref::Picture raw = BayerField(8, 8, 1, 1, 0, 0, 0);
    raw.Set(2, 2, 0, 160);
    for (const ref::Picture& colour : {FastDemosaic(raw, 3, 1, 100, 100), RefDemosaic(raw, 3, 1, 100, 100)}) {
        EXPECT_EQ(colour.Get(3, 3, 2), 90);
        EXPECT_EQ(colour.Get(3, 2, 2), 90);  // the point between columns 1..2
        EXPECT_EQ(colour.Get(3, 4, 2), 30);  // weight 3: one column pair further
        EXPECT_EQ(colour.Get(4, 4, 2), 10);
        EXPECT_EQ(colour.Get(5, 5, 2), 0);
        EXPECT_EQ(colour.Get(3, 3, 1), 0);
    }
}

TEST(ColourKernelsKnown, MirroredPicturesAreDemosaicedWithTheAdjustedMode) {
    // The sensor's mirror moves the colour filter with the picture: a mode-0 field mirrored
    // vertically is demosaiced correctly as mode 1 (and likewise for the other mirrors).
    for (int v = 0; v < 2; ++v)
        for (int h = 0; h < 2; ++h) {
            ref::Picture raw = BayerField(10, 8, 1, 0, 200, 50, 7);
            if (v) raw = FlipRows(raw);
            if (h) raw = FlipColumns(raw);
            int mode = img::AdjustBayerMode(0, v, h);
            if (v && !h) {
                EXPECT_EQ(mode, 1);
            }
            ref::Picture colour = FastDemosaic(raw, 3, mode, 100, 100);
            EXPECT_TRUE(SameBytes(RefDemosaic(raw, 3, mode, 100, 100), colour));
            EXPECT_EQ(colour.Get(4, 4, 2), 200) << v << h;
            EXPECT_EQ(colour.Get(4, 4, 1), 50) << v << h;
            EXPECT_EQ(colour.Get(4, 4, 0), 7) << v << h;
        }
}

TEST(ColourKernelsKnown, WhiteBalance) {
    for (int bpp : {1, 2})
        for (int mode = 0; mode < 4; ++mode) {
            SCOPED_TRACE(Settings(9, 7, bpp, "mode " + std::to_string(mode)));
            ref::Picture grey = BayerField(9, 7, bpp, mode, 90, 90, 90);
            img::BayerGains g = img::MeasureWhiteBalance(PlaneFor(grey), mode);
            EXPECT_EQ(g.red, 100);
            EXPECT_EQ(g.green, 100);
            EXPECT_EQ(g.blue, 100);
            ref::Gains r = ref::MeasureWhiteBalance(grey, mode);
            EXPECT_EQ(r.red, 100);
            EXPECT_EQ(r.blue, 100);

            // Red at half the green doubles; a colour with a zero mean gets the limit.
            ref::Picture tinted = BayerField(8, 6, bpp, mode, 50, 100, 0);
            g = img::MeasureWhiteBalance(PlaneFor(tinted), mode);
            EXPECT_EQ(g.red, 200);
            EXPECT_EQ(g.green, 100);
            EXPECT_EQ(g.blue, 400);
            r = ref::MeasureWhiteBalance(tinted, mode);
            EXPECT_EQ(r.red, 200);
            EXPECT_EQ(r.blue, 400);

            ref::Picture dim = BayerField(8, 6, bpp, mode, 20, 100, 80);  // 500 and 125
            g = img::MeasureWhiteBalance(PlaneFor(dim), mode);
            EXPECT_EQ(g.red, 400);
            EXPECT_EQ(g.blue, 125);
            r = ref::MeasureWhiteBalance(dim, mode);
            EXPECT_EQ(r.red, 400);
            EXPECT_EQ(r.blue, 125);

            // Through the shares of the sum, 100 * 100 / 40 falls just short of 250.
            ref::Picture share = BayerField(8, 6, bpp, mode, 20, 100, 40);
            EXPECT_EQ(img::MeasureWhiteBalance(PlaneFor(share), mode).blue, 249);
            EXPECT_EQ(ref::MeasureWhiteBalance(share, mode).blue, 249);
        }
}

TEST(ColourKernelsKnown, WhiteBalanceFollowsTheMirroredFilter) {
    std::mt19937 rng(11);
    for (int mode = 0; mode < 4; ++mode)
        for (int v = 0; v < 2; ++v)
            for (int h = 0; h < 2; ++h) {
                ref::Picture raw = RandomPicture(rng, 12, 10, 1);
                img::BayerGains before = img::MeasureWhiteBalance(PlaneFor(raw), mode);
                if (v) raw = FlipRows(raw);
                if (h) raw = FlipColumns(raw);
                img::BayerGains after = img::MeasureWhiteBalance(PlaneFor(raw), img::AdjustBayerMode(mode, v, h));
                EXPECT_EQ(before.red, after.red) << mode << v << h;
                EXPECT_EQ(before.blue, after.blue) << mode << v << h;
            }
}

TEST(ColourKernelsKnown, GreyPhasesRunOnAcrossRows) {
    using P = std::vector<int>;
    const int R1 = ref::kR1, G1 = ref::kG1, G2 = ref::kG2, B1 = ref::kB1;
    // Even width: the cell repeats; odd width: the column phase carries over into the next row.
    const P even_mode2 = {R1, G1, R1, G1, G2, B1, G2, B1, R1, G1, R1, G1};
    const P odd_mode2 = {R1, G1, R1, B1, G2, B1, R1, G1, R1};
    const P odd_mode0 = {G1, R1, G1, G2, B1, G2, G1, R1, G1};
    auto phases = [](auto at, int mode, int w, int h) {
        P out;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) out.push_back(at(mode, y, x, w));
        return out;
    };
    auto fast = [](int m, int y, int x, int w) { return img::GrayPhaseAt(m, y, x, w); };
    auto plain = [](int m, int y, int x, int w) { return ref::GrayPhaseAt(m, y, x, w); };
    EXPECT_EQ(phases(fast, 2, 4, 3), even_mode2);
    EXPECT_EQ(phases(fast, 2, 3, 3), odd_mode2);
    EXPECT_EQ(phases(fast, 0, 3, 3), odd_mode0);
    EXPECT_EQ(phases(plain, 2, 4, 3), even_mode2);
    EXPECT_EQ(phases(plain, 2, 3, 3), odd_mode2);
    EXPECT_EQ(phases(plain, 0, 3, 3), odd_mode0);
    for (int mode = 0; mode < 4; ++mode)
        for (int w = 1; w <= 7; ++w) EXPECT_EQ(phases(fast, mode, w, 5), phases(plain, mode, w, 5)) << mode << w;
}

TEST(ColourKernelsKnown, GreyGainsAndOffsets) {
    img::GrayBalance full;
    ref::GrayBalance full_ref;
    for (int p = 0; p < 4; ++p) full.gain[p] = full_ref.gain[p] = 255, full.offset[p] = full_ref.offset[p] = 0;
    img::GrayBalance lift;
    ref::GrayBalance lift_ref;
    for (int p = 0; p < 4; ++p) lift.offset[p] = lift_ref.offset[p] = 10;

    const int samples[] = {0, 100, 200, 250, 255};
    ref::Picture raw(5, 1, 1);
    for (int x = 0; x < 5; ++x) raw.Set(0, x, 0, samples[x]);
    ref::Picture a = raw, b = raw;
    img::ApplyGrayBalance(PlaneFor(a), 0, full, 255);
    ref::ApplyGrayBalance(b, 0, full_ref, 255);
    for (const ref::Picture& p : {a, b}) {
        EXPECT_EQ(p.Get(0, 0), 0);
        EXPECT_EQ(p.Get(0, 1), 199);  // 25500 / 128
        EXPECT_EQ(p.Get(0, 2), 255);
    }
    a = raw, b = raw;
    img::ApplyGrayBalance(PlaneFor(a), 3, lift, 255);
    ref::ApplyGrayBalance(b, 3, lift_ref, 255);
    for (const ref::Picture& p : {a, b}) {
        EXPECT_EQ(p.Get(0, 0), 10);
        EXPECT_EQ(p.Get(0, 1), 110);
        EXPECT_EQ(p.Get(0, 2), 210);
        EXPECT_EQ(p.Get(0, 3), 255);
        EXPECT_EQ(p.Get(0, 4), 255);
    }
    // 16-bit data is limited to the maximum of its bit depth.
    ref::Picture raw16(3, 1, 2);
    raw16.Set(0, 0, 0, 1000), raw16.Set(0, 1, 0, 1013), raw16.Set(0, 2, 0, 1020);
    a = raw16, b = raw16;
    img::ApplyGrayBalance(PlaneFor(a), 1, lift, 1023);
    ref::ApplyGrayBalance(b, 1, lift_ref, 1023);
    for (const ref::Picture& p : {a, b}) {
        EXPECT_EQ(p.Get(0, 0), 1010);
        EXPECT_EQ(p.Get(0, 1), 1023);
        EXPECT_EQ(p.Get(0, 2), 1023);
    }
}

TEST(ColourKernelsKnown, OneShotGreyGains) {
    // Mode 2 phases: R1 G1 / G2 B1. G1 twice R1, equal to G2, four times B1; offsets stay.
    ref::Picture raw(6, 4, 1);
    const int level[4] = {40, 80, 80, 20};  // R1, G1, G2, B1
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) raw.Set(y, x, 0, level[ref::GrayPhaseAt(2, y, x, 6)]);
    img::GrayBalance balance;
    balance.gain[ref::kG1] = 7;
    balance.offset[ref::kR1] = 3;
    ref::GrayBalance balance_ref;
    balance_ref.gain[ref::kG1] = 7;
    balance_ref.offset[ref::kR1] = 3;
    img::MeasureGrayGains(PlaneFor(raw), 2, &balance);
    ref::MeasureGrayGains(raw, 2, balance_ref);
    for (const int* gain : {balance.gain, balance_ref.gain}) {
        EXPECT_EQ(gain[ref::kR1], 256);
        EXPECT_EQ(gain[ref::kG1], 128);
        EXPECT_EQ(gain[ref::kG2], 128);
        EXPECT_EQ(gain[ref::kB1], 512);
    }
    EXPECT_EQ(balance.offset[ref::kR1], 3);
    EXPECT_EQ(balance.offset[ref::kB1], 128);

    // A phase whose mean is zero keeps its gain.
    ref::Picture dark(4, 4, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) dark.Set(y, x, 0, ref::GrayPhaseAt(2, y, x, 4) == ref::kB1 ? 0 : 60);
    img::GrayBalance kept;
    kept.gain[ref::kB1] = 77;
    img::MeasureGrayGains(PlaneFor(dark), 2, &kept);
    EXPECT_EQ(kept.gain[ref::kB1], 77);
    EXPECT_EQ(kept.gain[ref::kR1], 128);

    // Means over many 16-bit samples stay exact (65535 = 3 x 21845); a sum kept in single
    // precision drifts below 384 at this size.
    ref::Picture wide(320, 256, 2);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 320; ++x) wide.Set(y, x, 0, ref::GrayPhaseAt(0, y, x, 320) == ref::kG1 ? 65535 : 21845);
    img::GrayBalance exact;
    ref::GrayBalance exact_ref;
    img::MeasureGrayGains(PlaneFor(wide), 0, &exact);
    ref::MeasureGrayGains(wide, 0, exact_ref);
    for (int p : {ref::kR1, ref::kG2, ref::kB1}) {
        EXPECT_EQ(exact.gain[p], 384) << p;
        EXPECT_EQ(exact_ref.gain[p], 384) << p;
    }
}

TEST(ColourKernelsKnown, LuminanceWeights) {
    ref::Picture colour(5, 1, 3);
    const int bgr[5][3] = {{255, 255, 255}, {0, 0, 100}, {0, 100, 0}, {100, 0, 0}, {0, 0, 255}};
    for (int x = 0; x < 5; ++x)
        for (int c = 0; c < 3; ++c) colour.Set(0, x, c, bgr[x][c]);
    ref::Picture grey(5, 1, 1), grey_ref(5, 1, 1);
    img::LumaFromColour(PlaneFor(colour), PlaneFor(grey));
    ref::LumaFromColour(colour, grey_ref);
    for (const ref::Picture& g : {grey, grey_ref}) {
        EXPECT_EQ(g.Get(0, 0), 255);
        EXPECT_EQ(g.Get(0, 1), 30);
        EXPECT_EQ(g.Get(0, 2), 59);
        EXPECT_EQ(g.Get(0, 3), 11);
        EXPECT_EQ(g.Get(0, 4), 76);  // 7650 / 100
    }
}

TEST(ColourKernelsKnown, HueTurnsPureRedIntoGreen) {
    // Hue 120: a = 509, s = 1, r = 254; red 255 becomes red 2, green 255.
    ref::HueShift shift = ref::HueShiftOf(120);
    EXPECT_EQ(shift.a, 509);
    EXPECT_EQ(shift.s, 1);
    EXPECT_EQ(shift.r, 254);
    for (int bpp : {3, 4, 6, 8}) {
        SCOPED_TRACE(bpp);
        ref::Picture colour(3, 2, bpp);
        const int top = bpp >= 6 ? 0xFF00 : 0xFF, low = bpp >= 6 ? 0xFFFF : 0xFF;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) colour.Set(y, x, 2, x == 2 ? low : top);  // low byte ignored
        ref::Picture fast = colour, plain = colour;
        img::HueSaturation(PlaneFor(fast), 120, 0);
        ref::HueSaturation(plain, 120, 0);
        const int unit = bpp >= 6 ? 256 : 1;
        for (const ref::Picture& p : {fast, plain})
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x) {
                    EXPECT_EQ(p.Get(y, x, 2), 2 * unit);
                    EXPECT_EQ(p.Get(y, x, 1), 255 * unit);
                    EXPECT_EQ(p.Get(y, x, 0), 0);
                }
    }
}

TEST(ColourKernelsKnown, LowestSaturationLeavesGrey) {
    // k = 256: the scaled chroma is 0 or 1, so every pixel ends within one step of grey.
    std::mt19937 rng(5);
    ref::Picture colour = RandomPicture(rng, 32, 16, 3);
    ref::Picture fast = colour, plain = colour;
    img::HueSaturation(PlaneFor(fast), 0, -255);
    img::HueSaturation(PlaneFor(fast), 77, -255);
    ref::HueSaturation(plain, 0, -255);
    ref::HueSaturation(plain, 77, -255);
    for (const ref::Picture& p : {fast, plain})
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) {
                int b = p.Get(y, x, 0), g = p.Get(y, x, 1), r = p.Get(y, x, 2);
                ASSERT_LE(std::max({b, g, r}) - std::min({b, g, r}), 1) << y << "," << x;
            }
}

TEST(ColourKernelsKnown, PointTables) {
    img::PointTable table;
    auto check = [&](img::PointOp op, int setting, std::vector<std::pair<int, int>> expected) {
        std::vector<uint16_t> plain = op == img::PointOp::Gamma      ? ref::GammaTable(setting, false)
                                      : op == img::PointOp::Contrast ? ref::ContrastTable(setting, false)
                                                                     : ref::BrightnessTable(setting, false);
        table.Prepare(op, setting, false);
        for (auto [in, out] : expected) {
            EXPECT_EQ(table.table()[in], out) << int(op) << " " << setting << " at " << in;
            EXPECT_EQ(plain[in], out) << int(op) << " " << setting << " at " << in;
        }
    };
    check(img::PointOp::Gamma, 200, {{0, 0}, {64, 127}, {255, 255}});
    check(img::PointOp::Gamma, 0, {{0, 0}, {254, 0}, {255, 255}});
    check(img::PointOp::Contrast, 64, {{63, 0}, {64, 0}, {128, 128}, {191, 254}, {192, 255}});
    check(img::PointOp::Contrast, -64, {{0, 42}, {255, 212}});  // 256 / 384 * (i + 64)
    check(img::PointOp::Brightness, -255, {{0, 0}, {128, 0}, {255, 0}});
    check(img::PointOp::Brightness, 255, {{0, 0}, {1, 11}, {20, 220}, {23, 253}, {24, 255}, {255, 255}});

    // The table follows a change of operation at the same setting.
    check(img::PointOp::Gamma, 50, {{128, 64}});  // (128 / 255)^2 * 255 = 64.25
    check(img::PointOp::Contrast, 50, {{49, 0}, {206, 255}});
}

TEST(ColourKernelsKnown, PointTablesApplyToEveryComponentButTheFourth) {
    img::PointTable table;
    table.Prepare(img::PointOp::Brightness, -255, false);
    ref::Picture four(3, 2, 4);
    std::fill(four.bytes.begin(), four.bytes.end(), 200);
    table.Apply(PlaneFor(four));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            for (int c = 0; c < 3; ++c) EXPECT_EQ(four.Get(y, x, c), 0);
            EXPECT_EQ(four.bytes[four.Offset(y, x, 3)], 200);
        }
    table.Prepare(img::PointOp::Brightness, 255, true);
    ref::Picture eight(2, 1, 8);
    eight.Set(0, 0, 0, 1000), eight.Set(0, 0, 1, 6000), eight.Set(0, 0, 2, 5957), eight.Set(0, 0, 3, 4);
    table.Apply(PlaneFor(eight));
    EXPECT_EQ(eight.Get(0, 0, 0), 11000);
    EXPECT_EQ(eight.Get(0, 0, 1), 65535);
    EXPECT_EQ(eight.Get(0, 0, 2), 65527);
    EXPECT_EQ(eight.Get(0, 0, 3), 4);
}

TEST(ColourKernelsKnown, SharpnessFromStoredSettingsIsBounded) {
    // Stored settings can hold any sharpness; beyond +-32767 it acts as the bound, whose products
    // still fit (the sanitizers would see an overflow), on the picture and on demosaiced rows.
    std::mt19937 rng(111);
    for (int bpp : {3, 6}) {
        const ref::Picture source = RandomPicture(rng, 9, 8, bpp);
        for (int huge : {1 << 30, -(1 << 30)}) {
            ref::Picture a = source, b = source;
            img::Sharpen(PlaneFor(a), huge);
            img::Sharpen(PlaneFor(b), huge > 0 ? 32767 : -32767);
            EXPECT_TRUE(SameBytes(b, a));
            ref::Picture raw = RandomPicture(rng, 9, 8, bpp / 3), fused(9, 8, bpp), passes(9, 8, bpp);
            img::RowAdjustments after;
            after.sharpness = huge;
            img::Demosaic(PlaneFor(raw), PlaneFor(fused), 1, 100, 100, after);
            img::Demosaic(PlaneFor(raw), PlaneFor(passes), 1, 100, 100);
            img::Sharpen(PlaneFor(passes), huge);
            EXPECT_TRUE(SameBytes(passes, fused));
        }
    }
}

TEST(ColourKernelsKnown, SharpenKeepsTheBorderAndTruncatesTowardsZero) {
    // Flat 100 with one 200 at (5, 5). Every 4 x 4 block holding it sums to 1700, blur 106.
    for (int bpp : {1, 3}) {
        ref::Picture source(11, 10, bpp);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 11; ++x)
                for (int c = 0; c < source.components(); ++c) source.Set(y, x, c, 100);
        for (int c = 0; c < source.components(); ++c) source.Set(5, 5, c, 200);
        ref::Picture fast = source, plain = source;
        img::Sharpen(PlaneFor(fast), 3);
        ref::Sharpen(source, plain, 3);
        for (const ref::Picture& p : {fast, plain}) {
            EXPECT_EQ(p.Get(5, 5, 0), 228);  // 200 + 3 * 94 / 10
            EXPECT_EQ(p.Get(5, 6, 0), 99);   // 100 + 3 * -6 / 10 = 100 - 1
            EXPECT_EQ(p.Get(2, 2, 0), 100);  // no block of it
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 11; ++x)
                    if (y < 2 || y > 7 || x < 2 || x > 8) {
                        for (int i = 0; i < bpp; ++i)
                            ASSERT_EQ(p.bytes[p.Offset(y, x, 0) + i], source.bytes[source.Offset(y, x, 0) + i])
                                << y << "," << x;
                    }
        }
    }
}

TEST(ColourKernelsKnown, MeasuringRegions) {
    // 100 x 50: x 10-20, 45-55, 80-90; y 5-10, 22-27, 40-45. A background outside them leaks into
    // any mean whose bounds are off by one.
    struct Case {
        int bpp, background, values[5];
    };
    for (const Case& k : {Case{1, 255, {10, 20, 30, 40, 50}}, Case{2, 60000, {1000, 20000, 30000, 40000, 65535}}}) {
        ref::Picture raw(100, 50, k.bpp);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x) raw.Set(y, x, 0, k.background);
        const int rects[5][4] = {{10, 5, 20, 10}, {10, 40, 20, 45}, {45, 22, 55, 27}, {80, 5, 90, 10}, {80, 40, 90, 45}};
        for (int i = 0; i < 5; ++i)
            for (int y = rects[i][1]; y < rects[i][3]; ++y)
                for (int x = rects[i][0]; x < rects[i][2]; ++x)
                    raw.Set(y, x, 0, k.values[i] + (i == 0 && x % 2));  // region 0: mean 10.5 -> 10
        int means[5] = {-1, -1, -1, -1, -1}, plain[5];
        img::MeasureRegionMeans(PlaneFor(raw), means);
        ref::RegionMeans(raw, plain);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(means[i], k.values[i]) << i;
            EXPECT_EQ(plain[i], k.values[i]) << i;
        }
    }
    // 4 x 4: only the centre region holds a pixel, (1, 1); the others are empty.
    ref::Picture small(4, 4, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) small.Set(y, x, 0, y == 1 && x == 1 ? 77 : 9);
    int means[5] = {-1, -1, -1, -1, -1}, plain[5];
    img::MeasureRegionMeans(PlaneFor(small), means);
    ref::RegionMeans(small, plain);
    EXPECT_EQ(std::vector<int>(means, means + 5), (std::vector<int>{0, 0, 77, 0, 0}));
    EXPECT_EQ(std::vector<int>(plain, plain + 5), (std::vector<int>{0, 0, 77, 0, 0}));
}

// ---------------------------------------------------------------------------------------------
// Random pictures and settings: the kernels give the reference's bytes.

TEST(ColourKernelsMatchReference, Demosaic) {
    std::mt19937 rng(101);
    for (auto [w, h] : kSizes)
        for (int colour_bpp : {3, 4, 6, 8})
            for (int mode = 0; mode < 4; ++mode) {
                int raw_bpp = colour_bpp >= 6 ? 2 : 1;
                int red = Uniform(rng, 0, 400), blue = Uniform(rng, 0, 400);
                if (mode == 0) red = 400, blue = 0;  // both ends every time
                SCOPED_TRACE(Settings(w, h, colour_bpp,
                                      "mode " + std::to_string(mode) + " gains " + std::to_string(red) + "/" +
                                          std::to_string(blue)));
                ref::Picture raw = RandomPicture(rng, w, h, raw_bpp);
                ref::Picture raw_before = raw;
                ref::Picture fast = RandomPicture(rng, w, h, colour_bpp);
                ref::Picture plain = fast;
                img::Demosaic(PlaneFor(raw), PlaneFor(fast), mode, red, blue);
                ref::Demosaic(raw, plain, mode, red, blue);
                ASSERT_TRUE(SameBytes(plain, fast));
                ASSERT_TRUE(SameBytes(raw_before, raw));  // the source is only read
            }
}

TEST(ColourKernelsMatchReference, DemosaicGainSteps) {
    // Every gain once: kr = trunc(gain * 1.28) must agree at each step.
    // Wide enough for the vector loops of both sample widths.
    std::mt19937 rng(102);
    for (int raw_bpp : {1, 2}) {
        ref::Picture raw = RandomPicture(rng, 67, 5, raw_bpp);
        for (int gain = 0; gain <= 400; ++gain) {
            ref::Picture fast(67, 5, 3 * raw_bpp), plain(67, 5, 3 * raw_bpp);
            img::Demosaic(PlaneFor(raw), PlaneFor(fast), gain % 4, gain, 400 - gain);
            ref::Demosaic(raw, plain, gain % 4, gain, 400 - gain);
            ASSERT_TRUE(SameBytes(plain, fast)) << "gain " << gain << ", " << 8 * raw_bpp << "-bit";
        }
    }
}

TEST(ColourKernelsMatchReference, WhiteBalance) {
    std::mt19937 rng(103);
    for (auto [w, h] : kSizes)
        for (int bpp : {1, 2})
            for (int mode = 0; mode < 4; ++mode)
                for (int round = 0; round < 3; ++round) {
                    // Each colour in its own range, some of them dark, so that gains spread out.
                    int top = bpp == 2 ? 65535 : 255;
                    int limit[3];
                    for (int& l : limit) l = std::vector<int>{0, 1, top / 7, top / 2, top}[Uniform(rng, 0, 4)];
                    ref::Picture raw = RandomPicture(rng, w, h, bpp);
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            raw.Set(y, x, 0, Uniform(rng, 0, limit[ref::BayerColourAt(mode, y, x)]));
                    img::BayerGains g = img::MeasureWhiteBalance(PlaneFor(raw), mode);
                    ref::Gains r = ref::MeasureWhiteBalance(raw, mode);
                    EXPECT_EQ(g.red, r.red) << Settings(w, h, bpp, "mode " + std::to_string(mode));
                    EXPECT_EQ(g.green, r.green) << Settings(w, h, bpp, "mode " + std::to_string(mode));
                    EXPECT_EQ(g.blue, r.blue) << Settings(w, h, bpp, "mode " + std::to_string(mode));
                }
}

TEST(ColourKernelsMatchReference, SumsOfVeryWideRows) {
    // More than 2^16 bright 16-bit samples of one colour in a row: the sums must not wrap.
    ref::Picture raw(140001, 2, 2);
    for (int x = 0; x < raw.width; ++x) {
        raw.Set(0, x, 0, x % 2 ? 30000 : 65535);
        raw.Set(1, x, 0, x % 2 ? 1000 : 65000);
    }
    const img::BayerGains g = img::MeasureWhiteBalance(PlaneFor(raw), 1);
    const ref::Gains r = ref::MeasureWhiteBalance(raw, 1);
    EXPECT_EQ(std::tuple(g.red, g.green, g.blue), std::tuple(r.red, r.green, r.blue));
    img::GrayBalance fast;
    ref::GrayBalance plain;
    img::MeasureGrayGains(PlaneFor(raw), 1, &fast);
    ref::MeasureGrayGains(raw, 1, plain);
    EXPECT_EQ(std::vector<int>(fast.gain, fast.gain + 4), std::vector<int>(plain.gain, plain.gain + 4));
}

TEST(ColourKernelsMatchReference, GreyGains) {
    std::mt19937 rng(104);
    for (auto [w, h] : kSizes)
        for (int bpp : {1, 2})
            for (int mode = 0; mode < 4; ++mode) {
                SCOPED_TRACE(Settings(w, h, bpp, "mode " + std::to_string(mode)));
                int top = bpp == 2 ? 65535 : 255;
                int limit[4];
                for (int& l : limit) l = std::vector<int>{0, top / 5, top}[Uniform(rng, 0, 2)];
                ref::Picture raw = RandomPicture(rng, w, h, bpp);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        raw.Set(y, x, 0, Uniform(rng, 0, limit[ref::GrayPhaseAt(mode, y, x, w)]));
                img::GrayBalance fast;
                ref::GrayBalance plain;
                for (int p = 0; p < 4; ++p) {
                    fast.gain[p] = plain.gain[p] = Uniform(rng, 0, 255);
                    fast.offset[p] = plain.offset[p] = Uniform(rng, 0, 255);
                }
                img::MeasureGrayGains(PlaneFor(raw), mode, &fast);
                ref::MeasureGrayGains(raw, mode, plain);
                for (int p = 0; p < 4; ++p) {
                    EXPECT_EQ(fast.gain[p], plain.gain[p]) << "phase " << p;
                    EXPECT_EQ(fast.offset[p], plain.offset[p]) << "phase " << p;
                }
            }
}

TEST(ColourKernelsMatchReference, GreyBalance) {
    std::mt19937 rng(105);
    for (auto [w, h] : kSizes)
        for (int bpp : {1, 2})
            for (int mode = 0; mode < 4; ++mode) {
                img::GrayBalance fast;
                ref::GrayBalance plain;
                for (int p = 0; p < 4; ++p) {
                    fast.gain[p] = plain.gain[p] = Uniform(rng, 0, 255);
                    fast.offset[p] = plain.offset[p] = Uniform(rng, 0, 255);
                }
                if (mode == 1) fast.gain[2] = plain.gain[2] = 1000;  // the one-shot gain is not limited
                int max_value = bpp == 1 ? 255 : std::vector<int>{1023, 4095, 16383, 65535}[Uniform(rng, 0, 3)];
                SCOPED_TRACE(Settings(w, h, bpp, "mode " + std::to_string(mode) + " max " + std::to_string(max_value)));
                ref::Picture a = RandomPicture(rng, w, h, bpp);
                ref::Picture b = a;
                img::ApplyGrayBalance(PlaneFor(a), mode, fast, max_value);
                ref::ApplyGrayBalance(b, mode, plain, max_value);
                ASSERT_TRUE(SameBytes(b, a));
            }
}

TEST(ColourKernelsMatchReference, Luminance) {
    std::mt19937 rng(106);
    for (auto [w, h] : kSizes) {
        ref::Picture colour = RandomPicture(rng, w, h, 3);
        ref::Picture fast = RandomPicture(rng, w, h, 1);
        ref::Picture plain = fast;
        img::LumaFromColour(PlaneFor(colour), PlaneFor(fast));
        ref::LumaFromColour(colour, plain);
        ASSERT_TRUE(SameBytes(plain, fast)) << w << "x" << h;
    }
}

TEST(ColourKernelsMatchReference, HueSaturation) {
    std::mt19937 rng(107);
    for (auto [w, h] : kSizes)
        for (int bpp : {3, 4, 6, 8})
            for (int round = 0; round < 3; ++round) {
                int hue = Uniform(rng, -360, 360), saturation = Uniform(rng, -255, 255);
                SCOPED_TRACE(Settings(w, h, bpp, "hue " + std::to_string(hue) + " saturation " +
                                                     std::to_string(saturation)));
                ref::Picture fast = RandomPicture(rng, w, h, bpp);
                ref::Picture plain = fast;
                img::HueSaturation(PlaneFor(fast), hue, saturation);
                ref::HueSaturation(plain, hue, saturation);
                ASSERT_TRUE(SameBytes(plain, fast));
                // With a point table folded in: as if applied after.
                const bool wide = bpp >= 6;
                const int gamma = Uniform(rng, 1, 200), contrast = Uniform(rng, -127, 127);
                img::PointTable table;
                const img::PointStep steps[] = {{img::PointOp::Gamma, gamma}, {img::PointOp::Contrast, contrast}};
                table.Prepare(steps, 2, wide);
                img::HueSaturation(PlaneFor(fast), hue, saturation, &table);
                ref::HueSaturation(plain, hue, saturation);
                ref::ApplyTable(plain, ref::GammaTable(gamma, wide));
                ref::ApplyTable(plain, ref::ContrastTable(contrast, wide));
                ASSERT_TRUE(SameBytes(plain, fast)) << "gamma " << gamma << " contrast " << contrast;
            }
}

TEST(ColourKernelsMatchReference, HueSaturationOnDemosaicedRows) {
    // Each row through the hue pass (and a folded table) as the demosaic makes it: the bytes of
    // the demosaic followed by the whole-picture passes, borders included.
    std::mt19937 rng(109);
    for (auto [w, h] : kSizes)
        for (int colour_bpp : {3, 4, 6, 8}) {
            const bool wide = colour_bpp >= 6;
            const int mode = Uniform(rng, 0, 3), hue = Uniform(rng, -360, 360),
                      saturation = Uniform(rng, -255, 255), gamma = Uniform(rng, 1, 200);
            SCOPED_TRACE(Settings(w, h, colour_bpp, "hue " + std::to_string(hue) + " saturation " +
                                                        std::to_string(saturation) + " gamma " + std::to_string(gamma)));
            ref::Picture raw = RandomPicture(rng, w, h, wide ? 2 : 1);
            img::PointTable table;
            table.Prepare(img::PointOp::Gamma, gamma, wide);
            for (const img::PointTable* after : {static_cast<const img::PointTable*>(nullptr), static_cast<const img::PointTable*>(&table)}) {
                ref::Picture fast = RandomPicture(rng, w, h, colour_bpp);
                ref::Picture plain = fast;
                img::RowAdjustments adjustment;
                adjustment.hue_pass = true;
                adjustment.hue = hue;
                adjustment.saturation = saturation;
                adjustment.table = after;
                img::Demosaic(PlaneFor(raw), PlaneFor(fast), mode, 300, 90, adjustment);
                ref::Demosaic(raw, plain, mode, 300, 90);
                ref::HueSaturation(plain, hue, saturation);
                if (after) ref::ApplyTable(plain, ref::GammaTable(gamma, wide));
                ASSERT_TRUE(SameBytes(plain, fast)) << (after ? "with" : "without") << " table";
            }
        }
}

TEST(ColourKernelsMatchReference, SharpeningOnDemosaicedRows) {
    // Sharpening (after the hue pass or a table by itself) as the demosaic makes each row, and a
    // table by itself without sharpening: the bytes of the whole-picture passes one after the
    // other, the untouched fourth component too, whether one thread makes the rows or several make
    // bands of them (more bands than rows included).
    img::BandWorkers workers[3];
    const int threads[3] = {1, 2, 7};
    for (int k = 0; k < 3; ++k) workers[k].Start(threads[k]);
    std::mt19937 rng(110);
    std::vector<std::pair<int, int>> sizes(std::begin(kSizes), std::end(kSizes));
    sizes.insert(sizes.end(), {{5, 5}, {6, 5}, {5, 6}, {70, 9}});
    for (auto [w, h] : sizes)
        for (int colour_bpp : {3, 4, 6, 8})
            for (int round = 0; round < 4; ++round) {
                const bool wide = colour_bpp >= 6;
                img::RowAdjustments after;
                after.hue_pass = round == 0 || round == 2;
                after.hue = Uniform(rng, -360, 360);
                after.saturation = Uniform(rng, -255, 255);
                after.sharpness = round == 2 ? 35 : Uniform(rng, 1, 30);  // 35: past the sixteen-lane span
                // Brightness factors with and without an exact 8-bit integer form, and none.
                const float brightness[] = {1.0f, img::BrightnessFactor(Uniform(rng, -255, 255)), 0.3f};
                after.brightness = brightness[Uniform(rng, 0, 2)];
                img::PointTable table;
                table.Prepare(img::PointOp::Gamma, Uniform(rng, 1, 200), wide);
                after.table = round == 3 || Uniform(rng, 0, 1) ? &table : nullptr;
                if (round == 3) after.sharpness = 0;
                const int mode = Uniform(rng, 0, 3);
                SCOPED_TRACE(Settings(w, h, colour_bpp,
                                      "hue pass " + std::to_string(after.hue_pass) + " sharpness " +
                                          std::to_string(after.sharpness) + " brightness " +
                                          std::to_string(after.brightness) + " table " + std::to_string(!!after.table)));
                const ref::Picture raw = RandomPicture(rng, w, h, wide ? 2 : 1);
                const ref::Picture initial = RandomPicture(rng, w, h, colour_bpp);
                ref::Picture passes = initial;
                ref::Picture source = raw;
                img::Demosaic(PlaneFor(source), PlaneFor(passes), mode, 150, 250);
                if (after.hue_pass) img::HueSaturation(PlaneFor(passes), after.hue, after.saturation, after.table);
                else if (after.table) after.table->Apply(PlaneFor(passes));
                if (after.sharpness) img::Sharpen(PlaneFor(passes), after.sharpness, after.brightness);
                for (img::BandWorkers& bands : workers) {
                    ref::Picture banded = initial;
                    bands.Run(h, [&](int first, int end) {
                        img::Demosaic(PlaneFor(source), PlaneFor(banded), mode, 150, 250, after, first, end);
                    });
                    ASSERT_TRUE(SameBytes(passes, banded)) << bands.bands() << " bands";
                }
            }
}

TEST(ColourKernelsMatchReference, FramePipelineOnAnyNumberOfThreads) {
    // Every colour mode with every adjustment and the measurements that feed the settings: the
    // bytes and settings of the single-threaded pipeline, also with more bands than rows.
    struct Mode {
        int mode, raw_bits, out_bits, gray_mode;
    };
    const Mode modes[] = {{0, 8, 8, 1}, {0, 8, 8, 2}, {1, 16, 16, 1}, {2, 8, 24, 0},
                          {3, 8, 32, 0}, {4, 16, 48, 0}, {5, 16, 64, 0}};
    const std::pair<int, int> sizes[] = {{2, 2}, {6, 3}, {5, 5}, {7, 9}, {33, 17}, {64, 31}};
    img::BandWorkers workers[3];
    const int threads[3] = {1, 2, 7};
    for (int k = 0; k < 3; ++k) workers[k].Start(threads[k]);
    std::mt19937 rng(112);
    for (auto [w, h] : sizes)
        for (const Mode& m : modes)
            for (int sharpness : {0, 9}) {
                SCOPED_TRACE(Settings(w, h, m.out_bits / 8, "mode " + std::to_string(m.mode) + " gray mode " +
                                                                std::to_string(m.gray_mode) + " sharpness " +
                                                                std::to_string(sharpness)));
                kelvox::FilterSettings filters = kelvox::FilterSettings::Defaults();
                filters.hue = 30, filters.saturation = 40, filters.gamma = 120, filters.contrast = 20;
                filters.sharpness = sharpness, filters.brightness = 20, filters.bayer_auto = 1;
                filters.gray_mode = m.gray_mode, filters.gray_calibration = 1, filters.gray_offset[1] = 10;
                img::DibImage raw, out, colour;
                ASSERT_TRUE(raw.Create(w, h, m.raw_bits) && colour.Create(w, h, 24));
                ASSERT_TRUE(m.mode < 2 || out.Create(w, h, m.out_bits));
                for (size_t i = 0; i < raw.size(); ++i) raw.pixels()[i] = static_cast<uint8_t>(rng());
                const std::vector<uint8_t> original(raw.pixels(), raw.pixels() + raw.size());
                img::DibImage& result = m.mode < 2 ? raw : out;
                auto process = [&](img::BandWorkers* bands, kelvox::FilterSettings& f) {
                    std::copy(original.begin(), original.end(), raw.pixels());
                    img::FrameContext frame;
                    frame.mode = m.mode;
                    frame.workers = bands;
                    img::FramePipeline pipeline;
                    pipeline.Process(raw, result, colour, frame, f);
                    return std::vector<uint8_t>(result.pixels(), result.pixels() + result.size());
                };
                kelvox::FilterSettings single = filters;
                const std::vector<uint8_t> expected = process(nullptr, single);
                for (img::BandWorkers& bands : workers) {
                    kelvox::FilterSettings banded = filters;
                    EXPECT_TRUE(process(&bands, banded) == expected) << bands.bands() << " bands";
                    EXPECT_EQ(banded.bayer_red, single.bayer_red);
                    EXPECT_EQ(banded.bayer_blue, single.bayer_blue);
                    EXPECT_EQ(banded.gray_gain, single.gray_gain);
                }
            }
}

TEST(ColourKernelsMatchReference, EveryHueAndSaturation) {
    // All 256 levels of each component appear; the saturation changes from call to call, so
    // cached tables must follow it.
    std::mt19937 rng(108);
    ref::Picture colour = RandomPicture(rng, 30, 30, 3);
    for (int i = 0; i < 256; ++i) colour.Set(i / 30, i % 30, 0, i), colour.Set(i / 30, i % 30, 1, 255 - i);
    for (int hue = -360; hue <= 360; hue += 1) {
        int saturation = hue % 3 == 0 ? 0 : Uniform(rng, -255, 255);
        ref::Picture fast = colour, plain = colour;
        img::HueSaturation(PlaneFor(fast), hue, saturation);
        ref::HueSaturation(plain, hue, saturation);
        ASSERT_TRUE(SameBytes(plain, fast)) << "hue " << hue << " saturation " << saturation;
    }
    for (int saturation = -255; saturation <= 255; ++saturation) {
        ref::Picture fast = colour, plain = colour;
        img::HueSaturation(PlaneFor(fast), 45, saturation);
        ref::HueSaturation(plain, 45, saturation);
        ASSERT_TRUE(SameBytes(plain, fast)) << "saturation " << saturation;
    }
}

TEST(ColourKernelsMatchReference, PointTablesEightBit) {
    img::PointTable table;
    auto compare = [&](img::PointOp op, int setting, const std::vector<uint16_t>& plain) {
        table.Prepare(op, setting, false);
        ASSERT_NE(table.table(), nullptr);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(table.table()[i], plain[i]) << int(op) << " " << setting << " at " << i;
    };
    for (int g = 0; g <= 200; ++g) compare(img::PointOp::Gamma, g, ref::GammaTable(g, false));
    for (int c = -127; c <= 127; ++c) compare(img::PointOp::Contrast, c, ref::ContrastTable(c, false));
    for (int b = -255; b <= 255; ++b) compare(img::PointOp::Brightness, b, ref::BrightnessTable(b, false));
}

TEST(ColourKernelsMatchReference, PointTablesSixteenBit) {
    std::mt19937 rng(109);
    img::PointTable table;
    auto compare = [&](img::PointOp op, int setting, const std::vector<uint16_t>& plain) {
        table.Prepare(op, setting, true);
        ASSERT_NE(table.table(), nullptr);
        for (int i = 0; i < 65536; ++i) ASSERT_EQ(table.table()[i], plain[i]) << int(op) << " " << setting << " at " << i;
    };
    for (int g : {0, 1, 37, 99, 101, 200, Uniform(rng, 0, 200), Uniform(rng, 0, 200)})
        compare(img::PointOp::Gamma, g, ref::GammaTable(g, true));
    for (int c : {-127, -1, 1, 64, 127, Uniform(rng, -127, 127), Uniform(rng, -127, 127)})
        compare(img::PointOp::Contrast, c, ref::ContrastTable(c, true));
    for (int b : {-255, -1, 1, 128, 255, Uniform(rng, -255, 255), Uniform(rng, -255, 255)})
        compare(img::PointOp::Brightness, b, ref::BrightnessTable(b, true));
}

TEST(ColourKernelsMatchReference, PointTablesApplied) {
    // One table object throughout: each change of operation, setting or depth must show.
    std::mt19937 rng(110);
    img::PointTable table;
    for (auto [w, h] : kSizes)
        for (int bpp : {1, 2, 3, 4, 6, 8})
            for (int op = 0; op < 3; ++op) {
                bool sixteen = bpp == 2 || bpp >= 6;
                int setting = op == 0 ? Uniform(rng, 0, 200) : op == 1 ? Uniform(rng, -127, 127) : Uniform(rng, -255, 255);
                SCOPED_TRACE(Settings(w, h, bpp, "op " + std::to_string(op) + " setting " + std::to_string(setting)));
                std::vector<uint16_t> plain_table = op == 0   ? ref::GammaTable(setting, sixteen)
                                                    : op == 1 ? ref::ContrastTable(setting, sixteen)
                                                              : ref::BrightnessTable(setting, sixteen);
                table.Prepare(static_cast<img::PointOp>(op), setting, sixteen);
                ref::Picture fast = RandomPicture(rng, w, h, bpp);
                ref::Picture plain = fast;
                table.Apply(PlaneFor(fast));
                ref::ApplyTable(plain, plain_table);
                ASSERT_TRUE(SameBytes(plain, fast));
            }
}

TEST(ColourKernelsMatchReference, Sharpen) {
    std::mt19937 rng(111);
    for (auto [w, h] : kSizes)
        for (int bpp : {1, 2, 3, 4, 6, 8})
            for (int s : {1, 30, Uniform(rng, 2, 29)}) {
                SCOPED_TRACE(Settings(w, h, bpp, "sharpness " + std::to_string(s)));
                const ref::Picture source = RandomPicture(rng, w, h, bpp);
                ref::Picture fast = source, plain = source;
                img::Sharpen(PlaneFor(fast), s);
                ref::Sharpen(source, plain, s);
                ASSERT_TRUE(SameBytes(plain, fast));
            }
}

// Brightness riding on 8-bit sharpening is an integer product found per setting: every setting
// must give the table's bytes on the sharpened components, and leave the others alone.
TEST(ColourKernelsMatchReference, SharpenWithEveryBrightness) {
    std::mt19937 rng(113);
    for (int bpp : {3, 4}) {
        const ref::Picture source = RandomPicture(rng, 23, 9, bpp);
        ref::Picture plain = source;
        ref::Sharpen(source, plain, 13);
        for (int b = -255; b <= 255; ++b) {
            ref::Picture fast = source;
            img::Sharpen(PlaneFor(fast), 13, img::BrightnessFactor(b));
            const std::vector<uint16_t> table = ref::BrightnessTable(b, false);
            for (int y = 0; y < source.height; ++y)
                for (int x = 0; x < source.width; ++x) {
                    const bool inside = y >= 2 && y <= source.height - 3 && x >= 2 && x <= source.width - 3;
                    for (int c = 0; c < bpp; ++c) {
                        const int want = inside && c < 3 ? table[plain.Get(y, x, c)] : source.bytes[source.Offset(y, x, c)];
                        ASSERT_EQ(fast.bytes[fast.Offset(y, x, c)], want) << "brightness " << b << " at " << x << "," << y;
                    }
                }
        }
    }
}

TEST(ColourKernelsMatchReference, RegionMeans) {
    std::mt19937 rng(112);
    std::vector<std::pair<int, int>> sizes(std::begin(kSizes), std::end(kSizes));
    sizes.insert(sizes.end(), {{10, 10}, {20, 40}, {37, 23}, {100, 50}, {161, 99}});
    for (auto [w, h] : sizes)
        for (int bpp : {1, 2}) {
            ref::Picture raw = RandomPicture(rng, w, h, bpp);
            int fast[5] = {-1, -1, -1, -1, -1}, plain[5];
            img::MeasureRegionMeans(PlaneFor(raw), fast);
            ref::RegionMeans(raw, plain);
            EXPECT_EQ(std::vector<int>(fast, fast + 5), std::vector<int>(plain, plain + 5)) << Settings(w, h, bpp, "");
        }
}

static void ExpectSameBytes(const img::KernelSet& chosen, const img::KernelSet& other) {
    std::mt19937 rng(77);
    for (auto [w, h] : {std::pair{1, 1}, {5, 4}, {33, 17}, {64, 31}}) {
        for (int bpp : {1, 2}) {
            ref::Picture raw = RandomPicture(rng, w, h, bpp);
            for (int colour_bpp : bpp == 1 ? std::vector{3, 4} : std::vector{6, 8}) {
                ref::Picture a = RandomPicture(rng, w, h, colour_bpp), b = a;
                img::PointTable gamma;
                gamma.Prepare(img::PointOp::Gamma, 150, colour_bpp >= 6);
                const img::HueStep with_table{4, 7, -90 + 256, gamma.after_hue()};
                const img::RowSteps hue_steps{&with_table, nullptr, 0, 1.0f};
                const img::RowSteps sharpen_steps{nullptr, gamma.table(), 23, 1.0f + 300.0f / 255.0f};
                const img::RowSteps all_steps{&with_table, nullptr, 9, 0.5f};
                for (const img::RowSteps& steps : {img::RowSteps{}, hue_steps, sharpen_steps, all_steps}) {
                    chosen.demosaic(PlaneFor(raw), PlaneFor(a), w % 4, 128, 200, steps);
                    other.demosaic(PlaneFor(raw), PlaneFor(b), w % 4, 128, 200, steps);
                    EXPECT_TRUE(SameBytes(a, b)) << "demosaic, hue " << (steps.hue != nullptr) << " sharpness "
                                                 << steps.sharpness << " " << Settings(w, h, colour_bpp, "");
                }
                chosen.hue_saturation(PlaneFor(a), {1, 100, 40 + 256, nullptr});
                other.hue_saturation(PlaneFor(b), {1, 100, 40 + 256, nullptr});
                EXPECT_TRUE(SameBytes(a, b)) << "hue " << Settings(w, h, colour_bpp, "");
                chosen.hue_saturation(PlaneFor(a), with_table);
                other.hue_saturation(PlaneFor(b), with_table);
                EXPECT_TRUE(SameBytes(a, b)) << "hue and table " << Settings(w, h, colour_bpp, "");
                chosen.sharpen(PlaneFor(a), 17, 1.0f + 300.0f / 255.0f, {});
                other.sharpen(PlaneFor(b), 17, 1.0f + 300.0f / 255.0f, {});
                EXPECT_TRUE(SameBytes(a, b)) << "sharpen " << Settings(w, h, colour_bpp, "");
            }
            ref::Picture ga = raw, gb = raw;
            img::GrayBalance balance;
            balance.gain[0] = 300;
            balance.offset[3] = -20;
            chosen.balance(PlaneFor(ga), 1, balance, bpp == 1 ? 255 : 65535);
            other.balance(PlaneFor(gb), 1, balance, bpp == 1 ? 255 : 65535);
            EXPECT_TRUE(SameBytes(ga, gb)) << "grey balance " << Settings(w, h, bpp, "");
        }
    }
}

// The kernels are compiled once per instruction set; every set this processor can run is
// checked against the baseline on the same random pictures.
TEST(ColourKernelSets, EverySetGivesTheSameBytes) {
    const img::KernelSet& baseline = img::generic::kKernels;
    ASSERT_FALSE(img::RunnableKernelSets().empty());
    EXPECT_EQ(img::RunnableKernelSets().front(), &baseline);
    for (const img::KernelSet* set : img::RunnableKernelSets()) {
        if (set == &baseline) continue;
        SCOPED_TRACE(set->name);
        ExpectSameBytes(baseline, *set);
    }
}

// KELVOX_KERNELS: a runnable set by name, otherwise the fastest runnable one.
TEST(ColourKernelSets, ChoiceByNameOnlyAmongRunnableSets) {
    img::KernelSet baseline{}, avx2{}, avx512{};
    baseline.name = "baseline";
    avx2.name = "AVX2";
    avx512.name = "AVX-512";
    const std::vector<const img::KernelSet*> all{&baseline, &avx2, &avx512}, two{&baseline, &avx2};
    const struct {
        const std::vector<const img::KernelSet*>* runnable;
        const char* choice;
        const img::KernelSet* expected;
    } cases[] = {
        {&all, nullptr, &avx512},  {&all, "baseline", &baseline}, {&all, "avx2", &avx2},
        {&all, "avx512", &avx512}, {&two, "avx512", &avx2},       {&two, "", &avx2},
        {&two, "AVX2", &avx2},     {&two, "sse4", &avx2},         {&two, "baseline ", &avx2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice ? c.choice : "(none)");
        EXPECT_EQ(img::ChooseKernelSet(*c.runnable, c.choice), c.expected);
    }
}
