// The session exports as a Windows host reaches them, on cameras of the DLL's own simulator.
#include <cstring>
#include <thread>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

struct Api {
    template <class F>
    static F Get(const char* name) {
        return kelvox_test::Export<F>(name);
    }
    decltype(&KelvoxSim_DefaultCamera) defaults = Get<decltype(&KelvoxSim_DefaultCamera)>("KelvoxSim_DefaultCamera");
    decltype(&KelvoxSim_Attach) attach = Get<decltype(&KelvoxSim_Attach)>("KelvoxSim_Attach");
    decltype(&KelvoxSim_DetachAll) detach_all = Get<decltype(&KelvoxSim_DetachAll)>("KelvoxSim_DetachAll");
    decltype(&Kelvox_Initialize) initialize = Get<decltype(&Kelvox_Initialize)>("Kelvox_Initialize");
    decltype(&Kelvox_Release) release = Get<decltype(&Kelvox_Release)>("Kelvox_Release");
    decltype(&Kelvox_GetLastError) last_error = Get<decltype(&Kelvox_GetLastError)>("Kelvox_GetLastError");
    decltype(&Kelvox_EnumDevice) enum_device = Get<decltype(&Kelvox_EnumDevice)>("Kelvox_EnumDevice");
    decltype(&Kelvox_GetDeviceNameW) name_w = Get<decltype(&Kelvox_GetDeviceNameW)>("Kelvox_GetDeviceNameW");
    decltype(&Kelvox_SetDeviceNumber) select = Get<decltype(&Kelvox_SetDeviceNumber)>("Kelvox_SetDeviceNumber");
    decltype(&Kelvox_GetCameraInfo) info = Get<decltype(&Kelvox_GetCameraInfo)>("Kelvox_GetCameraInfo");
    decltype(&Kelvox_ReadSerialNumberA) serial = Get<decltype(&Kelvox_ReadSerialNumberA)>("Kelvox_ReadSerialNumberA");
    decltype(&Kelvox_SetCaptureWindowEx) window = Get<decltype(&Kelvox_SetCaptureWindowEx)>("Kelvox_SetCaptureWindowEx");
    decltype(&Kelvox_GetExposureTimeEx) exposure = Get<decltype(&Kelvox_GetExposureTimeEx)>("Kelvox_GetExposureTimeEx");

    int Camera(const char* serial_text) const {
        KELVOX_SIM_CAMERA c;
        defaults(&c);
        std::strcpy(c.serial, serial_text);
        c.paced = 0;
        return attach(&c);
    }
};

}  // namespace

TEST(DllSession, NamesInformationAndSerialOfTheOneCamera) {
    Api api;
    ASSERT_GE(api.Camera("WIN-CAM"), 0);
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const int h = api.initialize(window);  // one camera: opened by itself
    ASSERT_NE(h, 0);
    EXPECT_EQ(api.last_error(h), 0);
    char names[10][256];
    ASSERT_EQ(api.enum_device(h, names), 1);
    EXPECT_STREQ(names[0], "KelvoxNx40-USB3-Q5_01");
    wchar_t wide[32];
    ASSERT_EQ(api.name_w(h, 0, wide, 32), 1);
    EXPECT_EQ(std::wcscmp(wide, L"KelvoxNx40-USB3-Q5_01"), 0);
    KELVOX_CAMERA_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(api.info(h, &info), 1);
    EXPECT_EQ(info.max_width, 1920);
    EXPECT_EQ(info.exposure_seconds_max, 0.039625);
    char text[32];
    ASSERT_EQ(api.serial(h, text, 32), 1);
    EXPECT_STREQ(text, "WIN-CAM");
    int ok = 0;
    EXPECT_GT(api.exposure(h, &ok), 0.0);
    EXPECT_EQ(ok, 1);

    // A refused window is recorded and posted to the notification window.
    EXPECT_EQ(api.window(h, 1920, 1000, 1000, 1200, 0, 1200), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, window, KELVOX_WM_ERROR, KELVOX_WM_ERROR, PM_REMOVE));
    EXPECT_EQ(m.lParam, KELVOX_ERR_CAPTURE_WINDOW);
    EXPECT_EQ(api.last_error(h), KELVOX_ERR_CAPTURE_WINDOW);
    EXPECT_EQ(api.release(h), 1);
    DestroyWindow(window);
    api.detach_all();
}

TEST(DllSession, TwoHandlesOnTwoCamerasFromTwoThreads) {
    Api api;
    ASSERT_GE(api.Camera("WIN-A"), 0);
    ASSERT_GE(api.Camera("WIN-B"), 0);
    int failures[2] = {};
    auto work = [&](int index, const char* expected) {
        const int h = api.initialize(nullptr);
        if (!h || api.select(h, index) != 1) {
            ++failures[index];
            return;
        }
        for (int i = 0; i < 10; ++i) {
            char text[32] = {};
            if (api.serial(h, text, 32) != 1 || std::strcmp(text, expected) != 0) ++failures[index];
            if (api.window(h, 1920, 0, 320 * (1 + i % 5), 1200, 0, 240) != 1) ++failures[index];
        }
        if (api.last_error(h) != 0 || api.release(h) != 1) ++failures[index];
    };
    std::thread a(work, 0, "WIN-A"), b(work, 1, "WIN-B");
    a.join();
    b.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
    api.detach_all();
}
