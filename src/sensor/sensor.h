#pragma once
// The sensor driver interface: what the device layer asks of an image sensor. The defaults report
// "not supported" (false, or a getter that fills nothing) so a driver overrides only what its
// sensor has. Current values, ranges and supported flags are read from the driver's information
// record (info()), which every setter keeps up to date. A driver reaches the hardware only
// through the controller interface it is given.
#include <cstdint>

#include "sensor/sensor_info.h"
#include "usb/controller.h"

namespace kelvox::sensor {

enum class ColorChannel { Red, Green1, Green2, Blue };

// What GainMode and WidthFactor report when the sensor has no such setting.
constexpr uint32_t kNotReported = 0xFFFFFFFFu;

class Sensor {
public:
    Sensor(usb::Controller* controller, uint8_t bus_address);
    virtual ~Sensor();
    Sensor(const Sensor&) = delete;
    Sensor& operator=(const Sensor&) = delete;

    // ---- start-up and readout ----
    virtual bool IsSensorReady() { return false; }
    // The last step of start-up; its result is the start-up's.
    virtual bool InitSensor() { return false; }
    virtual bool SetWindow(int32_t /*x*/, int32_t /*width*/, int32_t /*y*/, int32_t /*height*/, int32_t /*mode*/) {
        return false;
    }
    virtual bool GetWindow(int32_t* /*x*/, int32_t* /*width*/, int32_t* /*y*/, int32_t* /*height*/,
                           int32_t* /*mode*/) {
        return false;
    }
    // 1 for triggered frames, 0 for free-running capture.
    virtual bool SetAcquisitionMode(int32_t /*mode*/) { return false; }
    virtual bool SetDataBits(bool /*sixteen*/) { return false; }

    // ---- exposure (lines, units of 100 us, seconds), gains and mirrors ----
    virtual bool SetExposureTime(uint32_t /*lines*/) { return false; }
    virtual bool SetRealExposureTime(uint32_t /*units*/) { return false; }
    virtual bool SetExposureTimeEx(double /*seconds*/) { return false; }
    virtual bool SetGlobalGain(uint32_t /*steps*/) { return false; }
    virtual bool SetColorGain(ColorChannel /*channel*/, int32_t /*value*/) { return false; }
    virtual bool GetColorGain(ColorChannel /*channel*/, int32_t* /*value*/) { return false; }
    virtual bool SetMirrorV(bool /*on*/) { return false; }
    virtual bool SetMirrorH(bool /*on*/) { return false; }

    // ---- optional controls ----
    virtual bool SetBlackLevel(int32_t /*value*/) { return false; }
    virtual bool IsShortExposureModeSupported() { return false; }
    virtual bool GetShortExposureMode(int32_t* /*on*/) { return false; }
    virtual bool SetShortExposureMode(bool /*on*/) { return false; }
    // High (0) or low (1) gain; kNotReported without such a setting.
    virtual uint32_t GainMode() { return kNotReported; }
    virtual bool SetGainMode(int32_t /*mode*/) { return false; }
    // 2 when the readout delivers two samples per pixel column.
    virtual uint32_t WidthFactor() { return kNotReported; }
    virtual bool IsInternalCorrectionSupported() { return false; }
    virtual bool IsPeltierSupported() { return false; }
    virtual int32_t GetPeltier() { return 0; }
    virtual bool SetPeltier(int32_t /*value*/) { return false; }
    virtual bool IsTemperatureSupported() { return false; }
    virtual bool GetTemperature(double* /*celsius*/) { return false; }
    virtual bool SetSamplingRate(int32_t /*value*/) { return false; }
    // Whether the sensor feeds an output of this many bits per pixel (8 and 32 go together, as
    // do 24, 48 and 64).
    virtual bool SupportsColorMode(int /*bits*/) { return true; }

    // ---- raw registers ----
    virtual bool WriteSensorRegister(uint32_t /*reg*/, uint32_t /*value*/) { return false; }
    virtual bool ReadSensorRegister(uint32_t /*reg*/, uint32_t* /*value*/) { return false; }

    // ---- capture notifications ----
    virtual void OnCaptureSetup() {}
    // True when the driver starts capture itself; otherwise OnCaptureStarted follows the start.
    virtual bool IsCaptureStartHandled() { return false; }
    virtual void OnCaptureStarted() {}
    virtual void OnCaptureStopped(bool /*abort*/) {}

    // ---- routines every driver shares ----
    // The controller's 16-bit word (registers 0x11:0x10), cached once read.
    uint16_t ReadControllerWord();
    // Lets the FPGA's receiver start over (register 0x6C pulsed 1, 0).
    bool PulseReceiverRestart();
    // Pulses bit 0 of controller register 130 (clear, set, clear, 50 ms apart).
    void PulseControllerReset();

    const SensorInfo& info() const { return info_; }
    usb::Controller* controller() const { return controller_; }
    uint8_t bus_address() const { return bus_address_; }

protected:
    SensorInfo info_{};
    usb::Controller* controller_;
    uint8_t bus_address_;
    uint16_t controller_word_ = 0;
    // Other camera models pulse a different receiver register.
    int32_t variant_code_ = 0;
};

}  // namespace kelvox::sensor
