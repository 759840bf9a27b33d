// The preview window through the DLL as a Windows host sees it: where the window goes, what it
// looks like, the pixels it shows in every colour mode and size, and that starts and closes leave
// no window, class or GDI object behind. Runs in Wine virtual desktops of known sizes (2560 x 1600,
// and 1280 x 1024 for the DllPreviewSmallScreen suite).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"
#include "process_resources.h"

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
    KELVOX_EXPORT(Kelvox_SetWaitTime);
    KELVOX_EXPORT(Kelvox_SetColorMode);
    KELVOX_EXPORT(Kelvox_SetPreviewWindow);
    KELVOX_EXPORT(Kelvox_Preview);
    KELVOX_EXPORT(Kelvox_CallBackPreview);
    KELVOX_EXPORT(Kelvox_StopPreview);
    KELVOX_EXPORT(Kelvox_Close);
    KELVOX_EXPORT(Kelvox_GetImage);
    KELVOX_EXPORT(Kelvox_Record);
};

constexpr DWORD kChildStyle = 0x52000000;
constexpr DWORD kTopLevelStyle = 0x16CF0000;

HWND MakeWindow(const char* title, DWORD style, int width, int height, HWND parent = nullptr) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KelvoxPreviewHost";
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExA(0, "KelvoxPreviewHost", title, style, 0, 0, width, height, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Handles the thread's messages until `until` holds or the time is up. Frame messages are counted
// (into frames or failures), not dispatched.
template <class Until>
bool PumpUntil(Until until, int timeout_ms, int* frames = nullptr, int* failures = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message != KELVOX_WM_FRAME) DispatchMessageA(&m);
            else if (m.wParam && frames) ++*frames;
            else if (!m.wParam && failures) ++*failures;
        }
        if (until()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}
void Pump(int ms) { PumpUntil([] { return false; }, ms); }

std::string ClassName(HWND w) {
    char name[256] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

// Every window of a renderer class in the process, top-level or child.
std::vector<HWND> RendererWindows() {
    auto collect = [](HWND w, LPARAM p) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && ClassName(w).rfind("VideoRenderer_", 0) == 0)
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
    };
    std::vector<HWND> tops, found;
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&tops));
    for (HWND top : tops) {
        collect(top, reinterpret_cast<LPARAM>(&found));
        EnumChildWindows(top, collect, reinterpret_cast<LPARAM>(&found));
    }
    return found;
}

bool ClassRegistered(const std::string& name) {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &info) != 0;
}

// The client area as blue, green, red bytes per pixel, top row first.
std::vector<uint8_t> ReadWindow(HWND w, int width, int height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HDC window = GetDC(w);
    BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
    ReleaseDC(w, window);
    GdiFlush();
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
    const auto* p = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) std::memcpy(&out[i * 3], p + i * 4, 3);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return out;
}

// What the window must show of a pixel of the image the host gets (blue, green, red): grey
// samples on all three, 16-bit samples and components by their high byte, a fourth one dropped.
void ExpectedColour(const uint8_t* pixel, int bits, uint8_t bgr[3]) {
    switch (bits) {
        case 8: bgr[0] = bgr[1] = bgr[2] = pixel[0]; break;
        case 16: bgr[0] = bgr[1] = bgr[2] = pixel[1]; break;
        case 24: case 32: std::memcpy(bgr, pixel, 3); break;
        default: for (int c = 0; c < 3; ++c) bgr[c] = pixel[2 * c + 1]; break;
    }
}

class DllPreview : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(api_.Kelvox_SetPreviewWindow, nullptr);
        ASSERT_NE(api_.Kelvox_Preview, nullptr);
        KELVOX_SIM_CAMERA c;
        api_.KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "WIN-PREVIEW");
        c.paced = 0;
        c.photometric = 0;
        c.scene = KELVOX_SIM_SCENE_RAW;
        camera_ = api_.KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        // Samples that differ along rows and columns, so a flipped or shifted picture shows.
        std::vector<unsigned short> scene(1920u * 1200u);
        for (int y = 0; y < 1200; ++y)
            for (int x = 0; x < 1920; ++x)
                scene[static_cast<size_t>(y) * 1920 + x] = static_cast<unsigned short>((x * 37 + y * 101 + x * y) & 0xFFF);
        ASSERT_EQ(api_.KelvoxSim_SetRawScene(camera_, scene.data(), 1920, 1200), 1);
        host_ = MakeWindow("host", WS_POPUP | WS_VISIBLE, 1000, 700);
        callback_ = MakeWindow("", 0, 0, 0, HWND_MESSAGE);
        handle_ = api_.Kelvox_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(api_.Kelvox_SetWaitTime(handle_, 1), 1);
        ASSERT_EQ(api_.Kelvox_SetColorMode(handle_, 24), 1);
    }
    void TearDown() override {
        EXPECT_EQ(api_.Kelvox_Release(handle_), 1);
        api_.KelvoxSim_DetachAll();
        Pump(20);
        DestroyWindow(callback_);
        DestroyWindow(host_);
    }
    // Live preview with frame messages until `frames` have arrived.
    bool RunFrames(int frames, std::vector<uint8_t>* buffer = nullptr) {
        if (!api_.Kelvox_CallBackPreview(handle_, callback_, buffer ? buffer->data() : nullptr,
                                         buffer ? static_cast<int>(buffer->size()) : 0, 1))
            return false;
        return WaitFrames(frames);
    }
    bool WaitFrames(int wanted, int* failures = nullptr) {
        int seen = 0;
        return PumpUntil([&] { return seen >= wanted; }, 10000, &seen, failures);
    }
    Api api_;
    int camera_ = -1, handle_ = 0;
    HWND host_ = nullptr, callback_ = nullptr;
};

