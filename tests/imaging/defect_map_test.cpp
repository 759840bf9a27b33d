// Defect maps from reference frames: the thresholds of each map at both depths, and the two
// outer rows and columns that are never written.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "imaging/defect_mask.h"

using kelvox::imaging::BuildDefectMap;
using kelvox::imaging::DibImage;

TEST(DefectMap, ThresholdsAndUntouchedBorders) {
    const struct {
        int bits;
        bool hot;
        int flagged, kept;  // a sample just past the threshold and one at it
    } cases[] = {{8, true, 193, 192}, {8, false, 63, 64}, {16, true, 12289, 12288}, {16, false, 4095, 4096}};
    constexpr int kWidth = 9, kHeight = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << (c.hot ? " hot" : " dead"));
        DibImage reference, map;
        ASSERT_TRUE(reference.Create(kWidth, kHeight, c.bits));
        ASSERT_TRUE(map.Create(kWidth, kHeight, c.bits));
        std::memset(map.pixels(), 7, map.size());  // what must survive at the borders
        auto at = [](DibImage& image, int x, int y) -> uint32_t {
            const uint8_t* p = image.row(y) + x * image.bytes_per_pixel();
            return image.bit_count() == 8 ? p[0] : static_cast<uint32_t>(p[0] | p[1] << 8);
        };
        auto set = [](DibImage& image, int x, int y, int v) {
            uint8_t* p = image.row(y) + x * image.bytes_per_pixel();
            p[0] = static_cast<uint8_t>(v);
            if (image.bit_count() == 16) p[1] = static_cast<uint8_t>(v >> 8);
        };
        // Every pixel past the threshold, so the borders would show if they were written.
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) set(reference, x, y, c.flagged);
        set(reference, 3, 3, c.kept);
        ASSERT_EQ(BuildDefectMap(reference, map, c.hot), 1);
        const uint32_t border = c.bits == 8 ? 7u : 0x0707u;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool inside = y >= 2 && y < kHeight - 2 && x >= 2 && x < kWidth - 2;
                const uint32_t want = !inside ? border : (x == 3 && y == 3 ? 0u : 1u);
                EXPECT_EQ(at(map, x, y), want) << x << "," << y;
            }
    }
    DibImage eight, sixteen, small;
    ASSERT_TRUE(eight.Create(9, 7, 8));
    ASSERT_TRUE(sixteen.Create(9, 7, 16));
    ASSERT_TRUE(small.Create(8, 7, 8));
    EXPECT_EQ(BuildDefectMap(eight, sixteen, true), 0);  // depths differ
    EXPECT_EQ(BuildDefectMap(eight, small, true), 0);    // sizes differ
}
