#pragma once
// The camera device object: owns the controller and the sensor driver, selects and starts a
// camera from the device table, runs the capture engine (a ring of raw frames filled by a
// time-critical thread) and offers the device-level controls. Operations keep their fixed order;
// most of them forward to the sensor driver.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/driver.h"
#include "platform/event.h"
#include "sensor/sensor.h"
#include "usb/fx3_controller.h"

namespace kelvox::device {

constexpr int kMaxRingSize = 8;

// What the capture engine keeps with each ring buffer.
struct FrameValues {
    uint32_t trigger_count = 0xFFFFFFFFu;
    std::array<uint32_t, 4> header_words{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
};

class CameraDevice {
public:
    CameraDevice();
    virtual ~CameraDevice();  // 0: runs Close
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    using Sensor = sensor::Sensor;

    // ---- camera and device table (slots 1-20) ----
    virtual int CreateController(void* notify_window, const platform::Guid* interface_class = nullptr);  // 1
    virtual int InitializeCamera();                                   // 2
    virtual int Close();                                              // 3
    virtual int ReadDeviceInfo(uint8_t info[64]);                     // 4
    virtual int GetSensorInfo(sensor::SensorInfo* info);              // 5
    virtual int ReadFpgaInfo(uint8_t info[64]);                    // 6
    virtual int Reopen(int number);                                   // 7: 0 or -1
    virtual int Open(int number);                                     // 8
    virtual int Reserved9() { return 0; }                             // 9
    virtual int IsDeviceAvailable(int number);                        // 10
    virtual int CountDevices(int product_id);                         // 11
    virtual int GetDeviceName(int index, std::string* name);          // 12
    virtual int SetProductId(int product_id);                         // 13
    virtual int GetProductId() { return product_id_; }                // 14
    virtual int GetTableVendorId(int index);                          // 15
    virtual int GetTableProductId(int index);                         // 16
    virtual int GetTableInstance(int index);                          // 17
    virtual int UsesEndpoint83() { return 0; }                        // 18
    virtual int UsesStreamProtocol() { return 0; }                    // 19
    virtual int GetOpenDeviceNumber() { return open_device_number_; } // 20

    // ---- capture engine (slots 21-40) ----
    virtual int StartCapture(int mode);                               // 21
    virtual int StopCapture(int abort);                               // 22
    virtual int CopyFrame(uint8_t* destination, uint32_t size, uint32_t* trigger_count, uint32_t* word1,
                          uint32_t* word2, uint32_t* word3, uint32_t* word4, int oldest, int top_down);  // 23
    virtual int SetCaptureMode(int mode);                             // 24
    virtual int ResetStream();                                        // 25
    virtual int CaptureLoop();                                        // 26
    virtual int PrepareCapture();                                     // 29
    virtual int GetMaxDeviceCount() { return 32; }                    // 30
    virtual int LatchTriggerCount();                                  // 31
    virtual int CaptureOnce();                                        // 32
    virtual int Reserved33() { return -1; }                           // 33
    virtual int CopyFirstFrame(uint8_t* destination, int top_down);  // 34
    virtual int SetTransferTimeout(uint32_t ms) { transfer_timeout_ = ms; return 1; }  // 35
    virtual int WaitFrame(uint32_t ms);                               // 36
    virtual int GetFrame(uint8_t* destination, int top_down);        // 37
    virtual int GetFrameStamped(uint8_t* destination, uint32_t* stamp);  // 38
    virtual int GetFrameEx(uint8_t* destination, uint32_t* trigger_count, uint32_t* word1, uint32_t* word2,
                           uint32_t* word3, uint32_t* word4, int top_down);  // 39
    virtual int Reserved40() { return 0; }                            // 40

