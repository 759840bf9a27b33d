// The row converters run through DibImage::Convert as the preview, the image writers and the AVI
// recorder call them: exact output samples, row order, and row padding left alone. Odd widths give
// every picture padded rows.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/row_converters.h"

namespace kelvox::imaging {
namespace {

using Samples = std::vector<unsigned>;

int SampleBytes(const DibImage& image) { return image.bit_count() == 16 || image.bit_count() >= 48 ? 2 : 1; }
int SamplesPerRow(const DibImage& image) { return image.width() * image.bytes_per_pixel() / SampleBytes(image); }

// Fills the picture from samples given row by row without padding (bytes for 8-, 24- and 32-bit
// pictures, 16-bit values otherwise); the padding gets a marker no converter may carry over.
void Fill(DibImage& image, const Samples& samples) {
    ASSERT_EQ(samples.size(), static_cast<size_t>(SamplesPerRow(image) * image.height()));
    std::memset(image.pixels(), 0xEE, image.size());
    const int bytes = SampleBytes(image), per_row = SamplesPerRow(image);
    for (int y = 0; y < image.height(); ++y)
        for (int i = 0; i < per_row; ++i) {
            const unsigned v = samples[static_cast<size_t>(y) * per_row + i];
            uint8_t* p = image.row(y) + i * bytes;
            p[0] = static_cast<uint8_t>(v);
            if (bytes == 2) p[1] = static_cast<uint8_t>(v >> 8);
        }
}

// The samples of the picture row by row; fails the test if a padding byte is not 0.
Samples Read(const DibImage& image) {
    Samples out;
    const int bytes = SampleBytes(image), per_row = SamplesPerRow(image);
    for (int y = 0; y < image.height(); ++y) {
        const uint8_t* row = image.pixels() + static_cast<size_t>(y) * image.stride();
        for (int i = 0; i < per_row; ++i)
            out.push_back(bytes == 2 ? row[2 * i] | row[2 * i + 1] << 8u : row[i]);
        for (int b = per_row * bytes; b < image.stride(); ++b) EXPECT_EQ(row[b], 0) << "padding of row " << y;
    }
    return out;
}

Samples ReverseRows(const Samples& samples, int per_row) {
    Samples out;
    for (size_t end = samples.size(); end > 0; end -= per_row)
        out.insert(out.end(), samples.begin() + (end - per_row), samples.begin() + end);
    return out;
}

// A picture whose samples all differ from their neighbours and from the padding marker.
Samples Pattern(int count, unsigned mask) {
    Samples out;
    for (int i = 0; i < count; ++i) out.push_back((i * 0x9E37u + 0x51u) & mask);
    return out;
}

// Converts a whole picture into a new one of the same size, as the writers do.
Samples ConvertWhole(const DibImage& source, int dst_bits, RowConverter converter, intptr_t order, intptr_t bits = 16) {
    DibImage dst;
    EXPECT_EQ(dst.Create(source.width(), source.height(), dst_bits), 1);
    EXPECT_EQ(dst.Convert(source, converter, nullptr, 0, 0, order, bits), 1);
    return Read(dst);
}

TEST(RowConverters, CopyRowsCopiesEveryFormatInEitherOrder) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        DibImage src;
        ASSERT_EQ(src.Create(5, 3, bits), 1);
        const Samples samples = Pattern(SamplesPerRow(src) * 3, SampleBytes(src) == 2 ? 0xFFFF : 0xFF);
        Fill(src, samples);
        EXPECT_EQ(ConvertWhole(src, bits, CopyRows, kSameRowOrder), samples);
        EXPECT_EQ(ConvertWhole(src, bits, CopyRows, kReversedRowOrder), ReverseRows(samples, SamplesPerRow(src)));
    }
}

