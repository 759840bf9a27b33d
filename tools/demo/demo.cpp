// A host application of the SDK: plugs in a simulated camera, opens it through the public API,
// runs a live preview into its own buffer while pumping the frame messages (on Windows the
// library's preview window shows it, and a capture of that window is saved), takes snapshots in
// both row orders and writes what it received into out/: raw dumps of the buffers, BMP, PNG,
// JPEG and TIFF files saved by the library, and a one-second AVI recording of a 640 x 480 window.
//
// Options: --seconds N (preview length, default 3), --wait MS (the library's wait time, default
// 1), --unpaced (the simulator sends as fast as it can), --width W --height H (capture window,
// centred; default the full 1920 x 1200).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

#ifdef _WIN32
#include <png.h>
#include <windows.h>
#endif

namespace {

struct Options {
    int seconds = 3;
    int wait_ms = 1;
    int paced = 1;
    int width = 1920, height = 1200;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--unpaced") o->paced = 0;
        else if (a == "--seconds" && has_value) o->seconds = std::atoi(argv[++i]);
        else if (a == "--wait" && has_value) o->wait_ms = std::atoi(argv[++i]);
        else if (a == "--width" && has_value) o->width = std::atoi(argv[++i]);
        else if (a == "--height" && has_value) o->height = std::atoi(argv[++i]);
        else return false;
    }
    return o->seconds > 0 && o->wait_ms >= 0 && o->width > 0 && o->width <= 1920 && o->height > 0 &&
           o->height <= 1200;
}

int Fail(const char* call, int handle) {
    std::printf("%s failed, error %d\n", call, handle ? Kelvox_GetLastError(handle) : -1);
    return 1;
}

// ---- the host's windows and message pump ----

struct Message {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
};

#ifdef _WIN32
KELVOX_HWND CreateHostWindow() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KelvoxDemoHost";
        return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return nullptr;
    return CreateWindowExA(0, "KelvoxDemoHost", "Kelvox demo", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}
void DestroyHostWindow(KELVOX_HWND w) { DestroyWindow(w); }
// Waits up to timeout_ms for a message of the window; others are dispatched as usual.
bool NextMessage(KELVOX_HWND window, Message* out, unsigned timeout_ms) {
    const DWORD end = GetTickCount() + timeout_ms;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.hwnd == window) {
                *out = Message{m.message, m.wParam, m.lParam};
                return true;
            }
            DispatchMessageA(&m);
        }
        const DWORD now = GetTickCount();
        if (static_cast<int>(end - now) <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}
#else
KELVOX_HWND CreateHostWindow() { return KelvoxSim_CreateMessageWindow(); }
void DestroyHostWindow(KELVOX_HWND w) { KelvoxSim_DestroyMessageWindow(w); }
bool NextMessage(KELVOX_HWND window, Message* out, unsigned timeout_ms) {
    KELVOX_SIM_MSG m{};
    if (!KelvoxSim_WaitMessage(window, &m, timeout_ms)) return false;
    *out = Message{m.message, m.wParam, m.lParam};
    return true;
}
#endif

