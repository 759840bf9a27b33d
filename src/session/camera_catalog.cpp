// The cameras a host can choose from: their names, information and serial numbers.
#include "session/camera_catalog.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/clock.h"
#include "platform/text_convert.h"
#include "session/session.h"

namespace kelvox {

namespace {

constexpr int kNames = 10;
constexpr int kNameChars = 256;
constexpr uint16_t kSerialAddress = 0x1040;

}  // namespace

int CameraCatalog::EnumDevice(char (*names)[256]) {
    if (!s_.NeedDevice()) return 0;
    if (!names) {
        s_.RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    const int attached = s_.device_->CountDevices(0x3100);
    int listed = 0;
    for (int j = 0; j < attached && listed < kNames; ++j)
        if (s_.device_->IsDeviceAvailable(j)) {
            std::snprintf(names[listed], kNameChars, "%s_%02d", Session::kNameBase, listed + 1);
            ++listed;
        }
    for (int k = listed; k < kNames; ++k) names[k][0] = '\0';
    return listed;
}

int CameraCatalog::EnumDeviceW(wchar_t (*names)[256]) {
    if (!names) {
        s_.RecordError(s_.device_ ? KELVOX_ERR_PARAM : KELVOX_ERR_NOT_READY);
        return 0;
    }
    char narrow[kNames][kNameChars] = {};
    const int count = EnumDevice(narrow);
    for (int k = 0; k < kNames; ++k)
        if (k >= count || !platform::NarrowToWide(platform::CodePage::Ansi, narrow[k], names[k], kNameChars))
            names[k][0] = L'\0';
    return count;
}

int CameraCatalog::GetDeviceName(int index, char* name, int size) {
    if (!s_.NeedDevice()) return 0;
    if (size <= 18 || !name) {
        s_.RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    if (index < 0 || index >= s_.device_->kMaxDeviceCount || !s_.device_->IsDeviceAvailable(index)) {
        s_.RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%s_%02d", Session::kNameBase, index + 1);
    if (length + 1 > size) {  // the name with its terminator must fit; nothing is written otherwise
        s_.RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    std::memcpy(name, text, static_cast<size_t>(length) + 1);
    return 1;
}

int CameraCatalog::GetDeviceNameW(int index, wchar_t* name, int size) {
    char narrow[256];
    if (!GetDeviceName(index, narrow, sizeof narrow)) return 0;
    wchar_t wide[1024];
    const int chars = platform::NarrowToWide(platform::CodePage::ThreadAnsi, narrow, wide, 1024);
    if (chars == 0 || !name || chars > size) {
        s_.RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    std::wmemcpy(name, wide, static_cast<size_t>(chars));
    return 1;
}

int CameraCatalog::GetCameraInfo(KELVOX_CAMERA_INFO* info) {
    if (!s_.NeedDevice()) return 0;
    if (!info) {
        s_.RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    if (info->size < 36) {
        s_.RecordError(KELVOX_ERR_BUFFER);
        return 0;
    }
    info->max_width = Session::kSensorWidth;
    info->max_height = Session::kSensorHeight;
    info->gain_min = s_.device_->controls().GlobalGainRange().min;
    info->gain_max = s_.device_->controls().GlobalGainRange().max;
    info->color_gain_min = s_.device_->controls().ColorGainRange().min;
    info->color_gain_max = s_.device_->controls().ColorGainRange().max;
    info->exposure_min = s_.device_->controls().RealExposureTimeRange().min;
    info->exposure_max = s_.device_->controls().RealExposureTimeRange().max;
    if (info->size >= 56) {
        s_.device_->controls().GetExposureTimeExRange(&info->exposure_seconds_min, &info->exposure_seconds_max,
                                                      nullptr);
    }
    return 1;
}

int CameraCatalog::ReadSerialNumberA(char* text, int size) {
    if (size < 32) {
        s_.RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    if (!s_.NeedDevice()) return 0;
    char serial[32] = {};
    int read = 0;
    bool erased = false;
    for (int i = 0; i < 32; ++i) {
        uint8_t byte = 0;
        if (!s_.device_->ReadEeprom(static_cast<uint16_t>(kSerialAddress + i), &byte)) break;
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
            s_.RecordError(KELVOX_ERR_PARAM);
            return 0;
        }
        const size_t n = strnlen(serial, 31);
        std::memcpy(text, serial, n);
        text[n] = '\0';
        return 1;
    }
    return read > 0 || erased ? 1 : 0;
}

int CameraCatalog::ReadSerialNumberW(wchar_t* text, int size) {
    char narrow[1024] = {};
    if (!ReadSerialNumberA(narrow, sizeof narrow)) return 0;
    wchar_t wide[1024];
    const int chars = platform::NarrowToWide(platform::CodePage::ThreadAnsi, narrow, wide, 1024);
    if (chars == 0 || !text || chars > size) {
        s_.RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    std::wmemcpy(text, wide, static_cast<size_t>(chars));
    return 1;
}

}  // namespace kelvox
