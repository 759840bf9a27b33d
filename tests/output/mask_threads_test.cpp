// The mask's references changing while live preview corrects every frame with them: updates,
// loads and saves from three host threads (ThreadSanitizer), and the saved files stay whole.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

namespace fs = std::filesystem;

TEST(MaskThreads, UpdateLoadAndSaveWhileCorrectedFramesFlow) {
    const fs::path dir = fs::temp_directory_path() / ("kelvox-mask-threads-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "MASK-THREADS");
    c.paced = 0;
    c.noise = 40;
    ASSERT_GE(KelvoxSim_Attach(&c), 0);
    const int h = Kelvox_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Kelvox_SetColorMode(h, 8), 1);
    ASSERT_EQ(Kelvox_SetWaitTime(h, 1), 1);
    ASSERT_EQ(Kelvox_SetMaskFilter(h, 1), 1);
    ASSERT_EQ(Kelvox_SetDotFilter(h, 1), 1);
    ASSERT_EQ(Kelvox_StartPreview(h), 1);
    const std::string saved = (dir / "saved.msk").string(), loaded = (dir / "loaded.msk").string();
    ASSERT_EQ(Kelvox_SaveMaskFile(h, loaded.c_str()), 1);

    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread updater([&] {
        for (int i = 0; i < 4; ++i) {
            if (Kelvox_UpdateMaskData(h, i % 2) != 1) ++failures;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        done = true;
    });
    std::thread loader([&] {
        while (!done) {
            if (Kelvox_LoadMaskFile(h, loaded.c_str()) != 1) ++failures;
        }
    });
    std::thread saver([&] {
        while (!done) {
            if (Kelvox_SaveMaskFile(h, saved.c_str()) != 1) ++failures;
        }
    });
    updater.join();
    loader.join();
    saver.join();
    EXPECT_EQ(Kelvox_StopPreview(h), 1);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(fs::file_size(saved), 13824040u);
    EXPECT_EQ(Kelvox_Release(h), 1);
    KelvoxSim_DetachAll();
    fs::remove_all(dir);
}
