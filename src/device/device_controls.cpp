// Exposure, gains, mirrors, window, transfer depth, trigger, readout speed and raw registers.
// Most go to the sensor driver; the device adds the time-out coupling, the geometry-changed mark
// and the FPGA registers of the capture path.
#include "device/camera_device.h"
#include "platform/clock.h"

namespace kelvox::device {

namespace {

// A getter the sensor fills through an out argument: the value, 0 when it filled nothing.
template <class Fn>
int32_t ValueOf(sensor::Sensor* s, Fn fn) {
    int32_t v = 0;
    if (s) (s->*fn)(&v);
    return v;
}

constexpr uint8_t kRegStatus = 0x02;
constexpr uint8_t kRegTriggerCount = 0x08;
constexpr uint8_t kRegTriggerEnable = 0x30;
constexpr uint8_t kRegDepth = 0x3C;

}  // namespace

// ---- exposure ----

int CameraDevice::SetRealExposureTime(uint32_t units) {
    if (!sensor_) return 0;
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    // Twice the exposure, and never less than 5 s, for each payload piece to arrive.
    transfer_timeout_ = units <= 50000 ? 5000 : units / 5;
    return sensor_->SetRealExposureTime(units);
}

int CameraDevice::SetExposureTimeEx(double seconds) {
    if (!sensor_) return 0;
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    if (seconds > 2.0) transfer_timeout_ = static_cast<uint32_t>((seconds + 1.0) * 1000.0);
    return sensor_->SetExposureTimeEx(seconds);
}

int CameraDevice::GetRealExposureTime() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetRealExposureTime);
}
int CameraDevice::GetRealExposureTimeMin() { return ValueOf(sensor_.get(), &Sensor::GetRealExposureTimeMin); }
int CameraDevice::GetRealExposureTimeMax() { return ValueOf(sensor_.get(), &Sensor::GetRealExposureTimeMax); }
int CameraDevice::GetRealExposureTimeDefault() { return ValueOf(sensor_.get(), &Sensor::GetRealExposureTimeDefault); }
int CameraDevice::SetExposureTime(uint32_t lines) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetExposureTime(lines) : 0;
}
int CameraDevice::GetExposureTime() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetExposureTime);
}
int CameraDevice::GetExposureTimeMin() { return ValueOf(sensor_.get(), &Sensor::GetExposureTimeMin); }
int CameraDevice::GetExposureTimeMax() { return ValueOf(sensor_.get(), &Sensor::GetExposureTimeMax); }
int CameraDevice::GetExposureTimeDefault() { return ValueOf(sensor_.get(), &Sensor::GetExposureTimeDefault); }
int CameraDevice::IsExposureTimeExSupported() { return sensor_ ? sensor_->IsExposureTimeExSupported() : 0; }
int CameraDevice::GetExposureTimeEx(double* s) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->GetExposureTimeEx(s) : 0;
}
int CameraDevice::GetExposureTimeExMin(double* s) { return sensor_ ? sensor_->GetExposureTimeExMin(s) : 0; }
int CameraDevice::GetExposureTimeExMax(double* s) { return sensor_ ? sensor_->GetExposureTimeExMax(s) : 0; }
int CameraDevice::GetExposureTimeExDefault(double* s) { return sensor_ ? sensor_->GetExposureTimeExDefault(s) : 0; }

// ---- gains ----

int CameraDevice::SetGlobalGain(uint32_t steps) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetGlobalGain(steps) : 0;
}
int CameraDevice::GetGlobalGain() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetGlobalGain);
}
int CameraDevice::GetGlobalGainMin() { return ValueOf(sensor_.get(), &Sensor::GetGlobalGainMin); }
int CameraDevice::GetGlobalGainMax() { return ValueOf(sensor_.get(), &Sensor::GetGlobalGainMax); }
int CameraDevice::GetGlobalGainDefault() { return ValueOf(sensor_.get(), &Sensor::GetGlobalGainDefault); }
int CameraDevice::SetColorGainRed(int32_t v) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetColorGainRed(v) : 0;
}
int CameraDevice::GetColorGainRed() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetColorGainRed);
}
int CameraDevice::SetColorGainGreen1(int32_t v) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetColorGainGreen1(v) : 0;
}
int CameraDevice::GetColorGainGreen1() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetColorGainGreen1);
}
int CameraDevice::SetColorGainGreen2(int32_t v) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetColorGainGreen2(v) : 0;
}
int CameraDevice::GetColorGainGreen2() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetColorGainGreen2);
}
int CameraDevice::SetColorGainBlue(int32_t v) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetColorGainBlue(v) : 0;
}
int CameraDevice::GetColorGainBlue() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetColorGainBlue);
}
int CameraDevice::GetColorGainMin() { return ValueOf(sensor_.get(), &Sensor::GetColorGainMin); }
int CameraDevice::GetColorGainMax() { return ValueOf(sensor_.get(), &Sensor::GetColorGainMax); }
int CameraDevice::GetColorGainDefault() { return ValueOf(sensor_.get(), &Sensor::GetColorGainDefault); }

