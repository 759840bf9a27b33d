// The IMX174 driver against the simulated camera's sensor registers, through the real controller.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kelvox/kelvox_sim.h"
#include "sensor/imx174_sensor.h"
#include "usb/fx3_controller.h"
#include "usb/transfer_record.h"

using kelvox::sensor::Imx174Sensor;
using kelvox::usb::Fx3Controller;

namespace {

class Imx174Test : public ::testing::Test {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "IMX");
        c.paced = 0;
        c.scene = KELVOX_SIM_SCENE_FLAT;
        c.scene_value = 1000;
        id_ = KelvoxSim_Attach(&c);
        ASSERT_GE(id_, 0);
        ASSERT_EQ(controller_.EnumerateDevices(), 1);
        ASSERT_EQ(controller_.SelectDevice(0), 1);
        ASSERT_EQ(controller_.PrepareDevice(), 1);
        // Start from a sensor that holds nothing of the driver's yet.
        ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x48, 0x0217, 0), 1);
        ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x48, 0x0218, 0), 1);
    }
    void TearDown() override { KelvoxSim_Detach(id_); }

    unsigned Reg(unsigned reg) {
        unsigned v = 0;
        EXPECT_EQ(KelvoxSim_PeekRegister(id_, 0x48, reg, &v), 1);
        return v;
    }
    unsigned Reg12(unsigned low) { return Reg(low) | (Reg(low + 1) & 0x0F) << 8; }
    unsigned FrameLength() { return Reg12(0x0217); }
    unsigned StartLine() { return Reg12(0x029A); }
    unsigned Writes() {
        KELVOX_SIM_STATS s{};
        s.size = sizeof s;
        KelvoxSim_GetStats(id_, &s);
        return s.i2c_writes;
    }

    // One frame of width x height, one byte per sample, read the way the capture engine does.
    std::vector<uint8_t> Frame(int width, int height) {
        controller_.WriteFpgaRegister(0x44, width & 0xFF);
        controller_.WriteFpgaRegister(0x45, width >> 8);
        controller_.WriteFpgaRegister(0x40, height & 0xFF);
        controller_.WriteFpgaRegister(0x41, height >> 8);
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
        kelvox::usb::FrameDescriptor frame{};
        frame.buffer = pixels.data();
        frame.capacity = static_cast<uint32_t>(pixels.size());
        EXPECT_EQ(controller_.ReadFrameHeader(&frame, 0), 1);
        EXPECT_EQ(kelvox::usb::GetLe32(frame.header + 16), pixels.size());
        EXPECT_EQ(controller_.ReadFrameData(&frame, 3000), 1);
        controller_.CloseDataHandle();
        return pixels;
    }

    int id_ = -1;
    Fx3Controller controller_;
    Imx174Sensor sensor_{&controller_, 72};
};

}  // namespace

TEST_F(Imx174Test, StartUpProgramsTheFullFrame) {
    ASSERT_EQ(sensor_.IsSensorReady(), 1);
    ASSERT_EQ(sensor_.InitSensor(), 1);
    EXPECT_EQ(Reg(0x0458), 60u);
    EXPECT_EQ(Reg(0x0459), 0u);
    EXPECT_EQ(Reg(0x0404), 0u);
    EXPECT_EQ(Reg(0x0216), 3u);  // both mirrors off
    EXPECT_EQ(Reg(0x0300), 0u);
    EXPECT_EQ(Reg12(0x0305) & 0x7FF, 1920u);
    EXPECT_EQ(Reg12(0x0307) & 0x7FF, 1200u);
    EXPECT_EQ(FrameLength(), 1254u);
    EXPECT_EQ(StartLine(), 10u);  // 1244 lines of exposure
    const auto& info = sensor_.info();
    EXPECT_EQ(info.exposure_lines_current, 1244);
    EXPECT_EQ(info.precise_max, 0.039625);
    EXPECT_EQ(info.orientation, 0);
    EXPECT_FALSE(sensor_.SupportsColorMode(16));
    EXPECT_TRUE(sensor_.SupportsColorMode(24));
    EXPECT_TRUE(sensor_.SupportsColorMode(32));
}

TEST_F(Imx174Test, ExposureLinesClampAndStretchTheFrame) {
    ASSERT_EQ(sensor_.SetExposureTime(0), 1);
    EXPECT_EQ(sensor_.info().exposure_lines_current, 1);
    EXPECT_EQ(StartLine(), 1253u);

    ASSERT_EQ(sensor_.SetExposureTime(1244), 1);
    EXPECT_EQ(StartLine(), 10u);
    ASSERT_EQ(sensor_.SetExposureTime(1245), 1);  // one more: the frame grows
    EXPECT_EQ(FrameLength(), 1255u);
    EXPECT_EQ(StartLine(), 10u);

    ASSERT_EQ(sensor_.SetExposureTime(5000), 1);
    EXPECT_EQ(sensor_.info().exposure_lines_current, 4085);
    EXPECT_EQ(FrameLength(), 4095u);
    EXPECT_EQ(StartLine(), 10u);

    // A short exposure afterwards gives the frame its nominal length back first.
    ASSERT_EQ(sensor_.SetExposureTime(100), 1);
    EXPECT_EQ(FrameLength(), 1254u);
    EXPECT_EQ(sensor_.programmed_frame_length(), 1254);
    EXPECT_EQ(StartLine(), 1154u);
}

