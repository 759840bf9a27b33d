// The bitmap object: strides, the gray table, CreateLike, clipping in Convert. Under Wine the
// pixels are real DIB sections; natively they are the heap fallback.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/dib_image.h"

using kelvox::imaging::DibImage;
using kelvox::imaging::PixelRect;

namespace {

int calls = 0;
PixelRect seen{};
int seen_x = -1, seen_y = -1;

int CountingCopy(uint8_t* dst, const uint8_t* src, const PixelRect& r, int dx, int dy, int dbpp, int sbpp,
                 int dstride, int sstride, intptr_t, intptr_t) {
    ++calls;
    seen = r;
    seen_x = dx;
    seen_y = dy;
    for (int y = r.top; y < r.bottom; ++y)
        std::memcpy(dst + (dy + y - r.top) * dstride + dx * dbpp, src + y * sstride + r.left * sbpp,
                    static_cast<size_t>(r.right - r.left) * sbpp);
    return 1;
}

}  // namespace

TEST(DibImage, RowsArePaddedToFourBytes) {
    DibImage image;
    ASSERT_EQ(image.Create(1, 1, 24), 1);
    EXPECT_EQ(image.stride(), 4);
    ASSERT_EQ(image.Create(3, 1, 8), 1);
    EXPECT_EQ(image.stride(), 4);
    ASSERT_EQ(image.Create(4, 1, 8), 1);
    EXPECT_EQ(image.stride(), 4);
    ASSERT_EQ(image.Create(5, 3, 48), 1);
    EXPECT_EQ(image.stride(), 32);
    EXPECT_EQ(image.size(), 96u);
    EXPECT_EQ(image.info().header.size, 40u);
    EXPECT_EQ(image.info().header.height, 3);  // positive
    EXPECT_EQ(image.info().header.planes, 1);
    EXPECT_EQ(image.info().header.bit_count, 48);
    for (size_t i = 0; i < image.size(); ++i) ASSERT_EQ(image.pixels()[i], 0) << i;
}

TEST(DibImage, EightBitImagesCarryTheGrayRamp) {
    DibImage image;
    ASSERT_EQ(image.Create(16, 16, 8), 1);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(image.info().colors[i].red, i);
        EXPECT_EQ(image.info().colors[i].blue, i);
        EXPECT_EQ(image.info().colors[i].reserved, 0);
    }
}

TEST(DibImage, BadSizesFailAndKeepThePicture) {
    DibImage image;
    ASSERT_EQ(image.Create(8, 8, 8), 1);
    image.pixels()[5] = 9;
    EXPECT_EQ(image.Create(0, 8, 8), 0);
    EXPECT_EQ(image.Create(8, -1, 8), 0);
    EXPECT_EQ(image.Create(8, 8, 0), 0);
    EXPECT_EQ(image.width(), 8);
    EXPECT_EQ(image.pixels()[5], 9);
    image.Release();
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(image.width(), 0);
}

TEST(DibImage, CreateLikeCopiesTheShapeNotThePixels) {
    DibImage source, copy;
    EXPECT_EQ(copy.CreateLike(nullptr), 0);
    EXPECT_EQ(copy.CreateLike(&source), 0);  // empty source
    ASSERT_EQ(source.Create(7, 5, 32), 1);
    std::memset(source.pixels(), 0xAB, source.size());
    ASSERT_EQ(copy.CreateLike(&source), 1);
    EXPECT_EQ(copy.width(), 7);
    EXPECT_EQ(copy.height(), 5);
    EXPECT_EQ(copy.bit_count(), 32);
    EXPECT_EQ(copy.stride(), source.stride());
    for (size_t i = 0; i < copy.size(); ++i) ASSERT_EQ(copy.pixels()[i], 0);
}

TEST(DibImage, ConvertClipsAgainstBothImages) {
    DibImage src, dst;
    ASSERT_EQ(src.Create(10, 10, 8), 1);
    ASSERT_EQ(dst.Create(6, 4, 8), 1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) src.row(y)[x] = static_cast<uint8_t>(y * 10 + x);

    calls = 0;
    ASSERT_EQ(dst.Convert(src, CountingCopy, nullptr, 0, 0), 1);  // whole source into a smaller image
    EXPECT_EQ(seen.right - seen.left, 6);
    EXPECT_EQ(seen.bottom - seen.top, 4);
    EXPECT_EQ(dst.row(3)[5], 35);  // top row stays memory row 0

    const PixelRect part{2, 3, 5, 9};
    ASSERT_EQ(dst.Convert(src, CountingCopy, &part, 4, 1), 1);
    EXPECT_EQ(seen.left, 2);
    EXPECT_EQ(seen.right, 4);   // two columns fit beside x 4
    EXPECT_EQ(seen.bottom, 6);  // three rows fit below y 1
    EXPECT_EQ(dst.row(1)[4], 32);

    const int before = calls;
    const PixelRect outside{20, 20, 30, 30};
    EXPECT_EQ(dst.Convert(src, CountingCopy, &outside, 0, 0), 0);
    EXPECT_EQ(dst.Convert(src, CountingCopy, nullptr, 6, 0), 0);  // nothing left of the destination
    EXPECT_EQ(dst.Convert(src, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(calls, before);
}
