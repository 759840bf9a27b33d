#pragma once
// The camera settings with exports of their own: exposure (in 100 us units and in seconds),
// temperature, mirrors, the automatic exposure mode and internal correction. The session's
// settings cache keeps what they set, so it survives closing and reopening the camera.
#include <cstdint>
#include <cwchar>

#include "kelvox/kelvox.h"

namespace kelvox {

class Session;

class AnalogControls {
public:
    explicit AnalogControls(Session& session) : s_(session) {}
    AnalogControls(const AnalogControls&) = delete;
    AnalogControls& operator=(const AnalogControls&) = delete;

    int SetExposureTimeEx(double seconds);
    double GetExposureTimeEx(int* ok);
    int SetRealExposureTime(int microseconds);
    int GetRealExposureTime(int* ok);
    double GetTemperatureEx(int* ok);
    int SetMirrorH(int on);
    int SetMirrorV(int on);
    int GetMirrorH();
    int GetMirrorV();
    int SetAutoIris(int mode);
    int GetAutoIris(int* ok);
    int SetInternalCorrection(int value);
    int GetInternalCorrection(int* ok);

private:
    Session& s_;
};

}  // namespace kelvox
