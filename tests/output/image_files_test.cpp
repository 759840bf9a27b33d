// The still-image writer: every format and bit count read back by independent decoders, file
// headers and tags, row order, and what failed saves leave behind.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "imaging/dib_image.h"
#include "output/binary_file.h"
#include "output/image_readers.h"
#include "output/image_writer.h"

namespace fs = std::filesystem;
using kelvox::imaging::DibImage;
using kelvox::output::SaveImageFile;
using namespace kelvox_test;

namespace {

constexpr int kBitCounts[] = {8, 16, 24, 32, 48, 64};

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kelvox-files-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

// Random pixels, with junk in the row padding that no file but the raw dump may show.
void FillRandom(DibImage& image, int width, int height, int bits, unsigned seed) {
    ASSERT_EQ(image.Create(width, height, bits), 1);
    std::mt19937 random(seed);
    for (size_t i = 0; i < image.size(); ++i) image.pixels()[i] = static_cast<uint8_t>(random());
}

// Smooth gradients that JPEG keeps well, darker at the top; 16-bit low bytes are noise.
void FillSmooth(DibImage& image, int width, int height, int bits) {
    ASSERT_EQ(image.Create(width, height, bits), 1);
    const int bpp = bits / 8, samples = bits == 16 ? 1 : bits >= 48 ? bpp / 2 : bpp;
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < samples; ++c) {
                const unsigned v = 20 + 200u * (x + 3 * y + 9 * c) / (width + 3 * height + 27);
                uint8_t* p = image.row(y) + x * bpp + c * (bpp / samples);
                if (bpp / samples == 2) {
                    p[0] = static_cast<uint8_t>(random());
                    p[1] = static_cast<uint8_t>(v);
                } else {
                    p[0] = static_cast<uint8_t>(v);
                }
            }
}

// Pixel (x, y) of the picture: grey, or blue, green, red and the fourth sample, as numbers.
std::array<unsigned, 4> SourcePixel(const DibImage& s, int x, int y) {
    const uint8_t* p = const_cast<DibImage&>(s).row(y) + x * s.bytes_per_pixel();
    std::array<unsigned, 4> v{};
    const bool wide = s.bit_count() == 16 || s.bit_count() >= 48;
    const int samples = wide ? s.bytes_per_pixel() / 2 : s.bytes_per_pixel();
    for (int c = 0; c < samples; ++c) v[c] = wide ? Le16(p + 2 * c) : p[c];
    return v;
}

// What the file must hold for pixel (x, y), in the file's channel order.
std::vector<unsigned> PngSamples(const DibImage& s, int x, int y) {
    const auto v = SourcePixel(s, x, y);
    switch (s.bit_count()) {
        case 8: case 16: return {v[0]};
        case 24: case 48: return {v[2], v[1], v[0]};
        case 32: return {v[2], v[1], v[0], 255 - v[3]};
        default: return {v[2], v[1], v[0], 65535 - v[3]};
    }
}

std::vector<unsigned> TiffSamples(const DibImage& s, int x, int y) {
    const auto v = SourcePixel(s, x, y);
    switch (s.bit_count()) {
        case 8: case 16: return {v[0]};
        case 24: case 48: return {v[2], v[1], v[0]};
        case 32: return {v[2], v[1], v[0], v[3]};
        default: return {v[2], v[1], v[0], 65535};
    }
}

template <class Expected>
void ExpectSamples(const Decoded& d, const DibImage& s, Expected expected) {
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.width, s.width());
    ASSERT_EQ(d.height, s.height());
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            const std::vector<unsigned> want = expected(s, x, y);
            ASSERT_EQ(d.channels, static_cast<int>(want.size()));
            for (int c = 0; c < d.channels; ++c) ASSERT_EQ(d.at(x, y, c), want[c]) << "x " << x << " y " << y << " c " << c;
        }
}

