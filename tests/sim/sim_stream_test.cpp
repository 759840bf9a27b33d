// The simulated image endpoint: headers, payloads, picture geometry, pacing, faults, aborts.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim_host.h"
#include "sim_testing.h"

using namespace kelvox_sim_test;
using kelvox::platform::kErrorDeviceNotConnected;
using kelvox::platform::kErrorOperationAborted;

namespace {

constexpr int kW = 1920, kH = 1200;

// A scene where every sample tells where it came from.
std::vector<unsigned short> PositionScene() {
    std::vector<unsigned short> s(kW * kH);
    for (int r = 0; r < kH; ++r)
        for (int c = 0; c < kW; ++c) s[r * kW + c] = static_cast<unsigned short>((r * 37 + c * 11) & 0xFFF);
    return s;
}

KELVOX_SIM_CAMERA Unpaced(const char* serial) {
    KELVOX_SIM_CAMERA c = Config(serial);
    c.paced = 0;
    return c;
}

void Write11(const std::string& path, uint16_t low, int value) {
    ASSERT_TRUE(WriteSensor(path, low, static_cast<uint8_t>(value & 0xFF)));
    ASSERT_TRUE(WriteSensor(path, low + 1, static_cast<uint8_t>((value >> 8) & 7)));
}

void SetFpgaGeometry(const std::string& path, int width, int height, int depth) {
    ASSERT_TRUE(WriteFpga(path, 0x44, width & 0xFF));
    ASSERT_TRUE(WriteFpga(path, 0x45, width >> 8));
    ASSERT_TRUE(WriteFpga(path, 0x40, height & 0xFF));
    ASSERT_TRUE(WriteFpga(path, 0x41, height >> 8));
    ASSERT_TRUE(WriteFpga(path, 0x3C, depth));
}

struct Stream {
    explicit Stream(AttachedCamera& cam) : cam(cam), handle(cam.OpenData()) {}
    ~Stream() {
        if (handle != -1) ActiveDriver().Close(handle);
    }
    bool Next() { return ReadFrame(cam.path(), handle, header, &payload); }
    AttachedCamera& cam;
    DeviceHandle handle;
    uint8_t header[64] = {};
    std::vector<uint8_t> payload;
};

}  // namespace

TEST(SimStream, HeaderThenPayloadOfAnnouncedLength) {
    AttachedCamera cam(Unpaced("HDR"));
    Stream s(cam);
    ASSERT_NE(s.handle, -1);
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(GetLe32(s.header + 16), 1920u * 1200u);
    EXPECT_EQ(s.payload.size(), 1920u * 1200u);
    EXPECT_EQ(GetLe32(s.header + 40), 1244u);  // exposure lines
    EXPECT_EQ(GetLe32(s.header + 44), 1254u);  // frame length
    const KELVOX_SIM_STATS st = cam.Stats();
    EXPECT_EQ(st.headers_sent, 1u);
    EXPECT_EQ(st.frames_sent, 1u);
    EXPECT_EQ(st.arm_requests, 1u);
}

TEST(SimStream, FullFrameShowsSceneThroughBayerAtBothDepths) {
    AttachedCamera cam(Unpaced("RAW"));
    const auto scene = PositionScene();
    ASSERT_EQ(KelvoxSim_SetRawScene(cam.id(), scene.data(), kW, kH), 1);
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    for (int i : {0, 1, kW, kW + 1, 777 * kW + 1234, kW * kH - 1}) EXPECT_EQ(s.payload[i], scene[i] >> 4) << i;

    SetFpgaGeometry(cam.path(), kW, kH, 2);
    ASSERT_TRUE(s.Next());
    ASSERT_EQ(s.payload.size(), 2u * kW * kH);
    for (int i : {0, 3, 5 * kW + 9, kW * kH - 1}) {
        const int sample = s.payload[2 * i] | s.payload[2 * i + 1] << 8;
        EXPECT_EQ(sample, scene[i] << 4) << i;
    }
}

