// How fast the capture loop runs against the unpaced simulator at full resolution, and the CPU it
// spends per frame (the consumer only sleeps, so the process's CPU time is the capture thread's
// plus the simulator's work inside its driver calls).
// Run by hand: build/native-release/bin/kelvox_capture_bench
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "device/camera_device.h"
#include "kelvox/kelvox_sim.h"

#ifdef _WIN32
#include <windows.h>
static double CpuSeconds() {
    FILETIME create, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &create, &exit, &kernel, &user);
    auto s = [](FILETIME f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime) / 1e7; };
    return s(kernel) + s(user);
}
#else
static double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}
#endif

static void Run(int depth) {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strcpy(c.serial, "BENCH");
    c.paced = 0;
    const int id = KelvoxSim_Attach(&c);
    kelvox::device::CameraDevice device;
    device.CreateController(nullptr);
    device.SetProductId(0x3100);
    if (device.CountDevices(0x3100) != 1 || !device.Open(0) || !device.SetTransferDepth(depth)) {
        std::printf("could not open the simulated camera\n");
        return;
    }
    KELVOX_SIM_STATS s0{}, s1{};
    s0.size = s1.size = sizeof s0;
    device.capture().Start(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    KelvoxSim_GetStats(id, &s0);
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    KelvoxSim_GetStats(id, &s1);
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    device.capture().Stop(true);
    const unsigned frames = s1.frames_sent - s0.frames_sent;
    std::printf("capture loop, 1920 x 1200, %2d-bit: %7.1f fps, %.3f ms CPU per frame, capture error %d\n",
                depth ? 16 : 8, frames / wall, frames ? cpu * 1000 / frames : 0.0, device.capture().capture_error());
    device.Close();
    KelvoxSim_Detach(id);
}

int main() {
    Run(0);
    Run(1);
    return 0;
}
