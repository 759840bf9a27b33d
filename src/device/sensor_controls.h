#pragma once
// The camera's exposure, gains and mirrors, on the open camera's sensor. Host threads and the
// automatic exposure control on the frame thread change them, so the sensor's record is kept by
// one at a time. Without a sensor every setter fails and every getter gives 0.
#include <cstdint>
#include <mutex>

#include "sensor/sensor.h"

namespace kelvox::device {

class CaptureEngine;

class SensorControls {
public:
    // Long exposures lengthen the engine's transfer time-out.
    explicit SensorControls(CaptureEngine& capture) : capture_(capture) {}
    void Bind(sensor::Sensor* sensor);

    // ---- exposure: units of 100 us, sensor lines, seconds ----
    bool SetRealExposureTime(uint32_t units);
    int GetRealExposureTime();
    sensor::ControlRange RealExposureTimeRange();
    bool SetExposureTime(uint32_t lines);
    int GetExposureTime();
    bool IsExposureTimeExSupported();
    bool SetExposureTimeEx(double seconds);
    // The current seconds; false (with the value still filled) where the sensor has none.
    bool GetExposureTimeEx(double* seconds);
    bool GetExposureTimeExRange(double* min, double* max, double* default_value);

    // ---- gains ----
    bool SetGlobalGain(uint32_t steps);
    int GetGlobalGain();
    sensor::ControlRange GlobalGainRange();
    bool SetColorGain(sensor::ColorChannel channel, int32_t value);
    int GetColorGain(sensor::ColorChannel channel);
    sensor::ControlRange ColorGainRange();

    // ---- mirrors ----
    bool SetMirror(bool horizontal, bool on);
    bool GetMirror(bool horizontal);
    bool MirrorDefault(bool horizontal);
    bool IsMirrorSupported(bool horizontal);

private:
    // A copy of the sensor's record (all zero without a sensor), taken under the lock.
    sensor::SensorInfo Record();

    CaptureEngine& capture_;
    sensor::Sensor* sensor_ = nullptr;
    std::recursive_mutex lock_;
};

}  // namespace kelvox::device
