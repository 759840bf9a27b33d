// The capture engine and device controls against the simulated camera.
#include <vector>

#include "device_test_support.h"
#include "sim_testing.h"
#include "usb/transfer_record.h"

using namespace kelvox_device_test;
using kelvox::device::FrameWait;

namespace {

uint32_t Stamp(const std::vector<uint8_t>& frame) { return kelvox::usb::GetLe32(frame.data()); }

}  // namespace

TEST_F(OpenDevice, SixteenBitFullFrameSizesAndGeometry) {
    const int before = device_.capture().prepare_count();
    ASSERT_EQ(device_.SetTransferDepth(1), 1);
    EXPECT_EQ(device_.capture().frame_size(), 4608000);
    EXPECT_EQ(device_.capture().transfer_buffer_size(), 5439488);  // 1328 x 2048 x 2
    ASSERT_EQ(device_.SetTransferDepth(1), 1);
    EXPECT_EQ(device_.capture().prepare_count(), before + 1);  // the second call reallocates nothing
    unsigned v = 0;
    auto fpga = [&](unsigned reg) {
        KelvoxSim_PeekRegister(id_, 0x40, reg, &v);
        return v;
    };
    EXPECT_EQ(fpga(0x44) | fpga(0x45) << 8, 1920u);
    EXPECT_EQ(fpga(0x40) | fpga(0x41) << 8, 1200u);
    EXPECT_EQ(fpga(0x3C), 2u);
    EXPECT_EQ(fpga(0x48), 11u);
    EXPECT_EQ(device_.capture().geometry_changed(), 0);
    ASSERT_EQ(device_.SetTransferDepth(0), 1);
    EXPECT_EQ(device_.capture().frame_size(), 1920 * 1200);
    EXPECT_EQ(fpga(0x3C), 1u);
}

TEST_F(OpenDevice, SingleFrameModeDeliversOneFrameAndEnds) {
    ASSERT_EQ(device_.capture().Start(1), 1);
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    std::vector<uint8_t> frame(device_.capture().frame_size());
    device_.capture().GetFrame(frame.data(), true);
    ASSERT_TRUE(Eventually([&] { return device_.capture().running() == 0; }));
    EXPECT_EQ(device_.capture().WaitFrame(100), FrameWait::None);
    EXPECT_EQ(Stats(id_).frames_sent, 1u);
    device_.capture().Stop(false);
}

TEST_F(OpenDevice, ContinuousCaptureFillsTheRingAndCopiesBothRowOrders) {
    std::vector<unsigned short> scene(1920 * 1200);
    for (int r = 0; r < 1200; ++r)
        for (int c = 0; c < 1920; ++c) scene[r * 1920 + c] = static_cast<unsigned short>((r * 16 + c) & 0xFFF);
    ASSERT_EQ(KelvoxSim_SetRawScene(id_, scene.data(), 1920, 1200), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    std::vector<uint8_t> top(device_.capture().frame_size()), bottom(device_.capture().frame_size());
    uint32_t trigger = 0, words[4] = {};
    ASSERT_TRUE(device_.capture().CopyFrame(top.data(), static_cast<uint32_t>(top.size()), &trigger, words, false, true));
    device_.capture().Stop(true);
    ASSERT_TRUE(device_.capture().CopyFrame(bottom.data(), static_cast<uint32_t>(bottom.size()), nullptr, nullptr, false,
                                            false));
    EXPECT_EQ(words[0], Stamp(top));  // header word 1 is the frame number the stamp carries
    EXPECT_EQ(words[3], 1254u);
    EXPECT_EQ(top[5 * 1920 + 100], scene[5 * 1920 + 100] >> 4);
    EXPECT_EQ(bottom[5 * 1920 + 100], scene[1194 * 1920 + 100] >> 4);  // bottom row first
    std::vector<uint8_t> small(10);
    EXPECT_FALSE(device_.capture().CopyFrame(small.data(), 10, nullptr, nullptr, false, true));
    EXPECT_FALSE(device_.capture().CopyFirstFrame(nullptr, true));
}

TEST_F(OpenDevice, FiveFailuresInARowEndTheCapture) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_PAYLOAD_READ, -1), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_TRUE(Eventually([&] { return device_.capture().WaitFrame(50) == FrameWait::Lost; }));
    EXPECT_EQ(device_.capture().capture_error(), 1);
    ASSERT_TRUE(Eventually([&] { return device_.capture().running() == 0; }));
    EXPECT_EQ(Stats(id_).receiver_restarts, 4u);  // a restart after each failure but the fifth
    device_.capture().Stop(false);
}