void ExpectBmp(const std::string& path, const DibImage& s) {
    const Bmp b = ReadBmp(path);
    ASSERT_TRUE(b.ok);
    const uint32_t offset = s.bit_count() <= 8 ? 1078 : 54;
    EXPECT_EQ(b.offset, offset);
    EXPECT_EQ(b.size_field, offset + s.size());
    EXPECT_EQ(b.file_size, b.size_field);
    EXPECT_EQ(b.header_size, 40u);
    EXPECT_EQ(b.width, s.width());
    EXPECT_EQ(b.height, s.height());  // positive: bottom-up
    EXPECT_EQ(b.planes, 1);
    EXPECT_EQ(b.bit_count, s.bit_count());
    EXPECT_EQ(b.compression, 0u);
    EXPECT_EQ(b.size_image, 0u);
    if (s.bit_count() == 8) {
        ASSERT_EQ(b.palette.size(), 1024u);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(Le32(&b.palette[4 * i]), i * 0x010101u) << i;
    }
    ASSERT_EQ(b.pixels.size(), s.size());
    const size_t used = static_cast<size_t>(s.width()) * s.bytes_per_pixel();
    for (int i = 0; i < s.height(); ++i) {
        const uint8_t* row = &b.pixels[i * static_cast<size_t>(s.stride())];
        ASSERT_EQ(std::memcmp(row, const_cast<DibImage&>(s).row(s.height() - 1 - i), used), 0) << "file row " << i;
        for (size_t k = used; k < static_cast<size_t>(s.stride()); ++k) ASSERT_EQ(row[k], 0) << "padding of row " << i;
    }
}

}  // namespace

// Widths whose rows need padding at every byte count but 4 and 8, a single pixel, and a picture
// that the writers convert in several blocks.
TEST_F(ImageFiles, LosslessFormatsReadBackAtEveryBitCount) {
    for (const auto& [width, height] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{1101, 130}}) {
        for (const int bits : kBitCounts) {
            SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
            DibImage s;
            FillRandom(s, width, height, bits, static_cast<unsigned>(bits * width));
            ASSERT_EQ(SaveImageFile(Path("a.bmp").c_str(), s, 0), 1);
            ExpectBmp(Path("a.bmp"), s);
            ASSERT_EQ(SaveImageFile(Path("a.raw").c_str(), s, 1), 1);
            EXPECT_EQ(FileBytes(Path("a.raw")), std::vector<uint8_t>(s.pixels(), s.pixels() + s.size()));

            ASSERT_EQ(SaveImageFile(Path("a.png").c_str(), s, 5), 1);
            const Decoded png = ReadPng(Path("a.png"));
            ExpectSamples(png, s, PngSamples);
            EXPECT_EQ(png.depth, bits == 16 || bits >= 48 ? 16 : 8);
            EXPECT_EQ(png.colour_type, bits <= 16 ? 0 : bits == 24 || bits == 48 ? 2 : 6);
            EXPECT_EQ(png.interlace, 0);

            ASSERT_EQ(SaveImageFile(Path("a.tif").c_str(), s, 6), 1);
            const Decoded tif = ReadTiff(Path("a.tif"));
            ExpectSamples(tif, s, TiffSamples);
            EXPECT_EQ(tif.depth, bits == 16 || bits >= 48 ? 16 : 8);
            EXPECT_EQ(tif.photometric, bits <= 16 ? 1 : 2);
            EXPECT_EQ(tif.compression, 1);
            EXPECT_EQ(tif.planar, 1);
            EXPECT_FALSE(tif.extra_samples_tag);
            EXPECT_EQ(tif.strips, 1);
            EXPECT_EQ(tif.strip_bytes, static_cast<uint64_t>(width) * height * (bits / 8));  // rows unpadded
            EXPECT_EQ(FileBytes(Path("a.tif"))[0], 'I');  // little-endian samples
        }
    }
}

TEST_F(ImageFiles, JpegIsProgressiveAtTheQualityOfItsCodeWithTheTopRowFirst) {
    const int quality_code[] = {2, 3, 4};
    const int first_entry[] = {1, 10, 40};  // the luminance table's first entry at quality 100, 70, 20
    for (const int bits : kBitCounts) {
        DibImage s;
        FillSmooth(s, 53, 31, bits);
        for (int q = 0; q < 3; ++q) {
            SCOPED_TRACE(std::to_string(bits) + " bits, code " + std::to_string(quality_code[q]));
            ASSERT_EQ(SaveImageFile(Path("a.jpg").c_str(), s, quality_code[q]), 1);
            const std::vector<int> markers = JpegMarkers(FileBytes(Path("a.jpg")));
            EXPECT_NE(std::find(markers.begin(), markers.end(), 0xC2), markers.end());  // progressive frame
            EXPECT_EQ(std::find(markers.begin(), markers.end(), 0xC0), markers.end());
            const Decoded d = ReadJpeg(Path("a.jpg"));
            ASSERT_TRUE(d.ok);
            EXPECT_TRUE(d.progressive);
            EXPECT_EQ(d.luminance_q0, first_entry[q]);
            EXPECT_LE(d.max_q, 255);  // baseline-limited tables
            ASSERT_EQ(d.width, 53);
            ASSERT_EQ(d.height, 31);
            ASSERT_EQ(d.channels, bits <= 16 ? 1 : 3);
            double error = 0;
            for (int y = 0; y < 31; ++y)
                for (int x = 0; x < 53; ++x) {
                    const auto v = SourcePixel(s, x, y);
                    const int shift = bits == 16 || bits >= 48 ? 8 : 0;
                    for (int c = 0; c < d.channels; ++c) {
                        const unsigned want = d.channels == 1 ? v[0] >> shift : v[2 - c] >> shift;  // R, G, B
                        error += std::abs(static_cast<int>(d.at(x, y, c)) - static_cast<int>(want));
                    }
                }
            error /= 53.0 * 31 * d.channels;
            EXPECT_LT(error, q == 0 ? 1.0 : 4.0);
        }
    }
}