const std::regex kClassPattern("VideoRenderer_[0-9a-f]{8}_[0-9a-f]{8}");

TEST_F(DllPreview, ChildWindowSitsAtItsRectangleInTheHostWindow) {
    ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, host_, 10, 20, 320, 240), 1);
    ASSERT_EQ(api_.Kelvox_Preview(handle_), 1);
    HWND w = FindWindowExA(host_, nullptr, nullptr, "ActiveMovie Window");
    ASSERT_NE(w, nullptr);
    const std::string name = ClassName(w);
    EXPECT_TRUE(std::regex_match(name, kClassPattern)) << name;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), kChildStyle);
    EXPECT_EQ(GetWindowLongA(w, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetDlgCtrlID(w), 6540);
    EXPECT_EQ(GetParent(w), host_);
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 240);
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &info));
    EXPECT_EQ(info.style, 0u);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
    EXPECT_EQ(info.hbrBackground, GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(info.hIcon, nullptr);
    EXPECT_EQ(info.lpszMenuName, nullptr);
    EXPECT_EQ(api_.Kelvox_Close(handle_), 1);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(ClassRegistered(name));
}

TEST_F(DllPreview, TopLevelWindowHasTheImageAsClientAreaCentredOnTheScreen) {
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 2560) << "run in a 2560 x 1600 desktop";
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1600);
    ASSERT_EQ(api_.Kelvox_Preview(handle_), 1);  // the default placement asks for a top-level window
    const auto windows = RendererWindows();
    ASSERT_EQ(windows.size(), 1u);
    HWND w = windows[0];
    char title[64] = {};
    GetWindowTextA(w, title, sizeof title);
    EXPECT_STREQ(title, "Active Window");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), kTopLevelStyle);
    EXPECT_EQ(GetAncestor(w, GA_PARENT), GetDesktopWindow());
    RECT client, frame;
    GetClientRect(w, &client);
    GetWindowRect(w, &frame);
    EXPECT_EQ(client.right, 1920);
    EXPECT_EQ(client.bottom, 1200);
    EXPECT_EQ(frame.left, (2560 - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (1600 - (frame.bottom - frame.top)) / 2);
    EXPECT_EQ(api_.Kelvox_Close(handle_), 1);
    EXPECT_TRUE(RendererWindows().empty());
}

TEST_F(DllPreview, NoParentAndAnEmptyRectangleRunWithoutAWindow) {
    ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 320, 1200, 0, 240), 1);
    std::vector<uint8_t> buffer(320 * 3 * 240);
    EXPECT_TRUE(RunFrames(5, &buffer));
    EXPECT_TRUE(RendererWindows().empty());
    EXPECT_EQ(api_.Kelvox_Close(handle_), 1);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), 0);
}

TEST_F(DllPreview, SetPreviewWindowNeedsAValidHandle) {
    EXPECT_EQ(api_.Kelvox_SetPreviewWindow(123456, host_, 0, 0, 10, 10), 0);
    EXPECT_EQ(api_.Kelvox_Preview(123456), 0);
    EXPECT_EQ(api_.Kelvox_GetLastError(handle_), 0);
}

