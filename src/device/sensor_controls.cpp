// Exposure, gains, mirrors and the optional controls on the sensor, with the time-out coupling
// of long exposures.
#include "device/sensor_controls.h"

#include "device/capture_engine.h"

namespace kelvox::device {

namespace {

// A getter the sensor fills through an out argument: the value, 0 when it filled nothing.
template <class Fn, class... Args>
int32_t ValueOf(sensor::Sensor* s, Fn fn, Args... args) {
    int32_t v = 0;
    if (s) (s->*fn)(args..., &v);
    return v;
}

template <class Fn>
sensor::ControlRange RangeOf(sensor::Sensor* s, Fn fn) {
    sensor::ControlRange range;
    if (s) (s->*fn)(&range);
    return range;
}

}  // namespace

void SensorControls::Bind(sensor::Sensor* sensor) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    sensor_ = sensor;
}

// ---- exposure ----

bool SensorControls::SetRealExposureTime(uint32_t units) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    // Twice the exposure, and never less than 5 s, for each payload piece to arrive.
    capture_.set_transfer_timeout(units <= 50000 ? 5000 : units / 5);
    return sensor_->SetRealExposureTime(units);
}

int SensorControls::GetRealExposureTime() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return ValueOf(sensor_, &sensor::Sensor::GetRealExposureTime);
}

sensor::ControlRange SensorControls::RealExposureTimeRange() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return RangeOf(sensor_, &sensor::Sensor::GetRealExposureTimeRange);
}

bool SensorControls::SetExposureTime(uint32_t lines) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetExposureTime(lines);
}

int SensorControls::GetExposureTime() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return ValueOf(sensor_, &sensor::Sensor::GetExposureTime);
}

bool SensorControls::IsExposureTimeExSupported() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->IsExposureTimeExSupported();
}

bool SensorControls::SetExposureTimeEx(double seconds) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    if (seconds > 2.0) capture_.set_transfer_timeout(static_cast<uint32_t>((seconds + 1.0) * 1000.0));
    return sensor_->SetExposureTimeEx(seconds);
}

bool SensorControls::GetExposureTimeEx(double* seconds) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->GetExposureTimeEx(seconds);
}

bool SensorControls::GetExposureTimeExRange(double* min, double* max, double* default_value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->GetExposureTimeExRange(min, max, default_value);
}

// ---- gains ----

bool SensorControls::SetGlobalGain(uint32_t steps) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetGlobalGain(steps);
}

int SensorControls::GetGlobalGain() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return ValueOf(sensor_, &sensor::Sensor::GetGlobalGain);
}

sensor::ControlRange SensorControls::GlobalGainRange() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return RangeOf(sensor_, &sensor::Sensor::GetGlobalGainRange);
}

bool SensorControls::SetColorGain(sensor::ColorChannel channel, int32_t value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetColorGain(channel, value);
}

int SensorControls::GetColorGain(sensor::ColorChannel channel) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return ValueOf(sensor_, &sensor::Sensor::GetColorGain, channel);
}

sensor::ControlRange SensorControls::ColorGainRange() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return RangeOf(sensor_, &sensor::Sensor::GetColorGainRange);
}

// ---- mirrors ----

bool SensorControls::SetMirror(bool horizontal, bool on) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    return horizontal ? sensor_->SetMirrorH(on) : sensor_->SetMirrorV(on);
}

bool SensorControls::GetMirror(bool horizontal) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return ValueOf(sensor_, horizontal ? &sensor::Sensor::GetMirrorH : &sensor::Sensor::GetMirrorV) != 0;
}

bool SensorControls::MirrorDefault(bool horizontal) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    return (horizontal ? sensor_->info().mirror_h_default : sensor_->info().mirror_v_default) != 0;
}

bool SensorControls::IsMirrorSupported(bool horizontal) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    return (horizontal ? sensor_->info().mirror_h_supported : sensor_->info().mirror_v_supported) != 0;
}

// ---- optional controls ----

bool SensorControls::IsBlackLevelSupported() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->IsBlackLevelSupported();
}

bool SensorControls::SetBlackLevel(int32_t value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetBlackLevel(value);
}

int SensorControls::GetBlackLevel() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    int32_t value = 0;
    if (sensor_) sensor_->GetBlackLevel(&value);
    return value;
}

sensor::ControlRange SensorControls::BlackLevelRange() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    sensor::ControlRange range;
    if (sensor_) sensor_->GetBlackLevelRange(&range);
    return range;
}

bool SensorControls::IsShortExposureModeSupported() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->IsShortExposureModeSupported();
}

bool SensorControls::GetShortExposureMode(int32_t* on) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->GetShortExposureMode(on);
}

bool SensorControls::SetShortExposureMode(bool on) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetShortExposureMode(on);
}

uint32_t SensorControls::GainMode() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ ? sensor_->GainMode() : sensor::kNotReported;
}

bool SensorControls::SetGainMode(int32_t mode) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetGainMode(mode);
}

bool SensorControls::IsInternalCorrectionSupported() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->IsInternalCorrectionSupported();
}

bool SensorControls::IsPeltierSupported() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->IsPeltierSupported();
}

int SensorControls::GetPeltier() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ ? sensor_->GetPeltier() : 0;
}

bool SensorControls::SetPeltier(int32_t value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetPeltier(value);
}

bool SensorControls::IsTemperatureSupported() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->IsTemperatureSupported();
}

bool SensorControls::GetTemperature(double* celsius) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->GetTemperature(celsius);
}

bool SensorControls::SetSamplingRate(int32_t value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetSamplingRate(value);
}

bool SensorControls::SupportsColorMode(int bits) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return true;
    switch (bits) {
        case 8: case 32: return sensor_->SupportsColorMode8();
        case 16: return sensor_->SupportsColorMode16();
        default: return sensor_->SupportsColorMode24();
    }
}

void SensorControls::OnCaptureSetup() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (sensor_) sensor_->OnCaptureSetup();
}

}  // namespace kelvox::device
