// What a careless or hostile host may pass: null pointers, sizes of 0, -1 and INT_MAX, identifiers
// and modes just outside their ranges, buffers too small for their text, windows that are gone.
// Each call gets its failure value and error code and never a crash (the sanitizers watch); and
// two host threads starting, stopping, setting and saving on one handle at once.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "unit/message_probe.h"

namespace {

constexpr int kAnyCode = -1;  // the call must fail; which code is the row's business elsewhere

struct Row {
    const char* what;
    std::function<double(int)> call;
    double result;
    int code;  // 0: nothing recorded
};

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override {
        kelvox_test::EnsureThreadQueue();
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "HOSTILE-1");
        c.paced = 0;
        ASSERT_GE(KelvoxSim_Attach(&c), 0);
        handle_ = Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Kelvox_SetColorMode(handle_, 8), 1);
        ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 64, 1200, 0, 48), 1);
        ASSERT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);  // there is an image to save
    }
    void TearDown() override {
        Kelvox_StopPreview(handle_);
        EXPECT_EQ(Kelvox_Release(handle_), 1);
        KelvoxSim_DetachAll();
        // Refusals without a notification window land in this thread's queue; left there, thousands
        // of them make every later message read of the process slow under Wine.
        kelvox_test::DrainPosted(nullptr);
    }
    int handle_ = 0;
};

}  // namespace