// ---- mirrors ----

int CameraDevice::SetMirrorH(int on) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetMirrorH(on) : 0;
}
int CameraDevice::SetMirrorV(int on) {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return sensor_ ? sensor_->SetMirrorV(on) : 0;
}
int CameraDevice::GetMirrorH() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetMirrorH);
}
int CameraDevice::GetMirrorV() {
    std::lock_guard<std::recursive_mutex> lock(sensor_lock_);
    return ValueOf(sensor_.get(), &Sensor::GetMirrorV);
}
int CameraDevice::GetMirrorVDefault() { return sensor_ ? sensor_->GetMirrorVDefault() : 0; }
int CameraDevice::GetMirrorHDefault() { return sensor_ ? sensor_->GetMirrorHDefault() : 0; }
int CameraDevice::IsMirrorVSupported() { return sensor_ ? sensor_->IsMirrorVSupported() : 0; }
int CameraDevice::IsMirrorHSupported() { return sensor_ ? sensor_->IsMirrorHSupported() : 0; }

// ---- geometry from the sensor's record ----

int CameraDevice::IsWindowHSettable() { return sensor_ ? sensor_->info().window_h_settable : 0; }
int CameraDevice::IsWindowVSettable() { return sensor_ ? sensor_->info().window_v_settable : 0; }
int CameraDevice::GetSensorWidth() { return sensor_ ? sensor_->info().sensor_width : 0; }
int CameraDevice::GetSensorHeight() { return sensor_ ? sensor_->info().sensor_height : 0; }
int CameraDevice::GetDefaultWindowWidth() { return sensor_ ? sensor_->info().default_width : 0; }
int CameraDevice::GetDefaultWindowHeight() { return sensor_ ? sensor_->info().default_height : 0; }
int CameraDevice::GetDefaultWindowX() { return sensor_ ? sensor_->info().default_x : 0; }
int CameraDevice::GetDefaultWindowY() { return sensor_ ? sensor_->info().default_y : 0; }

// ---- readout window, depth, trigger, speed ----

int CameraDevice::SetCaptureWindow(int x, int y, int width, int height, int mode) {
    if (!sensor_) return 0;
    const sensor::SensorInfo& i = sensor_->info();
    if (x == i.window_x && y == i.window_y && width == i.window_width && height == i.window_height &&
        mode == i.readout_mode)
        return 1;
    if (!sensor_->SetWindow(x, width, y, height, mode)) return 0;
    // The sensor reports its window back; that is what the next capture is sized by.
    int32_t rx = 0, rw = 0, ry = 0, rh = 0, rm = 0;
    sensor_->GetWindow(&rx, &rw, &ry, &rh, &rm);
    geometry_changed_ = 1;
    return 1;
}

int CameraDevice::GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode) {
    if (!sensor_) return 0;
    const sensor::SensorInfo& i = sensor_->info();
    if (x) *x = i.window_x;
    if (y) *y = i.window_y;
    if (width) *width = i.window_width;
    if (height) *height = i.window_height;
    if (mode) *mode = i.readout_mode;
    return 1;
}

int CameraDevice::SetTransferDepth(int mode) {
    if (!sensor_ || !controller_) return 0;
    sensor_->SetDataBits(mode);
    if (mode != 1) {
        if (!controller_->WriteFpgaRegister(kRegDepth, 1)) return 0;
        if (mode == transfer_depth_) return 1;
        transfer_depth_ = mode;
    } else {
        if (!controller_->WriteFpgaRegister(kRegDepth, 2)) return 0;
        if (transfer_depth_ == 1) return 1;
        transfer_depth_ = 1;
    }
    return PrepareCapture();
}

