// The preview's nearest-neighbour scaler against its plain per-pixel definition, for shrinking,
// enlarging and odd sizes at 8 and 24 bits, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "imaging/dib_image.h"
#include "imaging/nearest_scaler.h"

namespace kelvox::imaging {
namespace {

// Destination memory row i from source row height - 1 - int(i * sy), column int(j * sx), both
// ratios in single precision and both indexes limited to the source.
void Reference(const DibImage& s, DibImage& d) {
    const float sx = static_cast<float>(s.width()) / static_cast<float>(d.width());
    const float sy = static_cast<float>(s.height()) / static_cast<float>(d.height());
    const int bpp = s.bytes_per_pixel();
    for (int i = 0; i < d.height(); ++i) {
        const int r = std::clamp(static_cast<int>(static_cast<float>(i) * sy), 0, s.height() - 1);
        const uint8_t* src = s.pixels() + static_cast<size_t>(s.height() - 1 - r) * s.stride();
        for (int j = 0; j < d.width(); ++j) {
            const int c = std::min(static_cast<int>(static_cast<float>(j) * sx), s.width() - 1);
            std::memcpy(d.row(i) + j * bpp, src + c * bpp, bpp);
        }
    }
}

TEST(NearestScaler, MatchesThePerPixelDefinition) {
    struct Case {
        int bits, sw, sh, dw, dh;
    } cases[] = {
        {24, 1920, 1200, 960, 600}, {24, 1920, 1200, 1280, 800}, {8, 1920, 1200, 960, 600}, {24, 320, 240, 480, 361},
        {8, 321, 241, 213, 97},     {24, 7, 5, 3, 2},            {24, 5, 3, 17, 11},        {8, 1, 1, 4, 3},
        {24, 4, 4, 1, 1},           {24, 333, 100, 333, 100},    {8, 640, 480, 639, 479},
    };
    std::mt19937 random(7);
    NearestScaler scaler;  // one scaler throughout: its column table must follow every size change
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits " << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh);
        DibImage source, got, want;
        ASSERT_TRUE(source.Create(c.sw, c.sh, c.bits));
        ASSERT_TRUE(got.Create(c.dw, c.dh, c.bits));
        ASSERT_TRUE(want.Create(c.dw, c.dh, c.bits));
        for (size_t i = 0; i < source.size(); ++i) source.pixels()[i] = static_cast<uint8_t>(random());
        // Padding bytes of the destination stay as they were.
        std::memset(got.pixels(), 0xA5, got.size());
        std::memset(want.pixels(), 0xA5, want.size());
        ASSERT_TRUE(scaler.Scale(source, got));
        Reference(source, want);
        EXPECT_EQ(std::memcmp(got.pixels(), want.pixels(), got.size()), 0);
    }
}

TEST(NearestScaler, RefusesMixedDepthsOtherDepthsAndEmptyPictures) {
    DibImage grey, colour, wide, empty;
    ASSERT_TRUE(grey.Create(8, 8, 8));
    ASSERT_TRUE(colour.Create(8, 8, 24));
    ASSERT_TRUE(wide.Create(8, 8, 32));
    NearestScaler scaler;
    EXPECT_FALSE(scaler.Scale(grey, colour));
    EXPECT_FALSE(scaler.Scale(wide, wide));
    EXPECT_FALSE(scaler.Scale(empty, colour));
    EXPECT_FALSE(scaler.Scale(colour, empty));
}

}  // namespace
}  // namespace kelvox::imaging
