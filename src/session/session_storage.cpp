// The session's side of the stored settings: when each group is read and written, the size
// presets of Kelvox_SetCaptureWindow, and the configuration list.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/file.h"
#include "session/session.h"
#include "settings/camera_store.h"

namespace kelvox {

settings::FormatCapabilities Session::FormatCapabilities() const {
    settings::FormatCapabilities caps;
    if (device_) {
        caps.mono8 = device_->optional().SupportsColorMode(8) != 0;
        caps.mono16 = device_->optional().SupportsColorMode(16) != 0;
        caps.colour24 = device_->optional().SupportsColorMode(24) != 0;
    }
    return caps;
}

void Session::LoadStreamGeometry() {
    // Before any camera is open the stream settings are those of camera number 0.
    settings::LoadStreamGeometry(std::max(open_camera_, 0), FormatCapabilities(), &window_);
}

void Session::LoadStreamFormat() {
    settings::StreamFormat f{color_mode_, subsample_, wait_time_.load(), clock_};
    if (!settings::LoadStreamFormat(std::max(open_camera_, 0), FormatCapabilities(), &f)) return;
    // Stored values a setter would refuse are passed over: an unknown format index would leave the
    // session without an output picture, a negative wait time would stall the frame thread.
    if (f.color >= 0 && f.color < 6) color_mode_ = f.color;
    if (f.wait_time >= 0) wait_time_ = f.wait_time;
    subsample_ = f.subsample;
    clock_ = f.clock;
}

void Session::LoadDialogSettings(int camera) {
    camera = std::max(camera, 0);
    settings::AnalogDefaults defaults;
    if (device_) {
        device::CameraDevice& d = *device_;
        defaults.global_gain = d.controls().GlobalGainRange().default_value;
        defaults.colour_gain = d.controls().ColorGainRange().default_value;
        defaults.exposure = d.controls().RealExposureTimeRange().default_value;
        defaults.mirror_v = d.controls().MirrorDefault(false);
        defaults.mirror_h = d.controls().MirrorDefault(true);
        defaults.black_level = d.optional().BlackLevelRange().default_value;
        defaults.has_exposure_seconds =
            d.controls().IsExposureTimeExSupported() &&
            d.controls().GetExposureTimeExRange(nullptr, nullptr, &defaults.exposure_seconds);
    }
    // Read into copies, so the frame thread never waits on the registry.
    FilterSettings filters;
    CameraSettings analog;
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        filters = filters_;
        analog = settings_;
    }
    settings::LoadFilter(camera, &filters);
    settings::LoadGray(camera, &filters);
    HoldPictureSettingsInRange(filters);
    settings::LoadAnalog(camera, defaults, &analog);
    std::lock_guard<std::mutex> lock(frame_lock_);
    filters_ = filters;
    settings_ = analog;
}

void Session::SaveDialogSettings(int camera) {
    // Without an open camera there is nothing of a camera's to keep: writing then would put a
    // camera-less session's values over what a camera had stored.
    if (camera < 0) return;
    FilterSettings filters;
    CameraSettings analog;
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        filters = filters_;
        analog = settings_;
    }
    settings::SaveAnalog(camera, analog);
    settings::SaveFilter(camera, filters);
    settings::SaveGray(camera, filters);
}

int Session::SetCaptureWindow(int width, int height) {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!NeedDevice()) return 0;
    // No stored settings at all reads as no presets: the same error.
    const std::vector<CaptureWindow> presets =
        settings::ReadSizePresets(settings::CameraKey(std::max(open_camera_, 0)));
    const CaptureWindow* found = nullptr;
    for (const CaptureWindow& p : presets)
        if (p.width == width && p.height == height) {
            found = &p;
            break;
        }
    if (!found) {
        RecordError(KELVOX_ERR_WINDOW);
        return 0;
    }
    window_ = *found;
    if (!CaptureWindowValid()) {
        RecordError(KELVOX_ERR_CAPTURE_WINDOW);
        window_.total_width = window_.width = kSensorWidth;
        window_.total_height = window_.height = kSensorHeight;
        window_.x = window_.y = 0;
    }
    device_->SetCaptureWindow(window_.x, window_.y, window_.width, window_.height, subsample_);
    return 1;
}

int Session::LoadConfigFile(const char* name) {
    if (!name) return 0;
    std::vector<unsigned char> bytes;
    const platform::FileHandle file = platform::OpenFileForReading(name);
    if (file == platform::kNoFile) return 0;
    uint64_t length = 0;
    bool read = platform::FileLength(file, &length) && length <= UINT32_MAX;
    try {
        if (read) bytes.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        read = false;
    }
    read = read && (bytes.empty() || platform::ReadFromFile(file, bytes.data(), bytes.size()));
    platform::CloseFile(file);
    if (!read) return 0;
    std::vector<std::pair<int32_t, int32_t>> pairs(bytes.size() / 8);
    for (size_t i = 0; i < pairs.size(); ++i) {
        std::memcpy(&pairs[i].first, &bytes[i * 8], 4);
        std::memcpy(&pairs[i].second, &bytes[i * 8 + 4], 4);
    }
    std::lock_guard<std::mutex> lock(frame_lock_);
    config_pairs_ = std::move(pairs);
    return 1;
}

int Session::LoadConfigFileW(const wchar_t* name) {
    char narrow[kMaxFileName];
    return NarrowFileName(name, narrow) ? LoadConfigFile(narrow) : 0;
}

std::vector<std::pair<int32_t, int32_t>> Session::config_pairs() {
    std::lock_guard<std::mutex> lock(frame_lock_);
    return config_pairs_;
}

}  // namespace kelvox
