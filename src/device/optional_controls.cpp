// The optional controls, passed to the sensor where it has them.
#include "device/optional_controls.h"

namespace kelvox::device {

void OptionalControls::Bind(sensor::Sensor* sensor) {
    std::lock_guard<std::mutex> lock(lock_);
    sensor_ = sensor;
}

bool OptionalControls::IsBlackLevelSupported() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->info().black_level_supported != 0;
}

bool OptionalControls::SetBlackLevel(int32_t value) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->SetBlackLevel(value);
}

int OptionalControls::GetBlackLevel() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ ? sensor_->info().black_level_current : 0;
}

sensor::ControlRange OptionalControls::BlackLevelRange() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!sensor_) return {};
    const sensor::SensorInfo& r = sensor_->info();
    return {r.black_level_min, r.black_level_max, r.black_level_default};
}

bool OptionalControls::IsShortExposureModeSupported() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->IsShortExposureModeSupported();
}

bool OptionalControls::GetShortExposureMode(int32_t* on) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->GetShortExposureMode(on);
}

bool OptionalControls::SetShortExposureMode(bool on) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->SetShortExposureMode(on);
}

uint32_t OptionalControls::GainMode() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ ? sensor_->GainMode() : sensor::kNotReported;
}

bool OptionalControls::SetGainMode(int32_t mode) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->SetGainMode(mode);
}

bool OptionalControls::IsInternalCorrectionSupported() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->IsInternalCorrectionSupported();
}

bool OptionalControls::IsPeltierSupported() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->IsPeltierSupported();
}

int OptionalControls::GetPeltier() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ ? sensor_->GetPeltier() : 0;
}

bool OptionalControls::SetPeltier(int32_t value) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->SetPeltier(value);
}

bool OptionalControls::IsTemperatureSupported() {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->IsTemperatureSupported();
}

bool OptionalControls::GetTemperature(double* celsius) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->GetTemperature(celsius);
}

bool OptionalControls::SetSamplingRate(int32_t value) {
    std::lock_guard<std::mutex> lock(lock_);
    return sensor_ && sensor_->SetSamplingRate(value);
}

bool OptionalControls::SupportsColorMode(int bits) {
    std::lock_guard<std::mutex> lock(lock_);
    return !sensor_ || sensor_->SupportsColorMode(bits);
}

void OptionalControls::OnCaptureSetup() {
    std::lock_guard<std::mutex> lock(lock_);
    if (sensor_) sensor_->OnCaptureSetup();
}

}  // namespace kelvox::device
