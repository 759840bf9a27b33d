// AVI recording through Kelvox_Record on the simulated camera, in every colour mode:
//  - paced at sensor timing, full frame: frames in the file against the frames the camera sent
//    while it recorded, and the frames the host received meanwhile (its delivery goes on through
//    Kelvox_CallBackPreview during the recording);
//  - unpaced: how many frames per second, and megabytes per second, the recording keeps up with.
// Run by hand: flock /tmp/kelvox-device-table.lock build/native-release/bin/kelvox_record_bench [directory] [seconds]
// (default /dev/shm, a tmpfs; under Wine pass e.g. Z:\dev\shm; default 7 s: a full-frame AVI
// holds at most 4 GiB, about 620 frames or 7.5 s at 82 frames per second).
// "share" is the file's frames against the frames the camera sent (paced) or the frames the frame
// thread processed, which the host received (unpaced, where the camera outruns processing).
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
#include <windows.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

unsigned FramesSent(int camera) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(camera, &s);
    return s.frames_sent;
}

// The 32-bit little-endian value at `offset`, or 0 while the file cannot be read.
uint32_t FileWord(const std::string& path, long offset) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    unsigned char b[4] = {};
    const bool ok = std::fseek(f, offset, SEEK_SET) == 0 && std::fread(b, 1, 4, f) == 4;
    std::fclose(f);
    return ok ? b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24 : 0;
}

// A window for frame messages and a way to count what arrived on it.
#ifdef _WIN32
KELVOX_HWND MakeWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KelvoxRecordBench";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}
int CountFrames(KELVOX_HWND window) {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, static_cast<HWND>(window), 0, 0, PM_REMOVE))
        if (m.message == KELVOX_WM_FRAME && m.wParam) ++n;
    return n;
}
#else
KELVOX_HWND MakeWindow() { return KelvoxSim_CreateMessageWindow(); }
int CountFrames(KELVOX_HWND window) {
    int n = 0;
    KELVOX_SIM_MSG m;
    while (KelvoxSim_PeekMessage(window, &m))
        if (m.message == KELVOX_WM_FRAME && m.wParam) ++n;
    return n;
}
#endif

// In the 8-bit grey mode the camera's frame number shows in the first four pixels of the top row
// (the file's last row): where the recording skipped frames, as "index:missed" pairs.
std::string StampGaps(const std::string& path, uint32_t frames, uint32_t chunk) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    const uint32_t width = FileWord(path, 64), height = FileWord(path, 68), stride = (width * 3 + 3) & ~3u;
    std::string gaps;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        unsigned char p[12] = {};
        const long long at = 232 + static_cast<long long>(i) * (8 + chunk) + 8 + static_cast<long long>(height - 1) * stride;
        if (fseeko64(f, at, SEEK_SET) != 0 || std::fread(p, 1, sizeof p, f) != sizeof p) break;
        const uint32_t stamp = p[0] | p[3] << 8 | p[6] << 16 | static_cast<uint32_t>(p[9]) << 24;
        if (i > 0 && stamp != previous + 1) {
            char gap[32];
            std::snprintf(gap, sizeof gap, " %u:%u", i, stamp - previous - 1);
            gaps += gap;
        }
        previous = stamp;
    }
    std::fclose(f);
    return gaps;
}

struct Result {
    std::string gaps;  // 8-bit only
    uint32_t frames = 0;   // in the file
    unsigned sent = 0;     // by the camera from the first recorded frame to the last
    int received = 0;      // by the host from the start to the finished file
    double seconds = 0;    // from the start to the finished file
    uint32_t chunk = 0;
    bool ok = false;
};

Result RecordOnce(int handle, int camera, KELVOX_HWND window, std::vector<unsigned char>& buffer,
                  const std::string& path, int ms) {
    Result r;
    const auto t0 = Clock::now();
    if (!Kelvox_Record(handle, path.c_str(), ms, 0)) return r;
    // Host delivery goes on beside the recording.
    if (!Kelvox_CallBackPreview(handle, window, buffer.data(), static_cast<int>(buffer.size()), 0)) return r;
    const auto deadline = t0 + std::chrono::milliseconds(ms + 10000);
    // The frames sent from the first recorded frame (the file grows past its header) to the end
    // (its size is patched in); each end is seen within a millisecond or so of the event.
    unsigned first = 0;
    bool started = false;
    while (FileWord(path, 4) == 0 && Clock::now() < deadline) {
        std::error_code error;
        if (!started && std::filesystem::file_size(path, error) > 232 && !error) {
            first = FramesSent(camera);
            started = true;
        }
        r.received += CountFrames(window);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    r.sent = FramesSent(camera) - first + 1;
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    Kelvox_StopPreview(handle);
    r.received += CountFrames(window);
    r.frames = FileWord(path, 48);
    r.chunk = FileWord(path, 60) - 8;
    r.gaps = StampGaps(path, r.frames, r.chunk);
    r.ok = r.frames > 0;
    std::error_code error;
    std::filesystem::remove(path, error);  // tmpfs is memory
    return r;
}

int Attach(bool paced) {
    KELVOX_SIM_CAMERA sim;
    KelvoxSim_DefaultCamera(&sim);
    std::strcpy(sim.serial, "REC-BENCH");
    sim.paced = paced ? 1 : 0;
    sim.stamp = 1;
    return KelvoxSim_Attach(&sim);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
#else
    const std::filesystem::path dir = argc > 1 ? argv[1] : "/dev/shm";
#endif
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::string path = (dir / "kelvox-record-bench.avi").string();
    KELVOX_HWND window = MakeWindow();
    const int bits[] = {8, 16, 24, 32, 48, 64};
    std::vector<unsigned char> buffer(1920u * 1200u * 8);

    for (const bool paced : {true, false}) {
        const int camera = Attach(paced);
        const int handle = Kelvox_Initialize(nullptr);
        if (camera < 0 || handle == 0 || !Kelvox_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) ||
            !Kelvox_SetCaptureWindowEx(handle, 1920, 0, 1920, 1200, 0, 1200) || !Kelvox_SetWaitTime(handle, 1)) {
            std::printf("no simulated camera\n");
            return 1;
        }
        const int ms = paced ? seconds * 1000 : 1500;  // unpaced, 4 GiB fill in about 2.5 s
        std::printf("\n%s, 1920 x 1200, %d ms into %s\n", paced ? "paced (sensor timing)" : "unpaced", ms, path.c_str());
        std::printf("%5s %8s %8s %8s %9s %8s %9s\n", "bits", "in file", "sent", "share", "host got", "fps", "MB/s");
        for (const int b : bits) {
            if (!Kelvox_SetColorMode(handle, b)) return 1;
            const Result r = RecordOnce(handle, camera, window, buffer, path, ms);
            if (!r.ok) {
                std::printf("%5d recording failed, error %d\n", b, Kelvox_GetLastError(handle));
                continue;
            }
            const double fps = r.frames / r.seconds;
            const double share = 100.0 * r.frames / (paced ? r.sent : static_cast<unsigned>(r.received));
            std::printf("%5d %8u %8u %7.1f%% %9d %8.1f %9.1f", b, r.frames, r.sent, share, r.received, fps,
                        fps * (8.0 + r.chunk) / 1e6);
            if (b == 8 && paced) std::printf("   frames skipped (index:count):%s", r.gaps.empty() ? " none" : r.gaps.c_str());
            std::printf("\n");
            std::fflush(stdout);
        }
        Kelvox_Release(handle);
        KelvoxSim_DetachAll();
    }
    return 0;
}
