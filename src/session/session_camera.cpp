// Enumerating and selecting cameras, their names, information and serial number.
#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/text_convert.h"
#include "session/session.h"

namespace kelvox {

namespace {

constexpr int kNames = 10;
constexpr int kNameChars = 256;
constexpr uint16_t kSerialAddress = 0x1040;

}  // namespace

int Session::EnumDevice(char (*names)[256]) {
    if (!NeedDevice()) return 0;
    if (!names) {
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    const int attached = device_->CountDevices(0x3100);
    int listed = 0;
    for (int j = 0; j < attached && listed < kNames; ++j)
        if (device_->IsDeviceAvailable(j)) {
            std::snprintf(names[listed], kNameChars, "%s_%02d", kNameBase, listed + 1);
            ++listed;
        }
    for (int k = listed; k < kNames; ++k) names[k][0] = '\0';
    return listed;
}

int Session::EnumDeviceW(wchar_t (*names)[256]) {
    if (!names) {
        RecordError(device_ ? KELVOX_ERR_PARAM : KELVOX_ERR_NOT_READY);
        return 0;
    }
    char narrow[kNames][kNameChars] = {};
    const int count = EnumDevice(narrow);
    for (int k = 0; k < kNames; ++k)
        if (k >= count || !platform::NarrowToWide(platform::CodePage::Ansi, narrow[k], names[k], kNameChars))
            names[k][0] = L'\0';
    return count;
}

int Session::GetDeviceName(int index, char* name, int size) {
    if (!NeedDevice()) return 0;
    if (size <= 18 || !name) {
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    if (index < 0 || index >= device_->kMaxDeviceCount || !device_->IsDeviceAvailable(index)) {
        RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%s_%02d", kNameBase, index + 1);
    if (length + 1 > size) {  // the name with its terminator must fit; nothing is written otherwise
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    std::memcpy(name, text, static_cast<size_t>(length) + 1);
    return 1;
}

int Session::GetDeviceNameW(int index, wchar_t* name, int size) {
    char narrow[256];
    if (!GetDeviceName(index, narrow, sizeof narrow)) return 0;
    wchar_t wide[1024];
    const int chars = platform::NarrowToWide(platform::CodePage::ThreadAnsi, narrow, wide, 1024);
    if (chars == 0 || !name || chars > size) {
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    std::wmemcpy(name, wide, static_cast<size_t>(chars));
    return 1;
}

int Session::SetDeviceNumber(int index) {
    if (!NeedDevice()) return 0;
    if (settings_seen_) SaveDialogSettings(open_camera_);
    settings_seen_ = true;
    if (!device_->IsDeviceAvailable(index)) {
        RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
    if (index == open_camera_) return 1;
    if (!device_->Open(index)) {
        RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
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
    if (d.controls().IsBlackLevelSupported()) d.controls().SetBlackLevel(settings_.black_level);
    if (d.controls().IsPeltierSupported()) {
        d.controls().SetPeltier(1);
        settings_.peltier = 1;
    }
    if (d.controls().IsShortExposureModeSupported()) {
        d.controls().SetShortExposureMode(0);
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

int Session::GetCameraInfo(KELVOX_CAMERA_INFO* info) {
    if (!NeedDevice()) return 0;
    if (!info) {
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    if (info->size < 36) {
        RecordError(KELVOX_ERR_BUFFER);
        return 0;
    }
    info->max_width = kSensorWidth;
    info->max_height = kSensorHeight;
    info->gain_min = device_->controls().GlobalGainRange().min;
    info->gain_max = device_->controls().GlobalGainRange().max;
    info->color_gain_min = device_->controls().ColorGainRange().min;
    info->color_gain_max = device_->controls().ColorGainRange().max;
    info->exposure_min = device_->controls().RealExposureTimeRange().min;
    info->exposure_max = device_->controls().RealExposureTimeRange().max;
    if (info->size >= 56) {
        device_->controls().GetExposureTimeExRange(&info->exposure_seconds_min, &info->exposure_seconds_max, nullptr);
    }
    return 1;
}

int Session::ReadSerialNumberA(char* text, int size) {
    if (size < 32) {
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    if (!NeedDevice()) return 0;
    char serial[32] = {};
    int read = 0;
    bool erased = false;
    for (int i = 0; i < 32; ++i) {
        uint8_t byte = 0;
        if (!device_->ReadEeprom(static_cast<uint16_t>(kSerialAddress + i), &byte)) break;
        ++read;
        if (byte == 0xFF) {
            erased = i == 0;
            break;
        }
        serial[i] = static_cast<char>(byte);
        platform::SleepMs(10);
    }
    if (serial[0] != '\0') {
        if (!text) {
            RecordError(KELVOX_ERR_PARAM);
            return 0;
        }
        const size_t n = strnlen(serial, 31);
        std::memcpy(text, serial, n);
        text[n] = '\0';
        return 1;
    }
    return read > 0 || erased ? 1 : 0;
}

int Session::ReadSerialNumberW(wchar_t* text, int size) {
    char narrow[1024] = {};
    if (!ReadSerialNumberA(narrow, sizeof narrow)) return 0;
    wchar_t wide[1024];
    const int chars = platform::NarrowToWide(platform::CodePage::ThreadAnsi, narrow, wide, 1024);
    if (chars == 0 || !text || chars > size) {
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    std::wmemcpy(text, wide, static_cast<size_t>(chars));
    return 1;
}

}  // namespace kelvox