TEST_F(ImageFiles, UnknownFormatsAndMissingNamesWriteNothing) {
    DibImage s, empty;
    FillRandom(s, 8, 8, 24, 1);
    for (const int format : {7, -1, 100}) {
        EXPECT_EQ(SaveImageFile(Path("x.img").c_str(), s, format), 0);
        EXPECT_FALSE(fs::exists(Path("x.img")));
    }
    EXPECT_EQ(SaveImageFile(nullptr, s, 0), 0);
    EXPECT_EQ(SaveImageFile("", s, 5), 0);
    EXPECT_EQ(SaveImageFile(Path("x.img").c_str(), empty, 0), 0);
    EXPECT_FALSE(fs::exists(Path("x.img")));
}

TEST_F(ImageFiles, SavingOverALongerFileTruncatesIt) {
    DibImage s;
    FillRandom(s, 16, 4, 24, 2);
    for (int format = 0; format <= 6; ++format) {
        SCOPED_TRACE(format);
        const std::string path = Path("over");
        { std::ofstream(path, std::ios::binary) << std::string(1 << 20, 'x'); }
        ASSERT_EQ(SaveImageFile(path.c_str(), s, format), 1);
        EXPECT_LT(fs::file_size(path), 4096u);
        if (format <= 1) {
            EXPECT_EQ(fs::file_size(path), (format == 0 ? 54u : 0u) + s.size());
        }
    }
    EXPECT_TRUE(ReadTiff(Path("over")).ok);  // the last one written
}

// A full disk mid-file (the file-size limit) must give 0 and leave no unfinished file; libjpeg's
// fatal error on it must not end the process.
TEST_F(ImageFiles, FailedWritesReportFailureAndLeaveNoFile) {
    DibImage s;
    FillRandom(s, 256, 256, 24, 3);
    const std::string missing_dir = Path("no/such/dir/x");
    for (int format = 0; format <= 6; ++format) EXPECT_EQ(SaveImageFile(missing_dir.c_str(), s, format), 0);

    constexpr rlim_t kLimit = 8192;
    for (int format = 0; format <= 6; ++format) {
        ASSERT_EQ(SaveImageFile(Path("whole").c_str(), s, format), 1);
        ASSERT_GT(fs::file_size(Path("whole")), kLimit) << format;  // else the limit proves nothing
    }
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    rlimit small = old;
    small.rlim_cur = kLimit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int results[7];
    for (int format = 0; format <= 6; ++format) results[format] = SaveImageFile(Path("cut").c_str(), s, format);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    for (int format = 0; format <= 6; ++format) EXPECT_EQ(results[format], 0) << format;
    EXPECT_FALSE(fs::exists(Path("cut")));

    if (fs::exists("/dev/full")) {  // a device: failing, but never removed
        for (int format = 0; format <= 6; ++format) EXPECT_EQ(SaveImageFile("/dev/full", s, format), 0) << format;
        EXPECT_TRUE(fs::exists("/dev/full"));
    }
}

TEST_F(ImageFiles, BinaryFileReadsBackWhatItWrote) {
    kelvox::output::BinaryFile file;
    ASSERT_EQ(file.Create(Path("b").c_str()), 1);
    ASSERT_EQ(file.Write("header", 6), 1);
    ASSERT_EQ(file.Write("body", 4), 1);
    ASSERT_EQ(file.Close(), 1);
    ASSERT_EQ(file.Load(Path("b").c_str()), 1);
    EXPECT_EQ(file.size(), 10u);
    char part[7] = {};
    ASSERT_EQ(file.Read(part, 6), 1);
    EXPECT_STREQ(part, "header");
    EXPECT_EQ(file.Read(part, 5), 0);  // only 4 left; the cursor stays
    EXPECT_EQ(file.remaining(), 4u);
    EXPECT_EQ(file.Load(Path("none").c_str()), 0);
    EXPECT_EQ(file.Write("x", 1), 0);  // nothing open
}
