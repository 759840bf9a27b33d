// The readout window, transfer depth, trigger mode and raw registers: the device's own controls,
// which also mark the capture engine's geometry and set the FPGA registers of the capture path.
#include "device/camera_device.h"
#include "platform/clock.h"
#include "usb/fx3_protocol.h"

namespace kelvox::device {

// ---- readout window, depth, trigger ----

bool CameraDevice::SetCaptureWindow(int x, int y, int width, int height, int mode) {
    if (!sensor_) return false;
    const sensor::SensorInfo& i = sensor_->info();
    if (x == i.window_x && y == i.window_y && width == i.window_width && height == i.window_height &&
        mode == i.readout_mode)
        return true;
    if (!sensor_->SetWindow(x, width, y, height, mode)) return false;
    // The sensor reports its window back; that is what the next capture is sized by.
    int32_t rx = 0, rw = 0, ry = 0, rh = 0, rm = 0;
    sensor_->GetWindow(&rx, &rw, &ry, &rh, &rm);
    capture_.MarkGeometryChanged();
    return true;
}

bool CameraDevice::GetCaptureWindow(int* x, int* y, int* width, int* height, int* mode) {
    if (!sensor_) return false;
    const sensor::SensorInfo& i = sensor_->info();
    if (x) *x = i.window_x;
    if (y) *y = i.window_y;
    if (width) *width = i.window_width;
    if (height) *height = i.window_height;
    if (mode) *mode = i.readout_mode;
    return true;
}

bool CameraDevice::SetTransferDepth(int mode) {
    if (!sensor_ || !controller_) return false;
    sensor_->SetDataBits(mode != 0);
    if (!controller_->WriteFpgaRegister(usb::kFpgaDepth, mode == 1 ? usb::kDepth16Bit : usb::kDepth8Bit)) return false;
    if (mode == capture_.transfer_depth()) return true;
    capture_.set_transfer_depth(mode);
    return capture_.Prepare();
}

bool CameraDevice::SetTriggerMode(uint32_t mode, bool force) {
    if (!sensor_ || !controller_) return false;
    if (!force && mode == capture_.trigger_mode()) return true;
    capture_.Stop(false);
    capture_.OpenFrameEvent();
    sensor_->SetAcquisitionMode(1);
    controller_->WriteFpgaRegister(usb::kFpgaTriggerEnable, 0);
    if (mode != 0) controller_->WriteFpgaRegister(usb::kFpgaTriggerEnable, 1);
    else sensor_->SetAcquisitionMode(0);
    capture_.set_trigger_mode(mode);
    return true;
}

// ---- registers ----

bool CameraDevice::WriteSensorRegister(uint32_t reg, uint32_t value) {
    return sensor_ && sensor_->WriteSensorRegister(reg, value);
}

bool CameraDevice::ReadSensorRegister(uint32_t reg, uint32_t* value) {
    return sensor_ && sensor_->ReadSensorRegister(reg, value);
}

bool CameraDevice::WriteFpgaRegister(uint32_t reg, uint32_t value) {
    return controller_ && controller_->WriteFpgaRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
}

int CameraDevice::ReadFpgaRegister(uint32_t reg, bool* ok) {
    uint8_t value = 0;
    const bool read = controller_ && controller_->ReadFpgaRegister(static_cast<uint8_t>(reg), &value);
    if (ok) *ok = read;
    return read ? value : 0;
}

bool CameraDevice::WaitFpgaIdle(uint32_t ms) {
    if (!controller_) return false;
    const uint32_t start = platform::MultimediaTime();
    while (platform::MultimediaTime() - start < ms) {
        uint8_t status = 0;
        if (!controller_->ReadFpgaRegister(usb::kFpgaStatus, &status)) return false;
        if (!(status & usb::kFpgaStatusBusy)) return true;
        platform::SleepMs(1);
    }
    return false;
}

bool CameraDevice::WriteBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t value) {
    if (!controller_ || !WaitFpgaIdle(3000)) return false;
    const uint8_t bytes[4] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return controller_->I2cWrite(static_cast<uint8_t>(bus_address * 2), bytes, 4, 3000);
}

bool CameraDevice::ReadBusRegister16(uint8_t bus_address, uint16_t reg, uint16_t* value) {
    if (!controller_ || !WaitFpgaIdle(3000)) return false;
    const uint8_t address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    if (!controller_->I2cWrite(static_cast<uint8_t>(bus_address * 2), address, 2, 3000)) return false;
    {
        platform::TimerResolution fine;
        platform::SleepMs(1);
    }
    uint8_t two[2] = {};
    if (!controller_->I2cRead(static_cast<uint8_t>(bus_address * 2), two, 2, 3000)) return false;
    if (value) *value = static_cast<uint16_t>(two[0] * 256 + two[1]);
    return true;
}

}  // namespace kelvox::device