TEST(RowConverters, ReduceGrey16KeepsTheEightBitsBelowTheSignificantTop) {
    DibImage src;
    ASSERT_EQ(src.Create(3, 2, 16), 1);
    Fill(src, {0x0000, 0x03FF, 0x0ABC, 0x1234, 0xFFFF, 0x8001});
    // JPEG and AVI frames: bottom-up.
    EXPECT_EQ(ConvertWhole(src, 8, ReduceGrey16, kReversedRowOrder, 10), (Samples{0x8D, 0xFF, 0x00, 0x00, 0xFF, 0xAF}));
    EXPECT_EQ(ConvertWhole(src, 8, ReduceGrey16, kReversedRowOrder, 12), (Samples{0x23, 0xFF, 0x00, 0x00, 0x3F, 0xAB}));
    EXPECT_EQ(ConvertWhole(src, 8, ReduceGrey16, kReversedRowOrder, 16), (Samples{0x12, 0xFF, 0x80, 0x00, 0x03, 0x0A}));
    // Display: the high byte, top row first.
    EXPECT_EQ(ConvertWhole(src, 8, ReduceGrey16, kSameRowOrder, 16), (Samples{0x00, 0x03, 0x0A, 0x12, 0xFF, 0x80}));
}

TEST(RowConverters, ReduceColour16TakesBlueGreenRedAndIgnoresTheFourth) {
    const Samples pixels48 = {0x1234, 0xABCD, 0xFF00, 0x0001, 0x00FF, 0x0100, 0x8000, 0x7FFF, 0xFFFF,
                              0x0A0B, 0x0C0D, 0x0E0F, 0x0000, 0x0000, 0x0000, 0x4321, 0x8765, 0xCBA9};
    Samples pixels64;
    for (size_t i = 0; i < pixels48.size(); i += 3) {
        pixels64.insert(pixels64.end(), pixels48.begin() + i, pixels48.begin() + i + 3);
        pixels64.push_back(0xFFFF - static_cast<unsigned>(i));
    }
    const Samples high_bytes_bottom_up = {0x0A, 0x0C, 0x0E, 0x00, 0x00, 0x00, 0x43, 0x87, 0xCB,
                                          0x12, 0xAB, 0xFF, 0x00, 0x00, 0x01, 0x80, 0x7F, 0xFF};
    DibImage src48, src64;
    ASSERT_EQ(src48.Create(3, 2, 48), 1);
    ASSERT_EQ(src64.Create(3, 2, 64), 1);
    Fill(src48, pixels48);
    Fill(src64, pixels64);
    EXPECT_EQ(ConvertWhole(src48, 24, ReduceColour16, kReversedRowOrder, 16), high_bytes_bottom_up);
    EXPECT_EQ(ConvertWhole(src64, 24, ReduceColour16, kReversedRowOrder, 16), high_bytes_bottom_up);
    EXPECT_EQ(ConvertWhole(src64, 24, ReduceColour16, kSameRowOrder, 16), ReverseRows(high_bytes_bottom_up, 9));
    EXPECT_EQ(ConvertWhole(src48, 24, ReduceColour16, kReversedRowOrder, 12),
              (Samples{0xA0, 0xC0, 0xE0, 0x00, 0x00, 0x00, 0x32, 0x76, 0xBA,  //
                       0x23, 0xBC, 0xF0, 0x00, 0x0F, 0x10, 0x00, 0xFF, 0xFF}));
}

// Widths 1 to 9 cover pictures with and without a part that is not a whole group of four pixels.
TEST(RowConverters, DropFourthByteKeepsBlueGreenRedAtEveryWidth) {
    for (int width = 1; width <= 9; ++width) {
        SCOPED_TRACE(width);
        DibImage src32, src24;
        ASSERT_EQ(src32.Create(width, 3, 32), 1);
        ASSERT_EQ(src24.Create(width, 3, 24), 1);
        const Samples samples = Pattern(width * 4 * 3, 0xFF);
        Fill(src32, samples);
        Samples bgr;
        for (size_t i = 0; i < samples.size(); i += 4)
            bgr.insert(bgr.end(), samples.begin() + i, samples.begin() + i + 3);
        Fill(src24, bgr);
        EXPECT_EQ(ConvertWhole(src32, 24, DropFourthByte, kSameRowOrder), bgr);  // display of 32-bit output
        EXPECT_EQ(ConvertWhole(src32, 24, DropFourthByte, kReversedRowOrder), ReverseRows(bgr, width * 3));
        EXPECT_EQ(ConvertWhole(src24, 24, DropFourthByte, kReversedRowOrder), ReverseRows(bgr, width * 3));
    }
}

