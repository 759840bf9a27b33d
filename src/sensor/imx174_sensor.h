#pragma once
// The driver of this camera's sensor: programs the IMX174's window, frame length, exposure, gain
// and mirroring through the controller's serial bus.
#include "sensor/sensor.h"

namespace kelvox::sensor {

class Imx174Sensor : public Sensor {
public:
    Imx174Sensor(usb::Controller* controller, uint8_t bus_address);

    int IsSensorReady() override { return 1; }
    int InitSensor() override;
    int SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) override;
    int SetAcquisitionMode(int32_t) override { return 1; }
    int Reserved11() override { return 1; }
    int SetDataBits(int32_t sixteen) override;
    int SetExposureTime(uint32_t lines) override;
    int GetExposureTime(int32_t* lines) override { return Report(lines, info_.exposure_lines_current, 1); }
    int SetGlobalGain(uint32_t steps) override;
    int GetGlobalGain(int32_t* steps) override { return Report(steps, info_.gain_current, 1); }
    int GetExposureTimeMin(int32_t* v) override { return Report(v, info_.exposure_lines_min, 1); }
    int GetExposureTimeMax(int32_t* v) override { return Report(v, info_.exposure_lines_max, 1); }
    int GetExposureTimeDefault(int32_t* v) override { return Report(v, info_.exposure_lines_default, 1); }
    int GetGlobalGainMin(int32_t* v) override { return Report(v, info_.gain_min, 1); }
    int GetGlobalGainMax(int32_t* v) override { return Report(v, info_.gain_max, 1); }
    int GetGlobalGainDefault(int32_t* v) override { return Report(v, info_.gain_default, 1); }
    int SetRealExposureTime(uint32_t units) override;
    int GetRealExposureTime(int32_t* v) override { return Report(v, info_.exposure_time_current, 1); }
    int GetRealExposureTimeMin(int32_t* v) override { return Report(v, info_.exposure_time_min, 1); }
    int GetRealExposureTimeMax(int32_t* v) override { return Report(v, info_.exposure_time_max, 1); }
    int GetRealExposureTimeDefault(int32_t* v) override { return Report(v, info_.exposure_time_default, 1); }
    int SetMirrorV(int32_t on) override;
    int GetMirrorV(int32_t* on) override { return Report(on, info_.mirror_v_current, 1); }
    int SetMirrorH(int32_t on) override;
    int GetMirrorH(int32_t* on) override { return Report(on, info_.mirror_h_current, 1); }
    int SetSamplingRate(int32_t) override { return 1; }
    int WriteSensorRegister(uint32_t reg, uint32_t value) override;
    int ReadSensorRegister(uint32_t reg, uint32_t* value) override;
    int WriteSensorRegisterChecked(uint32_t reg, uint32_t value) override;
    int SetExposureTimeEx(double seconds) override;
    int SupportsColorMode8() override { return 1; }
    int SupportsColorMode16() override { return 0; }  // the 16-bit output mode is not offered
    int SupportsColorMode24() override { return 1; }

    int32_t nominal_frame_length() const { return nominal_frame_length_; }
    int32_t programmed_frame_length() const { return programmed_frame_length_; }

private:
    int SetFrameLength(int32_t lines);

    int32_t nominal_frame_length_ = 1254;     // what the current window asks for
    int32_t programmed_frame_length_ = 1254;  // what the sensor was last given
    int32_t line_length_ = 720;               // pixel clocks: 9.697 us at 74.25 MHz
    int32_t line_length_default_ = 720;
};

}  // namespace kelvox::sensor
