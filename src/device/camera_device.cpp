// Opening, identifying and closing a camera; the device table seen through the device object.
#include "device/camera_device.h"

#include "platform/clock.h"
#include "sensor/imx174_sensor.h"
#include "usb/device_table.h"
#include "usb/model_table.h"
#include "usb/fx3_protocol.h"

namespace kelvox::device {

CameraDevice::CameraDevice() = default;

CameraDevice::~CameraDevice() { Close(); }

bool CameraDevice::CreateController(const platform::Guid* interface_class) {
    Close();
    controller_ = std::make_unique<usb::Fx3Controller>(interface_class);
    return true;
}

void CameraDevice::SetProductId(int product_id) {
    product_id_ = product_id;
    const usb::CameraModel* model = usb::FindCameraModel(product_id);
    capture_.SetRingSize(model ? model->ring_size : 4);
}

int CameraDevice::CountDevices(int product_id) {
    if (!controller_) return 0;
    const int entries = controller_->EnumerateDevices();
    if (product_id == 0) return entries;
    int count = 0;
    for (int i = 0; i < entries && i < usb::kMaxDevices; ++i) {
        usb::DeviceTableEntry e;
        if (usb::DeviceTable::Process().Entry(i, &e) && e.product_id == product_id && usb::IsDeviceOpenable(i))
            ++count;
    }
    return count;
}

// The table index of the entry with this object's product id and the given instance number.
int CameraDevice::IndexOfInstance(int number) {
    for (int i = 0; i < usb::kMaxDevices; ++i) {
        usb::DeviceTableEntry e;
        if (usb::DeviceTable::Process().Entry(i, &e) && e.product_id == product_id_ && e.instance == number)
            return i;
    }
    return -1;
}

bool CameraDevice::IsDeviceAvailable(int number) {
    if (!controller_) return false;
    const int index = IndexOfInstance(number);
    return index >= 0 && usb::IsDeviceOpenable(index);
}

bool CameraDevice::GetDeviceName(int index, std::string* name) {
    return controller_ && controller_->GetDeviceName(index, name);
}

bool CameraDevice::GetTableEntry(int index, usb::DeviceTableEntry* entry) {
    return controller_ && usb::DeviceTable::Process().Entry(index, entry);
}

bool CameraDevice::Open(int number) {
    if (!controller_ || product_id_ == -1) return false;
    if (controller_->EnumerateDevices() == 0 || !IsDeviceAvailable(number)) return false;
    const int index = IndexOfInstance(number);
    // A capture thread must not be reading through the handle or the sensor that go now.
    capture_.Stop(true);
    if (index < 0 || !controller_->SelectDevice(index)) return false;
    controls_.Bind(nullptr);
    optional_.Bind(nullptr);
    capture_.Bind(controller_.get(), nullptr, device_info_);
    sensor_.reset();
    const usb::CameraModel* model = usb::FindCameraModel(product_id_);
    if (!model) return false;
    sensor_ = std::make_unique<sensor::Imx174Sensor>(controller_.get(), model->sensor_bus_address);
    controls_.Bind(sensor_.get());
    optional_.Bind(sensor_.get());
    capture_.Bind(controller_.get(), sensor_.get(), device_info_);
    open_device_number_ = number;
    return StartCamera();
}

// Prepares the controller, waits for it to be ready where its firmware says it may still boot,
// and starts the sensor.
bool CameraDevice::StartCamera() {
    if (!controller_ || !controller_->PrepareDevice()) return false;
    controller_->ReadDeviceInfo(device_info_);
    if (!sensor_) return false;
    uint8_t info[64] = {};
    const bool read = controller_->ReadDeviceInfo(info);
    const unsigned firmware = usb::GetLe16(info + usb::kInfoFirmwareVersion);
    const int flag = info[usb::kInfoReadyFlagMode];
    if (read && flag == 1 && firmware > 0x1100) {
        // The controller may still be booting: poll its ready flag, and every 25 s let the sensor
        // pulse its reset.
        bool ready = false;
        uint32_t since = platform::MultimediaTime();
        for (int round = 0; round < 400 && !ready; ++round) {
            uint8_t value = 0;
            if (controller_->ReadReadyFlag(&value) && value == 1) {
                ready = true;
                break;
            }
            platform::SleepMs(500);
            if (platform::MultimediaTime() - since > 24999) {
                sensor_->PulseControllerReset();
                since = platform::MultimediaTime();
            }
        }
        if (!ready) return false;
    }
    if (!sensor_->IsSensorReady()) return false;
    return sensor_->InitSensor();
}

void CameraDevice::Close() {
    capture_.Stop(true);
    controls_.Bind(nullptr);
    optional_.Bind(nullptr);
    capture_.Bind(nullptr, nullptr, nullptr);
    if (controller_) {
        controller_->CloseDataHandle();
        controller_.reset();
    }
    std::fill(std::begin(device_info_), std::end(device_info_), 0);
    sensor_.reset();
}

bool CameraDevice::ReadDeviceInfo(uint8_t info[64]) { return controller_ && controller_->ReadDeviceInfo(info); }

bool CameraDevice::GetSensorInfo(sensor::SensorInfo* info) {
    if (!sensor_ || !info) return false;
    *info = sensor_->info();
    return true;
}

// ---- EEPROM and identification byte ----

bool CameraDevice::WriteEeprom(uint16_t address, uint8_t value) {
    return controller_ && controller_->WriteEeprom(address, value);
}

bool CameraDevice::ReadEeprom(uint16_t address, uint8_t* value) {
    return controller_ && controller_->ReadEeprom(address, value);
}

bool CameraDevice::WriteSromId(uint8_t value) { return WriteEeprom(usb::kEepromSromId, value); }

bool CameraDevice::ReadSromId(uint8_t* value) { return ReadEeprom(usb::kEepromSromId, value); }

}  // namespace kelvox::device