TEST(RowConverters, ExpandGreyRepeatsTheSampleAtEveryWidth) {
    for (int width = 1; width <= 9; ++width) {
        SCOPED_TRACE(width);
        DibImage src;
        ASSERT_EQ(src.Create(width, 3, 8), 1);
        const Samples grey = Pattern(width * 3, 0xFF);
        Fill(src, grey);
        Samples bgr;
        for (unsigned g : ReverseRows(grey, width)) bgr.insert(bgr.end(), {g, g, g});
        EXPECT_EQ(ConvertWhole(src, 24, ExpandGrey, kReversedRowOrder), bgr);
    }
}

TEST(RowConverters, InvertFourthByteMakesAlphaFromTheUnusedByte) {
    DibImage src;
    ASSERT_EQ(src.Create(3, 2, 32), 1);
    Fill(src, {1, 2, 3, 0, 4, 5, 6, 255, 7, 8, 9, 0x10, 10, 11, 12, 0x80, 13, 14, 15, 0, 16, 17, 18, 1});
    EXPECT_EQ(ConvertWhole(src, 32, InvertFourthByte, kSameRowOrder),
              (Samples{1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 0xEF, 10, 11, 12, 0x7F, 13, 14, 15, 255, 16, 17, 18, 254}));
}

TEST(RowConverters, WidenSamples16ShiftsUpToFullRange) {
    DibImage grey;
    ASSERT_EQ(grey.Create(3, 2, 16), 1);
    Fill(grey, {0x03FF, 0x0001, 0x0401, 0x0FFF, 0x0000, 0x8001});
    EXPECT_EQ(ConvertWhole(grey, 16, WidenSamples16, kSameRowOrder, 10),
              (Samples{0xFFC0, 0x0040, 0x0040, 0xFFC0, 0x0000, 0x0040}));  // bits above the tenth drop out
    EXPECT_EQ(ConvertWhole(grey, 16, WidenSamples16, kSameRowOrder, 12),
              (Samples{0x3FF0, 0x0010, 0x4010, 0xFFF0, 0x0000, 0x0010}));
    EXPECT_EQ(ConvertWhole(grey, 16, WidenSamples16, kSameRowOrder, 16),
              (Samples{0x03FF, 0x0001, 0x0401, 0x0FFF, 0x0000, 0x8001}));

    const Samples bgr = {0x1234, 0xABCD, 0xFF00, 0x0001, 0x00FF, 0x0100, 0x8000, 0x7FFF, 0xFFFF,
                         0x0A0B, 0x0C0D, 0x0E0F, 0x0000, 0x0000, 0x0000, 0x4321, 0x8765, 0xCBA9};
    const Samples shifted_by_4 = {0x2340, 0xBCD0, 0xF000, 0x0010, 0x0FF0, 0x1000, 0x0000, 0xFFF0, 0xFFF0,
                                  0xA0B0, 0xC0D0, 0xE0F0, 0x0000, 0x0000, 0x0000, 0x3210, 0x7650, 0xBA90};
    DibImage colour48, colour64;
    ASSERT_EQ(colour48.Create(3, 2, 48), 1);
    ASSERT_EQ(colour64.Create(3, 2, 64), 1);
    Fill(colour48, bgr);
    EXPECT_EQ(ConvertWhole(colour48, 48, WidenSamples16, kSameRowOrder, 12), shifted_by_4);

    Samples with_fourth, shifted_opaque;
    for (size_t i = 0; i < bgr.size(); i += 3) {
        with_fourth.insert(with_fourth.end(), {bgr[i], bgr[i + 1], bgr[i + 2], static_cast<unsigned>(i)});
        shifted_opaque.insert(shifted_opaque.end(),
                              {shifted_by_4[i], shifted_by_4[i + 1], shifted_by_4[i + 2], 0xFFFF});
    }
    Fill(colour64, with_fourth);
    EXPECT_EQ(ConvertWhole(colour64, 64, WidenSamples16, kSameRowOrder, 12), shifted_opaque);
    EXPECT_EQ(ConvertWhole(colour64, 64, WidenSamples16, kSameRowOrder, 16), with_fourth);
}

