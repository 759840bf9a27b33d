// Recording while other host threads start and stop the preview and save images on the same
// handle: nothing races (ThreadSanitizer), and every file left behind is whole, finished with a
// consistent index or cut off by a stop after a whole frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "output/avi_reader.h"

namespace fs = std::filesystem;
using namespace kelvox_test;

TEST(RecordThreads, RecordingWhileOthersStartStopAndSave) {
    constexpr int kWidth = 161, kHeight = 60, kRounds = 12;
    const fs::path dir = fs::temp_directory_path() / ("kelvox-record-threads-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "REC-THREADS");
    c.paced = 0;
    c.scene = KELVOX_SIM_SCENE_RAMP;
    ASSERT_GE(KelvoxSim_Attach(&c), 0);
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Kelvox_SetCaptureWindowEx(h, 1920, 0, kWidth, 1200, 0, kHeight), 1);
    ASSERT_EQ(Kelvox_SetWaitTime(h, 1), 1);

    std::atomic<bool> done{false};
    std::atomic<int> recorded{0};
    std::thread recorder([&] {
        for (int i = 0; i < kRounds; ++i) {
            const std::string name = (dir / ("r" + std::to_string(i) + ".avi")).string();
            if (Kelvox_Record(h, name.c_str(), 20 + 10 * (i % 3), 0) == 1) ++recorded;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        done = true;
    });
    std::thread starter([&] {
        while (!done) {
            Kelvox_StartPreview(h);
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            Kelvox_StopPreview(h);
        }
    });
    std::thread saver([&] {
        const std::string name = (dir / "s.bmp").string();
        while (!done) {
            Kelvox_SaveImage(h, name.c_str(), KELVOX_SAVE_BMP);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    recorder.join();
    starter.join();
    saver.join();
    ASSERT_EQ(Kelvox_StopPreview(h), 1);
    EXPECT_GT(recorded.load(), 0);
    ASSERT_EQ(Kelvox_Release(h), 1);  // closes the last file
    KelvoxSim_DetachAll();

    const uint32_t chunk = static_cast<uint32_t>((kWidth * 3 + 3) & ~3) * kHeight;
    for (int i = 0; i < kRounds; ++i) {
        const std::string name = (dir / ("r" + std::to_string(i) + ".avi")).string();
        if (!fs::exists(name)) continue;
        SCOPED_TRACE(name);
        const Avi a = ReadAvi(name);
        ASSERT_TRUE(a.ok);
        for (const auto& ch : a.chunks) EXPECT_EQ(ch.size, chunk);
        if (a.has_index) {
            EXPECT_EQ(a.riff_size, a.length - 8);
            EXPECT_EQ(a.index.size(), a.chunks.size());
            EXPECT_EQ(a.total_frames, a.chunks.size());
        } else {
            EXPECT_EQ(a.riff_size, 0u);
            EXPECT_EQ(a.length, 232 + a.chunks.size() * (8ull + chunk));
        }
    }
    fs::remove_all(dir);
}
