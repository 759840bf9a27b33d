// Sequences of export calls on the simulated camera, as a careless or unlucky host makes them:
// handles from a small pool (valid, never issued, released), integers at their edges, null and
// valid buffers of the stated size, file names that work and that do not, mixed with simulator
// faults and the camera unplugged and plugged in again. Every call must return, with no
// sanitizer report. Each input starts with one session on one attached camera and ends with
// every handle released, every camera detached and the settings store and files removed.
// KELVOX_FUZZ_TRACE=1 prints the calls (to reproduce a report by hand).
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fuzz_support.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "platform/registry.h"

namespace {

constexpr int kSlots = 3;
constexpr int kMaxCalls = 64;
constexpr auto kInputBudget = std::chrono::milliseconds(1500);  // no new call after this
constexpr size_t kBufferBudget = 256u << 20;                    // bytes of host buffers per input

const bool trace = [] {
    const char* t = std::getenv("KELVOX_FUZZ_TRACE");
    return t && *t == '1';
}();

struct Context {
    explicit Context(const uint8_t* data, size_t size) : in(data, size) {}

    FuzzedDataProvider in;
    int slots[kSlots] = {};
    int released = 0;
    std::vector<int> cameras;
    int sleep_ms = 0;
    // Host memory stays valid until every handle is released: the library may keep a buffer.
    std::vector<std::unique_ptr<uint8_t[]>> buffers;
    size_t buffer_bytes = 0;
    int scratch[8] = {};