#ifdef _WIN32
// The preview window the library made on this thread for the live preview.
HWND FindPreviewWindow() {
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

// What the window shows, read back from its device context, as a PNG file.
bool SaveWindowPng(HWND window, const char* path, int* width, int* height) {
    RECT r;
    if (!GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return false;
    *width = r.right;
    *height = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = r.right;
    bi.bmiHeader.biHeight = -r.bottom;  // top row first, as PNG wants it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    if (!bitmap || !memory) return false;
    HGDIOBJ old = SelectObject(memory, bitmap);
    HDC dc = GetDC(window);
    BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    GdiFlush();
    bool ok = false;
    if (FILE* f = std::fopen(path, "wb")) {
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png ? png_create_info_struct(png) : nullptr;
        if (info && !setjmp(png_jmpbuf(png))) {
            png_init_io(png, f);
            png_set_IHDR(png, info, r.right, r.bottom, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_write_info(png, info);
            png_set_bgr(png);
            const size_t stride = (static_cast<size_t>(r.right) * 3 + 3) & ~size_t{3};
            for (int y = 0; y < r.bottom; ++y) png_write_row(png, static_cast<png_bytep>(bits) + y * stride);
            png_write_end(png, nullptr);
            ok = true;
        }
        png_destroy_write_struct(&png, &info);
        ok = std::fclose(f) == 0 && ok;
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return ok;
}

void ShowPreviewWindow() {
    HWND w = FindPreviewWindow();
    char title[64] = {};
    int width = 0, height = 0;
    if (w) GetWindowTextA(w, title, sizeof title);
    if (w && SaveWindowPng(w, "out/preview_window.png", &width, &height))
        std::printf("preview window \"%s\", client area %d x %d: wrote out/preview_window.png\n", title, width, height);
    else
        std::printf("no preview window to capture\n");
}
#else
void ShowPreviewWindow() { std::printf("no preview window here (Linux has no window system)\n"); }
#endif

unsigned FramesSent(int camera) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(camera, &s);
    return s.frames_sent;
}

// The 32-bit little-endian value at `offset` of a file, or 0 when it cannot be read (on Windows
// the library keeps a recording's file to itself until it is finished).
uint32_t FileWord(const char* path, long offset) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return 0;
    unsigned char b[4] = {};
    const bool ok = std::fseek(f, offset, SEEK_SET) == 0 && std::fread(b, 1, 4, f) == 4;
    std::fclose(f);
    return ok ? b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24 : 0;
}

// One second of 24-bit frames from a 640 x 480 window into an AVI file: how many of the frames the
// camera sent meanwhile it holds, and the rate measured into it.
bool RecordAvi(int handle, int camera) {
    const char* path = "out/recording.avi";
    if (!Kelvox_SetCaptureWindowEx(handle, 1920, 640, 640, 1200, 360, 480)) return false;
    if (!Kelvox_Record(handle, path, 1000, 0)) return false;
    // The camera's frames count from the first recorded one (the file grows past its 232-byte
    // header) to the end (its RIFF size is written at the first frame after the second).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    unsigned first = 0;
    bool started = false;
    while (FileWord(path, 4) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (!started && std::filesystem::file_size(path, error) > 232 && !error) {
            first = FramesSent(camera);
            started = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const unsigned sent = FramesSent(camera) - first + 1;
    if (!Kelvox_StopPreview(handle)) return false;
    const uint32_t frames = FileWord(path, 48), scale = FileWord(path, 128);
    if (frames == 0 || scale == 0) {
        std::printf("the recording did not finish\n");
        return false;
    }
    std::printf("recorded %s: 640 x 480, %u frames of the %u the camera sent (%.1f%%), %.2f frames per second\n",
                path, frames, sent, sent ? 100.0 * frames / sent : 0.0, 1e7 / scale);
    return true;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.string().c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

int Stride(int width, int bits) { return (width * (bits / 8) + 3) & ~3; }

// The library's last image as BMP, PNG, JPEG (quality 100) and TIFF files: base + extension.
bool SaveImageFiles(int handle, const std::string& base) {
    const struct { const char* extension; int format; } files[] = {
        {".bmp", KELVOX_SAVE_BMP}, {".png", KELVOX_SAVE_PNG}, {".jpg", KELVOX_SAVE_JPEG100}, {".tif", KELVOX_SAVE_TIFF}};
    for (const auto& f : files) {
        if (!Kelvox_SaveImage(handle, (base + f.extension).c_str(), f.format)) {
            std::printf("could not write %s%s\n", base.c_str(), f.extension);
            return false;
        }
    }
    std::printf("wrote %s.bmp, .png, .jpg, .tif\n", base.c_str());
    return true;
}

// The simulator writes the frame number into the first four samples of the top row.
uint32_t StampOf(const unsigned char* top_row) {
    return top_row[0] | top_row[1] << 8 | top_row[2] << 16 | static_cast<uint32_t>(top_row[3]) << 24;
}

// ---- live preview ----

struct PreviewResult {
    unsigned received = 0, failures = 0, missed = 0, sent = 0;
};

// Runs Kelvox_CallBackPreview for the given time, counting frames as they are announced.
bool RunPreview(int handle, int camera, KELVOX_HWND callback, std::vector<unsigned char>& buffer,
                const Options& o, PreviewResult* r) {
    const unsigned sent_before = FramesSent(camera);
    if (!Kelvox_CallBackPreview(handle, callback, buffer.data(), static_cast<int>(buffer.size()), 1)) return false;
    const auto start = std::chrono::steady_clock::now();
    auto report = start + std::chrono::seconds(1);
    uint32_t first = 0, last = 0;
    unsigned distinct = 0, at_report = 0;
    int rate10 = 0;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now - start >= std::chrono::seconds(o.seconds)) break;
        Message m{};
        if (!NextMessage(callback, &m, 100) || m.message != KELVOX_WM_FRAME) continue;
        if (m.wparam == 0) {
            ++r->failures;
            std::printf("  frame failure, error %d\n", static_cast<int>(m.lparam));
            if (m.lparam == KELVOX_ERR_DEVICE_LOST) break;
            continue;
        }
        const auto* info = reinterpret_cast<const KELVOX_FRAME_INFO*>(m.wparam);
        rate10 = info->frame_rate;
        ++r->received;
        const uint32_t stamp = StampOf(buffer.data());  // row order 1: the top row comes first
        if (distinct == 0) {
            first = last = stamp;
            distinct = 1;
        } else if (stamp != last) {  // a late read may already see the next frame
            last = stamp;
            ++distinct;
        }
        if (std::chrono::steady_clock::now() >= report) {
            const unsigned span = last - first + 1;
            std::printf("  %2ds: %5u frames, %5.1f fps (library %5.1f), missed %u\n",
                        static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(report - start).count()),
                        r->received, static_cast<double>(r->received - at_report), rate10 / 10.0,
                        span > distinct ? span - distinct : 0);
            at_report = r->received;
            report += std::chrono::seconds(1);
        }
    }
    ShowPreviewWindow();  // while it still shows the last frame
    if (!Kelvox_StopPreview(handle)) return false;
    // Announcements still queued belong to frames that were delivered before the stop.
    for (Message m{}; NextMessage(callback, &m, 0);)
        if (m.message == KELVOX_WM_FRAME && m.wparam) ++r->received;
    r->sent = FramesSent(camera) - sent_before;
    const unsigned span = distinct ? last - first + 1 : 0;
    r->missed = span > distinct ? span - distinct : 0;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        std::printf("usage: kelvox_demo [--seconds N] [--wait MS] [--unpaced] [--width W] [--height H]\n");
        return 2;
    }
    std::printf("Kelvox SDK, library version 0x%08X\n", static_cast<unsigned>(Kelvox_GetDllVersion()));

    KELVOX_SIM_CAMERA sim;
    KelvoxSim_DefaultCamera(&sim);
    std::strcpy(sim.serial, "DEMO-0001");
    sim.paced = o.paced;
    sim.stamp = 1;
    const int camera = KelvoxSim_Attach(&sim);
    if (camera < 0) {
        std::printf("could not attach the simulated camera\n");
        return 1;
    }
    std::printf("simulated camera attached (serial %s, %s)\n", sim.serial, o.paced ? "sensor timing" : "unpaced");

    KELVOX_HWND notify = CreateHostWindow();
    KELVOX_HWND callback = CreateHostWindow();
    if (!notify || !callback) {
        std::printf("could not create the host windows\n");
        return 1;
    }
    const int handle = Kelvox_Initialize(notify);
    if (handle == 0) return Fail("Kelvox_Initialize", 0);
    if (const int error = Kelvox_GetLastError(handle)) {
        std::printf("initialisation reported error %d\n", error);
        return 1;
    }

    char names[10][256];
    const int count = Kelvox_EnumDevice(handle, names);
    std::printf("%d camera(s):\n", count);
    for (int i = 0; i < count; ++i) std::printf("  %s\n", names[i]);
    if (count < 1) return Fail("Kelvox_EnumDevice", handle);
    if (!Kelvox_SetDeviceNumber(handle, 0)) return Fail("Kelvox_SetDeviceNumber", handle);

    char serial[32] = {};
    if (!Kelvox_ReadSerialNumberA(handle, serial, sizeof serial)) return Fail("Kelvox_ReadSerialNumberA", handle);
    KELVOX_CAMERA_INFO info{};
    info.size = sizeof info;
    if (!Kelvox_GetCameraInfo(handle, &info)) return Fail("Kelvox_GetCameraInfo", handle);
    std::printf("serial %s, %d x %d, gain %d..%d, exposure %.6f..%.6f s\n", serial, info.max_width, info.max_height,
                info.gain_min, info.gain_max, info.exposure_seconds_min, info.exposure_seconds_max);

    const int x = (1920 - o.width) / 2, y = (1200 - o.height) / 2;
    if (!Kelvox_SetCaptureWindowEx(handle, 1920, x, o.width, 1200, y, o.height))
        return Fail("Kelvox_SetCaptureWindowEx", handle);
    if (!Kelvox_SetExposureTimeEx(handle, 0.005)) return Fail("Kelvox_SetExposureTimeEx", handle);
    if (!Kelvox_SetColorMode(handle, 8)) return Fail("Kelvox_SetColorMode", handle);
    if (!Kelvox_SetWaitTime(handle, o.wait_ms)) return Fail("Kelvox_SetWaitTime", handle);
    int ok = 0;
    std::printf("capture window %d x %d at (%d, %d), 8 bits, exposure %.6f s, wait time %d ms\n", Kelvox_Width(handle),
                Kelvox_Height(handle), x, y, Kelvox_GetExposureTimeEx(handle, &ok), Kelvox_GetWaitTime(handle));

    std::error_code dir_error;
    std::filesystem::create_directories("out", dir_error);

    // Live preview into our own buffer, bottom-up rows padded to 4 bytes as the library gives them.
    const int stride = Stride(o.width, 8);
    std::vector<unsigned char> buffer(static_cast<size_t>(stride) * o.height);
    std::printf("live preview for %d s:\n", o.seconds);
    PreviewResult r;
    if (!RunPreview(handle, camera, callback, buffer, o, &r)) return Fail("live preview", handle);
    std::printf("received %u of the %u frames the camera sent (%.1f%%), %u missed by stamp, %u failures\n",
                r.received, r.sent, r.sent ? 100.0 * r.received / r.sent : 0.0, r.missed, r.failures);
    if (r.received == 0 || r.failures) {
        std::printf("live preview delivered %s\n", r.received ? "failures" : "no frames");
        return 1;
    }
    if (!WriteFile("out/preview_last.raw", buffer)) std::printf("could not write out/preview_last.raw\n");

    // Snapshots on demand: the same frame layout in both row orders.
    std::vector<unsigned char> top(buffer.size()), bottom(buffer.size());
    if (!Kelvox_Capture(handle)) return Fail("Kelvox_Capture", handle);
    if (!Kelvox_SnapShot(handle, top.data(), static_cast<int>(top.size()), 1)) return Fail("Kelvox_SnapShot", handle);
    if (!Kelvox_GetImage(handle, bottom.data(), static_cast<int>(bottom.size()), 0))
        return Fail("Kelvox_GetImage", handle);
    bool mirrored = true;
    for (int row = 0; row < o.height && mirrored; ++row)
        mirrored = std::memcmp(&top[static_cast<size_t>(row) * stride],
                               &bottom[static_cast<size_t>(o.height - 1 - row) * stride], stride) == 0;
    std::printf("snapshot: frame %u, top-down and bottom-up copies %s\n", StampOf(top.data()),
                mirrored ? "agree" : "DISAGREE");
    if (!mirrored) return 1;
    if (!SaveImageFiles(handle, "out/snapshot_8bit")) return 1;
    if (!Kelvox_StopPreview(handle)) return Fail("Kelvox_StopPreview", handle);

    // A 16-bit snapshot: one little-endian sample per pixel.
    if (!Kelvox_SetColorMode(handle, 16)) return Fail("Kelvox_SetColorMode", handle);
    std::vector<unsigned char> wide(static_cast<size_t>(Stride(o.width, 16)) * o.height);
    if (!Kelvox_SnapShot(handle, wide.data(), static_cast<int>(wide.size()), 1)) return Fail("Kelvox_SnapShot", handle);
    std::printf("16-bit snapshot: %zu bytes\n", wide.size());
    if (!SaveImageFiles(handle, "out/snapshot_16bit")) return 1;

    // A colour snapshot: demosaiced, white-balanced once, B, G, R per pixel, bottom row first as in a BMP.
    if (!Kelvox_SetColorMode(handle, 24) || !Kelvox_SetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_AUTO, 1))
        return Fail("colour settings", handle);
    std::vector<unsigned char> colour(static_cast<size_t>(Stride(o.width, 24)) * o.height);
    if (!Kelvox_SnapShot(handle, colour.data(), static_cast<int>(colour.size()), 0)) return Fail("Kelvox_SnapShot", handle);
    const int red = Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_RED, &ok);
    const int blue = Kelvox_GetFilterValue(handle, KELVOX_FILTER_BAYER_GAIN_BLUE, &ok);
    std::printf("24-bit snapshot: white balance red %d%%, blue %d%%\n", red, blue);
    if (!SaveImageFiles(handle, "out/snapshot_24bit")) return 1;

    bool written = WriteFile("out/snapshot_8bit_topdown.raw", top) && WriteFile("out/snapshot_8bit_bottomup.raw", bottom) &&
                   WriteFile("out/snapshot_16bit_topdown.raw", wide) && WriteFile("out/snapshot_24bit_bottomup.raw", colour);
    std::printf("%s out/: preview_last.raw, snapshot_8bit_topdown.raw, snapshot_8bit_bottomup.raw (%d x %d, stride %d), "
                "snapshot_16bit_topdown.raw (stride %d), snapshot_24bit_bottomup.raw (stride %d)\n",
                written ? "wrote" : "could not write all of", o.width, o.height, stride, Stride(o.width, 16),
                Stride(o.width, 24));
    if (!written) return 1;
    // The preview window goes first: the recording shows what the writer keeps up with on its own.
    if (!Kelvox_Close(handle)) return Fail("Kelvox_Close", handle);
    if (!RecordAvi(handle, camera)) return Fail("recording", handle);

    if (!Kelvox_Close(handle)) return Fail("Kelvox_Close", handle);
    if (Kelvox_Release(handle) != 1) return Fail("Kelvox_Release", handle);
    KelvoxSim_Detach(camera);
    DestroyHostWindow(callback);
    DestroyHostWindow(notify);
    std::printf("session released\n");
    return 0;
}