    // ---- device-level controls (slots 41-185) ----
    virtual int SetTransferDepth(int mode);                           // 41
    virtual int SetReadoutSpeed(int mode);                            // 42
    virtual int GetReadoutSpeed();                                    // 43
    virtual int SetCaptureWindow(int x, int y, int width, int height, int mode);          // 44
    virtual int GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode);     // 45
    virtual int SetMirrorH(int on);                                   // 46
    virtual int SetMirrorV(int on);                                   // 47
    virtual int GetMirrorH();                                         // 48
    virtual int GetMirrorV();                                         // 49
    virtual int GetMirrorVDefault();                                  // 50
    virtual int GetMirrorHDefault();                                  // 51
    virtual int IsMirrorVSupported();                                 // 52
    virtual int IsMirrorHSupported();                                 // 53
    virtual int SetTriggerMode(uint32_t mode, int force);             // 54
    virtual int SensorOperation11();                                  // 55
    virtual int WriteEeprom(uint16_t address, uint8_t value);         // 56
    virtual int ReadEeprom(uint16_t address, uint8_t* value);         // 57
    virtual int IsWindowHSettable();                                  // 58
    virtual int IsWindowVSettable();                                  // 59
    virtual int GetSensorWidth();                                     // 60
    virtual int GetSensorHeight();                                    // 61
    virtual int GetDefaultWindowWidth();                              // 62
    virtual int GetDefaultWindowHeight();                             // 63
    virtual int GetDefaultWindowX();                                  // 64
    virtual int GetDefaultWindowY();                                  // 65
    virtual int SetGlobalGain(uint32_t steps);                        // 66
    virtual int GetGlobalGain();                                      // 67
    virtual int GetGlobalGainMin();                                   // 68
    virtual int GetGlobalGainMax();                                   // 69
    virtual int GetGlobalGainDefault();                               // 70
    virtual int SetRealExposureTime(uint32_t units);                  // 71
    virtual int GetRealExposureTime();                                // 72
    virtual int GetRealExposureTimeMin();                             // 73
    virtual int GetRealExposureTimeMax();                             // 74
    virtual int GetRealExposureTimeDefault();                         // 75
    virtual int SetExposureTime(uint32_t lines);                      // 76
    virtual int GetExposureTime();                                    // 77
    virtual int GetExposureTimeMin();                                 // 78
    virtual int GetExposureTimeMax();                                 // 79
    virtual int GetExposureTimeDefault();                             // 80
    virtual int IsExposureTimeExSupported();                          // 81
    virtual int SetExposureTimeEx(double seconds);                    // 82
    virtual int GetExposureTimeEx(double* seconds);                   // 83
    virtual int GetExposureTimeExMin(double* seconds);                // 84
    virtual int GetExposureTimeExMax(double* seconds);                // 85
    virtual int GetExposureTimeExDefault(double* seconds);            // 86
    virtual int SensorOperation(int slot);                            // 87-96, 149-159, 162-166, 174-178: forwarders
    virtual int SetColorGainRed(int32_t v);                           // 97
    virtual int GetColorGainRed();                                    // 98
    virtual int SetColorGainGreen1(int32_t v);                        // 99
    virtual int GetColorGainGreen1();                                 // 100
    virtual int SetColorGainGreen2(int32_t v);                        // 101
    virtual int GetColorGainGreen2();                                 // 102
    virtual int SetColorGainBlue(int32_t v);                          // 103
    virtual int GetColorGainBlue();                                   // 104
    virtual int GetColorGainMin();                                    // 105
    virtual int GetColorGainMax();                                    // 106
    virtual int GetColorGainDefault();                                // 107
    virtual int IsControlASupported();                                // 108
    virtual int SetControlA(int32_t v);                               // 109
    virtual int GetControlA();                                        // 110
    virtual int GetControlAMin();                                     // 111
    virtual int GetControlAMax();                                     // 112
    virtual int GetControlADefault();                                 // 113
    virtual int IsControlBSupported();                                // 114
    virtual int SetControlB(int32_t v);                               // 115
    virtual int GetControlB();                                        // 116
    virtual int WriteSensorRegister(uint32_t reg, uint32_t value);    // 117
    virtual int ReadSensorRegister(uint32_t reg, uint32_t* value);    // 118
    virtual int WriteFpgaRegister(uint32_t reg, uint32_t value);      // 119
    virtual int ReadFpgaRegister(uint32_t reg, int* ok);              // 120
    virtual int WriteBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t value);   // 121
    virtual int ReadBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t* value);   // 122
    virtual int WaitFpgaIdle(uint32_t ms);                            // 123
    virtual int Reserved124() { return 0; }                           // 124
    virtual int Reserved125() { return 0; }                           // 125
    virtual int OnCaptureSetup();                                     // 126
    virtual int OnCaptureReset();                                     // 127
    virtual int SetSamplingRate(int sensor_index, int32_t value, int32_t* rate);  // 128
    virtual uint32_t GetControlE();                                   // 129-131 (131)
    virtual int WriteSromId(uint8_t value);                           // 132
    virtual int ReadSromId(uint8_t* value);                           // 133
    virtual int IsInternalCorrectionSupported();                      // 134
    virtual int GetInternalCorrection() { return 0; }                 // 135
    virtual int SetInternalCorrection(int32_t) { return 0; }          // 136
    virtual int ModelGroupQuery(int) { return 0; }                    // 137-141
    virtual int ReceiveText() { return 0; }                           // 142
    virtual int SendText() { return 0; }                              // 143
    virtual int IsPeltierSupported();                                 // 144
    virtual int GetPeltier();                                         // 145
    virtual int SetPeltier(int32_t v);                                // 146
    virtual int IsTemperatureSupported();                             // 147
    virtual int GetTemperature(double* celsius);                      // 148
    virtual int GetFpgaTemperature(double*) { return 0; }            // 161
    virtual int IsControlDSupported();                                // 167
    virtual int GetControlD(int32_t* value);                          // 168
    virtual int SetControlD(int32_t on);                              // 169
    virtual int IsControlCSupported();                                // 170
    virtual int GetControlCMin();                                     // 171
    virtual int GetControlCMax();                                     // 172
    virtual int GetControlCDefault();                                 // 173
    virtual uint32_t GetControlF();                                   // 179
    virtual int SupportsColorMode8();                                 // 180
    virtual int SupportsColorMode16();                                // 181
    virtual int SupportsColorMode24();                                // 182
    virtual void TraceMessage(const char*) {}                         // 185: no log is kept

    // ---- state the session and tests look at ----
    usb::Fx3Controller* controller() const { return controller_.get(); }
    Sensor* sensor() const { return sensor_.get(); }
    uint32_t transfer_timeout() const { return transfer_timeout_; }
    int transfer_depth() const { return transfer_depth_; }
    uint32_t trigger_mode() const { return trigger_mode_; }
    int geometry_changed() const { return geometry_changed_; }
    int frame_size() const { return frame_size_; }
    int transfer_buffer_size() const { return transfer_buffer_size_; }
    int ring_size() const { return ring_size_; }
    int capture_error() const { return capture_error_.load(); }
    int running() const { return running_.load(); }
    int triggered_frame_count() const { return triggered_frames_.load(); }
    float frame_rate() const { return frame_rate_.load(); }
    double transfer_rate() const { return transfer_rate_.load(); }
    int prepare_count() const { return prepare_count_; }  // buffer (re)allocations so far
    const uint8_t* device_info() const { return device_info_; }