    int Handle() {
        switch (in.ConsumeIntegralInRange(0, 7)) {
            case 0: case 1: case 2: return slots[0];
            case 3: return slots[1];
            case 4: return slots[2];
            case 5: return 0;
            case 6: return released ? released : -1;
            default: return INT_MAX;
        }
    }
    int Int() {
        static const int kValues[] = {0, 1, -1, 2, 3, 8, 16, 24, 32, 48, 64, 100, 255, 480, 640, 1200, 1920,
                                      INT_MAX, INT_MIN};
        const size_t pick = in.ConsumeIntegralInRange<size_t>(0, std::size(kValues));
        return pick < std::size(kValues) ? kValues[pick] : in.ConsumeIntegral<int>();
    }
    bool Bool() { return in.ConsumeBool(); }
    int* Out() { return Bool() ? &scratch[in.ConsumeIntegralInRange(0, 7)] : nullptr; }
    double Real() {
        static const double kValues[] = {0.0, 1e-6, 1e-3, 0.1, 1.0, 10.0, -1.0, 1e300,
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity()};
        const size_t pick = in.ConsumeIntegralInRange<size_t>(0, std::size(kValues));
        return pick < std::size(kValues) ? kValues[pick] : in.ConsumeFloatingPoint<double>();
    }
    // Memory of `size` bytes (null when asked or when the size is not a buffer's).
    void* Buffer(long long size) {
        if (!Bool() || size < 0 || size > (64 << 20) || buffer_bytes + size > kBufferBudget) return nullptr;
        buffers.emplace_back(new uint8_t[size ? size : 1]);
        buffer_bytes += size;
        return buffers.back().get();
    }
    // The bytes an image of this session needs, near it, or a size that is plainly wrong.
    int ImageSize(int handle) {
        const long long w = Kelvox_Width(handle), h = Kelvox_Height(handle), bits = Kelvox_GetColorMode(handle);
        const long long needed = w > 0 && h > 0 && bits > 0 ? h * ((w * bits / 8 + 3) & ~3LL) : 0;
        switch (in.ConsumeIntegralInRange(0, 6)) {
            case 0: case 1: return static_cast<int>(std::min<long long>(needed, INT_MAX));
            case 2: return static_cast<int>(std::min<long long>(needed > 0 ? needed - 1 : 0, INT_MAX));
            case 3: return 0;
            case 4: return -1;
            case 5: return INT_MAX;
            default: return in.ConsumeIntegralInRange(0, 4096);
        }
    }
    int TextSize() {
        static const int kValues[] = {0, 1, 2, 16, 255, 256, 300, -1, INT_MAX};
        return kValues[in.ConsumeIntegralInRange<size_t>(0, std::size(kValues) - 1)];
    }
    std::string Name() {
        const std::string dir = fuzz::ScratchFile("files");
        switch (in.ConsumeIntegralInRange(0, 8)) {
            case 0: return "";
            case 1: return dir + "/a.bmp";
            case 2: return dir + "/b.avi";
            case 3: return dir + "/mask.bin";
            case 4: return dir + "/c.cfg";
            case 5: return "/nonexistent-kelvox-dir/x";
            case 6: return dir;  // a folder
            case 7: return dir + "/" + std::string(400, 'n');
            default: return dir + "/" + std::string(1100, 'l');
        }
    }
    int WaitTime() {
        static const int kValues[] = {0, 1, 5, 20, -1, INT_MAX};
        return kValues[in.ConsumeIntegralInRange<size_t>(0, std::size(kValues) - 1)];
    }
    int Camera() {
        const size_t pick = in.ConsumeIntegralInRange<size_t>(0, cameras.size() + 1);
        return pick < cameras.size() ? cameras[pick] : pick == cameras.size() ? -1 : 99;
    }
};

KELVOX_HWND Window() {
    static KELVOX_HWND window = KelvoxSim_CreateMessageWindow();
    return window;
}

// Narrow names are held while the call runs; wide ones too.
struct Name {
    explicit Name(Context& c) : null(c.in.ConsumeIntegralInRange(0, 9) == 0), text(c.Name()) {
        wide.assign(text.begin(), text.end());
    }
    const char* a() const { return null ? nullptr : text.c_str(); }
    const wchar_t* w() const { return null ? nullptr : wide.c_str(); }
    bool null;
    std::string text;
    std::wstring wide;
};

int Attach(Context& c, int serial) {
    if (c.cameras.size() >= 3) return -1;
    KELVOX_SIM_CAMERA camera;
    KelvoxSim_DefaultCamera(&camera);
    camera.paced = 0;
    static const char* kSerials[] = {"FUZZ-A", "FUZZ-B", ""};
    std::snprintf(camera.serial, sizeof camera.serial, "%s", kSerials[serial]);
    const int id = KelvoxSim_Attach(&camera);
    if (id >= 0) c.cameras.push_back(id);
    return id;
}

void Initialize(Context& c) {
    for (int& slot : c.slots)
        if (!slot) {
            slot = Kelvox_Initialize(c.Bool() ? Window() : nullptr);
            return;
        }
}

void Release(Context& c) {
    const int h = c.Handle();
    if (Kelvox_Release(h) == 1) c.released = h;
    for (int& slot : c.slots)
        if (slot == h) slot = 0;
}

struct Call {
    const char* name;
    void (*run)(Context&);
};

#define H(f) {#f, [](Context& c) { f(c.Handle()); }}
#define HI(f) {#f, [](Context& c) { f(c.Handle(), c.Int()); }}
#define HO(f) {#f, [](Context& c) { f(c.Handle(), c.Out()); }}
#define HII(f) {#f, [](Context& c) { const int h = c.Handle(), a = c.Int(); f(h, a, c.Int()); }}
#define HIO(f) {#f, [](Context& c) { const int h = c.Handle(), a = c.Int(); f(h, a, c.Out()); }}
#define HN(f, form) {#f, [](Context& c) { const int h = c.Handle(); const Name n(c); f(h, n.form()); }}
#define HNI(f, form) {#f, [](Context& c) { const int h = c.Handle(); const Name n(c); f(h, n.form(), c.Int()); }}
#define HW(f) {#f, [](Context& c) { const int h = c.Handle(); f(h, c.Bool() ? Window() : nullptr); }}
#define SG(name) HI(Kelvox_Set##name), HO(Kelvox_Get##name)

const Call kCalls[] = {
    // Lifecycle and errors
    {"Kelvox_Initialize", Initialize},
    {"Kelvox_Release", Release},
    H(Kelvox_GetLastError),
    {"Kelvox_GetDllVersion", [](Context&) { Kelvox_GetDllVersion(); }},
    // Camera selection and information
    {"Kelvox_EnumDevice",
     [](Context& c) {
         const int h = c.Handle();
         Kelvox_EnumDevice(h, static_cast<char(*)[256]>(c.Buffer(c.Bool() ? 10 * 256 : -1)));
     }},
    {"Kelvox_EnumDeviceW",
     [](Context& c) {
         const int h = c.Handle();
         Kelvox_EnumDeviceW(h, static_cast<wchar_t(*)[256]>(c.Buffer(c.Bool() ? 10 * 256 * sizeof(wchar_t) : -1)));
     }},
    {"Kelvox_GetDeviceName",
     [](Context& c) {
         const int h = c.Handle(), index = c.Int(), size = c.TextSize();
         Kelvox_GetDeviceName(h, index, static_cast<char*>(c.Buffer(size)), size);
     }},
    {"Kelvox_GetDeviceNameW",
     [](Context& c) {
         const int h = c.Handle(), index = c.Int(), size = c.TextSize();
         Kelvox_GetDeviceNameW(h, index, static_cast<wchar_t*>(c.Buffer(size * 4LL)), size);
     }},
    HI(Kelvox_SetDeviceNumber),
    {"Kelvox_GetCameraInfo",
     [](Context& c) {
         static const int kSizes[] = {0, 4, 35, 36, 40, 55, 56, static_cast<int>(sizeof(KELVOX_CAMERA_INFO)), 64, 200};
         const int h = c.Handle(), size = kSizes[c.in.ConsumeIntegralInRange<size_t>(0, std::size(kSizes) - 1)];
         auto* info = static_cast<KELVOX_CAMERA_INFO*>(
             c.Buffer(std::max<long long>(size, sizeof(KELVOX_CAMERA_INFO))));
         if (info) info->size = size;
         Kelvox_GetCameraInfo(h, info);
     }},
    {"Kelvox_ReadSerialNumberA",
     [](Context& c) {
         const int h = c.Handle(), size = c.TextSize();
         Kelvox_ReadSerialNumberA(h, static_cast<char*>(c.Buffer(size)), size);
     }},
    {"Kelvox_ReadSerialNumberW",
     [](Context& c) {
         const int h = c.Handle(), size = c.TextSize();
         Kelvox_ReadSerialNumberW(h, static_cast<wchar_t*>(c.Buffer(size * 4LL)), size);
     }},
    H(Kelvox_GetStatus),
    // Geometry and format
    {"Kelvox_SetCaptureWindowEx",
     [](Context& c) {
         const int h = c.Handle(), tw = c.Int(), x = c.Int(), w = c.Int(), th = c.Int(), y = c.Int();
         Kelvox_SetCaptureWindowEx(h, tw, x, w, th, y, c.Int());
     }},
    {"Kelvox_GetCaptureWindowEx",
     [](Context& c) {
         const int h = c.Handle();
         int* v[6];
         for (int*& p : v) p = c.Out();
         Kelvox_GetCaptureWindowEx(h, v[0], v[1], v[2], v[3], v[4], v[5]);
     }},
    HII(Kelvox_SetCaptureWindow),
    H(Kelvox_Width),
    H(Kelvox_Height),
    HI(Kelvox_SetColorMode),
    H(Kelvox_GetColorMode),
    HI(Kelvox_SetSubSample),
    H(Kelvox_GetSubSample),
    {"Kelvox_SetWaitTime", [](Context& c) { const int h = c.Handle(); Kelvox_SetWaitTime(h, c.WaitTime()); }},
    H(Kelvox_GetWaitTime),
    HO(Kelvox_GetSamplingRate),
    HO(Kelvox_GetVideoFormat),
    HI(Kelvox_SetSamplingRate),
    // Capture and delivery
    H(Kelvox_Capture),
    H(Kelvox_StartPreview),
    {"Kelvox_CallBackPreview",
     [](Context& c) {
         const int h = c.Handle(), size = c.ImageSize(h);
         KELVOX_HWND window = c.Bool() ? Window() : nullptr;
         void* buffer = c.Buffer(size);
         Kelvox_CallBackPreview(h, window, buffer, size, c.Int());
     }},
    H(Kelvox_Preview),
    H(Kelvox_StopPreview),
    H(Kelvox_Close),
    {"Kelvox_SetPreviewWindow",
     [](Context& c) {
         const int h = c.Handle();
         KELVOX_HWND parent = c.Bool() ? Window() : nullptr;
         if (c.Bool()) return void(Kelvox_SetPreviewWindow(h, parent, 0, 0, 0, 0));
         const int x = c.Int(), y = c.Int(), w = c.Int();
         Kelvox_SetPreviewWindow(h, parent, x, y, w, c.Int());
     }},
    {"Kelvox_SnapShot",
     [](Context& c) {
         const int h = c.Handle(), size = c.ImageSize(h);
         void* buffer = c.Buffer(size);
         Kelvox_SnapShot(h, buffer, size, c.Int());
     }},
    {"Kelvox_GetImage",
     [](Context& c) {
         const int h = c.Handle(), size = c.ImageSize(h);
         void* buffer = c.Buffer(size);
         Kelvox_GetImage(h, buffer, size, c.Int());
     }},
    // Files
    HNI(Kelvox_SaveImage, a),
    HNI(Kelvox_SaveImageW, w),
    {"Kelvox_Record",
     [](Context& c) {
         const int h = c.Handle();
         const Name n(c);
         const int duration = c.Int();
         Kelvox_Record(h, n.a(), duration, c.Bool());
     }},
    {"Kelvox_RecordW",
     [](Context& c) {
         const int h = c.Handle();
         const Name n(c);
         const int duration = c.Int();
         Kelvox_RecordW(h, n.w(), duration, c.Bool());
     }},
    HI(Kelvox_UpdateMaskData),
    HN(Kelvox_SaveMaskFile, a),
    HN(Kelvox_SaveMaskFileW, w),
    HN(Kelvox_LoadMaskFile, a),
    HN(Kelvox_LoadMaskFileW, w),
    HN(Kelvox_LoadConfigFileA, a),
    HN(Kelvox_LoadConfigFileW, w),
    // Dialogs (no window system here: refused)
    HW(Kelvox_SetCameraDlg),
    HW(Kelvox_SetAnalogDlg),
    HW(Kelvox_SetImageDlg),
    // Exposure, temperature, mirror and other settings
    {"Kelvox_SetExposureTimeEx", [](Context& c) { const int h = c.Handle(); Kelvox_SetExposureTimeEx(h, c.Real()); }},
    HO(Kelvox_GetExposureTimeEx),
    HI(Kelvox_SetRealExposureTime),
    HO(Kelvox_GetRealExposureTime),
    HO(Kelvox_GetTemperatureEx),
    HI(Kelvox_SetMirrorH),
    HI(Kelvox_SetMirrorV),
    H(Kelvox_GetMirrorH),
    H(Kelvox_GetMirrorV),
    HI(Kelvox_SetAutoIris),
    HO(Kelvox_GetAutoIris),
    H(Kelvox_SetConfigFilter),
    H(Kelvox_GetConfigFilter),
    HI(Kelvox_SetInternalCorrection),
    HO(Kelvox_GetInternalCorrection),
    HII(Kelvox_SetFilterValue),
    HIO(Kelvox_GetFilterValue),
    SG(Brightness), SG(Contrast), SG(Hue), SG(Saturation), SG(Sharpness), SG(BayerGainRGB), SG(BayerGainRed),
    SG(BayerGainGreen), SG(BayerGainBlue), SG(BayerGainAuto), SG(Gamma), SG(BayerMode), SG(GlobalGain),
    SG(ColorGainRed), SG(ColorGainGreen1), SG(ColorGainGreen2), SG(ColorGainBlue), SG(ExposureTime), SG(GrayMode),
    SG(GrayGainR), SG(GrayGainG1), SG(GrayGainG2), SG(GrayGainB), SG(GrayOffsetR), SG(GrayOffsetG1),
    SG(GrayOffsetG2), SG(GrayOffsetB), SG(Peltier), SG(DotFilter), SG(MaskFilter),
    HO(Kelvox_GetTemperature),
    HII(Kelvox_SetChannelGain),
    HIO(Kelvox_GetChannelGain),
    HII(Kelvox_SetChannelOffset),
    HIO(Kelvox_GetChannelOffset),
    // Registers, I/O port and EEPROM
    HIO(Kelvox_ReadRegister),
    {"Kelvox_ReadRegisterEx",
     [](Context& c) {
         const int h = c.Handle(), address = c.Int();
         Kelvox_ReadRegisterEx(h, static_cast<unsigned>(address), c.Out());
     }},
    HII(Kelvox_WriteRegister),
    {"Kelvox_WriteRegisterEx",
     [](Context& c) {
         const int h = c.Handle(), address = c.Int();
         Kelvox_WriteRegisterEx(h, static_cast<unsigned>(address), static_cast<unsigned>(c.Int()));
     }},
    HIO(Kelvox_Fpga_ReadRegister),
    HII(Kelvox_Fpga_WriteRegister),
    {"Kelvox_GetIOPort",
     [](Context& c) { const int h = c.Handle(); Kelvox_GetIOPort(h, static_cast<unsigned char*>(c.Buffer(1))); }},
    HI(Kelvox_SetIOPort),
    HIO(Kelvox_ReadSromID),
    HII(Kelvox_WriteSromID),
    // What this camera does not have
    H(Kelvox_Fps), H(Kelvox_GetHalfClock), H(Kelvox_SetHalfClock), H(Kelvox_SetCrossbar), H(Kelvox_Trigger),
    H(Kelvox_SendText), H(Kelvox_ReceiveText),
    // The simulated camera: faults, unplugging and plugging in, triggers, a pause for frames
    {"KelvoxSim_InjectFault",
     [](Context& c) {
         static const int kCounts[] = {0, 1, 2, 5, -1};
         const int id = c.Camera(), fault = c.in.ConsumeIntegralInRange(0, 8);
         KelvoxSim_InjectFault(id, fault, kCounts[c.in.ConsumeIntegralInRange<size_t>(0, std::size(kCounts) - 1)]);
     }},
    {"KelvoxSim_Detach", [](Context& c) { KelvoxSim_Detach(c.Camera()); }},
    {"KelvoxSim_Attach", [](Context& c) { Attach(c, c.in.ConsumeIntegralInRange(0, 2)); }},
    {"KelvoxSim_Trigger", [](Context& c) { KelvoxSim_Trigger(c.Camera()); }},
    {"pause",
     [](Context& c) {
         const int ms = c.in.ConsumeIntegralInRange(0, 50);
         if (c.sleep_ms + ms > 200) return;
         c.sleep_ms += ms;
         std::this_thread::sleep_for(std::chrono::milliseconds(ms));
     }},
};

long long Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Back to a machine with no sessions, no cameras, no stored settings and no files.
void CleanUp(Context& c) {
    for (int& slot : c.slots) {
        if (!slot) continue;
        Kelvox_StopPreview(slot);
        FUZZ_CHECK(Kelvox_Release(slot) == 1);
        slot = 0;
    }
    KelvoxSim_DetachAll();
    KELVOX_SIM_MSG m;
    while (KelvoxSim_PeekMessage(Window(), &m)) {
    }
    while (KelvoxSim_PeekMessage(nullptr, &m)) {
    }
    std::error_code ignored;
    std::filesystem::remove_all(fuzz::ScratchFile("files"), ignored);
    std::filesystem::create_directory(fuzz::ScratchFile("files"), ignored);
    unlink(kelvox::platform::RegistryStorePath().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz::ScratchDirectory();
        std::filesystem::create_directories(fuzz::ScratchFile("files"));
        return true;
    }();
    (void)ready;
    Context c(data, size);
    FUZZ_CHECK(Attach(c, 0) >= 0);
    c.slots[0] = Kelvox_Initialize(nullptr);  // opens the one camera by itself
    FUZZ_CHECK(c.slots[0] != 0);
    const auto started = std::chrono::steady_clock::now();
    for (int n = 0; n < kMaxCalls && c.in.remaining_bytes() > 0; ++n) {
        if (std::chrono::steady_clock::now() - started > kInputBudget) break;
        const Call& call = kCalls[c.in.ConsumeIntegralInRange<size_t>(0, std::size(kCalls) - 1)];
        const auto before = std::chrono::steady_clock::now();
        call.run(c);
        if (trace) std::fprintf(stderr, "%s: %lld ms\n", call.name, Ms(std::chrono::steady_clock::now() - before));
    }
    const auto before = std::chrono::steady_clock::now();
    CleanUp(c);
    if (trace) std::fprintf(stderr, "-- end of input (clean-up %lld ms)\n", Ms(std::chrono::steady_clock::now() - before));
    return 0;
}
