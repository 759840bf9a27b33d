// Selecting a camera, and giving it the settings cache.
#include "session/session.h"

namespace kelvox {

int Session::SetDeviceNumber(int index) {
    if (!NeedDevice()) return 0;
    if (settings_seen_) SaveDialogSettings(open_camera_);
    settings_seen_ = true;
    if (!device_->IsDeviceAvailable(index)) {
        RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
    // The camera open already is kept, unless it was seen lost since (pulled out, or its frames
    // failed until the device gave up): then it is opened again, so the same handle goes on with
    // the camera plugged back in.
    if (index == open_camera_ && !camera_lost_.load()) return 1;
    if (!device_->Open(index)) {
        RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
    camera_lost_ = false;
    LoadDialogSettings(index);
    ApplyCameraSettings();
    open_camera_ = index;
    return 1;
}

// The cache goes to the camera in a fixed order: gains, exposure, mirrors, then the optional
// controls this camera may have.
void Session::ApplyCameraSettings() {
    device::CameraDevice& d = *device_;
    ApplyGainsAndExposure();
    d.controls().SetMirror(false, settings_.mirror_v);
    d.controls().SetMirror(true, settings_.mirror_h);
    if (d.optional().IsBlackLevelSupported()) d.optional().SetBlackLevel(settings_.black_level);
    if (d.optional().IsPeltierSupported()) {
        d.optional().SetPeltier(1);
        settings_.peltier = 1;
    }
    if (d.optional().IsShortExposureModeSupported()) {
        d.optional().SetShortExposureMode(0);
        settings_.short_exposure_mode = 0;
    }
    // The gain mode (control E) would go last; this sensor has no control E (it reports 0xFFFFFFFF).
}

// Global gain, the four colour gains and the exposure (precise where the camera has it).
void Session::ApplyGainsAndExposure() {
    device::CameraDevice& d = *device_;
    d.controls().SetGlobalGain(static_cast<uint32_t>(settings_.global_gain));
    d.controls().SetColorGain(sensor::ColorChannel::Green1, settings_.gain_green1);
    d.controls().SetColorGain(sensor::ColorChannel::Red, settings_.gain_red);
    d.controls().SetColorGain(sensor::ColorChannel::Blue, settings_.gain_blue);
    d.controls().SetColorGain(sensor::ColorChannel::Green2, settings_.gain_green2);
    if (d.controls().IsExposureTimeExSupported()) d.controls().SetExposureTimeEx(settings_.exposure_seconds);
    else d.controls().SetRealExposureTime(static_cast<uint32_t>(settings_.exposure));
}

}  // namespace kelvox