TEST(RowConverters, SwapRedBlueGivesRedGreenBlueOrder) {
    DibImage src24, src32;
    ASSERT_EQ(src24.Create(3, 2, 24), 1);
    ASSERT_EQ(src32.Create(3, 2, 32), 1);
    Fill(src24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    EXPECT_EQ(ConvertWhole(src24, 24, SwapRedBlue, kSameRowOrder),
              (Samples{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}));
    Fill(src32, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0x40, 10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0xFF});
    EXPECT_EQ(ConvertWhole(src32, 32, SwapRedBlue, kSameRowOrder),
              (Samples{3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0x40, 12, 11, 10, 0, 15, 14, 13, 0, 18, 17, 16, 0xFF}));
}

TEST(RowConverters, SwapRedBlue16ShiftsAndMakesTheFourthOpaque) {
    DibImage src48, src64;
    ASSERT_EQ(src48.Create(3, 2, 48), 1);
    ASSERT_EQ(src64.Create(3, 2, 64), 1);
    Fill(src48, {0x1234, 0xABCD, 0xFF00, 0x0001, 0x00FF, 0x0100, 0x8000, 0x7FFF, 0xFFFF,  //
                 0x0A0B, 0x0C0D, 0x0E0F, 0x0000, 0x0000, 0x0000, 0x4321, 0x8765, 0xCBA9});
    EXPECT_EQ(ConvertWhole(src48, 48, SwapRedBlue16, kSameRowOrder, 10),
              (Samples{0xC000, 0xF340, 0x8D00, 0x4000, 0x3FC0, 0x0040, 0xFFC0, 0xFFC0, 0x0000,  //
                       0x83C0, 0x0340, 0x82C0, 0x0000, 0x0000, 0x0000, 0xEA40, 0xD940, 0xC840}));
    EXPECT_EQ(ConvertWhole(src48, 48, SwapRedBlue16, kSameRowOrder, 16),
              (Samples{0xFF00, 0xABCD, 0x1234, 0x0100, 0x00FF, 0x0001, 0xFFFF, 0x7FFF, 0x8000,  //
                       0x0E0F, 0x0C0D, 0x0A0B, 0x0000, 0x0000, 0x0000, 0xCBA9, 0x8765, 0x4321}));

    // The fourth component is 65535 at every depth, also when the others stay unchanged.
    Fill(src64, {1, 2, 3, 0, 4, 5, 6, 0x1234, 7, 8, 9, 0, 10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0xFFFF});
    EXPECT_EQ(ConvertWhole(src64, 64, SwapRedBlue16, kSameRowOrder, 16),
              (Samples{3, 2, 1, 0xFFFF, 6, 5, 4, 0xFFFF, 9, 8, 7, 0xFFFF, 12, 11, 10, 0xFFFF, 15, 14, 13, 0xFFFF, 18,
                       17, 16, 0xFFFF}));
}

