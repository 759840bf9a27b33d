// How many frames live preview delivers to a host, and what the session's frame thread spends per
// frame, against the paced and the unpaced simulator at full resolution; then paced with the defect
// mask's shading and defect corrections on, over references taken from the camera.
// Run by hand: build/native-release/bin/kelvox_delivery_bench
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"

namespace {

// CPU nanoseconds of the thread the library named, from the scheduler's statistics.
double ThreadCpuMs(const char* name) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        std::getline(comm, line);
        if (line != name) continue;
        std::ifstream schedstat(task.path() / "schedstat");
        double ns = 0;
        schedstat >> ns;
        return ns / 1e6;
    }
    return -1;
}

unsigned FramesSent(int camera) {
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    KelvoxSim_GetStats(camera, &s);
    return s.frames_sent;
}

// Dark and bright references from a dark and a bright frame of the camera, then both corrections on.
bool MaskOn(int handle) {
    for (const int which : {0, 1}) {
        if (!Kelvox_SetExposureTimeEx(handle, which ? 0.02 : 0.0001) || !Kelvox_SnapShot(handle, nullptr, 0, 0) ||
            !Kelvox_UpdateMaskData(handle, which))
            return false;
    }
    return Kelvox_SetExposureTimeEx(handle, 0.005) && Kelvox_SetMaskFilter(handle, 1) && Kelvox_SetDotFilter(handle, 1);
}

void Run(int paced, int bits, int wait_ms, bool mask = false) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "BENCH");
    c.paced = paced;
    const int camera = KelvoxSim_Attach(&c);
    KELVOX_HWND callback = KelvoxSim_CreateMessageWindow();
    const int handle = Kelvox_Initialize(nullptr);
    const int stride = (1920 * bits / 8 + 3) & ~3;
    std::vector<unsigned char> buffer(static_cast<size_t>(stride) * 1200);
    if (camera < 0 || !handle || !Kelvox_SetColorMode(handle, bits) || !Kelvox_SetWaitTime(handle, wait_ms) ||
        !Kelvox_SetExposureTimeEx(handle, 0.001) || (mask && !MaskOn(handle)) ||
        !Kelvox_CallBackPreview(handle, callback, buffer.data(), static_cast<int>(buffer.size()), 0)) {
        std::printf("could not start live preview (error %d)\n", handle ? Kelvox_GetLastError(handle) : -1);
        return;
    }
    KELVOX_SIM_MSG m{};
    // Warm up, then count over a fixed interval.
    const auto warm = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < warm) KelvoxSim_WaitMessage(callback, &m, 50);
    const unsigned sent0 = FramesSent(camera);
    const double cpu0 = ThreadCpuMs("kelvox-frames");
    const auto t0 = std::chrono::steady_clock::now();
    unsigned received = 0, failures = 0;
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(3))
        if (KelvoxSim_WaitMessage(callback, &m, 50) && m.message == KELVOX_WM_FRAME) (m.wParam ? received : failures)++;
    const double cpu = ThreadCpuMs("kelvox-frames") - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const unsigned sent = FramesSent(camera) - sent0;
    Kelvox_StopPreview(handle);
    std::printf("%s %2d-bit, wait %2d ms%s: camera %7.1f fps, host %7.1f fps (%5.1f%%), frame thread %.3f ms CPU "
                "per frame, %u failures\n",
                paced ? "paced  " : "unpaced", bits, wait_ms, mask ? ", mask and dot filters" : "", sent / wall, received / wall,
                sent ? 100.0 * received / sent : 0.0, received ? cpu / received : 0.0, failures);
    Kelvox_Release(handle);
    KelvoxSim_DestroyMessageWindow(callback);
    KelvoxSim_Detach(camera);
}

}  // namespace

int main() {
    Run(1, 8, 1);
    Run(1, 8, 10);
    Run(1, 16, 1);
    Run(0, 8, 0);
    Run(0, 8, 1);
    Run(0, 16, 0);
    for (const int bits : {8, 24, 16, 48}) Run(1, bits, 1, true);
    return 0;
}