// The window shows the last processed image: flipped into place when the client area is the
// image's size, else scaled by nearest neighbour (always so for 16 bits).
TEST_F(DllPreview, WindowShowsTheImageInEveryModeAndSize) {
    struct Case {
        int bits, image_width, image_height, client_width, client_height;
    } cases[] = {
        {8, 320, 240, 320, 240},   {8, 320, 240, 160, 120},   {16, 320, 240, 320, 240}, {16, 320, 240, 213, 97},
        {24, 320, 240, 320, 240},  {24, 321, 241, 213, 160},  {24, 320, 240, 480, 361}, {32, 320, 240, 320, 240},
        {48, 320, 240, 320, 240},  {64, 320, 240, 160, 120},  {24, 1920, 1200, 960, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.image_width << " x " << c.image_height << " in "
                                        << c.client_width << " x " << c.client_height);
        ASSERT_EQ(api_.Kelvox_SetColorMode(handle_, c.bits), 1);
        ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, c.image_width, 1200, 0, c.image_height), 1);
        ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, host_, 0, 0, c.client_width, c.client_height), 1);
        ASSERT_TRUE(RunFrames(3));
        ASSERT_EQ(api_.Kelvox_StopPreview(handle_), 1);
        HWND w = FindWindowExA(host_, nullptr, nullptr, "ActiveMovie Window");
        ASSERT_NE(w, nullptr);
        const int bpp = c.bits / 8, stride = (c.image_width * bpp + 3) & ~3;
        std::vector<uint8_t> image(static_cast<size_t>(stride) * c.image_height);
        ASSERT_EQ(api_.Kelvox_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1), 1);
        const std::vector<uint8_t> shown = ReadWindow(w, c.client_width, c.client_height);
        const float sx = static_cast<float>(c.image_width) / static_cast<float>(c.client_width);
        const float sy = static_cast<float>(c.image_height) / static_cast<float>(c.client_height);
        int wrong = 0;
        for (int y = 0; y < c.client_height; ++y)
            for (int x = 0; x < c.client_width; ++x) {
                // The display picture is bottom-up: window row y is its memory row height - 1 - y.
                const int r = std::min(static_cast<int>(static_cast<float>(c.client_height - 1 - y) * sy),
                                       c.image_height - 1);
                const int row = c.image_height - 1 - r;
                const int column = std::min(static_cast<int>(static_cast<float>(x) * sx), c.image_width - 1);
                uint8_t want[3];
                ExpectedColour(&image[static_cast<size_t>(row) * stride + column * bpp], c.bits, want);
                const uint8_t* got = &shown[(static_cast<size_t>(y) * c.client_width + x) * 3];
                if (std::memcmp(got, want, 3) != 0 && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") shows " << int(got[0]) << "," << int(got[1])
                                  << "," << int(got[2]) << " for " << int(want[0]) << "," << int(want[1]) << ","
                                  << int(want[2]);
                }
            }
        EXPECT_EQ(wrong, 0);
        if (c.client_width * 2 == c.image_width && c.client_height * 2 == c.image_height) {
            // Half size: every second pixel of every second row.
            uint8_t want[3];
            ExpectedColour(&image[static_cast<size_t>(1) * stride + 2 * 5 * bpp], c.bits, want);
            EXPECT_EQ(std::memcmp(&shown[5 * 3], want, 3), 0);
        }
        ASSERT_EQ(api_.Kelvox_Close(handle_), 1);
    }
}

TEST_F(DllPreview, HiddenWindowIsSkippedWhileTheHostStillGetsEveryFrame) {
    ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 320, 1200, 0, 240), 1);
    ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, host_, 0, 0, 320, 240), 1);
    std::vector<uint8_t> buffer(320 * 3 * 240);
    ASSERT_TRUE(RunFrames(2, &buffer));
    HWND w = FindWindowExA(host_, nullptr, nullptr, "ActiveMovie Window");
    ASSERT_NE(w, nullptr);
    ShowWindow(w, SW_HIDE);
    int failures = 0;
    EXPECT_TRUE(WaitFrames(20, &failures));
    EXPECT_EQ(failures, 0);
    // Shown again, it is drawn again.
    ShowWindow(w, SW_SHOW);
    Pump(50);
    HDC dc = GetDC(w);
    RECT all{0, 0, 320, 240};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(w, dc);
    EXPECT_TRUE(WaitFrames(3));
    ASSERT_EQ(api_.Kelvox_StopPreview(handle_), 1);
    std::vector<uint8_t> image(buffer.size());
    ASSERT_EQ(api_.Kelvox_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1), 1);
    const std::vector<uint8_t> shown = ReadWindow(w, 320, 240);
    EXPECT_EQ(std::memcmp(shown.data(), image.data(), 320 * 3), 0);  // the top rows agree
}