TEST(SimStream, ChartIsBlueAtOriginOfTheSensor) {
    KELVOX_SIM_CAMERA c = Unpaced("CHART");
    AttachedCamera cam(c);
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    // The first bar is white at 3/4 level: every filter colour sees it. The blue bar (7th of 8)
    // lights only the blue sites: even rows, even columns.
    const int blue_bar = 6 * kW / 8 + 8;
    EXPECT_EQ(s.payload[0], 3071 >> 4);
    EXPECT_EQ(s.payload[blue_bar], 3071 >> 4);          // row 0, even column: blue
    EXPECT_EQ(s.payload[blue_bar + 1], 0);              // row 0, odd column: green
    EXPECT_EQ(s.payload[kW + blue_bar], 0);             // row 1, even column: green
    EXPECT_EQ(s.payload[kW + blue_bar + 1], 0);         // row 1, odd column: red
}

TEST(SimStream, WindowRegistersSelectSceneRegionFromFarEdge) {
    AttachedCamera cam(Unpaced("WIN"));
    const auto scene = PositionScene();
    ASSERT_EQ(KelvoxSim_SetRawScene(cam.id(), scene.data(), kW, kH), 1);
    // The window a host gets for x 1, width 1000, y 1, height 600: start 4, 992 x 600.
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0300, 3));
    Write11(cam.path(), 0x0301, 1920 - 992 - 4);
    Write11(cam.path(), 0x0303, 1200 - 600 - 4);
    Write11(cam.path(), 0x0305, 992);
    Write11(cam.path(), 0x0307, 600);
    SetFpgaGeometry(cam.path(), 992, 600, 1);
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    ASSERT_EQ(s.payload.size(), 992u * 600u);
    for (auto [r, c] : {std::pair{0, 0}, {0, 1}, {1, 0}, {599, 991}, {300, 500}})
        EXPECT_EQ(s.payload[r * 992 + c], scene[(4 + r) * kW + 4 + c] >> 4) << r << "," << c;

    // Mirroring reverses the window's rows and columns; the colour filter stays with the sensor.
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0216, 0));
    ASSERT_TRUE(s.Next());
    for (auto [r, c] : {std::pair{0, 0}, {599, 991}, {10, 20}})
        EXPECT_EQ(s.payload[r * 992 + c], scene[(4 + 599 - r) * kW + 4 + 991 - c] >> 4) << r << "," << c;
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0216, 1));  // horizontal mirror only
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(s.payload[5 * 992 + 7], scene[(4 + 5) * kW + 4 + 991 - 7] >> 4);
}

TEST(SimStream, HalvedReadoutSubsamplesInBayerPairs) {
    AttachedCamera cam(Unpaced("HALF"));
    const auto scene = PositionScene();
    ASSERT_EQ(KelvoxSim_SetRawScene(cam.id(), scene.data(), kW, kH), 1);
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0300, 0));
    Write11(cam.path(), 0x0305, 960);
    Write11(cam.path(), 0x0307, 600);
    SetFpgaGeometry(cam.path(), 960, 600, 1);
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    // Output pixel pairs come from every other pair of sensor pixels.
    EXPECT_EQ(s.payload[0], scene[0] >> 4);
    EXPECT_EQ(s.payload[1], scene[1] >> 4);
    EXPECT_EQ(s.payload[2], scene[4] >> 4);
    EXPECT_EQ(s.payload[960 + 3], scene[kW + 5] >> 4);
    EXPECT_EQ(s.payload[2 * 960], scene[4 * kW] >> 4);
}

TEST(SimStream, BrightnessFollowsExposureAndGain) {
    KELVOX_SIM_CAMERA c = Unpaced("PHOTO");
    c.scene = KELVOX_SIM_SCENE_FLAT;
    c.scene_value = 1000;
    AttachedCamera cam(c);
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(s.payload[1000], 1000 >> 4);
    // Exposure start line 10 + 622: half the nominal exposure.
    ASSERT_TRUE(WriteSensor(cam.path(), 0x029A, (10 + 622) & 0xFF));
    ASSERT_TRUE(WriteSensor(cam.path(), 0x029B, (10 + 622) >> 8));
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(s.payload[1000], 500 >> 4);
    EXPECT_EQ(GetLe32(s.header + 40), 622u);
    // Gain 200 steps (20 dB) is ten times: 5000, clipped at full scale.
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0404, 200));
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(s.payload[1000], 4095 >> 4);
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0404, 60));  // 6 dB: about twice
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(s.payload[1000], 998 >> 4);

    KELVOX_SIM_CAMERA flat = c;
    std::strcpy(flat.serial, "PHOTO-EXACT");
    flat.photometric = 0;
    AttachedCamera exact(flat);
    ASSERT_TRUE(WriteSensor(exact.path(), 0x0404, 200));
    Stream e(exact);
    ASSERT_TRUE(e.Next());
    EXPECT_EQ(e.payload[0], 1000 >> 4);
}

