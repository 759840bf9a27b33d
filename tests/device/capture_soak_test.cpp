// Many start/stop cycles in every capture mode with random stop timing, and cameras unplugged
// and plugged again, each cycle with a bound on its time: nothing may hang, crash or leak.
#include <random>
#include <vector>

#include "device_test_support.h"

using kelvox::device::FrameWait;

using namespace kelvox_device_test;

namespace {

constexpr int kCyclesPerMode = 500;
constexpr int kReplugCycles = 200;
// A cycle this long has hung on something; a loaded machine's slowness stays far below it.
constexpr auto kCycleBound = std::chrono::seconds(30);

}  // namespace

TEST_F(OpenDevice, SoakStartStopInEveryModeWithRandomStops) {
    std::mt19937 random(20261208);
    std::vector<uint8_t> frame(1920 * 1200);
    ASSERT_EQ(device_.SetTriggerMode(0, 1), 1);
    for (int mode : {0, 1, 2, 3}) {
        for (int cycle = 0; cycle < kCyclesPerMode; ++cycle) {
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(device_.capture().Start(mode), 1);
            const int pause = static_cast<int>(random() % 4);  // 0-3 ms: before, during or after a frame
            if (pause) std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            if (random() % 3 == 0 && device_.capture().WaitFrame(0) == FrameWait::Ready) device_.capture().GetFrame(frame.data(), (cycle & 1) != 0);
            device_.capture().Stop(random() % 20 == 0);
            ASSERT_EQ(device_.capture().running(), 0);
            ASSERT_LT(std::chrono::steady_clock::now() - start, kCycleBound) << "mode " << mode << " cycle " << cycle;
        }
    }
    // Still in working order afterwards.
    ASSERT_EQ(device_.capture().Start(1), 1);
    EXPECT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    EXPECT_EQ(device_.capture().capture_error(), 0);
}

TEST(CaptureSoak, UnplugAndReplugDuringCapture) {
    std::mt19937 random(42);
    const KELVOX_SIM_CAMERA config = Camera("REPLUG");
    kelvox::device::CameraDevice device;
    ASSERT_TRUE(device.CreateController(nullptr));
    device.SetProductId(0x3100);
    for (int cycle = 0; cycle < kReplugCycles; ++cycle) {
        const auto start = std::chrono::steady_clock::now();
        const int id = KelvoxSim_Attach(&config);
        ASSERT_GE(id, 0);
        ASSERT_EQ(device.CountDevices(0x3100), 1) << "cycle " << cycle;
        ASSERT_EQ(device.Open(0), 1) << "cycle " << cycle;
        ASSERT_EQ(device.capture().Start(0), 1);
        if (random() % 2) {
            EXPECT_TRUE(Eventually([&] { return Stats(id).frames_sent > 0; })) << "cycle " << cycle;
        }
        ASSERT_EQ(KelvoxSim_Detach(id), 1);
        if (random() % 2) {
            ASSERT_TRUE(Eventually([&] { return device.capture().WaitFrame(50) == FrameWait::Lost; }, 20000));
        }
        device.capture().Stop(random() % 2 == 1);
        ASSERT_LT(std::chrono::steady_clock::now() - start, kCycleBound) << "cycle " << cycle;
    }
    device.Close();
}