TEST_F(Imx174Test, WindowCountsFromTheFarEdgeAndKeepsTheRequest) {
    ASSERT_EQ(sensor_.SetWindow(1, 1000, 1, 600, 0), 1);
    EXPECT_EQ(Reg(0x0300), 3u);
    EXPECT_EQ(Reg12(0x0301) & 0x7FF, 924u);  // 1920 - 992 - 4
    EXPECT_EQ(Reg12(0x0303) & 0x7FF, 596u);  // 1200 - 600 - 4
    EXPECT_EQ(Reg12(0x0305) & 0x7FF, 992u);
    EXPECT_EQ(Reg12(0x0307) & 0x7FF, 600u);
    EXPECT_EQ(FrameLength(), 637u);
    int32_t x = -1, width = -1, y = -1, height = -1, mode = -1;
    ASSERT_EQ(sensor_.GetWindow(&x, &width, &y, &height, &mode), 1);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(width, 1000);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(height, 600);
    EXPECT_EQ(mode, 0);

    ASSERT_EQ(sensor_.SetWindow(0, 1920, 0, 1200, 1), 1);  // halved readout
    EXPECT_EQ(Reg(0x0300), 0u);
    EXPECT_EQ(Reg12(0x0305) & 0x7FF, 960u);
    EXPECT_EQ(Reg12(0x0307) & 0x7FF, 600u);
    EXPECT_EQ(FrameLength(), 637u);
}

TEST_F(Imx174Test, WindowOutsideTheArrayWritesNothing) {
    const unsigned before = Writes();
    EXPECT_EQ(sensor_.SetWindow(4, 1920, 0, 1200, 0), 0);
    EXPECT_EQ(sensor_.SetWindow(0, 1920, 8, 1196, 0), 0);
    EXPECT_EQ(Writes(), before);
    EXPECT_EQ(sensor_.info().window_width, 1920);
}

TEST_F(Imx174Test, ExposureInSecondsAndHundredMicroseconds) {
    ASSERT_EQ(sensor_.SetExposureTimeEx(1.0), 1);  // clamped to 0.039625 s
    EXPECT_EQ(sensor_.info().exposure_lines_current, 4084);
    EXPECT_EQ(sensor_.info().precise_current, 0.039625);
    EXPECT_EQ(sensor_.info().exposure_time_current, 396);

    ASSERT_EQ(sensor_.SetRealExposureTime(120), 1);
    EXPECT_EQ(sensor_.info().exposure_lines_current, 1236);
    EXPECT_EQ(sensor_.info().precise_current, 0.012);
    EXPECT_EQ(StartLine(), 1254u - 1236u);

    ASSERT_EQ(sensor_.SetRealExposureTime(0), 1);  // raised to one unit
    EXPECT_EQ(sensor_.info().exposure_lines_current, 8);
    EXPECT_EQ(sensor_.info().exposure_time_current, 1);

    ASSERT_EQ(sensor_.SetExposureTimeEx(0.012076), 1);  // the default converts to 1243 lines
    EXPECT_EQ(sensor_.info().exposure_lines_current, 1243);
    EXPECT_EQ(sensor_.info().precise_current, 0.012076);
}

TEST_F(Imx174Test, GainClampsAndAFailedWriteKeepsTheOldValue) {
    ASSERT_EQ(sensor_.SetGlobalGain(1000), 1);
    EXPECT_EQ(Reg(0x0404), 480u & 0xFF);
    EXPECT_EQ(Reg(0x0405), 1u);
    EXPECT_EQ(sensor_.info().gain_current, 480);

    // A controller that stays busy through every retry of the first register.
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_FPGA_BUSY, 100), 1);
    EXPECT_EQ(sensor_.SetGlobalGain(10), 0);
    EXPECT_EQ(sensor_.info().gain_current, 480);
    EXPECT_EQ(Reg(0x0404), 480u & 0xFF);

    // Busy for a few polls only: the write waits and goes through.
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_FPGA_BUSY, 3), 1);
    EXPECT_EQ(sensor_.SetGlobalGain(10), 1);
    EXPECT_EQ(Reg(0x0404), 10u);
}

TEST_F(Imx174Test, MirrorsShareOneRegister) {
    ASSERT_EQ(sensor_.InitSensor(), 1);
    ASSERT_EQ(sensor_.SetMirrorV(1), 1);
    EXPECT_EQ(Reg(0x0216), 2u);
    ASSERT_EQ(sensor_.SetMirrorH(1), 1);
    EXPECT_EQ(Reg(0x0216), 0u);
    ASSERT_EQ(sensor_.SetMirrorV(0), 1);
    EXPECT_EQ(Reg(0x0216), 1u);
    EXPECT_EQ(sensor_.info().mirror_h_current, 1);
}