TEST(SimStream, PayloadPiecesOfAnySizeAndStampCountsFrames) {
    KELVOX_SIM_CAMERA c = Unpaced("STAMP");
    c.stamp = 1;
    AttachedCamera cam(c);
    SetFpgaGeometry(cam.path(), 1024, 512, 1);  // exactly one 512 KiB piece
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    ASSERT_EQ(s.payload.size(), 0x80000u);
    const uint32_t first = GetLe32(s.payload.data());
    EXPECT_EQ(first, GetLe32(s.header + 28));
    ASSERT_TRUE(s.Next());
    EXPECT_EQ(GetLe32(s.payload.data()), first + 1);

    // Odd piece sizes: the payload continues where the last piece ended.
    ASSERT_TRUE(Arm(cam.path()));
    uint8_t header[64];
    {
        DirectRead h(s.handle, header, 64);
        ASSERT_TRUE(h.Wait(1000));
    }
    std::vector<uint8_t> a(1000), b(0x80000 - 1000 + 10);
    uint32_t bytes = 0, error = 0;
    DirectRead ra(s.handle, a.data(), 1000);
    ASSERT_TRUE(ra.Wait(1000));
    ASSERT_TRUE(ra.Result(&bytes, &error));
    EXPECT_EQ(bytes, 1000u);
    DirectRead rb(s.handle, b.data(), static_cast<uint32_t>(b.size()));
    ASSERT_TRUE(rb.Wait(1000));
    ASSERT_TRUE(rb.Result(&bytes, &error));
    EXPECT_EQ(bytes, 0x80000u - 1000u);  // short read: the frame ended
    EXPECT_EQ(GetLe32(a.data()), first + 2);
    EXPECT_EQ(cam.Stats().frames_sent, 3u);

    // Each whole frame's number and finish time on the steady clock, newest first, as many as asked.
    KELVOX_SIM_FRAME_TIME t[4] = {};
    const long long now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now().time_since_epoch()).count();
    ASSERT_EQ(KelvoxSim_GetFrameTimes(cam.id(), t, 4), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(t[i].frame, first + 2 - i);
    EXPECT_LE(t[0].finished_ns, now);
    EXPECT_GE(t[0].finished_ns, t[1].finished_ns);
    EXPECT_GE(t[1].finished_ns, t[2].finished_ns);
    EXPECT_EQ(KelvoxSim_GetFrameTimes(cam.id(), t, 1), 1);
    EXPECT_EQ(t[0].frame, first + 2);
    EXPECT_EQ(KelvoxSim_GetFrameTimes(-1, t, 4), 0);
}

TEST(SimStream, ReadWithoutArmWaitsAndAbortReleasesIt) {
    AttachedCamera cam(Unpaced("ABORT"));
    Stream s(cam);
    uint8_t header[64];
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    EXPECT_FALSE(read.Wait(30));

    uint8_t ep = 0x81;
    uint32_t bytes = 0, error = 0;
    ASSERT_TRUE(ActiveDriver().IoControl(s.handle, kelvox::platform::kIoctlAbortPipe, &ep, 1, nullptr, 0, &bytes,
                                         nullptr, &error));
    ASSERT_TRUE(read.Wait(2000)) << "abort did not release the read";
    EXPECT_FALSE(read.Result(&bytes, &error));
    EXPECT_EQ(error, kErrorOperationAborted);
    EXPECT_NE(read.nt_status(), 0u);
    EXPECT_NE(read.usbd_status(), 0u);
    EXPECT_EQ(cam.Stats().pipe_aborts, 1u);
}