private:
    struct Slot {
        std::mutex mutex;  // a copy out never meets the capture thread writing the same buffer
        std::vector<uint8_t> pixels;
        FrameValues values;
    };
    int IndexOfInstance(int number);
    void StopThread(bool abort);
    void CopyOut(Slot& slot, uint8_t* destination, int top_down);
    void ResetRing();
    void FinishThread();
    // A fresh frame event, as creating one would give: not signalled.
    void OpenFrameEvent();

    std::unique_ptr<usb::Fx3Controller> controller_;
    uint8_t device_info_[64] = {};
    std::vector<uint8_t> transfer_buffer_;
    int transfer_buffer_size_ = 0;
    std::atomic<int> capture_mode_{0};
    int product_id_ = -1;
    int transfer_depth_ = 0;
    std::atomic<uint32_t> trigger_mode_{0xFFFFFFFFu};
    std::array<Slot, kMaxRingSize> ring_;
    int ring_size_ = 4;
    std::atomic<int> write_index_{0};
    std::atomic<int> read_index_{3};
    // Frames written since the last hand-over (at most a ring's worth): what WaitFrame reports.
    std::atomic<int> unread_{0};
    void MarkHandedOver(int write_index, int seen);
    int frame_size_ = 0;
    int frame_width_ = 0, frame_height_ = 0, bytes_per_pixel_ = 1;
    std::atomic<int> capture_error_{0};
    platform::Event frame_event_{platform::Event::Reset::Auto};
    std::atomic<bool> frame_event_open_{false};
    std::atomic<double> transfer_rate_{0};
    std::atomic<float> frame_rate_{0};
    int geometry_changed_ = 1;
    std::unique_ptr<Sensor> sensor_;
    std::atomic<uint32_t> last_trigger_count_{0};
    int open_device_number_ = 0;
    std::atomic<uint32_t> transfer_timeout_{5000};
    std::atomic<int> triggered_frames_{0};
    std::thread capture_thread_;
    std::atomic<int> running_{0};
    // Each object has its own: a stop waits for its own thread and nobody else's.
    platform::Event thread_end_{platform::Event::Reset::Auto};
    std::atomic<bool> thread_done_{true};
    int prepare_count_ = 0;
    // Exposure, gain and mirror settings are changed by host threads and by the automatic
    // exposure control on the frame thread; the sensor's record is kept by one at a time.
    std::recursive_mutex sensor_lock_;
};

// The frame rate of the process: one counter for all device objects.
class FrameRateCounter {
public:
    static void Count();
    static float Rate();
    static void Reset();
};

}  // namespace kelvox::device