int CameraDevice::SetTriggerMode(uint32_t mode, int force) {
    if (!sensor_ || !controller_) return 0;
    if (!force && mode == trigger_mode_) return 1;
    StopCapture(0);
    OpenFrameEvent();
    sensor_->SetAcquisitionMode(1);
    controller_->WriteFpgaRegister(kRegTriggerEnable, 0);
    if (mode != 0) controller_->WriteFpgaRegister(kRegTriggerEnable, 1);
    else sensor_->SetAcquisitionMode(0);
    trigger_mode_ = mode;
    return 1;
}

int CameraDevice::LatchTriggerCount() {
    uint8_t count = 0;
    if (!controller_ || !controller_->ReadFpgaRegister(kRegTriggerCount, &count)) return 0;
    last_trigger_count_ = count;
    return 1;
}

int CameraDevice::SetReadoutSpeed(int mode) {
    if (!sensor_) return 0;
    uint32_t code = 0;
    if (mode == 2 && controller_ && controller_->GetLinkSpeedSync(&code) && code != 4) mode = 0;
    (void)mode;  // no readout speed is offered by this sensor driver
    return sensor_->Hook88();
}

int CameraDevice::GetReadoutSpeed() { return sensor_ ? sensor_->Hook89() : 0; }

// ---- registers ----

int CameraDevice::WriteSensorRegister(uint32_t reg, uint32_t value) {
    return sensor_ ? sensor_->WriteSensorRegister(reg, value) : 0;
}

int CameraDevice::ReadSensorRegister(uint32_t reg, uint32_t* value) {
    return sensor_ ? sensor_->ReadSensorRegister(reg, value) : 0;
}

int CameraDevice::WriteFpgaRegister(uint32_t reg, uint32_t value) {
    return controller_ ? controller_->WriteFpgaRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(value)) : 0;
}

int CameraDevice::ReadFpgaRegister(uint32_t reg, int* ok) {
    uint8_t value = 0;
    const bool read = controller_ && controller_->ReadFpgaRegister(static_cast<uint8_t>(reg), &value);
    if (ok) *ok = read ? 1 : 0;
    return read ? value : 0;
}

int CameraDevice::WaitFpgaIdle(uint32_t ms) {
    if (!controller_) return 0;
    const uint32_t start = platform::MultimediaTime();
    while (platform::MultimediaTime() - start < ms) {
        uint8_t status = 0;
        if (!controller_->ReadFpgaRegister(kRegStatus, &status)) return 0;
        if (!(status & 0x02)) return 1;
        platform::SleepMs(1);
    }
    return 0;
}

int CameraDevice::WriteBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t value) {
    if (!controller_ || !WaitFpgaIdle(3000)) return 0;
    const uint8_t bytes[4] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return controller_->I2cWrite(static_cast<uint8_t>(bus_address * 2), bytes, 4, 3000);
}

int CameraDevice::ReadBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t* value) {
    if (!controller_ || !WaitFpgaIdle(3000)) return 0;
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    if (!controller_->I2cWrite(static_cast<uint8_t>(bus_address * 2), address, 2, 3000)) return 0;
    {
        platform::TimerResolution fine;
        platform::SleepMs(1);
    }
    uint8_t two[2] = {};
    if (!controller_->I2cRead(static_cast<uint8_t>(bus_address * 2), two, 2, 3000)) return 0;
    if (value) *value = static_cast<uint16_t>(two[0] * 256 + two[1]);
    return 1;
}

// ---- optional features and forwarders ----