TEST_F(OpenDevice, FourFailuresThenASuccessStartOver) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_PAYLOAD_READ, 4), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_EQ(device_.capture().WaitFrame(10000), FrameWait::Ready);
    EXPECT_EQ(device_.capture().capture_error(), 0);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_PAYLOAD_READ, 4), 1);  // four more: still alive
    std::vector<uint8_t> frame(device_.capture().frame_size());
    device_.capture().GetFrame(frame.data(), true);
    const uint32_t sent = Stats(id_).frames_sent;
    ASSERT_TRUE(Eventually([&] { return Stats(id_).frames_sent > sent; }, 10000));
    EXPECT_EQ(device_.capture().capture_error(), 0);
    EXPECT_EQ(device_.capture().running(), 1);
    device_.capture().Stop(true);
}

TEST_F(OpenDevice, TriggerModeWaitsForTheCountAndGetFrameConsumes) {
    ASSERT_EQ(device_.SetTriggerMode(1, 0), 1);
    ASSERT_EQ(device_.capture().LatchTriggerCount(), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    EXPECT_EQ(device_.capture().WaitFrame(100), FrameWait::None);
    EXPECT_EQ(Stats(id_).arm_requests, 0u);  // no header read while register 8 stands still
    ASSERT_EQ(KelvoxSim_Trigger(id_), 1);
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    std::vector<uint8_t> frame(device_.capture().frame_size());
    uint32_t trigger = 0;
    device_.capture().GetFrame(frame.data(), 1 != 0, &trigger);
    EXPECT_EQ(trigger, 1u);
    EXPECT_EQ(device_.capture().WaitFrame(100), FrameWait::None);  // nothing new, even if the event were set
    ASSERT_EQ(KelvoxSim_Trigger(id_), 1);
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    device_.capture().Stop(true);
}

TEST_F(OpenDevice, AWholeRingOfFramesAfterAHandOverIsStillNew) {
    ASSERT_EQ(device_.SetTriggerMode(1, 0), 1);
    ASSERT_EQ(device_.capture().LatchTriggerCount(), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    // Three frames before the first wait, as when the waiter is late: the write index then
    // stands at the starting read index (ring size - 1), and they are still new.
    std::vector<uint8_t> frame(device_.capture().frame_size());
    for (uint32_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(KelvoxSim_Trigger(id_), 1);
        ASSERT_TRUE(Eventually([&] {
            uint32_t newest = 0;
            device_.capture().CopyFrame(frame.data(), static_cast<uint32_t>(frame.size()), &newest, nullptr, false, true);
            return newest == i;
        }));
    }
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    device_.capture().GetFrame(frame.data(), true);
    ASSERT_EQ(device_.capture().WaitFrame(50), FrameWait::None);
    // Exactly as many frames as the ring holds: the write index comes round to the read index.
    for (uint32_t i = 0; i < static_cast<uint32_t>(device_.capture().ring_size()); ++i) {
        ASSERT_EQ(KelvoxSim_Trigger(id_), 1);
        // Looking at the newest buffer is no hand-over.
        ASSERT_TRUE(Eventually([&] {
            uint32_t newest = 0;
            device_.capture().CopyFrame(frame.data(), static_cast<uint32_t>(frame.size()), &newest, nullptr, false, true);
            return newest == 4 + i;
        }));
    }
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    uint32_t trigger = 0;
    device_.capture().GetFrame(frame.data(), 1 != 0, &trigger);
    EXPECT_EQ(trigger, 3u + device_.capture().ring_size());  // the newest of them
    EXPECT_EQ(device_.capture().WaitFrame(100), FrameWait::None);
    device_.capture().Stop(true);
}

TEST_F(OpenDevice, TriggerModeChangeStopsCaptureOnlyWhenItChangesOrIsForced) {
    ASSERT_EQ(device_.SetTriggerMode(0, 1), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    ASSERT_EQ(device_.SetTriggerMode(0, 0), 1);
    EXPECT_EQ(device_.capture().running(), 1);
    ASSERT_EQ(device_.SetTriggerMode(0, 1), 1);
    EXPECT_EQ(device_.capture().running(), 0);
    unsigned enable = 9;
    KelvoxSim_PeekRegister(id_, 0x40, 0x30, &enable);
    EXPECT_EQ(enable, 0u);
}

TEST_F(OpenDevice, ExposureSetsTheTransferTimeout) {
    ASSERT_EQ(device_.controls().SetRealExposureTime(50000), 1);
    EXPECT_EQ(device_.capture().transfer_timeout(), 5000u);
    ASSERT_EQ(device_.controls().SetRealExposureTime(50001), 1);
    EXPECT_EQ(device_.capture().transfer_timeout(), 10000u);
    ASSERT_EQ(device_.controls().SetRealExposureTime(100), 1);
    EXPECT_EQ(device_.capture().transfer_timeout(), 5000u);
    ASSERT_EQ(device_.controls().SetExposureTimeEx(2.0), 1);
    EXPECT_EQ(device_.capture().transfer_timeout(), 5000u);
    ASSERT_EQ(device_.controls().SetExposureTimeEx(2.5), 1);
    EXPECT_EQ(device_.capture().transfer_timeout(), 3500u);
    ASSERT_EQ(device_.controls().SetExposureTime(10), 1);
    EXPECT_EQ(device_.capture().transfer_timeout(), 3500u);
}

TEST_F(OpenDevice, CaptureWindowMarksGeometryOnlyWhenItChanges) {
    ASSERT_EQ(device_.capture().Prepare(), 1);
    ASSERT_EQ(device_.SetCaptureWindow(0, 0, 1920, 1200, 0), 1);
    EXPECT_EQ(device_.capture().geometry_changed(), 0);
    ASSERT_EQ(device_.SetCaptureWindow(0, 0, 640, 480, 0), 1);
    EXPECT_EQ(device_.capture().geometry_changed(), 1);
    int x = -1, y = -1, w = 0, h = 0, mode = -1;
    ASSERT_EQ(device_.GetCaptureWindow(&x, &y, &w, &h, &mode), 1);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    ASSERT_EQ(device_.capture().Start(1), 1);  // the start sizes everything for the new window
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    EXPECT_EQ(device_.capture().frame_size(), 640 * 480);
    EXPECT_EQ(device_.capture().geometry_changed(), 0);
    EXPECT_EQ(device_.SetCaptureWindow(8, 0, 1920, 1200, 0), 0);
    device_.capture().Stop(false);
}

TEST_F(OpenDevice, FpgaRegistersAndIdleWait) {
    ASSERT_EQ(device_.WriteFpgaRegister(0x107, 0x1A5), 1);  // both truncated to 8 bits
    bool ok = false;
    EXPECT_EQ(device_.ReadFpgaRegister(0x07, &ok), 0xA5);
    EXPECT_EQ(ok, 1);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_I2C_NACK, 1), 1);
    EXPECT_EQ(device_.ReadFpgaRegister(0x07, &ok), 0);
    EXPECT_EQ(ok, 0);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_FPGA_BUSY, 3), 1);
    EXPECT_EQ(device_.WaitFpgaIdle(1000), 1);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_FPGA_BUSY, -1), 1);
    EXPECT_EQ(device_.WaitFpgaIdle(20), 0);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_FPGA_BUSY, 0), 1);
    ASSERT_EQ(device_.WriteBusRegister16(0x24, 0x0404, 0x1234), 1);  // 7-bit 0x24 is the sensor's 0x48
    unsigned hi = 0, lo = 0;
    KelvoxSim_PeekRegister(id_, 0x48, 0x0404, &hi);
    KelvoxSim_PeekRegister(id_, 0x48, 0x0405, &lo);
    EXPECT_EQ(hi, 0x12u);
    EXPECT_EQ(lo, 0x34u);
    uint16_t value = 0;
    ASSERT_EQ(device_.ReadBusRegister16(0x24, 0x0404, &value), 1);
    EXPECT_EQ(value, 0x1234);
}

