// Exposure, gains and mirrors on the sensor, with the time-out coupling of long exposures.
#include "device/sensor_controls.h"

#include <algorithm>

#include "device/capture_engine.h"

namespace kelvox::device {

void SensorControls::Bind(sensor::Sensor* sensor) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    sensor_ = sensor;
}

sensor::SensorInfo SensorControls::Record() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    sensor::SensorInfo record{};
    if (sensor_) record = sensor_->info();
    return record;
}

// ---- exposure ----

bool SensorControls::SetRealExposureTime(uint32_t units) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    // Twice the exposure, and never less than 5 s, for each payload piece to arrive.
    capture_.set_transfer_timeout(units <= 50000 ? 5000 : units / 5);
    return sensor_->SetRealExposureTime(units);
}

int SensorControls::GetRealExposureTime() { return Record().exposure_time_current; }

sensor::ControlRange SensorControls::RealExposureTimeRange() {
    const sensor::SensorInfo r = Record();
    return {r.exposure_time_min, r.exposure_time_max, r.exposure_time_default};
}

bool SensorControls::SetExposureTime(uint32_t lines) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetExposureTime(lines);
}

int SensorControls::GetExposureTime() { return Record().exposure_lines_current; }

bool SensorControls::IsExposureTimeExSupported() { return Record().precise_supported != 0; }

bool SensorControls::SetExposureTimeEx(double seconds) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    // A long exposure lengthens the frame transfer's time-out; capped at an hour, so no request
    // (however large) can overflow it.
    if (seconds > 2.0)
        capture_.set_transfer_timeout(static_cast<uint32_t>(std::min((seconds + 1.0) * 1000.0, 3600000.0)));
    return sensor_->SetExposureTimeEx(seconds);
}

bool SensorControls::GetExposureTimeEx(double* seconds) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    if (seconds) *seconds = sensor_->info().precise_current;
    return sensor_->info().precise_supported != 0;
}

bool SensorControls::GetExposureTimeExRange(double* min, double* max, double* default_value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    const sensor::SensorInfo& r = sensor_->info();
    if (min) *min = r.precise_min;
    if (max) *max = r.precise_max;
    if (default_value) *default_value = r.precise_default;
    return r.precise_supported != 0;
}

// ---- gains ----

bool SensorControls::SetGlobalGain(uint32_t steps) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetGlobalGain(steps);
}

int SensorControls::GetGlobalGain() { return Record().gain_current; }

sensor::ControlRange SensorControls::GlobalGainRange() {
    const sensor::SensorInfo r = Record();
    return {r.gain_min, r.gain_max, r.gain_default};
}

bool SensorControls::SetColorGain(sensor::ColorChannel channel, int32_t value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return sensor_ && sensor_->SetColorGain(channel, value);
}

int SensorControls::GetColorGain(sensor::ColorChannel channel) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    int32_t value = 0;
    if (sensor_) sensor_->GetColorGain(channel, &value);
    return value;
}

sensor::ControlRange SensorControls::ColorGainRange() {
    const sensor::SensorInfo r = Record();
    return {r.color_gain_min, r.color_gain_max, r.color_gain_default};
}

// ---- mirrors ----

bool SensorControls::SetMirror(bool horizontal, bool on) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!sensor_) return false;
    return horizontal ? sensor_->SetMirrorH(on) : sensor_->SetMirrorV(on);
}

bool SensorControls::GetMirror(bool horizontal) {
    const sensor::SensorInfo r = Record();
    return (horizontal ? r.mirror_h_current : r.mirror_v_current) != 0;
}

bool SensorControls::MirrorDefault(bool horizontal) {
    const sensor::SensorInfo r = Record();
    return (horizontal ? r.mirror_h_default : r.mirror_v_default) != 0;
}

bool SensorControls::IsMirrorSupported(bool horizontal) {
    const sensor::SensorInfo r = Record();
    return (horizontal ? r.mirror_h_supported : r.mirror_v_supported) != 0;
}

}  // namespace kelvox::device
