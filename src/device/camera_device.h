#pragma once
// One camera as the session sees it: picks a camera from the device table, opens and starts it,
// owns its controller, its sensor driver, the capture engine and the controls, and offers
// the readout window, transfer depth, trigger mode, raw registers and the EEPROM.
#include <cstdint>
#include <memory>
#include <string>

#include "device/capture_engine.h"
#include "device/optional_controls.h"
#include "device/sensor_controls.h"
#include "platform/driver.h"
#include "sensor/sensor.h"
#include "usb/device_table.h"
#include "usb/fx3_controller.h"

namespace kelvox::device {

class CameraDevice {
public:
    CameraDevice();
    ~CameraDevice();  // closes
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    // ---- the device table and opening ----
    // A fresh controller; an interface class replaces the camera driver's default one.
    bool CreateController(const platform::Guid* interface_class = nullptr);
    void Close();
    // The product id this object opens cameras of (-1 until set); sets the ring size of its model.
    void SetProductId(int product_id);
    // Opens the camera with this instance number and starts it up.
    bool Open(int number);
    bool IsDeviceAvailable(int number);
    // Entries in the table (product id 0), or the openable entries of a product id.
    int CountDevices(int product_id);
    bool GetDeviceName(int index, std::string* name);
    // A copy of table entry `index`; false outside the table or without a controller.
    bool GetTableEntry(int index, usb::DeviceTableEntry* entry);
    int open_device_number() const { return open_device_number_; }
    // The interface class of the camera driver, for device-change notifications.
    static const platform::Guid& InterfaceClass() { return usb::kCameraInterfaceClass; }
    static constexpr int kMaxDeviceCount = 32;

    // ---- identity ----
    bool ReadDeviceInfo(uint8_t info[64]);
    bool GetSensorInfo(sensor::SensorInfo* info);
    const uint8_t* device_info() const { return device_info_; }

    // ---- readout ----
    // Window in sensor pixels and the readout mode (1: halved); marks the geometry changed.
    bool SetCaptureWindow(int x, int y, int width, int height, int mode);
    bool GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode);
    // 1: 16-bit samples on the wire, anything else 8-bit; re-sizes the buffers when it changes.
    bool SetTransferDepth(int mode);
    // 0: free-running, else frames on the external trigger. Stops capture.
    bool SetTriggerMode(uint32_t mode, bool force);

    // ---- raw registers and the EEPROM ----
    bool WriteSensorRegister(uint32_t reg, uint32_t value);
    bool ReadSensorRegister(uint32_t reg, uint32_t* value);
    bool WriteFpgaRegister(uint32_t reg, uint32_t value);
    // The register's value, or 0 with *ok false.
    int ReadFpgaRegister(uint32_t reg, bool* ok);
    // 16-bit registers of a device on the controller's serial bus, once the FPGA is idle.
    bool WriteBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t value);
    bool ReadBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t* value);
    // Until the FPGA's busy bit clears, at most `ms`.
    bool WaitFpgaIdle(uint32_t ms);
    bool WriteEeprom(uint16_t address, uint8_t value);
    bool ReadEeprom(uint16_t address, uint8_t* value);
    bool WriteSromId(uint8_t value);
    bool ReadSromId(uint8_t* value);

    // ---- the parts ----
    CaptureEngine& capture() { return capture_; }
    const CaptureEngine& capture() const { return capture_; }
    SensorControls& controls() { return controls_; }
    OptionalControls& optional() { return optional_; }
    usb::Fx3Controller* controller() const { return controller_.get(); }
    sensor::Sensor* sensor() const { return sensor_.get(); }

private:
    bool StartCamera();
    int IndexOfInstance(int number);

    std::unique_ptr<usb::Fx3Controller> controller_;
    std::unique_ptr<sensor::Sensor> sensor_;
    CaptureEngine capture_;
    SensorControls controls_{capture_};
    OptionalControls optional_;
    uint8_t device_info_[64] = {};
    int product_id_ = -1;
    int open_device_number_ = 0;
};

}  // namespace kelvox::device
