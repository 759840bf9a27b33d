#include "session/session.h"

#include <cstring>

#include "platform/clock.h"
#include "platform/device_notification.h"

namespace kelvox {

Session::Session() : rate_time_base_(platform::MultimediaTime()) {
    // By default a top-level window shows the preview; without a window system there is none.
    if (ui::kHasWindowSystem) placement_ = ui::PreviewPlacement{nullptr, 0, 0, kSensorWidth, kSensorHeight};
}

// Teardown: keep the camera's settings, close the camera and let everything go.
Session::~Session() {
    const bool camera_was_open = open_camera_ >= 0;
    open_camera_ = -1;
    if (device_ && camera_was_open) SaveDialogSettings(device_->open_device_number());
    if (device_) Close();  // without a device nothing runs, and nothing is reported at release
    if (device_) device_->Close();
    device_.reset();
    for (auto& p : pictures_) p.reset();
}

int Session::Initialize(platform::WindowHandle notify_window) {
    device_.reset();
    for (auto& p : pictures_) p.reset();
    try {
        device_ = std::make_unique<device::CameraDevice>();
        for (auto& p : pictures_) p = std::make_unique<imaging::DibImage>();
    } catch (const std::bad_alloc&) {
    }
    notify_window_.store(notify_window);
    filters_ = FilterSettings::Defaults();  // until stored settings are read below
    if (notify_window &&
        !platform::RegisterDeviceInterfaceNotification(notify_window, device::CameraDevice::InterfaceClass()))
        return 0;
    for (auto& p : pictures_)
        if (!p || !device_) {
            RecordError(KELVOX_ERR_BUFFER);
            return 0;
        }
    // The mask planes: dark references, defect maps and work planes black, bright references white.
    for (int i = 0; i < kMaskPlanes; ++i) {
        imaging::DibImage& plane = *pictures_[kFirstMaskPlane + i];
        const bool wide = i == kDark16 || i == kBright16 || i == kDefect16a || i == kDefect16b || i == kWork16;
        if (!plane.Create(kSensorWidth, kSensorHeight, wide ? 16 : 8)) return 0;
        if (i == kBright8 || i == kBright16) std::memset(plane.pixels(), 255, plane.size());
    }
    LoadStreamGeometry();
    device_->SetProductId(0x3100);
    device_->CreateController(&device::CameraDevice::InterfaceClass());
    if (device_->CountDevices(0x3100) == 1) SetDeviceNumber(0);
    LoadDialogSettings(device_->open_device_number());
    LoadStreamFormat();
    return 1;
}

bool Session::NeedDevice(bool notify_only) {
    if (device_) return true;
    if (notify_only) NotifyError(KELVOX_ERR_NOT_READY);
    else RecordError(KELVOX_ERR_NOT_READY);
    return false;
}

int Session::DeviceIo(int answer) {
    if (!answer) RecordError(KELVOX_ERR_DEVICE_IO);
    return answer;
}

void Session::RecordError(int code) {
    errors_.Push(code);
    if (platform::WindowHandle w = notify_window_.load())
        platform::PostWindowMessage(w, KELVOX_WM_ERROR, 0, code);
}

void Session::NotifyError(int code) {
    platform::PostWindowMessage(notify_window_.load(), KELVOX_WM_ERROR, 0, code);
}

}  // namespace kelvox
