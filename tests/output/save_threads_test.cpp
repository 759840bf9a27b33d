// Four sessions on four cameras saving PNG, JPEG and TIFF from four threads at once, one of them
// while its live preview replaces the picture: the encoders keep their state per call and a save
// sees one whole frame, so every file must come out whole and right.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <chrono>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "output/image_readers.h"

namespace fs = std::filesystem;
using namespace kelvox_test;

TEST(SaveThreads, FourSessionsSavePngJpegAndTiffAtOnce) {
    constexpr int kSessions = 4, kRounds = 3, kWidth = 161, kHeight = 60;
    const fs::path dir = fs::temp_directory_path() / ("kelvox-threads-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (int i = 0; i < kSessions; ++i) {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::snprintf(c.serial, sizeof c.serial, "SAVER-%d", i);
        c.paced = 0;
        c.scene = KELVOX_SIM_SCENE_RAMP;
        ASSERT_GE(KelvoxSim_Attach(&c), 0);
    }
    const int bits[kSessions] = {8, 24, 48, 64};
    std::atomic<int> failures{0};
    std::vector<std::vector<unsigned char>> last(kSessions);
    auto work = [&](int index) {
        const int h = Kelvox_Initialize(nullptr);  // several cameras: nothing opened by itself
        const int stride = (kWidth * bits[index] / 8 + 3) & ~3;
        std::vector<unsigned char>& image = last[index];
        image.resize(static_cast<size_t>(stride) * kHeight);
        if (h == 0 || Kelvox_SetDeviceNumber(h, index) != 1 || Kelvox_SetColorMode(h, bits[index]) != 1 ||
            Kelvox_SetCaptureWindowEx(h, 1920, 64 * index, kWidth, 1200, 32 * index, kHeight) != 1) {
            ++failures;
            return;
        }
        const bool live = index == kSessions - 1;
        if (live) {
            if (Kelvox_StartPreview(h) != 1) ++failures;
            // Saves are refused until the frame thread has processed a frame.
            for (int i = 0; i < 1000 && Kelvox_SaveImage(h, (dir / "first.raw").string().c_str(), 1) != 1; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            while (Kelvox_GetLastError(h) == KELVOX_ERR_NOT_READY) continue;  // the refusals' records
        }
        for (int round = 0; round < kRounds; ++round) {
            if (!live && Kelvox_SnapShot(h, image.data(), static_cast<int>(image.size()), 1) != 1) ++failures;
            const std::string base = (dir / ("s" + std::to_string(index))).string();
            if (Kelvox_SaveImage(h, (base + ".png").c_str(), KELVOX_SAVE_PNG) != 1) ++failures;
            if (Kelvox_SaveImage(h, (base + ".jpg").c_str(), KELVOX_SAVE_JPEG70) != 1) ++failures;
            if (Kelvox_SaveImage(h, (base + ".tif").c_str(), KELVOX_SAVE_TIFF) != 1) ++failures;
        }
        if (live && Kelvox_StopPreview(h) != 1) ++failures;
        if (Kelvox_GetLastError(h) != 0 || Kelvox_Release(h) != 1) ++failures;
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < kSessions; ++i) threads.emplace_back(work, i);
    for (auto& t : threads) t.join();
    KelvoxSim_DetachAll();
    ASSERT_EQ(failures, 0);

    // Each session's last files hold its last snapshot; the live one's are whole pictures.
    for (int i = 0; i < kSessions; ++i) {
        SCOPED_TRACE(i);
        const std::string base = (dir / ("s" + std::to_string(i))).string();
        const Decoded png = ReadPng(base + ".png"), tif = ReadTiff(base + ".tif"), jpg = ReadJpeg(base + ".jpg");
        ASSERT_TRUE(png.ok && tif.ok && jpg.ok);
        EXPECT_EQ(jpg.width, kWidth);
        EXPECT_EQ(jpg.height, kHeight);
        if (i == kSessions - 1) {
            EXPECT_EQ(png.width, kWidth);
            EXPECT_EQ(tif.height, kHeight);
            continue;
        }
        const int bpp = bits[i] / 8, stride = (kWidth * bpp + 3) & ~3;
        const bool wide = bits[i] >= 48;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < (bpp == 1 ? 1 : 3); ++c) {
                    const unsigned char* p = &last[i][static_cast<size_t>(y) * stride + x * bpp];
                    const int from = bpp == 1 ? 0 : 2 - c;
                    const unsigned v = wide ? p[2 * from] | p[2 * from + 1] << 8 : p[from];
                    ASSERT_EQ(png.at(x, y, c), v);
                    ASSERT_EQ(tif.at(x, y, c), v);
                }
    }
    fs::remove_all(dir);
}
