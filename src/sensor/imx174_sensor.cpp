#include "sensor/imx174_sensor.h"

#include "platform/clock.h"
#include "usb/fx3_protocol.h"

namespace kelvox::sensor {

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1200;
constexpr double kPreciseMin = 0.000023427;  // seconds: one line
constexpr double kPreciseMax = 0.039625;
// Exposure in microseconds = 13.73 + lines x 9.697.
constexpr double kExposureOffsetUs = 13.73;
constexpr double kLineUs = 9.697;

// Registers (16-bit numbers, 8-bit values).
constexpr uint32_t kRegMirror = 0x0216;       // bit 0: vertical mirror off, bit 1: horizontal off
constexpr uint32_t kRegFrameLength = 0x0217;  // and 0x0218: bits 11..8
constexpr uint32_t kRegStartLine = 0x029A;    // and 0x029B: bits 11..8
constexpr uint32_t kRegWindowMode = 0x0300;
constexpr uint32_t kRegStartX = 0x0301;
constexpr uint32_t kRegStartY = 0x0303;
constexpr uint32_t kRegWidth = 0x0305;
constexpr uint32_t kRegHeight = 0x0307;
constexpr uint32_t kRegGain = 0x0404;  // and 0x0405: bit 8

}  // namespace

Imx174Sensor::Imx174Sensor(usb::Controller* controller, uint8_t bus_address)
    : Sensor(controller, bus_address) {
    SensorInfo& i = info_;
    i.sensor_width = kWidth;
    i.sensor_height = kHeight;
    i.default_width = kWidth;
    i.default_height = kHeight;
    i.window_h_settable = 1;
    i.window_v_settable = 1;
    i.window_width = kWidth;
    i.window_height = kHeight;
    i.line_total = 2160;
    i.frame_total = 1254;
    i.gain_max = 480;
    i.gain_supported = 1;
    i.exposure_lines_min = 1;
    i.exposure_lines_max = 4085;
    i.exposure_lines_current = 1244;
    i.exposure_lines_default = 1244;
    i.exposure_lines_supported = 1;
    i.exposure_time_min = 1;
    i.exposure_time_max = 396;
    i.exposure_time_current = 120;
    i.exposure_time_default = 120;
    i.precise_min = kPreciseMin;
    i.precise_max = kPreciseMax;
    i.precise_current = 0.012076;
    i.precise_default = 0.012076;
    i.precise_supported = 1;
    i.mirror_v_supported = 1;
    i.mirror_h_supported = 1;
    i.pixel_clock_khz = 74250;
}

bool Imx174Sensor::WriteSensorRegister(uint32_t reg, uint32_t value) {
    if (!controller_) return false;
    platform::SleepMs(1);
    const uint8_t bytes[3] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg), static_cast<uint8_t>(value)};
    return controller_->I2cWrite(bus_address_, bytes, 3, 3000);
}

bool Imx174Sensor::ReadSensorRegister(uint32_t reg, uint32_t* value) {
    if (!controller_) return false;
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    uint8_t byte = 0;
    if (!controller_->I2cWrite(bus_address_, address, 2, 3000) || !controller_->I2cRead(bus_address_, &byte, 1, 3000))
        return false;
    if (value) *value = byte;
    return true;
}

// Writes only while the controller reports itself idle (register 2 reads 0); about a second of
// retries before giving up.
bool Imx174Sensor::WriteSensorRegisterChecked(uint32_t reg, uint32_t value) {
    if (!controller_) return false;
    const int attempts = unresponsive_.load() ? 1 : 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        uint8_t status = 0xFF;
        if (controller_->ReadFpgaRegister(usb::kFpgaStatus, &status) && status == 0 && WriteSensorRegister(reg, value)) {
            unresponsive_ = false;
            return true;
        }
        if (attempt + 1 < attempts) {
            platform::TimerResolution fine;
            platform::SleepMs(10);
        }
    }
    unresponsive_ = true;
    return false;
}

bool Imx174Sensor::InitSensor() {
    WriteSensorRegisterChecked(0x0458, 60);
    WriteSensorRegisterChecked(0x0459, 0);
    SetGlobalGain(static_cast<uint32_t>(info_.gain_default));
    SetExposureTime(static_cast<uint32_t>(info_.exposure_lines_default));
    SetMirrorH(info_.mirror_h_default != 0);
    SetMirrorV(info_.mirror_v_default != 0);
    SetWindow(info_.default_x, info_.default_width, info_.default_y, info_.default_height, 0);
    return true;
}

