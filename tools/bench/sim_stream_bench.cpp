// Frame rates and throughput of the simulated camera at the driver seam, and how fast an abort
// releases a stalled read. Run by hand: build/native-release/bin/kelvox_sim_stream_bench
#include <chrono>
#include <cstdio>

#include <thread>

#include "sim/sim_host.h"
#include "sim_testing.h"
#include "usb/fx3_controller.h"

using namespace kelvox_sim_test;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Programs the window a host would for width x height at the array's origin.
void SetWindow(const std::string& path, int width, int height) {
    const int full = width == 1920 && height == 1200;
    WriteSensor(path, 0x0300, full ? 0 : 3);
    auto put11 = [&](uint16_t reg, int v) {
        WriteSensor(path, reg, v & 0xFF);
        WriteSensor(path, reg + 1, (v >> 8) & 7);
    };
    put11(0x0301, 1920 - width);
    put11(0x0303, 1200 - height);
    put11(0x0305, width);
    put11(0x0307, height);
    const int frame_length = full ? 1254 : height + 37;
    WriteSensor(path, 0x0217, frame_length & 0xFF);
    WriteSensor(path, 0x0218, (frame_length >> 8) & 0x0F);
    WriteSensor(path, 0x029A, 10);
    WriteSensor(path, 0x029B, 0);
    WriteFpga(path, 0x44, width & 0xFF);
    WriteFpga(path, 0x45, width >> 8);
    WriteFpga(path, 0x40, height & 0xFF);
    WriteFpga(path, 0x41, height >> 8);
}

void Stream(const char* label, bool paced, int width, int height, int depth, double duration) {
    KELVOX_SIM_CAMERA c = Config("BENCH");
    c.paced = paced;
    AttachedCamera cam(c);
    SetWindow(cam.path(), width, height);
    WriteFpga(cam.path(), 0x3C, depth);
    const DeviceHandle h = cam.OpenData();
    uint8_t header[64];
    std::vector<uint8_t> payload;
    ReadFrame(cam.path(), h, header, &payload);  // first frame waits for the sensor's clock
    int frames = 0;
    uint64_t bytes = 0;
    const auto t0 = Clock::now();
    while (Seconds(t0, Clock::now()) < duration && ReadFrame(cam.path(), h, header, &payload)) {
        ++frames;
        bytes += payload.size();
    }
    const double s = Seconds(t0, Clock::now());
    ActiveDriver().Close(h);
    std::printf("%-34s %5d x %-5d %d B  %8.1f fps  %8.1f MB/s  dropped %u\n", label, width, height, depth,
                frames / s, bytes / s / 1e6, cam.Stats().frames_dropped);
}

void AbortLatency() {
    AttachedCamera cam(Config("ABORT"));
    KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_STALL, -1);
    const DeviceHandle h = cam.OpenData();
    double worst = 0, total = 0;
    const int rounds = 50;
    for (int i = 0; i < rounds; ++i) {
        uint8_t header[64];
        DirectRead read(h, header, 64);
        uint8_t ep = 0x81;
        uint32_t n = 0, error = 0;
        const auto t0 = Clock::now();
        ActiveDriver().IoControl(h, kelvox::platform::kIoctlAbortPipe, &ep, 1, nullptr, 0, &n, nullptr, &error);
        read.Wait(kelvox::platform::kWaitInfinite);
        const double ms = Seconds(t0, Clock::now()) * 1000;
        worst = std::max(worst, ms);
        total += ms;
    }
    ActiveDriver().Close(h);
    std::printf("abort releases a stalled read:   mean %.3f ms, worst %.3f ms over %d\n", total / rounds, worst, rounds);
}

// The stop path through the controller: a payload read blocked in the driver on the capture
// thread, released by AbortImagePipe from another thread.
void ControllerAbortLatency() {
    AttachedCamera cam(Config("CTRL-ABORT"));
    kelvox::usb::Fx3Controller controller;
    controller.EnumerateDevices();
    controller.SelectDevice(0);
    controller.PrepareDevice();
    std::vector<uint8_t> payload(1920 * 1200);
    kelvox::usb::FrameDescriptor frame{};
    frame.buffer = payload.data();
    frame.capacity = static_cast<uint32_t>(payload.size());
    double worst = 0, total = 0;
    const int rounds = 20;
    for (int i = 0; i < rounds; ++i) {
        KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_STALL, 0);
        controller.ReadFrameHeader(&frame, 0);
        KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_STALL, -1);
        Clock::time_point done;
        std::thread reader([&] {
            controller.ReadFrameData(&frame, 10000);
            done = Clock::now();
        });
        kelvox::sim::WaitForPendingRead(cam.id(), 10000);
        const auto t0 = Clock::now();
        controller.AbortImagePipe();
        reader.join();
        const double ms = Seconds(t0, done) * 1000;
        worst = std::max(worst, ms);
        total += ms;
    }
    std::printf("controller read released by abort: mean %.3f ms, worst %.3f ms over %d\n", total / rounds, worst,
                rounds);
}

}  // namespace

int main() {
    Stream("paced, full window", true, 1920, 1200, 1, 3.0);
    Stream("paced, full window", true, 1920, 1200, 2, 3.0);
    Stream("paced, 640 x 480", true, 640, 480, 1, 3.0);
    Stream("unpaced, full window", false, 1920, 1200, 1, 3.0);
    Stream("unpaced, full window", false, 1920, 1200, 2, 3.0);
    AbortLatency();
    ControllerAbortLatency();
    return 0;
}