TEST(SimStream, ArmReleasesAPendingRead) {
    AttachedCamera cam(Unpaced("LATEARM"));
    Stream s(cam);
    uint8_t header[64] = {};
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    ASSERT_TRUE(Arm(cam.path()));
    ASSERT_TRUE(read.Wait(2000));
    uint32_t bytes = 0, error = 0;
    ASSERT_TRUE(read.Result(&bytes, &error));
    EXPECT_EQ(bytes, 64u);
    EXPECT_EQ(GetLe32(header + 16), 1920u * 1200u);
}

TEST(SimStream, PendingReadSignalFollowsTheQueue) {
    AttachedCamera cam(Unpaced("PENDING"));
    Stream s(cam);
    EXPECT_FALSE(kelvox::sim::WaitForPendingRead(cam.id(), 0));
    uint8_t header[64];
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    EXPECT_TRUE(kelvox::sim::WaitForPendingRead(cam.id(), 2000));
    ASSERT_TRUE(Arm(cam.path()));
    ASSERT_TRUE(read.Wait(2000));
    EXPECT_FALSE(kelvox::sim::WaitForPendingRead(cam.id(), 0));  // a completed read is no longer pending
    EXPECT_FALSE(kelvox::sim::WaitForPendingRead(-1, 0));
}

TEST(SimStream, StallHoldsReadsUntilAbort) {
    AttachedCamera cam(Unpaced("STALL"));
    Stream s(cam);
    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_STALL, 1), 1);
    ASSERT_TRUE(Arm(cam.path()));
    uint8_t header[64];
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    EXPECT_FALSE(read.Wait(30));  // armed, yet nothing comes
    ASSERT_TRUE(ActiveDriver().CancelIo(s.handle));
    ASSERT_TRUE(read.Wait(2000));
    uint32_t bytes = 0, error = 0;
    EXPECT_FALSE(read.Result(&bytes, &error));
    EXPECT_EQ(error, kErrorOperationAborted);
    ASSERT_TRUE(s.Next());  // the fault was for one read only
}

TEST(SimStream, DetachFailsReadInFlightAndEveryLaterRequest) {
    AttachedCamera cam(Unpaced("UNPLUG"));
    Stream s(cam);
    uint8_t header[64];
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    ASSERT_EQ(KelvoxSim_Detach(cam.id()), 1);
    ASSERT_TRUE(read.Wait(2000));
    uint32_t bytes = 0, error = 0;
    EXPECT_FALSE(read.Result(&bytes, &error));
    EXPECT_EQ(error, kErrorDeviceNotConnected);
    DirectRead after(s.handle, header, 64);
    EXPECT_FALSE(after.pending());
    EXPECT_FALSE(after.Result(&bytes, &error));
    EXPECT_EQ(error, kErrorDeviceNotConnected);
}

TEST(SimStream, HeaderAndPayloadFaultsFailTheirReads) {
    AttachedCamera cam(Unpaced("FAULTS"));
    Stream s(cam);
    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_HEADER_READ, 1), 1);
    EXPECT_FALSE(s.Next());
    ASSERT_EQ(KelvoxSim_InjectFault(cam.id(), KELVOX_SIM_FAULT_PAYLOAD_READ, 1), 1);
    EXPECT_FALSE(s.Next());
    // Recovery as a host does it: reset the pipe, then a whole frame again.
    uint8_t ep = 0x81;
    uint32_t bytes = 0, error = 0;
    ASSERT_TRUE(ActiveDriver().IoControl(s.handle, kelvox::platform::kIoctlResetPipe, &ep, 1, nullptr, 0, &bytes,
                                         nullptr, &error));
    EXPECT_TRUE(s.Next());
    EXPECT_EQ(cam.Stats().pipe_resets, 1u);
    EXPECT_EQ(cam.Stats().frames_sent, 1u);
}

