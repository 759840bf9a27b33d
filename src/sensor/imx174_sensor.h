#pragma once
// The driver of this camera's sensor: programs the IMX174's window, frame length, exposure, gain
// and mirroring through the controller's serial bus.
#include <atomic>

#include "sensor/sensor.h"

namespace kelvox::sensor {

class Imx174Sensor : public Sensor {
public:
    Imx174Sensor(usb::Controller* controller, uint8_t bus_address);

    bool IsSensorReady() override { return true; }
    bool InitSensor() override;
    bool SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    bool GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) override;
    bool SetAcquisitionMode(int32_t) override { return true; }
    bool SetDataBits(bool sixteen) override;
    bool SetExposureTime(uint32_t lines) override;
    bool SetGlobalGain(uint32_t steps) override;
    bool SetRealExposureTime(uint32_t units) override;
    bool SetExposureTimeEx(double seconds) override;
    bool SetMirrorV(bool on) override;
    bool SetMirrorH(bool on) override;
    bool SetSamplingRate(int32_t) override { return true; }
    bool WriteSensorRegister(uint32_t reg, uint32_t value) override;
    bool ReadSensorRegister(uint32_t reg, uint32_t* value) override;
    // The 16-bit output mode is not offered.
    bool SupportsColorMode(int bits) override { return bits != 16; }

    // Writes only while the controller reports itself idle; about a second of retries, or one try
    // while the last checked write gave up (until one succeeds again).
    bool WriteSensorRegisterChecked(uint32_t reg, uint32_t value);
    int32_t nominal_frame_length() const { return nominal_frame_length_; }
    int32_t programmed_frame_length() const { return programmed_frame_length_; }

private:
    bool SetFrameLength(int32_t lines);

    int32_t nominal_frame_length_ = 1254;     // what the current window asks for
    int32_t programmed_frame_length_ = 1254;  // what the sensor was last given
    int32_t line_length_ = 720;               // pixel clocks: 9.697 us at 74.25 MHz
    // A controller that stayed busy or silent through a whole second of retries: the next checked
    // writes try once, so a sequence of them (an open, a capture start) cannot take seconds each.
    std::atomic<bool> unresponsive_{false};
};

}  // namespace kelvox::sensor