TEST_F(HostileInput, EveryExportRefusesWhatItCannotUse) {
    static char text[64];
    static wchar_t wide[64];
    static unsigned char small[16];
    const std::string dir = testing::TempDir();
    const std::string path = dir + "kelvox-hostile.bmp";
    const double nan = std::nan("");
    const std::vector<Row> rows = {
        {"EnumDevice null", [](int h) { return Kelvox_EnumDevice(h, nullptr); }, 0, KELVOX_ERR_PARAM},
        {"EnumDeviceW null", [](int h) { return Kelvox_EnumDeviceW(h, nullptr); }, 0, KELVOX_ERR_PARAM},
        {"GetDeviceName null", [](int h) { return Kelvox_GetDeviceName(h, 0, nullptr, 64); }, 0, KELVOX_ERR_PARAM},
        {"GetDeviceName size 0", [](int h) { return Kelvox_GetDeviceName(h, 0, text, 0); }, 0, KELVOX_ERR_PARAM},
        {"GetDeviceName size -1", [](int h) { return Kelvox_GetDeviceName(h, 0, text, -1); }, 0, KELVOX_ERR_PARAM},
        {"GetDeviceName no room", [](int h) { return Kelvox_GetDeviceName(h, 0, text, 20); }, 0, KELVOX_ERR_PARAM},
        {"GetDeviceName index -1", [](int h) { return Kelvox_GetDeviceName(h, -1, text, 64); }, 0, kAnyCode},
        {"GetDeviceName index INT_MAX", [](int h) { return Kelvox_GetDeviceName(h, INT_MAX, text, 64); }, 0, kAnyCode},
        {"GetDeviceNameW null", [](int h) { return Kelvox_GetDeviceNameW(h, 0, nullptr, 64); }, 0, KELVOX_ERR_CONVERT},
        {"GetDeviceNameW no room", [](int h) { return Kelvox_GetDeviceNameW(h, 0, wide, 2); }, 0, kAnyCode},
        {"SetDeviceNumber -1", [](int h) { return Kelvox_SetDeviceNumber(h, -1); }, 0, KELVOX_ERR_NO_CAMERA},
        {"SetDeviceNumber INT_MAX", [](int h) { return Kelvox_SetDeviceNumber(h, INT_MAX); }, 0, KELVOX_ERR_NO_CAMERA},
        {"GetCameraInfo null", [](int h) { return Kelvox_GetCameraInfo(h, nullptr); }, 0, KELVOX_ERR_PARAM},
        {"GetCameraInfo size 35",
         [](int h) {
             KELVOX_CAMERA_INFO info{};
             info.size = 35;
             return Kelvox_GetCameraInfo(h, &info);
         },
         0, KELVOX_ERR_BUFFER},
        {"ReadSerialNumberA null", [](int h) { return Kelvox_ReadSerialNumberA(h, nullptr, 64); }, 0, KELVOX_ERR_PARAM},
        {"ReadSerialNumberA size 31", [](int h) { return Kelvox_ReadSerialNumberA(h, text, 31); }, 0, KELVOX_ERR_PARAM},
        {"ReadSerialNumberW null", [](int h) { return Kelvox_ReadSerialNumberW(h, nullptr, 64); }, 0, KELVOX_ERR_CONVERT},
        {"ReadSerialNumberW no room", [](int h) { return Kelvox_ReadSerialNumberW(h, wide, 1); }, 0, KELVOX_ERR_CONVERT},
        {"GetCaptureWindowEx all null",
         [](int h) { return Kelvox_GetCaptureWindowEx(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }, 1, 0},
        {"SetCaptureWindowEx past the edge", [](int h) { return Kelvox_SetCaptureWindowEx(h, 1920, 1, 1920, 1200, 0, 1200); },
         0, kAnyCode},
        {"SetCaptureWindowEx INT_MAX", [](int h) { return Kelvox_SetCaptureWindowEx(h, INT_MAX, INT_MAX, INT_MAX, -1, -1, -1); },
         0, kAnyCode},
        {"SetCaptureWindow no such preset", [](int h) { return Kelvox_SetCaptureWindow(h, -1, INT_MAX); }, 0, kAnyCode},
        {"SetColorMode 7", [](int h) { return Kelvox_SetColorMode(h, 7); }, 0, kAnyCode},
        {"SetColorMode INT_MIN", [](int h) { return Kelvox_SetColorMode(h, INT_MIN); }, 0, kAnyCode},
        {"SetSubSample 1", [](int h) { return Kelvox_SetSubSample(h, 1); }, 0, 0},
        {"SetWaitTime -1", [](int h) { return Kelvox_SetWaitTime(h, -1); }, 0, 0},
        {"SnapShot null buffer, size 64", [](int h) { return Kelvox_SnapShot(h, nullptr, 64, 0); }, 1, 0},  // no copy
        {"SnapShot size -1", [](int h) { return Kelvox_SnapShot(h, small, -1, 0); }, 0, KELVOX_ERR_BUFFER},
        {"SnapShot short buffer", [](int h) { return Kelvox_SnapShot(h, small, sizeof small, 1); }, 0, KELVOX_ERR_BUFFER},
        {"GetImage size INT_MIN", [](int h) { return Kelvox_GetImage(h, small, INT_MIN, 0); }, 0, KELVOX_ERR_BUFFER},
        {"SaveImage null name", [](int h) { return Kelvox_SaveImage(h, nullptr, 0); }, 0, 0},
        {"SaveImage empty name", [](int h) { return Kelvox_SaveImage(h, "", 0); }, 0, 0},
        {"SaveImage format 7", [=](int h) { return Kelvox_SaveImage(h, path.c_str(), 7); }, 0, 0},
        {"SaveImage format -1", [=](int h) { return Kelvox_SaveImage(h, path.c_str(), -1); }, 0, 0},
        {"SaveImage into no folder", [=](int h) { return Kelvox_SaveImage(h, (dir + "no/such/dir/x.bmp").c_str(), 0); }, 0, 0},
        {"SaveImageW null name", [](int h) { return Kelvox_SaveImageW(h, nullptr, 0); }, 0, kAnyCode},
        {"Record null name", [](int h) { return Kelvox_Record(h, nullptr, 100, 0); }, 0, KELVOX_ERR_PARAM},
        {"Record empty name", [](int h) { return Kelvox_Record(h, "", 100, 0); }, 0, KELVOX_ERR_PARAM},
        {"RecordW null name", [](int h) { return Kelvox_RecordW(h, nullptr, 100, 0); }, 0, kAnyCode},
        {"UpdateMaskData 2", [](int h) { return Kelvox_UpdateMaskData(h, 2); }, 0, KELVOX_ERR_CONVERT},
        {"UpdateMaskData -1", [](int h) { return Kelvox_UpdateMaskData(h, -1); }, 0, KELVOX_ERR_CONVERT},
        {"LoadMaskFile null", [](int h) { return Kelvox_LoadMaskFile(h, nullptr); }, 0, kAnyCode},
        {"SaveMaskFile null", [](int h) { return Kelvox_SaveMaskFile(h, nullptr); }, 0, kAnyCode},
        {"LoadMaskFileW null", [](int h) { return Kelvox_LoadMaskFileW(h, nullptr); }, 0, kAnyCode},
        {"LoadConfigFileA null", [](int h) { return Kelvox_LoadConfigFileA(h, nullptr); }, 0, 0},
        {"LoadConfigFileW null", [](int h) { return Kelvox_LoadConfigFileW(h, nullptr); }, 0, kAnyCode},
        {"SetExposureTimeEx NaN", [=](int h) { return Kelvox_SetExposureTimeEx(h, nan) + Kelvox_GetExposureTimeEx(h, nullptr) * 0; },
         kAnyCode, kAnyCode},
        {"SetRealExposureTime -1", [](int h) { return Kelvox_SetRealExposureTime(h, -1); }, 0, KELVOX_ERR_PARAM},
        {"SetRealExposureTime INT_MAX", [](int h) { return Kelvox_SetRealExposureTime(h, INT_MAX); }, 0, KELVOX_ERR_PARAM},
        {"SetAutoIris 3 (posted only)", [](int h) { return Kelvox_SetAutoIris(h, 3); }, 0, 0},
        {"SetAutoIris -1 (posted only)", [](int h) { return Kelvox_SetAutoIris(h, -1); }, 0, 0},
        {"SetFilterValue id 0", [](int h) { return Kelvox_SetFilterValue(h, 0, 0); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue id 29", [](int h) { return Kelvox_SetFilterValue(h, 29, 0); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue id -1", [](int h) { return Kelvox_SetFilterValue(h, -1, 0); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue id INT_MAX", [](int h) { return Kelvox_SetFilterValue(h, INT_MAX, 0); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue brightness 256", [](int h) { return Kelvox_SetFilterValue(h, 1, 256); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue brightness INT_MIN", [](int h) { return Kelvox_SetFilterValue(h, 1, INT_MIN); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue gamma 201", [](int h) { return Kelvox_SetFilterValue(h, 11, 201); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue Bayer mode 4", [](int h) { return Kelvox_SetFilterValue(h, 12, 4); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue gray mode 3", [](int h) { return Kelvox_SetFilterValue(h, 19, 3); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue calibrate 2", [](int h) { return Kelvox_SetFilterValue(h, 28, 2); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue dot filter 2", [](int h) { return Kelvox_SetFilterValue(h, 102, 2); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue global gain -1", [](int h) { return Kelvox_SetFilterValue(h, 13, -1); }, 0, KELVOX_ERR_PARAM},
        {"SetFilterValue exposure 0", [](int h) { return Kelvox_SetFilterValue(h, 18, 0); }, 0, KELVOX_ERR_PARAM},
        {"GetFilterValue id 99", [](int h) { return Kelvox_GetFilterValue(h, 99, nullptr); }, 0, KELVOX_ERR_PARAM},
        {"SetChannelGain channel 0", [](int h) { return Kelvox_SetChannelGain(h, 0, 1); }, 0, 0},
        {"SetChannelGain channel INT_MIN", [](int h) { return Kelvox_SetChannelGain(h, INT_MIN, 1); }, 0, 0},
        {"GetChannelOffset channel 5", [](int h) { return Kelvox_GetChannelOffset(h, 5, nullptr); }, 0, 0},
        {"GetIOPort null (posted only)", [](int h) { return Kelvox_GetIOPort(h, nullptr); }, 0, 0},
    };
    for (const Row& r : rows) {
        while (Kelvox_GetLastError(handle_) != 0) {
        }
        const double result = r.call(handle_);
        const int code = Kelvox_GetLastError(handle_);
        if (r.result != kAnyCode) {
            EXPECT_EQ(result, r.result) << r.what;
        }
        if (r.code == kAnyCode) {
            EXPECT_TRUE(r.result == kAnyCode || code != 0) << r.what << ": failed without a code";
        } else {
            EXPECT_EQ(code, r.code) << r.what;
        }
        // Each row starts from a usable session: a refused window or mode must not carry over.
        Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 64, 1200, 0, 48);
        Kelvox_SetColorMode(handle_, 8);
    }
    // The session still works after all that.
    EXPECT_EQ(Kelvox_SetColorMode(handle_, 8), 1);
    EXPECT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);
    std::remove(path.c_str());
}

TEST_F(HostileInput, WindowsThatAreGone) {
    void* gone = kelvox_test::CreateProbeWindow();
    kelvox_test::DestroyProbeWindow(gone);
    // As the notification window: errors are still recorded, the posts just go nowhere.
    const int h = Kelvox_Initialize(static_cast<KELVOX_HWND>(gone));
    EXPECT_EQ(Kelvox_SetFilterValue(h, 1, 999), 0);
    EXPECT_EQ(Kelvox_GetLastError(h), KELVOX_ERR_PARAM);
    Kelvox_Release(h);
    // As the callback window: frames are still copied.
    std::vector<unsigned char> frame(64 * 48);
    ASSERT_EQ(Kelvox_CallBackPreview(handle_, static_cast<KELVOX_HWND>(gone), frame.data(), static_cast<int>(frame.size()), 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_EQ(Kelvox_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 0), 1);
}

TEST_F(HostileInput, TwoThreadsStartStopSetAndSaveOnOneHandle) {
    const std::string path = testing::TempDir() + "kelvox-hostile-threads.bmp";
    std::atomic<bool> done{false};
    std::vector<unsigned char> frame(64 * 48);
    auto host = [&](int seed) {
        for (int i = 0; !done.load(); ++i) {
            switch ((i + seed) % 6) {
                case 0: Kelvox_StartPreview(handle_); break;
                case 1: Kelvox_StopPreview(handle_); break;
                case 2: Kelvox_SetFilterValue(handle_, KELVOX_FILTER_BRIGHTNESS, i % 100); break;
                case 3: Kelvox_SaveImage(handle_, path.c_str(), 0); break;
                case 4: Kelvox_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 0); break;
                default: Kelvox_SetColorMode(handle_, i % 2 ? 8 : 24); break;
            }
        }
    };
    std::thread first(host, 0), second(host, 3);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    done = true;
    first.join();
    second.join();
    EXPECT_EQ(Kelvox_StopPreview(handle_), 1);
    EXPECT_EQ(Kelvox_SetColorMode(handle_, 8), 1);
    EXPECT_EQ(Kelvox_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 0), 1);
    std::remove(path.c_str());
}