int CameraDevice::SensorOperation11() { return sensor_ ? sensor_->Reserved11() : 0; }
int CameraDevice::IsControlASupported() { return sensor_ ? sensor_->IsControlASupported() : 0; }
int CameraDevice::SetControlA(int32_t v) { return sensor_ ? sensor_->SetControlA(v) : 0; }
int CameraDevice::GetControlA() { return ValueOf(sensor_.get(), &Sensor::GetControlA); }
int CameraDevice::GetControlAMin() { return ValueOf(sensor_.get(), &Sensor::GetControlAMin); }
int CameraDevice::GetControlAMax() { return ValueOf(sensor_.get(), &Sensor::GetControlAMax); }
int CameraDevice::GetControlADefault() { return ValueOf(sensor_.get(), &Sensor::GetControlADefault); }
int CameraDevice::IsControlBSupported() { return sensor_ ? sensor_->IsControlBSupported() : 0; }
int CameraDevice::SetControlB(int32_t v) { return sensor_ ? sensor_->SetControlB(v) : 0; }
int CameraDevice::GetControlB() { return ValueOf(sensor_.get(), &Sensor::GetControlB); }
int CameraDevice::IsControlCSupported() { return sensor_ ? sensor_->IsControlCSupported() : 0; }
int CameraDevice::GetControlCMin() { return ValueOf(sensor_.get(), &Sensor::GetControlCMin); }
int CameraDevice::GetControlCMax() { return ValueOf(sensor_.get(), &Sensor::GetControlCMax); }
int CameraDevice::GetControlCDefault() { return ValueOf(sensor_.get(), &Sensor::GetControlCDefault); }
int CameraDevice::IsControlDSupported() { return sensor_ ? sensor_->IsControlDSupported() : 0; }
int CameraDevice::GetControlD(int32_t* value) { return sensor_ ? sensor_->GetControlD(value) : 0; }
int CameraDevice::SetControlD(int32_t on) { return sensor_ ? sensor_->SetControlD(on) : 0; }
uint32_t CameraDevice::GetControlE() { return sensor_ ? sensor_->GetControlE() : 0xFFFFFFFFu; }
uint32_t CameraDevice::GetControlF() { return sensor_ ? sensor_->GetControlF() : 0xFFFFFFFFu; }
int CameraDevice::IsInternalCorrectionSupported() { return sensor_ ? sensor_->IsInternalCorrectionSupported() : 0; }
int CameraDevice::IsPeltierSupported() { return sensor_ ? sensor_->IsPeltierSupported() : 0; }
int CameraDevice::GetPeltier() { return sensor_ ? sensor_->GetPeltier() : 0; }
int CameraDevice::SetPeltier(int32_t v) { return sensor_ ? sensor_->SetPeltier(v) : 0; }
int CameraDevice::IsTemperatureSupported() { return sensor_ ? sensor_->IsTemperatureSupported() : 0; }
int CameraDevice::GetTemperature(double* c) { return sensor_ ? sensor_->GetTemperature(c) : 0; }
int CameraDevice::OnCaptureSetup() {
    if (sensor_) sensor_->OnCaptureSetup();
    return sensor_ ? 1 : 0;
}
int CameraDevice::OnCaptureReset() {
    if (sensor_) sensor_->OnCaptureReset();
    return sensor_ ? 1 : 0;
}
int CameraDevice::SetSamplingRate(int, int32_t value, int32_t*) { return sensor_ ? sensor_->SetSamplingRate(value) : 0; }
int CameraDevice::SupportsColorMode8() { return sensor_ ? sensor_->SupportsColorMode8() : 1; }
int CameraDevice::SupportsColorMode16() { return sensor_ ? sensor_->SupportsColorMode16() : 1; }
int CameraDevice::SupportsColorMode24() { return sensor_ ? sensor_->SupportsColorMode24() : 1; }

// The sensor's unnamed operations that the device passes through.
int CameraDevice::SensorOperation(int slot) {
    Sensor* s = sensor_.get();
    const bool one_without = slot == 140 || slot == 141;
    if (!s) return one_without ? 1 : 0;
    switch (slot) {
        case 12: return s->Hook12();
        case 13: return s->Hook13();
        case 14: return s->Hook14();
        case 37: return s->Hook37();
        case 38: return s->Hook38();
        case 39: return s->Hook39();
        case 40: return s->Hook40();
        case 41: return s->Hook41();
        case 42: return s->Hook42();
        case 43: return s->Hook43();
        case 44: return s->Hook44();
        case 45: return s->Hook45();
        case 46: return s->Hook46();
        case 61: return s->Hook61();
        case 62: return s->Hook62();
        case 63: return s->Hook63();
        case 107: return s->Hook107();
        case 108: return s->Hook108();
        case 109: return s->Hook109();
        case 112: return s->Hook112();
        case 113: return s->Hook113();
        case 114: return s->Hook114();
        case 115: return s->Hook115();
        case 116: return s->Hook116();
        case 117: return s->Hook117();
        case 118: return s->Hook118();
        case 119: return s->Hook119();
        case 129: return s->Hook129();
        case 130: return s->Hook130();
        case 131: return s->Hook131();
        case 133: return s->Hook133();
        case 134: return s->Hook134();
        case 136: return s->Hook136();
        case 140: return s->Hook140();
        case 141: return s->Hook141();
        default: return 0;
    }
}

}  // namespace kelvox::device