TEST_F(OpenDevice, DetachDuringCaptureEndsItWithTheCaptureError) {
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
    ASSERT_EQ(KelvoxSim_Detach(id_), 1);
    id_ = -1;
    ASSERT_TRUE(Eventually([&] { return device_.capture().WaitFrame(50) == FrameWait::Lost; }, 20000));
    device_.capture().Stop(true);
}

TEST_F(OpenDevice, StopReleasesAThreadBlockedInARead) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_STALL, -1), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_TRUE(kelvox::sim::WaitForPendingRead(id_, 10000));
    device_.capture().Stop(false);  // without the abort flag too
    EXPECT_EQ(device_.capture().running(), 0);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_STALL, 0), 1);
    ASSERT_EQ(device_.capture().Start(1), 1);
    EXPECT_EQ(device_.capture().WaitFrame(5000), FrameWait::Ready);
}

// The stop's abort also ends the header read's remaining tries: a stalled pipe does not hold the
// stop up for a round of them.
TEST_F(OpenDevice, AbortingStopEndsStalledHeaderTriesAtOnce) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_STALL, -1), 1);
    ASSERT_EQ(device_.capture().Start(0), 1);
    ASSERT_TRUE(kelvox::sim::WaitForPendingRead(id_, 10000));
    const auto started = std::chrono::steady_clock::now();
    device_.capture().Stop(true);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    EXPECT_EQ(device_.capture().running(), 0);
}

TEST_F(OpenDevice, CaptureOnceFillsTheFirstBuffer) {
    EXPECT_TRUE(device_.capture().CaptureOnce());
    EXPECT_FALSE(device_.capture().capture_error());
    std::vector<uint8_t> frame(device_.capture().frame_size());
    EXPECT_TRUE(device_.capture().CopyFirstFrame(frame.data(), true));
    EXPECT_NE(Stamp(frame), 0u);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_HEADER_READ, -1), 1);
    EXPECT_TRUE(device_.capture().CaptureOnce());  // it ran, and failed
    EXPECT_TRUE(device_.capture().capture_error());
}
