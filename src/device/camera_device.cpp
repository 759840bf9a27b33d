// Opening, identifying and closing a camera; the device table seen through the device object.
#include "device/camera_device.h"

#include <cstdio>

#include "platform/clock.h"
#include "sensor/imx174_sensor.h"
#include "usb/device_table.h"
#include "usb/model_table.h"

namespace kelvox::device {

namespace {
constexpr uint16_t kSromIdAddress = 0x1080;
}

CameraDevice::CameraDevice() = default;

CameraDevice::~CameraDevice() { Close(); }

int CameraDevice::CreateController(void*, const platform::Guid* interface_class) {
    Close();
    controller_ = std::make_unique<usb::Fx3Controller>(interface_class);
    return 1;
}

int CameraDevice::SetProductId(int product_id) {
    product_id_ = product_id;
    const usb::CameraModel* model = usb::FindCameraModel(product_id);
    ring_size_ = model ? model->ring_size : 4;
    read_index_ = ring_size_ - 1;
    unread_ = 0;
    return 1;
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

int CameraDevice::IsDeviceAvailable(int number) {
    if (!controller_) return 0;
    const int index = IndexOfInstance(number);
    return index >= 0 && usb::IsDeviceOpenable(index) ? 1 : 0;
}

int CameraDevice::GetDeviceName(int index, std::string* name) {
    return controller_ ? controller_->GetDeviceName(index, name) : 0;
}

int CameraDevice::GetTableVendorId(int index) {
    usb::DeviceTableEntry e;
    if (!controller_ || !usb::DeviceTable::Process().Entry(index, &e)) return 0;
    return e.vendor_id;
}

int CameraDevice::GetTableProductId(int index) {
    usb::DeviceTableEntry e;
    if (!controller_ || !usb::DeviceTable::Process().Entry(index, &e)) return 0;
    return e.product_id;
}

int CameraDevice::GetTableInstance(int index) {
    usb::DeviceTableEntry e;
    if (!controller_ || !usb::DeviceTable::Process().Entry(index, &e)) return -1;
    return e.instance;
}

int CameraDevice::Open(int number) {
    if (!controller_ || product_id_ == -1) return 0;
    if (controller_->EnumerateDevices() == 0 || !IsDeviceAvailable(number)) return 0;
    const int index = IndexOfInstance(number);
    // A capture thread must not be reading through the handle or the sensor that go now.
    StopCapture(1);
    if (index < 0 || !controller_->SelectDevice(index)) return 0;
    sensor_.reset();
    const usb::CameraModel* model = usb::FindCameraModel(product_id_);
    if (!model) return 0;
    sensor_ = std::make_unique<sensor::Imx174Sensor>(controller_.get(), model->sensor_bus_address);
    open_device_number_ = number;
    geometry_changed_ = 1;
    return InitializeCamera();
}

int CameraDevice::Reopen(int number) {
    StopCapture(1);
    return Open(number) ? 0 : -1;
}

int CameraDevice::InitializeCamera() {
    if (!controller_ || !controller_->PrepareDevice()) return 0;
    controller_->ReadDeviceInfo(device_info_);
    if (!sensor_) return 0;
    uint8_t info[64] = {};
    const bool read = controller_->ReadDeviceInfo(info);
    const unsigned firmware = info[24] | info[25] << 8;
    const int flag = info[52];
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
        if (!ready) return 0;
    } else {
        char line[96];
        std::snprintf(line, sizeof line, "Cypress=0x%X(%s), GPIO25 flag=%d(%s)", firmware, read ? "succeed" : "failed",
                      flag, read ? "succeed" : "failed");
        TraceMessage(line);
    }
    if (!sensor_->IsSensorReady()) return 0;
    return sensor_->InitSensor();
}

int CameraDevice::Close() {
    StopCapture(1);
    if (controller_) {
        controller_->CloseDataHandle();
        controller_.reset();
    }
    std::fill(std::begin(device_info_), std::end(device_info_), 0);
    transfer_buffer_.clear();
    transfer_buffer_.shrink_to_fit();
    capture_mode_ = 0;
    transfer_buffer_size_ = 0;
    ResetRing();
    frame_size_ = 0;
    sensor_.reset();
    frame_event_open_ = false;
    capture_error_ = 0;
    return 1;
}

void CameraDevice::ResetRing() {
    for (Slot& slot : ring_) {
        std::lock_guard<std::mutex> lock(slot.mutex);
        slot.pixels.clear();
        slot.pixels.shrink_to_fit();
        slot.values = FrameValues{};
    }
}

int CameraDevice::ReadDeviceInfo(uint8_t info[64]) { return controller_ ? controller_->ReadDeviceInfo(info) : 0; }

int CameraDevice::ReadFpgaInfo(uint8_t info[64]) { return controller_ ? controller_->ReadFpgaInfo(info) : 0; }

int CameraDevice::GetSensorInfo(sensor::SensorInfo* info) {
    return sensor_ && info ? sensor_->GetSensorInfo(info) : 0;
}

// ---- EEPROM and identification byte ----

int CameraDevice::WriteEeprom(uint16_t address, uint8_t value) {
    return controller_ ? controller_->WriteEeprom(address, value) : 0;
}

int CameraDevice::ReadEeprom(uint16_t address, uint8_t* value) {
    return controller_ ? controller_->ReadEeprom(address, value) : 0;
}

int CameraDevice::WriteSromId(uint8_t value) { return WriteEeprom(kSromIdAddress, value); }

int CameraDevice::ReadSromId(uint8_t* value) { return ReadEeprom(kSromIdAddress, value); }

}  // namespace kelvox::device