TEST(SimStream, TriggerModeReleasesOneFramePerTrigger) {
    AttachedCamera cam(Unpaced("TRIG"));
    ASSERT_TRUE(WriteFpga(cam.path(), 0x30, 1));
    Stream s(cam);
    ASSERT_TRUE(Arm(cam.path()));
    uint8_t header[64] = {};
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    EXPECT_FALSE(read.Wait(30));
    ASSERT_EQ(KelvoxSim_Trigger(cam.id()), 1);
    ASSERT_TRUE(read.Wait(2000));
    EXPECT_EQ(GetLe32(header + 32), 1u);  // header word 2: the trigger count
    uint8_t count = 0;
    ASSERT_TRUE(ReadFpga(cam.path(), 0x08, &count));
    EXPECT_EQ(count, 1);
}

TEST(SimStream, SlowHostLosesFramesTheSensorFinished) {
    KELVOX_SIM_CAMERA c = Config("SLOW");
    c.stamp = 1;
    AttachedCamera cam(c);
    SetFpgaGeometry(cam.path(), 64, 64, 1);
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0217, 0x00));  // 1024-line frames: ~9.9 ms
    ASSERT_TRUE(WriteSensor(cam.path(), 0x0218, 0x04));
    Stream s(cam);
    ASSERT_TRUE(s.Next());
    const uint32_t first = GetLe32(s.payload.data());
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(s.Next());
    const uint32_t second = GetLe32(s.payload.data());
    EXPECT_GE(second - first, 4u);
    EXPECT_EQ(cam.Stats().frames_dropped, second - first - 1);
}

TEST(SimStream, BufferedTransferReturnsDataAfterTheRecord) {
    AttachedCamera cam(Unpaced("BUFFERED"));
    Stream s(cam);
    ASSERT_TRUE(Arm(cam.path()));
    std::vector<uint8_t> record(38 + 64, 0);
    record[13] = 0x81;
    record[30] = 38;
    record[34] = 64;
    auto ov = ActiveDriver().CreateOverlapped();
    uint32_t bytes = 0, error = 0;
    bool ok = ActiveDriver().IoControl(s.handle, kelvox::platform::kIoctlBufferedBulk, record.data(),
                                       static_cast<uint32_t>(record.size()), record.data(),
                                       static_cast<uint32_t>(record.size()), &bytes, ov.get(), &error);
    if (!ok && error == kelvox::platform::kErrorIoPending) {
        ASSERT_EQ(ov->Wait(2000), kelvox::platform::WaitResult::Signalled);
        ok = ActiveDriver().GetOverlappedResult(s.handle, ov.get(), &bytes, false, &error);
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(bytes, 38u + 64u);
    EXPECT_EQ(GetLe32(record.data() + 38 + 16), 1920u * 1200u);  // the frame header, after the record
    EXPECT_EQ(GetLe32(record.data() + 14), 0u);
}

TEST(SimStream, PortResetFailsPendingReadsAndForgetsTheArm) {
    AttachedCamera cam(Unpaced("PORT"));
    Stream s(cam);
    uint8_t header[64];
    DirectRead read(s.handle, header, 64);
    ASSERT_TRUE(read.pending());
    uint32_t bytes = 0, error = 0;
    uint32_t error2 = 0;
    const DeviceHandle sync = ActiveDriver().Open(cam.path().c_str(), false, &error2);
    ASSERT_NE(sync, -1);
    ASSERT_TRUE(ActiveDriver().IoControl(sync, kelvox::platform::kIoctlResetParentPort, nullptr, 0, nullptr, 0,
                                         &bytes, nullptr, &error));
    ActiveDriver().Close(sync);
    ASSERT_TRUE(read.Wait(2000));
    EXPECT_FALSE(read.Result(&bytes, &error));
    EXPECT_EQ(cam.Stats().port_resets, 1u);
    EXPECT_TRUE(s.Next());
}

TEST(SimStream, ClosingTheHandleCancelsItsReads) {
    AttachedCamera cam(Unpaced("CLOSE"));
    const DeviceHandle h = cam.OpenData();
    uint8_t header[64];
    DirectRead read(h, header, 64);
    ASSERT_TRUE(read.pending());
    ActiveDriver().Close(h);
    ASSERT_TRUE(read.Wait(2000));
    uint32_t bytes = 0, error = 0;
    EXPECT_FALSE(read.Result(&bytes, &error));
    EXPECT_EQ(error, kErrorOperationAborted);
}