// A recording shows its frames in the preview window when asked to, and makes none otherwise.
TEST_F(DllPreview, RecordingShowsItsFramesOnlyWhenAsked) {
    ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 320, 1200, 0, 240), 1);
    ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, host_, 0, 0, 320, 240), 1);
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string path = std::string(dir) + "kelvox_shown.avi";
    auto finished = [&] {  // closed by the library once its index is written
        HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        CloseHandle(f);
        return true;
    };
    ASSERT_EQ(api_.Kelvox_Record(handle_, path.c_str(), 200, 1), 1);
    HWND w = FindWindowExA(host_, nullptr, nullptr, "ActiveMovie Window");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(PumpUntil(finished, 10000));
    ASSERT_EQ(api_.Kelvox_StopPreview(handle_), 1);
    std::vector<uint8_t> image(320 * 3 * 240);
    ASSERT_EQ(api_.Kelvox_GetImage(handle_, image.data(), static_cast<int>(image.size()), 1), 1);
    const std::vector<uint8_t> shown = ReadWindow(w, 320, 240);
    EXPECT_EQ(std::memcmp(shown.data(), image.data(), 320 * 3), 0);  // the top rows agree
    ASSERT_EQ(api_.Kelvox_Close(handle_), 1);
    EXPECT_TRUE(RendererWindows().empty());

    ASSERT_EQ(api_.Kelvox_Record(handle_, path.c_str(), 0, 0), 1);
    EXPECT_TRUE(RendererWindows().empty());
    EXPECT_TRUE(PumpUntil(finished, 10000));
    ASSERT_EQ(api_.Kelvox_Close(handle_), 1);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

// Starts and closes, on the creating thread and from others, leave no window, no class and no
// GDI object or handle behind.
TEST_F(DllPreview, StartsAndClosesLeaveNothingBehind) {
    ASSERT_EQ(api_.Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 64, 1200, 0, 48), 1);
    ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, host_, 4, 4, 32, 24), 1);
    std::vector<std::string> classes;
    auto start = [&] {
        if (api_.Kelvox_Preview(handle_) != 1) return false;
        const auto windows = RendererWindows();
        if (windows.size() != 1) return false;
        classes.push_back(ClassName(windows[0]));
        return true;
    };
    ASSERT_TRUE(start());
    ASSERT_EQ(api_.Kelvox_Close(handle_), 1);
    Pump(20);
    const kelvox_test::ProcessResources before = kelvox_test::ProcessResources::Measure();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(start()) << "cycle " << i;
        if (i % 50 == 7) {
            ASSERT_TRUE(start()) << "a second start replaces the window, cycle " << i;
        }
        if (i % 50 == 13) {  // closed from a thread that does not own the window
            std::thread([&] { EXPECT_EQ(api_.Kelvox_Close(handle_), 1); }).join();
            ASSERT_TRUE(PumpUntil([] { return RendererWindows().empty(); }, 5000)) << "cycle " << i;
        } else {
            ASSERT_EQ(api_.Kelvox_Close(handle_), 1);
        }
        ASSERT_TRUE(RendererWindows().empty()) << "cycle " << i;
    }
    Pump(20);
    // Released from another thread while the preview runs.
    ASSERT_TRUE(start());
    std::thread([&] { EXPECT_EQ(api_.Kelvox_Release(handle_), 1); }).join();
    EXPECT_TRUE(PumpUntil([] { return RendererWindows().empty(); }, 5000));
    handle_ = api_.Kelvox_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(api_.Kelvox_SetPreviewWindow(handle_, host_, 4, 4, 32, 24), 1);
    ASSERT_TRUE(start());  // tidies the class the other thread could not take away
    ASSERT_EQ(api_.Kelvox_Close(handle_), 1);
    Pump(20);
    const kelvox_test::ProcessResources after = kelvox_test::ProcessResources::Measure();
    EXPECT_EQ(classes.size(), 207u);
    for (const std::string& name : classes) EXPECT_FALSE(ClassRegistered(name)) << name;
    EXPECT_LE(after.gdi_objects, before.gdi_objects + 4);
    EXPECT_LE(after.handles, before.handles + 8);
    EXPECT_GT(before.gdi_objects, 0);  // the counts are real
    EXPECT_GT(before.handles, 0);
}

class DllPreviewSmallScreen : public DllPreview {};

TEST_F(DllPreviewSmallScreen, TopLevelWindowLargerThanTheScreenStartsAtItsCorner) {
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280) << "run in a 1280 x 1024 desktop";
    ASSERT_EQ(api_.Kelvox_Preview(handle_), 1);
    const auto windows = RendererWindows();
    ASSERT_EQ(windows.size(), 1u);
    RECT frame;
    GetWindowRect(windows[0], &frame);
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    EXPECT_EQ(api_.Kelvox_Close(handle_), 1);
}

}  // namespace
