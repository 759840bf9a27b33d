// Every export of the catalogue, by the name a host resolves, in one table: with a handle never
// issued and with a released one (its failure value, nothing recorded), without any camera, and
// with a camera for one valid call each (its result, and which error it reports in which form:
// recorded into the history and posted, only posted, or none).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {

#define FN(name) kelvox_test::Export<decltype(&::name)>(#name)

enum class Form { kNone, kRecord, kNotify };

struct Row {
    const char* name;
    std::function<double(int)> call;  // one valid call
    std::optional<double> result;     // with a camera; none: not checked here
    int code = 0;                     // with a camera
    Form form = Form::kNone;
    int code_without_camera = -1;     // -1: not checked
};

std::vector<unsigned char>& Buffer() {
    static std::vector<unsigned char> buffer(1920u * 1200u * 8u);
    return buffer;
}
std::string Temp(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "kelvox-catalogue-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}
std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Closes the modal dialog of this thread as soon as it is up.
int CancelDialog(int (*show)(int, KELVOX_HWND), int handle) {
    const DWORD me = GetCurrentThreadId();
    std::atomic<bool> returned{false};
    std::thread closer([me, &returned] {
        for (int i = 0; i < 500 && !returned; ++i) {
            HWND found = nullptr;
            EnumThreadWindows(
                me,
                [](HWND w, LPARAM out) {
                    char name[16] = {};
                    GetClassNameA(w, name, sizeof name);
                    if (std::strcmp(name, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
                    *reinterpret_cast<HWND*>(out) = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&found));
            if (found) {
                PostMessageA(found, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            Sleep(10);
        }
    });
    const int result = show(handle, nullptr);
    returned = true;
    closer.join();
    return result;
}

std::vector<Row> Rows() {
    static int ok = 0;
    static KELVOX_CAMERA_INFO info;
    static char names[10][256];
    static wchar_t wide_names[10][256];
    static char text[256];
    static wchar_t wide_text[256];
    static int values[6];
    static unsigned char port = 0;
    const int size = static_cast<int>(Buffer().size());
    void* buffer = Buffer().data();
    const std::string image = Temp("image.bmp"), avi = Temp("clip.avi"), mask = Temp("mask.msk"), config = Temp("config.bin");
    auto any = std::nullopt;
    std::vector<Row> rows = {
        {"Kelvox_GetLastError", [](int h) { return FN(Kelvox_GetLastError)(h); }, 0},
        {"Kelvox_EnumDevice", [](int h) { return FN(Kelvox_EnumDevice)(h, names); }, 1},
        {"Kelvox_EnumDeviceW", [](int h) { return FN(Kelvox_EnumDeviceW)(h, wide_names); }, 1},
        {"Kelvox_GetDeviceName", [](int h) { return FN(Kelvox_GetDeviceName)(h, 0, text, 256); }, 1},
        {"Kelvox_GetDeviceNameW", [](int h) { return FN(Kelvox_GetDeviceNameW)(h, 0, wide_text, 256); }, 1},
        {"Kelvox_SetDeviceNumber", [](int h) { return FN(Kelvox_SetDeviceNumber)(h, 0); }, 1},
        {"Kelvox_GetCameraInfo", [](int h) { info.size = sizeof info; return FN(Kelvox_GetCameraInfo)(h, &info); }, 1},
        {"Kelvox_ReadSerialNumberA", [](int h) { return FN(Kelvox_ReadSerialNumberA)(h, text, 256); }, 1},
        {"Kelvox_ReadSerialNumberW", [](int h) { return FN(Kelvox_ReadSerialNumberW)(h, wide_text, 256); }, 1},
        {"Kelvox_GetStatus", [](int h) { return FN(Kelvox_GetStatus)(h); }, 0},
        {"Kelvox_SetCaptureWindowEx", [](int h) { return FN(Kelvox_SetCaptureWindowEx)(h, 1920, 0, 1920, 1200, 0, 1200); }, 1},
        {"Kelvox_GetCaptureWindowEx",
         [](int h) { return FN(Kelvox_GetCaptureWindowEx)(h, &values[0], &values[1], &values[2], &values[3], &values[4], &values[5]); }, 1},
        {"Kelvox_SetCaptureWindow", [](int h) { return FN(Kelvox_SetCaptureWindow)(h, 1920, 1200); }, 1},
        {"Kelvox_Width", [](int h) { return FN(Kelvox_Width)(h); }, 1920},
        {"Kelvox_Height", [](int h) { return FN(Kelvox_Height)(h); }, 1200},
        {"Kelvox_SetColorMode", [](int h) { return FN(Kelvox_SetColorMode)(h, 24); }, 1},
        {"Kelvox_GetColorMode", [](int h) { return FN(Kelvox_GetColorMode)(h); }, 24},
        {"Kelvox_SetSubSample", [](int h) { return FN(Kelvox_SetSubSample)(h, 0); }, 1},
        {"Kelvox_GetSubSample", [](int h) { return FN(Kelvox_GetSubSample)(h); }, 0},
        {"Kelvox_SetWaitTime", [](int h) { return FN(Kelvox_SetWaitTime)(h, 3); }, 1},
        {"Kelvox_GetWaitTime", [](int h) { return FN(Kelvox_GetWaitTime)(h); }, 3},
        {"Kelvox_GetSamplingRate", [](int h) { ok = 7; return FN(Kelvox_GetSamplingRate)(h, &ok) + ok; }, 0},
        {"Kelvox_GetVideoFormat", [](int h) { ok = 7; return FN(Kelvox_GetVideoFormat)(h, &ok) + ok; }, 0},
        {"Kelvox_SetSamplingRate", [](int h) { return FN(Kelvox_SetSamplingRate)(h, 0); }, any},
        {"Kelvox_Capture", [](int h) { return FN(Kelvox_Capture)(h); }, 1},
        {"Kelvox_SnapShot", [=](int h) { return FN(Kelvox_SnapShot)(h, buffer, size, 0); }, 1},
        {"Kelvox_GetImage", [=](int h) { return FN(Kelvox_GetImage)(h, buffer, size, 0); }, 1},
        {"Kelvox_SaveImage", [=](int h) { return FN(Kelvox_SaveImage)(h, image.c_str(), 0); }, 1},
        {"Kelvox_SaveImageW", [=](int h) { return FN(Kelvox_SaveImageW)(h, Wide(image).c_str(), 0); }, 1},
        {"Kelvox_UpdateMaskData", [](int h) { return FN(Kelvox_UpdateMaskData)(h, 0); }, 1},
        {"Kelvox_SaveMaskFile", [=](int h) { return FN(Kelvox_SaveMaskFile)(h, mask.c_str()); }, 1},
        {"Kelvox_SaveMaskFileW", [=](int h) { return FN(Kelvox_SaveMaskFileW)(h, Wide(mask).c_str()); }, 1},
        {"Kelvox_LoadMaskFile", [=](int h) { return FN(Kelvox_LoadMaskFile)(h, mask.c_str()); }, 1},
        {"Kelvox_LoadMaskFileW", [=](int h) { return FN(Kelvox_LoadMaskFileW)(h, Wide(mask).c_str()); }, 1},
        {"Kelvox_StopPreview", [](int h) { return FN(Kelvox_StopPreview)(h); }, 1},
        {"Kelvox_StartPreview", [](int h) { return FN(Kelvox_StartPreview)(h); }, 1},
        {"Kelvox_Close", [](int h) { return FN(Kelvox_Close)(h); }, 1},
        {"Kelvox_CallBackPreview", [=](int h) { return FN(Kelvox_CallBackPreview)(h, nullptr, buffer, size, 0); }, 1},
        {"Kelvox_SetPreviewWindow", [](int h) { return FN(Kelvox_SetPreviewWindow)(h, nullptr, 0, 0, 320, 240); }, 1},
        {"Kelvox_Preview", [](int h) { FN(Kelvox_StopPreview)(h); return FN(Kelvox_Preview)(h); }, 1},
        {"Kelvox_Record", [=](int h) { FN(Kelvox_Close)(h); return FN(Kelvox_Record)(h, avi.c_str(), 100, 0); }, 1},
        {"Kelvox_RecordW", [=](int h) { FN(Kelvox_StopPreview)(h); return FN(Kelvox_RecordW)(h, Wide(avi).c_str(), 100, 0); }, 1},
        {"Kelvox_LoadConfigFileA", [=](int h) { FN(Kelvox_StopPreview)(h); return FN(Kelvox_LoadConfigFileA)(h, config.c_str()); }, 1},
        {"Kelvox_LoadConfigFileW", [=](int h) { return FN(Kelvox_LoadConfigFileW)(h, Wide(config).c_str()); }, 1},
        {"Kelvox_SetCameraDlg", [](int h) { return CancelDialog(FN(Kelvox_SetCameraDlg), h); }, 1},
        {"Kelvox_SetAnalogDlg", [](int h) { return CancelDialog(FN(Kelvox_SetAnalogDlg), h); }, 1},
        {"Kelvox_SetImageDlg", [](int h) { return CancelDialog(FN(Kelvox_SetImageDlg), h); }, 1},
        {"Kelvox_SetExposureTimeEx", [](int h) { return FN(Kelvox_SetExposureTimeEx)(h, 0.01); }, 1},
        {"Kelvox_GetExposureTimeEx", [](int h) { return std::round(FN(Kelvox_GetExposureTimeEx)(h, &ok) * 1000) + ok; }, 11},
        {"Kelvox_SetRealExposureTime", [](int h) { return FN(Kelvox_SetRealExposureTime)(h, 20000); }, 1},
        {"Kelvox_GetRealExposureTime", [](int h) { return FN(Kelvox_GetRealExposureTime)(h, &ok) + ok; }, 20001},
        {"Kelvox_GetTemperatureEx", [](int h) { ok = 7; return FN(Kelvox_GetTemperatureEx)(h, &ok) + ok; }, 0, 11, Form::kRecord},
        {"Kelvox_SetMirrorH", [](int h) { return FN(Kelvox_SetMirrorH)(h, 1); }, 1},
        {"Kelvox_GetMirrorH", [](int h) { return FN(Kelvox_GetMirrorH)(h); }, 1},
        {"Kelvox_SetMirrorV", [](int h) { return FN(Kelvox_SetMirrorV)(h, 1); }, 1},
        {"Kelvox_GetMirrorV", [](int h) { return FN(Kelvox_GetMirrorV)(h); }, 1},
        {"Kelvox_SetAutoIris", [](int h) { return FN(Kelvox_SetAutoIris)(h, 0); }, 1},
        {"Kelvox_GetAutoIris", [](int h) { ok = 0; return FN(Kelvox_GetAutoIris)(h, &ok) + 10 * ok; }, 10},
        {"Kelvox_SetConfigFilter", [](int h) { return FN(Kelvox_SetConfigFilter)(h); }, -1, 11, Form::kRecord},
        {"Kelvox_GetConfigFilter", [](int h) { return FN(Kelvox_GetConfigFilter)(h); }, -1, 11, Form::kRecord},
        {"Kelvox_SetInternalCorrection", [](int h) { return FN(Kelvox_SetInternalCorrection)(h, 0); }, 0, 11, Form::kNotify},
        {"Kelvox_GetInternalCorrection", [](int h) { return FN(Kelvox_GetInternalCorrection)(h, &ok); }, 0, 11, Form::kNotify},
        {"Kelvox_SetFilterValue", [](int h) { return FN(Kelvox_SetFilterValue)(h, KELVOX_FILTER_GAMMA, 120); }, 1},
        {"Kelvox_GetFilterValue", [](int h) { return FN(Kelvox_GetFilterValue)(h, KELVOX_FILTER_GAMMA, &ok) + 1000 * ok; }, 1120},
        {"Kelvox_GetTemperature", [](int h) { ok = 7; return FN(Kelvox_GetTemperature)(h, &ok) + 10 * ok; }, -1, 11, Form::kRecord},
        {"Kelvox_SetPeltier", [](int h) { return FN(Kelvox_SetPeltier)(h, 1); }, 0, 11, Form::kRecord},
        {"Kelvox_GetPeltier", [](int h) { return FN(Kelvox_GetPeltier)(h, &ok); }, -1, 11, Form::kRecord},
        {"Kelvox_SetChannelGain", [](int h) { return FN(Kelvox_SetChannelGain)(h, 1, 10); }, 0, 9, Form::kRecord},
        {"Kelvox_GetChannelGain", [](int h) { return FN(Kelvox_GetChannelGain)(h, 2, &ok); }, 0, 9, Form::kRecord},
        {"Kelvox_SetChannelOffset", [](int h) { return FN(Kelvox_SetChannelOffset)(h, 3, 10); }, 0, 9, Form::kRecord},
        {"Kelvox_GetChannelOffset", [](int h) { return FN(Kelvox_GetChannelOffset)(h, 4, &ok); }, 0, 9, Form::kRecord},
        {"Kelvox_WriteRegister", [](int h) { return FN(Kelvox_WriteRegister)(h, 0x30, 0x12); }, 1},
        {"Kelvox_ReadRegister", [](int h) { return FN(Kelvox_ReadRegister)(h, 0x30, &ok) + 1000 * ok; }, 1000 + 0x12},
        {"Kelvox_WriteRegisterEx", [](int h) { return FN(Kelvox_WriteRegisterEx)(h, 0x3030, 0x34); }, 1},
        {"Kelvox_ReadRegisterEx", [](int h) { return FN(Kelvox_ReadRegisterEx)(h, 0x3030, &ok) + 1000 * ok; }, 1000 + 0x34},
        {"Kelvox_Fpga_WriteRegister", [](int h) { return FN(Kelvox_Fpga_WriteRegister)(h, 0x90, 0x56); }, 1},
        {"Kelvox_Fpga_ReadRegister", [](int h) { return FN(Kelvox_Fpga_ReadRegister)(h, 0x90, &ok) + 1000 * ok; }, 1000 + 0x56},
        {"Kelvox_SetIOPort", [](int h) { return FN(Kelvox_SetIOPort)(h, 0x5A); }, 1},
        {"Kelvox_GetIOPort", [](int h) { port = 0; return FN(Kelvox_GetIOPort)(h, &port) + 1000 * port; }, 1 + 1000 * 0x5A},
        {"Kelvox_WriteSromID", [](int h) { return FN(Kelvox_WriteSromID)(h, 0x100, 0x77); }, 1},
        {"Kelvox_ReadSromID", [](int h) { return FN(Kelvox_ReadSromID)(h, 0x100, &ok) + 1000 * ok; }, 1000 + 0x77},
        {"Kelvox_Fps", [](int h) { return FN(Kelvox_Fps)(h); }, 0, 11, Form::kNotify},
        {"Kelvox_GetHalfClock", [](int h) { return FN(Kelvox_GetHalfClock)(h); }, 0, 11, Form::kNotify},
        {"Kelvox_SetHalfClock", [](int h) { return FN(Kelvox_SetHalfClock)(h); }, 0, 11, Form::kNotify},
        {"Kelvox_SetCrossbar", [](int h) { return FN(Kelvox_SetCrossbar)(h); }, 0, 11, Form::kNotify},
        {"Kelvox_Trigger", [](int h) { return FN(Kelvox_Trigger)(h); }, 0, 11, Form::kNotify},
        {"Kelvox_SendText", [](int h) { return FN(Kelvox_SendText)(h); }, 0, 11, Form::kRecord},
        {"Kelvox_ReceiveText", [](int h) { return FN(Kelvox_ReceiveText)(h); }, 0, 11, Form::kRecord},
    };
    // Without an open camera: the operations that need one.
    for (Row& r : rows)
        for (const char* needs : {"Kelvox_SaveImage", "Kelvox_SaveImageW", "Kelvox_UpdateMaskData", "Kelvox_SaveMaskFile",
                                  "Kelvox_SaveMaskFileW", "Kelvox_LoadMaskFile", "Kelvox_LoadMaskFileW",
                                  "Kelvox_SetCameraDlg", "Kelvox_SetAnalogDlg", "Kelvox_SetImageDlg"})
            if (std::strcmp(r.name, needs) == 0) r.code_without_camera = KELVOX_ERR_NOT_READY;
    return rows;
}

// The wrappers of the filter values: each must reach its own identifier.
struct Wrapper {
    int id;
    int (*set)(int, int);
    int (*get)(int, int*);
    int value;
};
#define WRAP(id, name, value) {id, FN(Kelvox_Set##name), FN(Kelvox_Get##name), value}

std::vector<Wrapper> Wrappers() {
    return {WRAP(1, Brightness, -20),   WRAP(2, Contrast, 17),       WRAP(3, Hue, 33),
            WRAP(4, Saturation, -44),   WRAP(5, Sharpness, 7),       WRAP(6, BayerGainRGB, 0x00C86432),
            WRAP(7, BayerGainRed, 150), WRAP(8, BayerGainGreen, 160), WRAP(9, BayerGainBlue, 170),
            WRAP(10, BayerGainAuto, 1), WRAP(11, Gamma, 90),         WRAP(12, BayerMode, 3),
            WRAP(13, GlobalGain, 123),  WRAP(14, ColorGainRed, 0),   WRAP(15, ColorGainGreen1, 0),
            WRAP(16, ColorGainGreen2, 0), WRAP(17, ColorGainBlue, 0), WRAP(18, ExposureTime, 50),
            WRAP(19, GrayMode, 2),      WRAP(20, GrayGainR, 201),    WRAP(21, GrayGainG1, 202),
            WRAP(22, GrayGainG2, 203),  WRAP(23, GrayGainB, 204),    WRAP(24, GrayOffsetR, -5),
            WRAP(25, GrayOffsetG1, -6), WRAP(26, GrayOffsetG2, -7),  WRAP(27, GrayOffsetB, -8),
            WRAP(102, DotFilter, 1),    WRAP(103, MaskFilter, 1)};
}

class DllCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        FILE* f = std::fopen(Temp("config.bin").c_str(), "wb");
        const int pairs[4] = {1, 2, 3, 4};
        if (f) std::fwrite(pairs, sizeof pairs, 1, f), std::fclose(f);
    }
    void TearDown() override {
        FN(KelvoxSim_DetachAll)();
        DestroyWindow(window_);
        for (const char* name : {"image.bmp", "clip.avi", "mask.msk", "config.bin"}) DeleteFileA(Temp(name).c_str());
    }
    int Attach() {
        KELVOX_SIM_CAMERA c;
        FN(KelvoxSim_DefaultCamera)(&c);
        std::strcpy(c.serial, "WIN-CATALOGUE");
        c.paced = 0;
        return FN(KelvoxSim_Attach)(&c);
    }
    // What the call left: the history, newest first, and the codes posted to the window.
    void Take(int h, std::vector<int>* history, std::vector<int>* posted) {
        for (int code; (code = FN(Kelvox_GetLastError)(h)) != 0;) history->push_back(code);
        MSG m;
        while (PeekMessageA(&m, window_, KELVOX_WM_ERROR, KELVOX_WM_ERROR, PM_REMOVE)) posted->push_back(static_cast<int>(m.lParam));
    }
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(DllCatalogue, EveryExportIsInTheTableOrTestedApart) {
    // Initialize, Release and GetDllVersion take no handle or end it: checked apart below.
    std::vector<std::string> covered = {"Kelvox_Initialize", "Kelvox_Release", "Kelvox_GetDllVersion"};
    for (const Row& r : Rows()) covered.push_back(r.name);
    const char* wrapped[] = {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "BayerGainRGB", "BayerGainRed",
                             "BayerGainGreen", "BayerGainBlue", "BayerGainAuto", "Gamma", "BayerMode", "GlobalGain",
                             "ColorGainRed", "ColorGainGreen1", "ColorGainGreen2", "ColorGainBlue", "ExposureTime",
                             "GrayMode", "GrayGainR", "GrayGainG1", "GrayGainG2", "GrayGainB", "GrayOffsetR",
                             "GrayOffsetG1", "GrayOffsetG2", "GrayOffsetB", "DotFilter", "MaskFilter"};
    for (const char* w : wrapped) {
        covered.push_back(std::string("Kelvox_Set") + w);
        covered.push_back(std::string("Kelvox_Get") + w);
    }
    FILE* f = std::fopen(KELVOX_SOURCE_DIR "/tests/data/export_names.txt", "r");
    ASSERT_NE(f, nullptr);
    char line[128];
    int names = 0;
    while (std::fgets(line, sizeof line, f)) {
        std::string name(line);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        if (name.empty()) continue;
        ++names;
        EXPECT_NE(std::find(covered.begin(), covered.end(), name), covered.end()) << name << " is called by no row";
        EXPECT_NE(GetProcAddress(kelvox_test::Dll(), name.c_str()), nullptr) << name;
    }
    std::fclose(f);
    EXPECT_EQ(names, 149);
}

TEST_F(DllCatalogue, UnknownAndReleasedHandlesGetTheFailureValue) {
    ASSERT_GE(Attach(), 0);
    const int live = FN(Kelvox_Initialize)(window_);
    const int released = FN(Kelvox_Initialize)(nullptr);
    ASSERT_EQ(FN(Kelvox_Release)(released), 1);
    EXPECT_EQ(FN(Kelvox_Release)(released), 0);
    for (const int h : {0, -1, 0x7ABC1234, released}) {
        for (const Row& r : Rows()) {
            const std::string n = r.name;
            const double failure = n == "Kelvox_GetColorMode" || n == "Kelvox_GetSubSample" || n == "Kelvox_GetWaitTime" ? -1 : 0;
            if (n.find("Dlg") != std::string::npos) continue;  // below, without waiting for a dialog
            double result = r.call(h);
            if (n == "Kelvox_GetSamplingRate" || n == "Kelvox_GetVideoFormat") result = FN(Kelvox_GetSamplingRate)(h, nullptr);
            if (n == "Kelvox_GetExposureTimeEx") result = FN(Kelvox_GetExposureTimeEx)(h, nullptr);
            if (n == "Kelvox_GetTemperatureEx" || n == "Kelvox_GetTemperature" || n == "Kelvox_GetAutoIris" ||
                n == "Kelvox_GetRealExposureTime" || n == "Kelvox_GetFilterValue" || n.find("Read") != std::string::npos ||
                n == "Kelvox_GetIOPort" || n == "Kelvox_GetPeltier")
                result = std::nan("");  // their rows add the out-pointer; checked without it below
            if (!std::isnan(result)) {
                EXPECT_EQ(result, failure) << n << " with handle " << h;
            }
        }
        for (const Wrapper& w : Wrappers()) {
            EXPECT_EQ(w.set(h, w.value), 0) << w.id;
            EXPECT_EQ(w.get(h, nullptr), 0) << w.id;
        }
        EXPECT_EQ(FN(Kelvox_GetTemperatureEx)(h, nullptr), 0.0);
        EXPECT_EQ(FN(Kelvox_GetFilterValue)(h, 1, nullptr), 0);
        EXPECT_EQ(FN(Kelvox_ReadRegister)(h, 1, nullptr), 0);
        EXPECT_EQ(FN(Kelvox_SetCameraDlg)(h, nullptr), 0);
        EXPECT_EQ(FN(Kelvox_SetAnalogDlg)(h, nullptr), 0);
        EXPECT_EQ(FN(Kelvox_SetImageDlg)(h, nullptr), 0);
    }
    std::vector<int> history, posted;
    Take(live, &history, &posted);
    EXPECT_TRUE(history.empty());
    EXPECT_TRUE(posted.empty());
    FN(Kelvox_StopPreview)(live);
    FN(Kelvox_Release)(live);
}

TEST_F(DllCatalogue, EachExportWithACameraAndWithout) {
    const int bare = FN(Kelvox_Initialize)(nullptr);  // before any camera is attached
    ASSERT_NE(bare, 0);
    ASSERT_GE(Attach(), 0);
    const int h = FN(Kelvox_Initialize)(window_);
    ASSERT_NE(h, 0);
    std::vector<int> history, posted;
    Take(h, &history, &posted);
    for (const Row& r : Rows()) {
        history.clear();
        posted.clear();
        const double result = r.call(h);
        Take(h, &history, &posted);
        if (r.result) {
            EXPECT_EQ(result, *r.result) << r.name;
        }
        const std::vector<int> none, one = {r.code};
        EXPECT_EQ(history, r.form == Form::kRecord ? one : none) << r.name;
        EXPECT_EQ(posted, r.form == Form::kNone ? none : one) << r.name;

        if (r.code_without_camera < 0) continue;
        r.call(bare);
        EXPECT_EQ(FN(Kelvox_GetLastError)(bare), r.code_without_camera) << r.name << " without a camera";
        while (FN(Kelvox_GetLastError)(bare) != 0) {
        }
    }
    // Each wrapper reaches its own identifier, both ways.
    for (const Wrapper& w : Wrappers()) {
        ASSERT_EQ(w.set(h, w.value), 1) << w.id;
        int ok = 0;
        EXPECT_EQ(FN(Kelvox_GetFilterValue)(h, w.id, &ok), w.value) << w.id;
        EXPECT_EQ(w.get(h, &ok), w.value) << w.id;
        EXPECT_EQ(ok, 1) << w.id;
    }
    EXPECT_EQ(FN(Kelvox_GetDllVersion)(), KELVOX_DLL_VERSION);
    FN(Kelvox_StopPreview)(h);
    EXPECT_EQ(FN(Kelvox_Release)(h), 1);
    EXPECT_EQ(FN(Kelvox_Release)(bare), 1);
}