bool Imx174Sensor::SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    const int32_t divisor = mode == 1 ? 2 : 1;
    const int32_t window_mode = mode == 1 ? 0 : (width != kWidth ? 1 : 0) | (height != kHeight ? 2 : 0);
    const int32_t start_x = (x + 3) & ~3;
    const int32_t effective_width = (width / divisor) & ~15;
    if (start_x + effective_width > kWidth) return false;
    const int32_t start_y = (y + 3) & ~3;
    const int32_t effective_height = (height / divisor) & ~3;
    if (start_y + effective_height > kHeight) return false;

    // Starts count from the far edge: the margins that remain beyond the window.
    auto write11 = [this](uint32_t reg, int32_t v) {
        WriteSensorRegisterChecked(reg, static_cast<uint32_t>(v) & 0xFF);
        WriteSensorRegisterChecked(reg + 1, (static_cast<uint32_t>(v) >> 8) & 7);
    };
    WriteSensorRegisterChecked(kRegWindowMode, static_cast<uint32_t>(window_mode));
    write11(kRegStartX, kWidth - effective_width - start_x);
    write11(kRegStartY, kHeight - effective_height - start_y);
    write11(kRegWidth, effective_width);
    write11(kRegHeight, effective_height);

    nominal_frame_length_ = (mode == 0 && width == kWidth && height == kHeight) ? 1254 : effective_height + 37;
    SetFrameLength(nominal_frame_length_);
    line_length_ = 720;
    info_.window_x = x;
    info_.window_y = y;
    info_.window_width = width;
    info_.window_height = height;
    return true;
}

bool Imx174Sensor::GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) {
    if (x) *x = info_.window_x;
    if (width) *width = info_.window_width;
    if (y) *y = info_.window_y;
    if (height) *height = info_.window_height;
    if (mode) *mode = info_.readout_mode;
    return true;
}

bool Imx174Sensor::SetDataBits(bool sixteen) {
    info_.data_bits = sixteen ? 16 : 8;
    return SetWindow(info_.window_x, info_.window_width, info_.window_y, info_.window_height, info_.readout_mode);
}

bool Imx174Sensor::SetFrameLength(int32_t lines) {
    const bool low = WriteSensorRegisterChecked(kRegFrameLength, static_cast<uint32_t>(lines) & 0xFF);
    const bool high = WriteSensorRegisterChecked(kRegFrameLength + 1, (static_cast<uint32_t>(lines) >> 8) & 0x0F);
    if (!low || !high) return false;
    programmed_frame_length_ = lines;
    return true;
}

bool Imx174Sensor::SetExposureTime(uint32_t lines) {
    const uint32_t min = static_cast<uint32_t>(info_.exposure_lines_min);
    const uint32_t max = static_cast<uint32_t>(info_.exposure_lines_max);
    if (lines < min) lines = min;
    if (lines > max) lines = max;
    uint32_t start;
    if (static_cast<uint32_t>(nominal_frame_length_ - 10) < lines) {
        // Longer than the frame allows: stretch the frame.
        SetFrameLength(static_cast<int32_t>(lines) + 10);
        start = 10;
    } else {
        if (programmed_frame_length_ != nominal_frame_length_) SetFrameLength(nominal_frame_length_);
        start = static_cast<uint32_t>(nominal_frame_length_) - lines;
    }
    const bool low = WriteSensorRegisterChecked(kRegStartLine, start & 0xFF);
    const bool high = WriteSensorRegisterChecked(kRegStartLine + 1, (start >> 8) & 0x0F);
    if (!low || !high) return false;
    info_.exposure_lines_current = static_cast<int32_t>(lines);
    return true;
}

bool Imx174Sensor::SetGlobalGain(uint32_t steps) {
    if (steps > static_cast<uint32_t>(info_.gain_max)) steps = static_cast<uint32_t>(info_.gain_max);
    const bool low = WriteSensorRegisterChecked(kRegGain, steps & 0xFF);
    const bool high = WriteSensorRegisterChecked(kRegGain + 1, (steps >> 8) & 1);
    if (!low || !high) return false;
    info_.gain_current = static_cast<int32_t>(steps);
    return true;
}

bool Imx174Sensor::SetRealExposureTime(uint32_t units) {
    if (units < 1) units = 1;
    if (units > 396) units = 396;
    auto lines = static_cast<uint32_t>((units * 100.0 - kExposureOffsetUs) / kLineUs);
    if (lines == 0) lines = 1;
    if (!SetExposureTime(lines)) return false;
    info_.exposure_time_current = static_cast<int32_t>(units);
    info_.precise_current = units / 10000.0;
    return true;
}

bool Imx174Sensor::SetExposureTimeEx(double seconds) {
    if (!(seconds >= kPreciseMin)) seconds = kPreciseMin;  // NaN too: it would make the integer casts undefined
    if (seconds > kPreciseMax) seconds = kPreciseMax;
    const double us = static_cast<double>(static_cast<uint64_t>(seconds * 1000000.0));
    auto lines = static_cast<uint32_t>((us - kExposureOffsetUs) / kLineUs);
    if (lines == 0) lines = 1;
    if (!SetExposureTime(lines)) return false;
    info_.precise_current = seconds;
    info_.exposure_time_current = static_cast<int32_t>(seconds * 10000.0);
    return true;
}

bool Imx174Sensor::SetMirrorV(bool on) {
    const uint32_t value = (on ? 0u : 1u) | (info_.mirror_h_current ? 0u : 2u);
    if (!WriteSensorRegisterChecked(kRegMirror, value)) return false;
    info_.mirror_v_current = on ? 1 : 0;
    return true;
}

bool Imx174Sensor::SetMirrorH(bool on) {
    const uint32_t value = (on ? 0u : 2u) | (info_.mirror_v_current ? 0u : 1u);
    if (!WriteSensorRegisterChecked(kRegMirror, value)) return false;
    info_.mirror_h_current = on ? 1 : 0;
    return true;
}

}  // namespace kelvox::sensor
