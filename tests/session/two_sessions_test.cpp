// Two handles, each with its own simulated camera, used from two threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

TEST(TwoSessions, TwoCamerasFromTwoThreads) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "LEFT");
    const int left = KelvoxSim_Attach(&c);
    std::strcpy(c.serial, "RIGHT");
    const int right = KelvoxSim_Attach(&c);
    ASSERT_GE(left, 0);
    ASSERT_GE(right, 0);
    std::atomic<int> failures{0};
    auto work = [&](int camera_index, const char* serial) {
        const int h = Kelvox_Initialize(nullptr);  // two cameras: nothing opened by itself
        if (h == 0 || Kelvox_SetDeviceNumber(h, camera_index) != 1) {
            ++failures;
            return;
        }
        for (int i = 0; i < 20; ++i) {
            char text[32] = {};
            if (Kelvox_ReadSerialNumberA(h, text, sizeof text) != 1 || std::strcmp(text, serial) != 0) ++failures;
            if (Kelvox_SetRealExposureTime(h, 1000 * (i + 1)) != 1) ++failures;
            int ok = 0;
            if (Kelvox_GetRealExposureTime(h, &ok) != 1000 * (i + 1)) ++failures;
            if (Kelvox_SetCaptureWindowEx(h, 1920, 16 * i, 640, 1200, 8 * i, 480) != 1) ++failures;
        }
        if (Kelvox_GetLastError(h) != 0 || Kelvox_Release(h) != 1) ++failures;
    };
    std::thread a(work, 0, "LEFT"), b(work, 1, "RIGHT");
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    KelvoxSim_DetachAll();
}
