// Image files through the DLL under Windows file handling: the rows and headers as stored, the
// wide-name form, refusals and overwrites.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

struct Api {
    KELVOX_EXPORT(KelvoxSim_DefaultCamera);
    KELVOX_EXPORT(KelvoxSim_Attach);
    KELVOX_EXPORT(KelvoxSim_DetachAll);
    KELVOX_EXPORT(KelvoxSim_SetRawScene);
    KELVOX_EXPORT(Kelvox_Initialize);
    KELVOX_EXPORT(Kelvox_Release);
    KELVOX_EXPORT(Kelvox_GetLastError);
    KELVOX_EXPORT(Kelvox_SetCaptureWindowEx);
    KELVOX_EXPORT(Kelvox_SetColorMode);
    KELVOX_EXPORT(Kelvox_SnapShot);
    KELVOX_EXPORT(Kelvox_GetImage);
    KELVOX_EXPORT(Kelvox_SaveImage);
    KELVOX_EXPORT(Kelvox_SaveImageW);
};

std::vector<unsigned char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}
unsigned Le16(const unsigned char* p) { return p[0] | p[1] << 8; }
unsigned Le32(const unsigned char* p) { return Le16(p) | Le16(p + 2) << 16; }
unsigned Be32(const unsigned char* p) { return p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The (first) value of a SHORT or LONG tag of a little-endian TIFF's first directory, or -1.
long TiffTag(const std::vector<unsigned char>& f, unsigned tag) {
    if (f.size() < 8 || f[0] != 'I' || f[1] != 'I' || Le16(&f[2]) != 42) return -1;
    const unsigned ifd = Le32(&f[4]);
    if (ifd + 2 > f.size()) return -1;
    for (unsigned i = 0, n = Le16(&f[ifd]); i < n && ifd + 14 + 12 * i <= f.size(); ++i) {
        const unsigned char* e = &f[ifd + 2 + 12 * i];
        if (Le16(e) != tag) continue;
        const bool shorts = Le16(e + 2) == 3;
        const unsigned char* value = e + 8;
        if (Le32(e + 4) * (shorts ? 2 : 4) > 4) {  // not inline: at an offset
            if (Le32(e + 8) + 4 > f.size()) return -1;
            value = &f[Le32(e + 8)];
        }
        return shorts ? Le16(value) : Le32(value);
    }
    return -1;
}

class DllOutput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(api_.Kelvox_SaveImage, nullptr);
        ASSERT_NE(api_.Kelvox_SaveImageW, nullptr);
        KELVOX_SIM_CAMERA c;
        api_.KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "WIN-FILES");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        ASSERT_GE(camera_ = api_.KelvoxSim_Attach(&c), 0);
        std::vector<unsigned short> scene(1920u * 1200u);
        for (size_t i = 0; i < scene.size(); ++i)
            scene[i] = static_cast<unsigned short>((i / 1920 * 13 + i % 1920 * 7 + (i * 2654435761u >> 20)) % 4096);
        ASSERT_EQ(api_.KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        handle_ = api_.Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, kWidth, 1200, 0, kHeight), 1);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "kelvox-files-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir_.c_str(), nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(api_.Kelvox_Release(handle_), 1);
        api_.KelvoxSim_DetachAll();
        for (const char* name : {"f.bmp", "f.raw", "f.png", "f.jpg", "f.tif", "w.bmp", "x.img"})
            DeleteFileA(Path(name).c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    std::string Path(const char* name) const { return dir_ + "\\" + name; }

    static constexpr int kWidth = 333, kHeight = 50;
    Api api_;
    int camera_ = -1;
    int handle_ = 0;
    std::string dir_;
};

}  // namespace

