// The filter values: picture settings the session holds for frame processing, and the gains,
// exposure and optional controls that go to the camera.
#include <algorithm>

#include "session/session.h"

namespace kelvox {

namespace {

using Device = device::CameraDevice;

struct Range {
    int low, high;
};

// Where a picture setting with a plain inclusive range lives; null for every other identifier.
int* HeldSetting(FilterSettings& f, int id, Range* range) {
    switch (id) {
        case KELVOX_FILTER_BRIGHTNESS: *range = {-255, 255}; return &f.brightness;
        case KELVOX_FILTER_CONTRAST: *range = {-127, 127}; return &f.contrast;
        case KELVOX_FILTER_HUE: *range = {-360, 360}; return &f.hue;
        case KELVOX_FILTER_SATURATION: *range = {-255, 255}; return &f.saturation;
        case KELVOX_FILTER_SHARPNESS: *range = {0, 30}; return &f.sharpness;
        case KELVOX_FILTER_BAYER_GAIN_RED: *range = {0, 400}; return &f.bayer_red;
        case KELVOX_FILTER_BAYER_GAIN_GREEN: *range = {0, 400}; return &f.bayer_green;
        case KELVOX_FILTER_BAYER_GAIN_BLUE: *range = {0, 400}; return &f.bayer_blue;
        case KELVOX_FILTER_GAMMA: *range = {0, 200}; return &f.gamma;
        case KELVOX_FILTER_BAYER_MODE: *range = {0, 3}; return &f.bayer_mode;
        case KELVOX_FILTER_GRAY_MODE: *range = {0, 2}; return &f.gray_mode;
        case KELVOX_FILTER_GRAY_GAIN_R:
        case KELVOX_FILTER_GRAY_GAIN_G1:
        case KELVOX_FILTER_GRAY_GAIN_G2:
        case KELVOX_FILTER_GRAY_GAIN_B:
            *range = {0, 255};
            return &f.gray_gain[static_cast<size_t>(id - KELVOX_FILTER_GRAY_GAIN_R)];
        case KELVOX_FILTER_GRAY_OFFSET_R:
        case KELVOX_FILTER_GRAY_OFFSET_G1:
        case KELVOX_FILTER_GRAY_OFFSET_G2:
        case KELVOX_FILTER_GRAY_OFFSET_B:
            *range = {-255, 255};
            return &f.gray_offset[static_cast<size_t>(id - KELVOX_FILTER_GRAY_OFFSET_R)];
        default: return nullptr;
    }
}

}  // namespace

void Session::HoldPictureSettingsInRange(FilterSettings& filters) {
    for (int id = KELVOX_FILTER_BRIGHTNESS; id <= KELVOX_FILTER_GRAY_OFFSET_B; ++id) {
        Range range;
        if (int* value = HeldSetting(filters, id, &range)) *value = std::clamp(*value, range.low, range.high);
    }
}

int Session::SetFilterValue(int id, int value) {
    if (!NeedDevice()) return 0;
    Device& d = *device_;
    auto within = [&](const sensor::ControlRange& range) {
        if (value >= range.min && value <= range.max) return true;
        RecordError(KELVOX_ERR_PARAM);
        return false;
    };
    // Written under the frame lock, so a frame in processing sees the old value or the new one,
    // never half of a packed update; the device is only called after the lock is released.
    auto hold = [&](int* field, int low, int high) {
        if (!within({low, high, 0})) return 0;
        std::lock_guard<std::mutex> lock(frame_lock_);
        *field = value;
        return 1;
    };
    auto colour_gain = [&](int CameraSettings::*cached, sensor::ColorChannel channel) {
        if (!within(d.controls().ColorGainRange())) return 0;
        {
            std::lock_guard<std::mutex> lock(frame_lock_);
            settings_.*cached = value;
        }
        d.controls().SetColorGain(channel, value);
        return 1;
    };

    Range range{};
    if (int* field = HeldSetting(filters_, id, &range)) return hold(field, range.low, range.high);
    switch (id) {
        case KELVOX_FILTER_BAYER_GAIN_RGB: {
            std::lock_guard<std::mutex> lock(frame_lock_);
            filters_.bayer_red = value & 0xFF;
            filters_.bayer_green = (value >> 8) & 0xFF;
            filters_.bayer_blue = (value >> 16) & 0xFF;
            return 1;
        }
        case KELVOX_FILTER_BAYER_GAIN_AUTO: {
            std::lock_guard<std::mutex> lock(frame_lock_);
            filters_.bayer_auto = value != 0 ? 1 : 0;
            return 1;
        }
        case KELVOX_FILTER_GRAY_CALIBRATE: return hold(&filters_.gray_calibration, 0, 1);

        case KELVOX_FILTER_GLOBAL_GAIN:
            if (!within(d.controls().GlobalGainRange())) return 0;
            {
                // The colour gains follow, so the next open or prepare step re-applies one gain.
                std::lock_guard<std::mutex> lock(frame_lock_);
                settings_.global_gain = value;
                settings_.gain_green1 = settings_.gain_red = settings_.gain_blue = settings_.gain_green2 = value;
            }
            d.controls().SetGlobalGain(static_cast<uint32_t>(value));
            return 1;
        case KELVOX_FILTER_COLOR_GAIN_RED: return colour_gain(&CameraSettings::gain_red, sensor::ColorChannel::Red);
        case KELVOX_FILTER_COLOR_GAIN_GREEN1:
            return colour_gain(&CameraSettings::gain_green1, sensor::ColorChannel::Green1);
        case KELVOX_FILTER_COLOR_GAIN_GREEN2:
            return colour_gain(&CameraSettings::gain_green2, sensor::ColorChannel::Green2);
        case KELVOX_FILTER_COLOR_GAIN_BLUE: return colour_gain(&CameraSettings::gain_blue, sensor::ColorChannel::Blue);
        case KELVOX_FILTER_EXPOSURE: {
            if (!within(d.controls().RealExposureTimeRange())) return 0;
            {
                std::lock_guard<std::mutex> lock(frame_lock_);
                settings_.exposure = value;
            }
            d.controls().SetRealExposureTime(static_cast<uint32_t>(value));
            // Prepare steps apply the seconds where the camera has them, so they must follow.
            double seconds = 0;
            if (d.controls().IsExposureTimeExSupported() && d.controls().GetExposureTimeEx(&seconds)) {
                std::lock_guard<std::mutex> lock(frame_lock_);
                settings_.exposure_seconds = seconds;
            }
            return 1;
        }

        case KELVOX_FILTER_PELTIER:
            if (d.optional().IsPeltierSupported()) return d.optional().SetPeltier(value);
            RecordError(KELVOX_ERR_UNSUPPORTED);
            return 0;
        case KELVOX_FILTER_DOT: return hold(&dot_filter_, 0, 1);
        case KELVOX_FILTER_MASK: return hold(&mask_filter_, 0, 1);
        case KELVOX_FILTER_GAIN_MODE:
            // The device's control-E setter; the stored gain mode stays what the settings say.
            return d.optional().SetGainMode(value) ? 1 : 0;
        case KELVOX_FILTER_CONTROL_D:
            if (!d.optional().IsShortExposureModeSupported()) {
                RecordError(KELVOX_ERR_UNSUPPORTED);
                return 0;
            }
            return DeviceIo(d.optional().SetShortExposureMode(value > 0 ? 1 : 0)) ? 1 : 0;
        case KELVOX_FILTER_BLACK_LEVEL:
            if (!d.optional().IsBlackLevelSupported()) {
                RecordError(KELVOX_ERR_UNSUPPORTED);
                return 0;
            }
            if (!DeviceIo(d.optional().SetBlackLevel(value))) return 0;
            {
                std::lock_guard<std::mutex> lock(frame_lock_);
                settings_.black_level = value;
            }
            RecordError(KELVOX_SUCCESS);
            return 1;
        default:  // 101 and the channel identifiers 29-36 among them
            RecordError(KELVOX_ERR_PARAM);
            return 0;
    }
}

int Session::GetFilterValue(int id, int* ok) {
    if (!device_ && ok) *ok = 0;
    if (!NeedDevice()) return 0;
    if (ok) *ok = 1;
    Device& d = *device_;

    Range range{};
    if (int* field = HeldSetting(filters_, id, &range)) {
        std::lock_guard<std::mutex> lock(frame_lock_);
        return *field;
    }
    switch (id) {
        case KELVOX_FILTER_BAYER_GAIN_RGB: {
            std::lock_guard<std::mutex> lock(frame_lock_);
            return (filters_.bayer_red & 0xFF) | (filters_.bayer_green & 0xFF) << 8 |
                   (filters_.bayer_blue & 0xFF) << 16;
        }
        case KELVOX_FILTER_BAYER_GAIN_AUTO: {
            std::lock_guard<std::mutex> lock(frame_lock_);
            return filters_.bayer_auto;
        }
        case KELVOX_FILTER_GLOBAL_GAIN: return d.controls().GetGlobalGain();
        case KELVOX_FILTER_COLOR_GAIN_RED: return d.controls().GetColorGain(sensor::ColorChannel::Red);
        case KELVOX_FILTER_COLOR_GAIN_GREEN1: return d.controls().GetColorGain(sensor::ColorChannel::Green1);
        case KELVOX_FILTER_COLOR_GAIN_GREEN2: return d.controls().GetColorGain(sensor::ColorChannel::Green2);
        case KELVOX_FILTER_COLOR_GAIN_BLUE: return d.controls().GetColorGain(sensor::ColorChannel::Blue);
        case KELVOX_FILTER_EXPOSURE: return d.controls().GetRealExposureTime();

        case KELVOX_FILTER_PELTIER:
            if (d.optional().IsPeltierSupported()) return d.optional().GetPeltier();
            RecordError(KELVOX_ERR_UNSUPPORTED);
            return -1;
        case KELVOX_FILTER_TEMPERATURE:  // read through Kelvox_GetTemperatureEx instead
            if (ok) *ok = 0;
            RecordError(KELVOX_ERR_UNSUPPORTED);
            return -1;
        case KELVOX_FILTER_DOT: {
            std::lock_guard<std::mutex> lock(frame_lock_);
            return dot_filter_;
        }
        case KELVOX_FILTER_MASK: {
            std::lock_guard<std::mutex> lock(frame_lock_);
            return mask_filter_;
        }
        case KELVOX_FILTER_GAIN_MODE: return static_cast<int>(d.optional().GainMode());
        case KELVOX_FILTER_CONTROL_D: {
            if (!d.optional().IsShortExposureModeSupported()) {
                RecordError(KELVOX_ERR_UNSUPPORTED);
                return 0;
            }
            int32_t on = 0;
            if (!DeviceIo(d.optional().GetShortExposureMode(&on))) return 0;
            RecordError(KELVOX_SUCCESS);
            return on != 0 ? 1 : 0;
        }
        case KELVOX_FILTER_BLACK_LEVEL: {
            if (!d.optional().IsBlackLevelSupported()) {
                RecordError(KELVOX_ERR_UNSUPPORTED);
                return 0;
            }
            const int level = d.optional().GetBlackLevel();
            {
                std::lock_guard<std::mutex> lock(frame_lock_);
                settings_.black_level = level;
            }
            RecordError(KELVOX_SUCCESS);
            return level;
        }
        default:  // 28 is a request, not a value; 29-36 are the channel identifiers
            if (ok) *ok = 0;
            RecordError(KELVOX_ERR_PARAM);
            return 0;
    }
}

}  // namespace kelvox