// Wide rows take the converters' vector and group-of-four paths: every pixel of a 67-pixel-wide
// picture must convert exactly as it does alone in a 1 x 1 picture, whose results are checked above.
TEST(RowConverters, WideRowsConvertEachPixelAsAlone) {
    struct Case {
        RowConverter converter;
        int src_bits, dst_bits;
        intptr_t significant_bits;
    };
    const Case cases[] = {
        {CopyRows, 24, 24, 16},         {ReduceGrey16, 16, 8, 10},     {ReduceColour16, 48, 24, 16},
        {ReduceColour16, 64, 24, 12},   {DropFourthByte, 32, 24, 16},  {ExpandGrey, 8, 24, 16},
        {InvertFourthByte, 32, 32, 16}, {WidenSamples16, 16, 16, 10},  {WidenSamples16, 48, 48, 12},
        {WidenSamples16, 64, 64, 10},   {SwapRedBlue, 24, 24, 16},     {SwapRedBlue, 32, 32, 16},
        {SwapRedBlue16, 48, 48, 12},    {SwapRedBlue16, 64, 64, 16},
    };
    constexpr int kWidth = 67, kHeight = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.src_bits << " -> " << c.dst_bits);
        DibImage src, dst, one_src, one_dst;
        ASSERT_EQ(src.Create(kWidth, kHeight, c.src_bits), 1);
        ASSERT_EQ(dst.Create(kWidth, kHeight, c.dst_bits), 1);
        ASSERT_EQ(one_src.Create(1, 1, c.src_bits), 1);
        ASSERT_EQ(one_dst.Create(1, 1, c.dst_bits), 1);
        Fill(src, Pattern(SamplesPerRow(src) * kHeight, SampleBytes(src) == 2 ? 0xFFFF : 0xFF));
        ASSERT_EQ(dst.Convert(src, c.converter, nullptr, 0, 0, kReversedRowOrder, c.significant_bits), 1);
        const int sbpp = src.bytes_per_pixel(), dbpp = dst.bytes_per_pixel();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                std::memcpy(one_src.pixels(), src.row(kHeight - 1 - y) + x * sbpp, sbpp);
                ASSERT_EQ(one_dst.Convert(one_src, c.converter, nullptr, 0, 0, kSameRowOrder, c.significant_bits), 1);
                ASSERT_EQ(std::memcmp(one_dst.pixels(), dst.row(y) + x * dbpp, dbpp), 0)
                    << "row " << y << " pixel " << x;
            }
    }
}

// A part of the source placed inside a larger destination: only the rectangle's rows are mirrored,
// and nothing outside the target area is written.
TEST(RowConverters, ReversedRectangleLandsAtTheDestinationPosition) {
    DibImage src, dst;
    ASSERT_EQ(src.Create(5, 3, 8), 1);
    ASSERT_EQ(dst.Create(5, 4, 8), 1);
    Fill(src, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    const PixelRect rect{1, 1, 4, 3};
    ASSERT_EQ(dst.Convert(src, CopyRows, &rect, 3, 1, kReversedRowOrder), 1);  // one column clipped off
    EXPECT_EQ(Read(dst), (Samples{0, 0, 0, 0, 0,    //
                                  0, 0, 0, 12, 13,  //
                                  0, 0, 0, 7, 8,    //
                                  0, 0, 0, 0, 0}));
}

TEST(RowConverters, RefuseOtherFormatsAndDepthsWithoutWriting) {
    struct Case {
        RowConverter converter;
        int dst_bits, src_bits;
        intptr_t significant_bits;
    };
    const Case cases[] = {
        {CopyRows, 24, 32, 16},       {ReduceGrey16, 8, 8, 16},        {ReduceGrey16, 8, 16, 0},
        {ReduceGrey16, 8, 16, 7},     {ReduceGrey16, 8, 16, 17},       {ReduceColour16, 24, 32, 16},
        {ReduceColour16, 32, 64, 16}, {DropFourthByte, 32, 32, 16},    {DropFourthByte, 24, 48, 16},
        {ExpandGrey, 24, 16, 16},     {InvertFourthByte, 32, 24, 16},  {WidenSamples16, 16, 8, 16},
        {WidenSamples16, 48, 64, 12}, {WidenSamples16, 16, 16, 0},     {SwapRedBlue, 48, 48, 16},
        {SwapRedBlue16, 24, 24, 16},  {SwapRedBlue16, 64, 64, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.src_bits << " -> " << c.dst_bits << " at " << c.significant_bits);
        DibImage src, dst;
        ASSERT_EQ(src.Create(3, 2, c.src_bits), 1);
        ASSERT_EQ(dst.Create(3, 2, c.dst_bits), 1);
        std::memset(src.pixels(), 0x5A, src.size());
        EXPECT_EQ(dst.Convert(src, c.converter, nullptr, 0, 0, kSameRowOrder, c.significant_bits), 0);
        for (size_t i = 0; i < dst.size(); ++i) ASSERT_EQ(dst.pixels()[i], 0) << i;
    }
}

}  // namespace
}  // namespace kelvox::imaging
