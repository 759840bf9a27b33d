// Kelvox_SaveImage and Kelvox_SaveImageW on a session: when a save is refused, and that the files
// show the image exactly as the host receives it, top row first, in every colour mode.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "output/image_readers.h"

namespace fs = std::filesystem;
using namespace kelvox_test;

namespace {

class SaveImage : public ::testing::Test {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "SAVE-1");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        camera_ = KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        std::vector<unsigned short> scene(1920u * 1200u);
        for (size_t i = 0; i < scene.size(); ++i)  // rows and columns both show, with fine detail
            scene[i] = static_cast<unsigned short>((i / 1920 * 13 + i % 1920 * 7 + (i * 2654435761u >> 20)) % 4096);
        ASSERT_EQ(KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        handle_ = Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_GetLastError(handle_), 0);
        ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, kWidth, 1200, 0, kHeight), 1);
        dir_ = fs::temp_directory_path() / ("kelvox-save-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static constexpr int kWidth = 333, kHeight = 50;  // rows padded at every byte count but 4 and 8
    int camera_ = -1;
    int handle_ = 0;
    fs::path dir_;
};

}  // namespace

TEST_F(SaveImage, NeedsAProcessedFrameAndAConvertibleName) {
    EXPECT_EQ(Kelvox_SaveImage(handle_, Path("a.bmp").c_str(), 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
    EXPECT_FALSE(fs::exists(Path("a.bmp")));
    EXPECT_EQ(Kelvox_SaveImage(987654, Path("a.bmp").c_str(), 0), 0);  // not a handle

    ASSERT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);
    EXPECT_EQ(Kelvox_SaveImage(handle_, Path("a.bmp").c_str(), 0), 1);
    EXPECT_EQ(Kelvox_SaveImage(handle_, Path("a.x").c_str(), 7), 0);
    EXPECT_EQ(Kelvox_SaveImage(handle_, nullptr, 0), 0);
    EXPECT_EQ(Kelvox_SaveImage(handle_, Path("none/a.bmp").c_str(), 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);  // writer failures carry no code
    EXPECT_FALSE(fs::exists(Path("a.x")));

    const std::string narrow = Path("wide.png");
    std::wstring wide(narrow.begin(), narrow.end());
    EXPECT_EQ(Kelvox_SaveImageW(handle_, wide.c_str(), 5), 1);
    EXPECT_TRUE(ReadPng(narrow).ok);
    EXPECT_EQ(Kelvox_SaveImageW(handle_, nullptr, 5), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    EXPECT_EQ(Kelvox_SaveImageW(handle_, L"\x4E00.png", 5), 0);  // not in the code page
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    // 1022 bytes and the terminator fit, one more does not: a long name made of "./" steps.
    std::string longest = Path("");
    std::string tail = (1022 - longest.size()) % 2 ? "s.bmp" : "ss.bmp";
    while (longest.size() + tail.size() < 1022) longest += "./";
    longest += tail;
    ASSERT_EQ(longest.size(), 1022u);
    const std::wstring wide_longest(longest.begin(), longest.end());
    EXPECT_EQ(Kelvox_SaveImageW(handle_, (wide_longest + L"x").c_str(), 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_CONVERT);
    EXPECT_EQ(Kelvox_SaveImageW(handle_, wide_longest.c_str(), 0), 1);
    EXPECT_TRUE(ReadBmp(longest).ok);

    ASSERT_EQ(Kelvox_Close(handle_), 1);  // the image is no longer valid
    EXPECT_EQ(Kelvox_SaveImage(handle_, Path("b.bmp").c_str(), 0), 0);
    EXPECT_EQ(Kelvox_GetLastError(handle_), KELVOX_ERR_NOT_READY);
}

TEST_F(SaveImage, FilesShowTheImageAsDeliveredInEveryColourMode) {
    for (const int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        ASSERT_EQ(Kelvox_SetColorMode(handle_, bits), 1);
        const int bpp = bits / 8, stride = (kWidth * bpp + 3) & ~3;
        std::vector<unsigned char> top(static_cast<size_t>(stride) * kHeight), bottom(top.size());
        ASSERT_EQ(Kelvox_SnapShot(handle_, top.data(), static_cast<int>(top.size()), 1), 1);
        ASSERT_EQ(Kelvox_GetImage(handle_, bottom.data(), static_cast<int>(bottom.size()), 0), 1);

        ASSERT_EQ(Kelvox_SaveImage(handle_, Path("s.raw").c_str(), KELVOX_SAVE_RAW), 1);
        EXPECT_EQ(FileBytes(Path("s.raw")), top);
        ASSERT_EQ(Kelvox_SaveImage(handle_, Path("s.bmp").c_str(), KELVOX_SAVE_BMP), 1);
        const Bmp bmp = ReadBmp(Path("s.bmp"));
        EXPECT_EQ(bmp.pixels, bottom);  // bottom-up, as a host's row order 0

        // TIFF: R, G, B order, rows unpadded; compare through the top-down buffer.
        ASSERT_EQ(Kelvox_SaveImage(handle_, Path("s.tif").c_str(), KELVOX_SAVE_TIFF), 1);
        const Decoded tif = ReadTiff(Path("s.tif"));
        ASSERT_TRUE(tif.ok);
        ASSERT_EQ(tif.width, kWidth);
        ASSERT_EQ(tif.height, kHeight);
        ASSERT_EQ(Kelvox_SaveImage(handle_, Path("s.png").c_str(), KELVOX_SAVE_PNG), 1);
        const Decoded png = ReadPng(Path("s.png"));
        ASSERT_TRUE(png.ok);
        const bool wide = bits == 16 || bits >= 48;
        const int samples = wide ? bpp / 2 : bpp;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const unsigned char* p = &top[static_cast<size_t>(y) * stride + x * bpp];
                for (int c = 0; c < std::min(samples, 3); ++c) {
                    const int from = samples == 1 ? 0 : 2 - c;  // files hold R, G, B
                    const unsigned v = wide ? p[2 * from] | p[2 * from + 1] << 8 : p[from];
                    ASSERT_EQ(tif.at(x, y, c), v) << x << "," << y;
                    ASSERT_EQ(png.at(x, y, c), v) << x << "," << y;
                }
            }
        ASSERT_EQ(Kelvox_SaveImage(handle_, Path("s.jpg").c_str(), KELVOX_SAVE_JPEG100), 1);
        const Decoded jpg = ReadJpeg(Path("s.jpg"));
        ASSERT_TRUE(jpg.ok);
        EXPECT_EQ(jpg.channels, bits <= 16 ? 1 : 3);
        EXPECT_EQ(jpg.height, kHeight);
    }
    EXPECT_EQ(Kelvox_GetLastError(handle_), 0);
}
