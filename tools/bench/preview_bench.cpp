// The preview window under a real window system (Windows, or Wine with a 24-bit X screen):
// milliseconds per frame of the flip copy and of the scaled draw into a window, then live preview
// with a visible top-level window at full frame against the paced simulator in 8 and 24 bits: how
// many of the camera's frames reach the host buffer, and whether the window shows the last one.
// Run by hand (a screen large enough for a 1920 x 1200 client area):
//   xvfb-run -a -s "-screen 0 2560x1600x24" scripts/wine-run.sh build/win-sim/bin/kelvox_preview_bench.exe
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/nearest_scaler.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "ui/preview_window.h"

namespace {

using kelvox::imaging::DibImage;

double Milliseconds(const std::function<void()>& run, int repeats = 30) {
    run();
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        GdiFlush();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];  // the median: a window system's cost varies more than a kernel's
}

void Pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG m;
    do {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

void DrawCosts() {
    std::printf("drawing a 1920 x 1200 picture into a top-level window (median ms per frame):\n");
    for (const int bits : {24, 8}) {
        DibImage picture;
        picture.Create(1920, 1200, bits);
        if (bits == 8) picture.SetColourTable(0, nullptr, 0, 256);
        for (size_t i = 0; i < picture.size(); ++i) picture.pixels()[i] = static_cast<uint8_t>(i * 7 + i / 5000);
        kelvox::ui::PreviewWindow window;
        if (!window.Create("KelvoxPreviewBench", {nullptr, 0, 0, 1920, 1200}, 1920, 1200)) {
            std::printf("  no window (error %lu)\n", GetLastError());
            return;
        }
        Pump(100);
        int w = 0, h = 0;
        window.DrawableSize(&w, &h);
        if (w == 1920 && h == 1200)
            std::printf("  %2d bits, flip copy at 1920 x 1200      %6.2f ms\n", bits,
                        Milliseconds([&] { window.DrawFlipped(picture); }));
        else
            std::printf("  %2d bits, client area %d x %d: the screen is too small for the flip copy\n", bits, w, h);
        for (const auto& [cw, ch] : {std::pair{960, 600}, std::pair{1280, 800}}) {
            DibImage display;
            display.Create(cw, ch, bits);
            if (bits == 8) display.SetColourTable(0, nullptr, 0, 256);
            kelvox::imaging::NearestScaler scaler;
            std::printf("  %2d bits, scaled to %4d x %3d: scale %5.2f ms, blit %5.2f ms\n", bits, cw, ch,
                        Milliseconds([&] { scaler.Scale(picture, display); }),
                        Milliseconds([&] { window.Draw(display.dc(), cw, ch); }));
        }
        window.Close();
    }
}

unsigned FramesSent(int camera) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(camera, &s);
    return s.frames_sent;
}

HWND RendererWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) -> BOOL {
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (std::strncmp(name, "VideoRenderer_", 14) != 0) return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The top rows of the window against the last image the host can fetch.
bool WindowShowsLastImage(int handle, HWND window, int bits) {
    const int stride = (1920 * bits / 8 + 3) & ~3;
    std::vector<uint8_t> image(static_cast<size_t>(stride) * 1200);
    if (!Kelvox_GetImage(handle, image.data(), static_cast<int>(image.size()), 1)) return false;
    HDC dc = GetDC(window);
    bool same = true;
    for (int x = 0; x < 1920 && same; x += 7) {
        const COLORREF c = GetPixel(dc, x, 0);
        const uint8_t* p = &image[static_cast<size_t>(x) * (bits / 8)];
        const uint8_t blue = p[0], green = bits == 8 ? p[0] : p[1], red = bits == 8 ? p[0] : p[2];
        same = GetRValue(c) == red && GetGValue(c) == green && GetBValue(c) == blue;
    }
    ReleaseDC(window, dc);
    return same;
}

void LiveDelivery(int bits) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "PREVIEW-BENCH");
    const int camera = KelvoxSim_Attach(&c);
    HWND callback = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const int handle = Kelvox_Initialize(nullptr);
    const int stride = (1920 * bits / 8 + 3) & ~3;
    std::vector<unsigned char> buffer(static_cast<size_t>(stride) * 1200);
    if (camera < 0 || !handle || !Kelvox_SetColorMode(handle, bits) || !Kelvox_SetWaitTime(handle, 1) ||
        !Kelvox_SetExposureTimeEx(handle, 0.001) ||
        !Kelvox_CallBackPreview(handle, callback, buffer.data(), static_cast<int>(buffer.size()), 0)) {
        std::printf("could not start live preview (error %d)\n", handle ? Kelvox_GetLastError(handle) : -1);
        return;
    }
    Pump(500);
    const unsigned sent0 = FramesSent(camera);
    unsigned received = 0;
    const DWORD end = GetTickCount() + 5000;
    MSG m;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.hwnd == callback && m.message == KELVOX_WM_FRAME) received += m.wParam != 0;
            else DispatchMessageA(&m);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const unsigned sent = FramesSent(camera) - sent0;
    HWND window = RendererWindow();
    RECT client{};
    if (window) GetClientRect(window, &client);
    Kelvox_StopPreview(handle);
    while (PeekMessageA(&m, callback, KELVOX_WM_FRAME, KELVOX_WM_FRAME, PM_REMOVE)) received += m.wParam != 0;
    const bool shows = window && WindowShowsLastImage(handle, window, bits);
    std::printf("  %2d bits: %u of %u frames reached the host (%.1f%%); window %ld x %ld %s the last frame\n", bits,
                received, sent, sent ? 100.0 * received / sent : 0.0, client.right, client.bottom,
                shows ? "shows" : "does NOT show");
    Kelvox_Release(handle);
    KelvoxSim_Detach(camera);
    DestroyWindow(callback);
}

}  // namespace

int main() {
    DrawCosts();
    std::printf("live preview, full frame, paced, visible top-level window, 5 s:\n");
    LiveDelivery(8);
    LiveDelivery(24);
    return 0;
}
