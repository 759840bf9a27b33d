// How many frames live preview delivers to a host, and what the session's frame thread spends per
// frame, against the paced and the unpaced simulator at full resolution; then paced with the defect
// mask's shading and defect corrections on, over references taken from the camera; then the latency
// from the simulator finishing a paced full frame to the host receiving its frame message.
// Run by hand: build/native-release/bin/kelvox_delivery_bench
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
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

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Every picture adjustment away from its neutral value.
bool AdjustEverything(int handle) {
    const int values[][2] = {{KELVOX_FILTER_BRIGHTNESS, 20},        {KELVOX_FILTER_CONTRAST, 30},
                             {KELVOX_FILTER_HUE, 40},               {KELVOX_FILTER_SATURATION, 60},
                             {KELVOX_FILTER_SHARPNESS, 10},         {KELVOX_FILTER_GAMMA, 150},
                             {KELVOX_FILTER_BAYER_GAIN_RED, 120},   {KELVOX_FILTER_BAYER_GAIN_GREEN, 100},
                             {KELVOX_FILTER_BAYER_GAIN_BLUE, 110}};
    for (const auto& v : values)
        if (!Kelvox_SetFilterValue(handle, v[0], v[1])) return false;
    return true;
}

// Milliseconds from the simulator finishing each paced full frame to the host receiving its
// KELVOX_WM_FRAME, both on the steady clock. The frame thread always takes the newest finished frame
// when it is free: when a frame finishes after it posted the last one, or at once if one already has.
void Latency(int bits, bool adjusted) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    // A serial of its own per case: a camera's settings are stored at release, and the adjustments
    // of one case must not reach the next.
    std::snprintf(c.serial, sizeof c.serial, "LATENCY-%d-%s", bits, adjusted ? "ON" : "OFF");
    const int camera = KelvoxSim_Attach(&c);
    KELVOX_HWND callback = KelvoxSim_CreateMessageWindow();
    const int handle = Kelvox_Initialize(nullptr);
    std::vector<unsigned char> buffer(static_cast<size_t>((1920 * bits / 8 + 3) & ~3) * 1200);
    KELVOX_SIM_FRAME_TIME times[64];
    const int before = camera >= 0 ? KelvoxSim_GetFrameTimes(camera, times, 1) : 0;
    const unsigned after_frame = before ? times[0].frame : 0;  // frames of the start-up belong to nobody
    if (camera < 0 || !handle || !Kelvox_SetColorMode(handle, bits) || !Kelvox_SetWaitTime(handle, 1) ||
        !Kelvox_SetExposureTimeEx(handle, 0.001) || (adjusted && !AdjustEverything(handle)) ||
        !Kelvox_CallBackPreview(handle, callback, buffer.data(), static_cast<int>(buffer.size()), 0)) {
        std::printf("could not start live preview (error %d)\n", handle ? Kelvox_GetLastError(handle) : -1);
        return;
    }
    std::map<unsigned, long long> finished;  // frame number -> finish time
    std::vector<long long> received;
    const long long warm = NowNs() + 500'000'000, end = warm + 3'000'000'000;
    double cpu0 = -1;
    KELVOX_SIM_MSG m{};
    while (NowNs() < end) {
        if (!KelvoxSim_WaitMessage(callback, &m, 50)) continue;
        const long long at = NowNs();
        if (m.message != KELVOX_WM_FRAME || !m.wParam) continue;
        if (cpu0 < 0 && at >= warm) cpu0 = ThreadCpuMs("kelvox-frames");
        received.push_back(at);
        const int n = KelvoxSim_GetFrameTimes(camera, times, 64);
        for (int i = 0; i < n; ++i)
            if (times[i].frame > after_frame || !before) finished[times[i].frame] = times[i].finished_ns;
    }
    const double cpu = ThreadCpuMs("kelvox-frames") - cpu0;
    Kelvox_StopPreview(handle);

    const std::vector<std::pair<unsigned, long long>> frames(finished.begin(), finished.end());
    std::vector<double> ms;
    size_t next = 0;  // the first frame the frame thread has not seen yet
    long long free_at = LLONG_MIN;
    for (const long long at : received) {
        if (next >= frames.size()) break;
        const long long pick = std::max(free_at, frames[next].second);
        size_t f = next;
        while (f + 1 < frames.size() && frames[f + 1].second <= pick) ++f;
        if (at >= warm && frames[f].second <= at) ms.push_back((at - frames[f].second) / 1e6);
        next = f + 1;
        free_at = at;
    }
    std::sort(ms.begin(), ms.end());
    const double seconds = (end - warm) / 1e9;
    std::printf("latency, paced %2d-bit, adjustments %-3s: ", bits, adjusted ? "on" : "off");
    if (ms.empty()) std::printf("no frames\n");
    else
        std::printf("median %6.2f ms, 99th percentile %6.2f ms over %zu frames (%.1f frames/s); frame thread %.2f ms "
                    "CPU per frame\n",
                    ms[ms.size() / 2], ms[std::min(ms.size() - 1, static_cast<size_t>(ms.size() * 0.99))], ms.size(),
                    ms.size() / seconds, cpu0 >= 0 ? cpu / static_cast<double>(ms.size()) : 0.0);
    Kelvox_Release(handle);
    KelvoxSim_DestroyMessageWindow(callback);
    KelvoxSim_Detach(camera);
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
    for (const int bits : {8, 24})
        for (const bool adjusted : {false, true}) Latency(bits, adjusted);
    return 0;
}
