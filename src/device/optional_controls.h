#pragma once
// The controls only some cameras have: black level, short exposure mode, gain mode, internal
// correction, Peltier cooling, temperature and sampling rate; and which output modes the sensor
// feeds. Each reports "not supported" where the open camera lacks it (the colour-mode query:
// supported, without a sensor).
#include <cstdint>
#include <mutex>

#include "sensor/sensor.h"

namespace kelvox::device {

class OptionalControls {
public:
    void Bind(sensor::Sensor* sensor);

    bool IsBlackLevelSupported();
    bool SetBlackLevel(int32_t value);
    int GetBlackLevel();
    sensor::ControlRange BlackLevelRange();
    bool IsShortExposureModeSupported();
    bool GetShortExposureMode(int32_t* on);
    bool SetShortExposureMode(bool on);
    // High (0) or low (1) gain; kNotReported without such a setting.
    uint32_t GainMode();
    bool SetGainMode(int32_t mode);
    bool IsInternalCorrectionSupported();
    bool IsPeltierSupported();
    int GetPeltier();
    bool SetPeltier(int32_t value);
    bool IsTemperatureSupported();
    bool GetTemperature(double* celsius);
    bool SetSamplingRate(int32_t value);
    bool SupportsColorMode(int bits);
    // The sensor's part of setting capture up again.
    void OnCaptureSetup();

private:
    sensor::Sensor* sensor_ = nullptr;
    std::mutex lock_;  // against a rebind while a host thread asks
};

}  // namespace kelvox::device