TEST_F(Imx174Test, PictureFollowsExposureGainWindowAndMirror) {
    ASSERT_EQ(sensor_.InitSensor(), 1);
    EXPECT_EQ(Frame(64, 64)[100], 1000 >> 4);
    ASSERT_EQ(sensor_.SetExposureTime(622), 1);  // half the light
    EXPECT_EQ(Frame(64, 64)[100], 500 >> 4);
    ASSERT_EQ(sensor_.SetGlobalGain(60), 1);     // 6 dB back up
    EXPECT_EQ(Frame(64, 64)[100], 998 >> 4);

    // Window and mirror need a scene with a shape: a raw one that tells position.
    std::vector<unsigned short> scene(1920 * 1200);
    for (int r = 0; r < 1200; ++r)
        for (int c = 0; c < 1920; ++c) scene[r * 1920 + c] = static_cast<unsigned short>((r * 5 + c * 3) & 0xFFF);
    ASSERT_EQ(KelvoxSim_SetRawScene(id_, scene.data(), 1920, 1200), 1);
    ASSERT_EQ(sensor_.SetGlobalGain(0), 1);
    ASSERT_EQ(sensor_.SetWindow(100, 640, 200, 480, 0), 1);
    // The window's shorter frame cut the exposure; the nominal one stretches the frame again.
    EXPECT_EQ(FrameLength(), 517u);
    ASSERT_EQ(sensor_.SetExposureTime(1244), 1);
    auto window = Frame(640, 480);
    EXPECT_EQ(window[0], scene[200 * 1920 + 100] >> 4);
    EXPECT_EQ(window[479 * 640 + 639], scene[679 * 1920 + 739] >> 4);
    ASSERT_EQ(sensor_.SetMirrorH(1), 1);
    window = Frame(640, 480);
    EXPECT_EQ(window[0], scene[200 * 1920 + 739] >> 4);
    ASSERT_EQ(sensor_.SetMirrorV(1), 1);
    window = Frame(640, 480);
    EXPECT_EQ(window[0], scene[679 * 1920 + 739] >> 4);
}

TEST_F(Imx174Test, SensorRegistersReadBackThroughTheDriver) {
    ASSERT_EQ(sensor_.WriteSensorRegister(0x3000, 0x5A), 1);
    uint32_t value = 0;
    ASSERT_EQ(sensor_.ReadSensorRegister(0x3000, &value), 1);
    EXPECT_EQ(value, 0x5Au);
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_I2C_NACK, 1), 1);
    value = 7;
    EXPECT_EQ(sensor_.ReadSensorRegister(0x3000, &value), 0);
    EXPECT_EQ(value, 7u);
}

TEST_F(Imx174Test, BaseRoutinesPulseTheController) {
    KELVOX_SIM_STATS before{};
    before.size = sizeof before;
    KelvoxSim_GetStats(id_, &before);
    ASSERT_EQ(sensor_.PulseReceiverRestart(), 1);
    KELVOX_SIM_STATS after{};
    after.size = sizeof after;
    KelvoxSim_GetStats(id_, &after);
    EXPECT_EQ(after.receiver_restarts, before.receiver_restarts + 1);

    ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x40, 130, 0xF1), 1);
    sensor_.PulseControllerReset();
    unsigned reg130 = 0;
    ASSERT_EQ(KelvoxSim_PeekRegister(id_, 0x40, 130, &reg130), 1);
    EXPECT_EQ(reg130, 0xF0u);  // ends with bit 0 cleared, other bits kept

    ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x40, 0x10, 0x10), 1);
    ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x40, 0x11, 0x01), 1);
    EXPECT_EQ(sensor_.ReadControllerWord(), 0x0110);
    ASSERT_EQ(KelvoxSim_PokeRegister(id_, 0x40, 0x10, 0x22), 1);
    EXPECT_EQ(sensor_.ReadControllerWord(), 0x0110);  // cached once read
}

TEST(Imx174WithoutController, RegisterOperationsFail) {
    Imx174Sensor sensor(nullptr, 72);
    uint32_t value = 0;
    EXPECT_EQ(sensor.WriteSensorRegister(0x0404, 1), 0);
    EXPECT_EQ(sensor.ReadSensorRegister(0x0404, &value), 0);
    EXPECT_EQ(sensor.WriteSensorRegisterChecked(0x0404, 1), 0);
    EXPECT_EQ(sensor.SetGlobalGain(5), 0);
    EXPECT_EQ(sensor.info().gain_current, 0);
    EXPECT_EQ(sensor.PulseReceiverRestart(), 0);
    EXPECT_EQ(sensor.info().sensor_width, 1920);
    EXPECT_EQ(sensor.info().pixel_clock_khz, 74250);
}