TEST_F(DllOutput, FilesHoldTheDeliveredImageTopRowFirst) {
    EXPECT_EQ(api_.Kelvox_SaveImage(handle_, Path("f.bmp").c_str(), 0), 0);  // no frame yet
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
    for (const int bits : {24, 48}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(api_.Kelvox_SetColorMode(handle_, bits), 1);
        const int bpp = bits / 8, stride = (kWidth * bpp + 3) & ~3;
        std::vector<unsigned char> top(static_cast<size_t>(stride) * kHeight), bottom(top.size());
        ASSERT_EQ(api_.Kelvox_SnapShot(handle_, top.data(), static_cast<int>(top.size()), 1), 1);
        ASSERT_EQ(api_.Kelvox_GetImage(handle_, bottom.data(), static_cast<int>(bottom.size()), 0), 1);
        for (int format = 0; format <= 6; ++format) {
            const char* names[] = {"f.bmp", "f.raw", "f.jpg", "f.jpg", "f.jpg", "f.png", "f.tif"};
            ASSERT_EQ(api_.Kelvox_SaveImage(handle_, Path(names[format]).c_str(), format), 1) << format;
        }
        EXPECT_EQ(Bytes(Path("f.raw")), top);

        const std::vector<unsigned char> bmp = Bytes(Path("f.bmp"));
        ASSERT_EQ(bmp.size(), 54 + top.size());
        EXPECT_EQ(Le16(&bmp[0]), 0x4D42u);
        EXPECT_EQ(Le32(&bmp[2]), bmp.size());
        EXPECT_EQ(Le32(&bmp[10]), 54u);
        EXPECT_EQ(Le16(&bmp[28]), static_cast<unsigned>(bits));
        EXPECT_TRUE(std::equal(bottom.begin(), bottom.end(), bmp.begin() + 54));

        const std::vector<unsigned char> png = Bytes(Path("f.png"));
        ASSERT_GT(png.size(), 33u);
        EXPECT_EQ(std::memcmp(&png[0], "\x89PNG\r\n\x1a\n", 8), 0);
        EXPECT_EQ(std::memcmp(&png[12], "IHDR", 4), 0);
        EXPECT_EQ(Be32(&png[16]), static_cast<unsigned>(kWidth));
        EXPECT_EQ(Be32(&png[20]), static_cast<unsigned>(kHeight));
        EXPECT_EQ(png[24], bits == 24 ? 8 : 16);  // bit depth
        EXPECT_EQ(png[25], 2);                    // RGB

        const std::vector<unsigned char> jpg = Bytes(Path("f.jpg"));  // the last one: quality 20
        ASSERT_GT(jpg.size(), 4u);
        EXPECT_EQ(jpg[0], 0xFF);
        EXPECT_EQ(jpg[1], 0xD8);

        // TIFF: one uncompressed strip of unpadded R, G, B rows, top row first.
        const std::vector<unsigned char> tif = Bytes(Path("f.tif"));
        EXPECT_EQ(TiffTag(tif, 256), kWidth);
        EXPECT_EQ(TiffTag(tif, 257), kHeight);
        EXPECT_EQ(TiffTag(tif, 258), bits == 24 ? 8 : 16);
        EXPECT_EQ(TiffTag(tif, 262), 2);
        EXPECT_EQ(TiffTag(tif, 277), 3);
        const long offset = TiffTag(tif, 273), count = TiffTag(tif, 279);
        ASSERT_EQ(count, static_cast<long>(kWidth) * bpp * kHeight);
        ASSERT_LE(static_cast<size_t>(offset + count), tif.size());
        const int sample = bpp / 3;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(std::memcmp(&tif[offset + (static_cast<size_t>(y) * kWidth + x) * bpp + c * sample],
                                          &top[static_cast<size_t>(y) * stride + x * bpp + (2 - c) * sample], sample),
                              0)
                        << x << "," << y;
    }
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), 0);
}

TEST_F(DllOutput, RefusalsWideNamesAndOverwrites) {
    ASSERT_EQ(api_.Kelvox_SetColorMode(handle_, 8), 1);
    ASSERT_EQ(api_.Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);
    EXPECT_EQ(api_.Kelvox_SaveImage(handle_, Path("x.img").c_str(), 7), 0);
    EXPECT_EQ(api_.Kelvox_SaveImage(handle_, Path("x.img").c_str(), -1), 0);
    EXPECT_FALSE(Exists(Path("x.img")));
    EXPECT_EQ(api_.Kelvox_SaveImage(handle_, (dir_ + "\\none\\x.png").c_str(), 5), 0);
    EXPECT_EQ(api_.Kelvox_SaveImage(handle_, nullptr, 0), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), 0);

    // Over a longer file: truncated to the picture.
    { std::ofstream(Path("f.raw"), std::ios::binary) << std::string(1 << 20, 'x'); }
    ASSERT_EQ(api_.Kelvox_SaveImage(handle_, Path("f.raw").c_str(), 1), 1);
    EXPECT_EQ(Bytes(Path("f.raw")).size(), static_cast<size_t>(336) * kHeight);

    const std::string narrow = Path("w.bmp");
    const std::wstring wide(narrow.begin(), narrow.end());
    EXPECT_EQ(api_.Kelvox_SaveImageW(handle_, wide.c_str(), 0), 1);
    EXPECT_EQ(Bytes(narrow).size(), 1078u + 336 * kHeight);
    EXPECT_EQ(api_.Kelvox_SaveImageW(handle_, (wide + std::wstring(1100, L'x')).c_str(), 0), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    EXPECT_EQ(api_.Kelvox_SaveImageW(handle_, nullptr, 0), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    EXPECT_EQ(api_.Kelvox_SaveImage(12345, narrow.c_str(), 0), 0);  // not a handle
}
