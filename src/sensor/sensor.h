#pragma once
// The sensor driver interface: 144 operations in a fixed order. The defaults report "not
// supported" (0) or do nothing, so a driver overrides only what its sensor has. A driver reaches
// the hardware only through the controller interface it is given.
#include <cstdint>

#include "sensor/sensor_info.h"
#include "usb/controller.h"

namespace kelvox::sensor {

class Sensor {
public:
    Sensor(usb::Controller* controller, uint8_t bus_address);
    virtual ~Sensor();                                                          // 0
    Sensor(const Sensor&) = delete;
    Sensor& operator=(const Sensor&) = delete;

    virtual void SetVariantCode(int32_t code) { variant_code_ = code; }              // 1
    virtual void SetConfigWord(int32_t value) { config_word_ = value; }              // 2
    virtual int32_t GetConfigWord() { return config_word_; }                         // 3
    virtual int IsSensorReady() { return 0; }                                        // 4
    virtual int InitSensor() { return 0; }                                           // 5
    virtual int PowerUpSensor() { return 0; }                                        // 6
    virtual int PrepareSensor() { return 0; }                                        // 7
    virtual int SetWindow(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) { return 0; }  // 8
    virtual int GetWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) {         // 9
        return 0;
    }
    virtual int SetAcquisitionMode(int32_t mode) { return 0; }                       // 10
    virtual int Reserved11() { return 0; }                                           // 11
    virtual int Hook12() { return 0; }                                               // 12-14
    virtual int Hook13() { return 0; }
    virtual int Hook14() { return 0; }
    virtual int SetDataBits(int32_t sixteen) { return 0; }                           // 15
    virtual int SetExposureTime(uint32_t lines) { return 0; }                        // 16
    virtual int GetExposureTime(int32_t* lines) { return 0; }                        // 17
    virtual int SetGlobalGain(uint32_t steps) { return 0; }                          // 18
    virtual int GetGlobalGain(int32_t* steps) { return 0; }                          // 19
    virtual int SetColorGainRed(int32_t value) { return 0; }                         // 20
    virtual int GetColorGainRed(int32_t* value) { return 0; }                        // 21
    virtual int SetColorGainGreen1(int32_t value) { return 0; }                      // 22
    virtual int GetColorGainGreen1(int32_t* value) { return 0; }                     // 23
    virtual int SetColorGainGreen2(int32_t value) { return 0; }                      // 24
    virtual int GetColorGainGreen2(int32_t* value) { return 0; }                     // 25
    virtual int SetColorGainBlue(int32_t value) { return 0; }                        // 26
    virtual int GetColorGainBlue(int32_t* value) { return 0; }                       // 27
    virtual int GetExposureTimeMin(int32_t* value) { return 0; }                     // 28
    virtual int GetExposureTimeMax(int32_t* value) { return 0; }                     // 29
    virtual int GetExposureTimeDefault(int32_t* value) { return 0; }                 // 30
    virtual int GetGlobalGainMin(int32_t* value) { return 0; }                       // 31
    virtual int GetGlobalGainMax(int32_t* value) { return 0; }                       // 32
    virtual int GetGlobalGainDefault(int32_t* value) { return 0; }                   // 33
    virtual int GetColorGainMin(int32_t* value) { return 0; }                        // 34
    virtual int GetColorGainMax(int32_t* value) { return 0; }                        // 35
    virtual int GetColorGainDefault(int32_t* value) { return 0; }                    // 36
    virtual int Hook37() { return 0; }                                               // 37-46
    virtual int Hook38() { return 0; }
    virtual int Hook39() { return 0; }
    virtual int Hook40() { return 0; }
    virtual int Hook41() { return 0; }
    virtual int Hook42() { return 0; }
    virtual int Hook43() { return 0; }
    virtual int Hook44() { return 0; }
    virtual int Hook45() { return 0; }
    virtual int Hook46() { return 0; }
    virtual int IsControlASupported() { return info_.control_a_supported; }          // 47
    virtual int SetControlA(int32_t value) { return 0; }                             // 48
    virtual int GetControlA(int32_t* value) { return Report(value, info_.control_a_current, info_.control_a_supported); }  // 49
    virtual int GetControlAMin(int32_t* value) { return Report(value, info_.control_a_min, info_.control_a_supported); }   // 50
    virtual int GetControlAMax(int32_t* value) { return Report(value, info_.control_a_max, info_.control_a_supported); }   // 51
    virtual int GetControlADefault(int32_t* value) {                                 // 52
        return Report(value, info_.control_a_default, info_.control_a_supported);
    }
    virtual int IsControlBSupported() { return info_.control_b_supported; }          // 53
    virtual int SetControlB(int32_t value) { return 0; }                             // 54
    virtual int GetControlB(int32_t* value) { return Report(value, info_.control_b_value, info_.control_b_supported); }  // 55
    virtual int IsControlCSupported() { return info_.control_c_supported; }          // 56
    virtual int GetControlCMin(int32_t* value) { return Report(value, info_.control_c_min, info_.control_c_supported); }   // 57
    virtual int GetControlCMax(int32_t* value) { return Report(value, info_.control_c_max, info_.control_c_supported); }   // 58
    virtual int GetControlCDefault(int32_t* value) {                                 // 59
        return Report(value, info_.control_c_default, info_.control_c_supported);
    }
    virtual int GetControlC(int32_t* value) { return Report(value, info_.control_c_current, info_.control_c_supported); }  // 60
    virtual int Hook61() { return 0; }                                               // 61-63
    virtual int Hook62() { return 0; }
    virtual int Hook63() { return 0; }
    virtual int SetRealExposureTime(uint32_t units) { return 0; }                    // 64
    virtual int GetRealExposureTime(int32_t* units) { return 0; }                    // 65
    virtual int GetRealExposureTimeMin(int32_t* units) { return 0; }                 // 66
    virtual int GetRealExposureTimeMax(int32_t* units) { return 0; }                 // 67
    virtual int GetRealExposureTimeDefault(int32_t* units) { return 0; }             // 68
    virtual int SetMirrorV(int32_t on) { return 0; }                                 // 69
    virtual int GetMirrorV(int32_t* on) { return 0; }                                // 70
    virtual int SetMirrorH(int32_t on) { return 0; }                                 // 71
    virtual int GetMirrorH(int32_t* on) { return 0; }                                // 72
    virtual int GetMirrorVDefault() { return info_.mirror_v_default; }               // 73
    virtual int GetMirrorHDefault() { return info_.mirror_h_default; }               // 74
    virtual int IsMirrorVSupported() { return info_.mirror_v_supported; }            // 75
    virtual int IsMirrorHSupported() { return info_.mirror_h_supported; }            // 76
    virtual int SetSamplingRate(int32_t value) { return 0; }                         // 77
    virtual int WriteSensorRegister(uint32_t reg, uint32_t value) { return 0; }      // 78
    virtual int ReadSensorRegister(uint32_t reg, uint32_t* value) { return 0; }      // 79
    virtual int WriteSensorRegisterChecked(uint32_t reg, uint32_t value) { return 0; }  // 80
    virtual int Reserved81() { return 0; }                                           // 81-87
    virtual int Reserved82() { return 0; }
    virtual int Reserved83() { return 0; }
    virtual int Reserved84() { return 0; }
    virtual int Reserved85() { return 0; }
    virtual int Reserved86() { return 0; }
    virtual int Reserved87() { return 0; }
    virtual int Hook88() { return 0; }                                               // 88-89
    virtual int Hook89() { return 0; }
    virtual int Reserved90() { return 0; }                                           // 90-91
    virtual int Reserved91() { return 0; }
    virtual int GetSensorInfo(SensorInfo* out);                                      // 92
    virtual void OnCaptureSetup() {}                                                 // 93
    virtual void OnCaptureReset() {}                                                 // 94
    virtual int IsInternalCorrectionSupported() { return 0; }                        // 95
    virtual int SetInternalCorrection(int32_t value) { return 0; }                   // 96
    virtual int GetInternalCorrection() { return 0; }                                // 97
    virtual int IsPeltierSupported() { return 0; }                                   // 98
    virtual int GetPeltier() { return 0; }                                           // 99
    virtual int SetPeltier(int32_t value) { return 0; }                              // 100
    virtual int IsTemperatureSupported() { return 0; }                               // 101
    virtual int GetTemperature(double* celsius) { return 0; }                        // 102
    virtual void OnCaptureStarted() {}                                               // 103
    virtual void OnCaptureStopped(int32_t abort) {}                                  // 104
    virtual int IsCaptureStartHandled() { return 0; }                                // 105
    virtual int Hook106() { return 0; }                                              // 106-119
    virtual int Hook107() { return 0; }
    virtual int Hook108() { return 0; }
    virtual int Hook109() { return 0; }
    virtual int Hook110() { return 0; }
    virtual int Hook111() { return 0; }
    virtual int Hook112() { return 0; }
    virtual int Hook113() { return 0; }
    virtual int Hook114() { return 0; }
    virtual int Hook115() { return 0; }
    virtual int Hook116() { return 0; }
    virtual int Hook117() { return 0; }
    virtual int Hook118() { return 0; }
    virtual int Hook119() { return 0; }
    virtual int IsExposureTimeExSupported() { return info_.precise_supported; }      // 120
    virtual int GetExposureTimeExMin(double* s) { return Report(s, info_.precise_min, info_.precise_supported); }  // 121
    virtual int GetExposureTimeExMax(double* s) { return Report(s, info_.precise_max, info_.precise_supported); }  // 122
    virtual int GetExposureTimeExDefault(double* s) {                                // 123
        return Report(s, info_.precise_default, info_.precise_supported);
    }
    virtual int GetExposureTimeEx(double* s) { return Report(s, info_.precise_current, info_.precise_supported); }  // 124
    virtual int SetExposureTimeEx(double seconds) { return 0; }                      // 125
    virtual int IsControlDSupported() { return 0; }                                  // 126
    virtual int GetControlD(int32_t* value) { return 0; }                            // 127
    virtual int SetControlD(int32_t on) { return 0; }                                // 128
    virtual int Hook129() { return 0; }                                              // 129-131
    virtual int Hook130() { return 0; }
    virtual int Hook131() { return 0; }
    virtual uint32_t GetControlE() { return 0xFFFFFFFFu; }                           // 132
    virtual int Hook133() { return 0; }                                              // 133-134
    virtual int Hook134() { return 0; }
    virtual uint32_t GetControlF() { return 0xFFFFFFFFu; }                           // 135
    virtual int Hook136() { return 0; }                                              // 136
    virtual int SupportsColorMode8() { return 1; }                                   // 137
    virtual int SupportsColorMode16() { return 1; }                                  // 138
    virtual int SupportsColorMode24() { return 1; }                                  // 139
    virtual int Hook140() { return 0; }                                              // 140-143
    virtual int Hook141() { return 0; }
    virtual int Hook142() { return 0; }
    virtual int Hook143() { return 0; }

    // ---- routines every driver shares ----
    // The controller's 16-bit word (registers 0x11:0x10), cached once read.
    uint16_t ReadControllerWord();
    // Lets the FPGA's receiver start over (register 0x6C pulsed 1, 0); 1 at once while gated off.
    int PulseReceiverRestart();
    // Pulses bit 0 of controller register 130 (clear, set, clear, 50 ms apart).
    void PulseControllerReset();
    // Controller write with read-back, up to 10 attempts.
    int WriteControllerVerified(uint8_t reg, uint8_t value);

    const SensorInfo& info() const { return info_; }
    usb::Controller* controller() const { return controller_; }
    uint8_t bus_address() const { return bus_address_; }
    int32_t variant_code() const { return variant_code_; }

protected:
    template <class T, class V>
    static int Report(T* out, V value, int32_t supported) {
        if (out) *out = static_cast<T>(value);
        return supported;
    }

    SensorInfo info_{};
    usb::Controller* controller_;
    uint8_t bus_address_;
    int32_t config_word_ = 15;
    uint16_t controller_word_ = 0;
    int32_t variant_code_ = 0;
    int32_t receiver_restart_gate_ = 1;
    int32_t further_words_[2] = {300, 1};
};

}  // namespace kelvox::sensor
