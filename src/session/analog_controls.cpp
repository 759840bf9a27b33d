// The camera settings with exports of their own: exposure (in 100 us units and in seconds),
// temperature, mirrors, the automatic exposure mode and internal correction. The session's
// settings cache keeps what they set, so it survives closing and reopening the camera.
#include "session/analog_controls.h"

#include <cmath>

#include "session/session.h"

namespace kelvox {

int AnalogControls::SetExposureTimeEx(double seconds) {
    if (!s_.NeedDevice()) return 0;
    if (!s_.device_->controls().IsExposureTimeExSupported()) {
        s_.RecordError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    }
    if (!s_.device_->controls().SetExposureTimeEx(seconds)) return 0;
    std::lock_guard<std::mutex> lock(s_.frame_lock_);  // automatic exposure writes these on the frame thread
    s_.settings_.exposure_seconds = seconds;
    // Whole seconds only, the fraction dropped before scaling to 100 us (NaN and values out of the
    // int range are held at its edges rather than converted undefinedly).
    const double whole = std::isnan(seconds) ? 0.0 : std::trunc(seconds);
    s_.settings_.exposure = static_cast<int>(std::fmax(std::fmin(whole, 214748.0), -214748.0)) * 10000;
    return 1;
}

double AnalogControls::GetExposureTimeEx(int* ok) {
    double value = -1.0;
    int read = 0;
    if (!s_.device_) {
        s_.RecordError(KELVOX_ERR_NOT_READY);
    } else if (!s_.device_->controls().IsExposureTimeExSupported()) {
        s_.RecordError(KELVOX_ERR_UNSUPPORTED);
    } else {
        double seconds = 0;
        if (s_.device_->controls().GetExposureTimeEx(&seconds)) {
            value = seconds;
            std::lock_guard<std::mutex> lock(s_.frame_lock_);
            s_.settings_.exposure_seconds = seconds;
            read = 1;
        }
    }
    if (ok) *ok = read;
    return value;
}

int AnalogControls::SetRealExposureTime(int microseconds) {
    if (!s_.NeedDevice()) return 0;
    const auto units = static_cast<int>(microseconds / 100.0);
    const sensor::ControlRange range = s_.device_->controls().RealExposureTimeRange();
    if (range.min <= units && range.max >= units) {
        {
            std::lock_guard<std::mutex> lock(s_.frame_lock_);
            s_.settings_.exposure = units;
            s_.settings_.requested_exposure = units;
        }
        s_.device_->controls().SetRealExposureTime(static_cast<uint32_t>(units));
        double seconds = 0;
        if (s_.device_->controls().IsExposureTimeExSupported() && s_.device_->controls().GetExposureTimeEx(&seconds)) {
            std::lock_guard<std::mutex> lock(s_.frame_lock_);
            s_.settings_.exposure_seconds = seconds;
        }
        return 1;
    }
    s_.RecordError(KELVOX_ERR_PARAM);
    return 0;
}

int AnalogControls::GetRealExposureTime(int* ok) {
    if (!s_.device_) {
        if (ok) *ok = 0;
        s_.RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    if (ok) *ok = 1;
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    s_.settings_.UpdateRealExposure();
    return s_.settings_.real_exposure_us;
}

double AnalogControls::GetTemperatureEx(int* ok) {
    double celsius = 0.0;
    int read = 0;
    if (!s_.device_) {
        s_.RecordError(KELVOX_ERR_NOT_READY);
    } else if (!s_.device_->optional().IsTemperatureSupported()) {
        s_.RecordError(KELVOX_ERR_UNSUPPORTED);
    } else if (s_.device_->optional().GetTemperature(&celsius)) {
        read = 1;
        s_.RecordError(KELVOX_SUCCESS);
    } else {
        celsius = 0.0;
        s_.RecordError(KELVOX_ERR_CONVERT);
    }
    if (ok) *ok = read;
    return celsius;
}

int AnalogControls::SetMirrorH(int on) {
    if (!s_.NeedDevice()) return 0;
    {
        std::lock_guard<std::mutex> lock(s_.frame_lock_);  // processing reads the mirrors
        s_.settings_.mirror_h = on ? 1 : 0;
    }
    s_.device_->controls().SetMirror(true, on ? 1 : 0);
    return 1;
}

int AnalogControls::SetMirrorV(int on) {
    if (!s_.NeedDevice(true)) return 0;
    {
        std::lock_guard<std::mutex> lock(s_.frame_lock_);
        s_.settings_.mirror_v = on ? 1 : 0;
    }
    s_.device_->controls().SetMirror(false, on ? 1 : 0);
    return 1;
}

int AnalogControls::GetMirrorH() {
    if (!s_.NeedDevice()) return 0;
    return s_.settings_.mirror_h;
}

int AnalogControls::GetMirrorV() {
    if (!s_.NeedDevice(true)) return 0;
    return s_.settings_.mirror_v;
}

int AnalogControls::SetAutoIris(int mode) {
    if (static_cast<unsigned>(mode) > 2u) {
        s_.NotifyError(KELVOX_ERR_PARAM);
        return 0;
    }
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    s_.settings_.auto_iris = mode;
    return 1;
}

int AnalogControls::GetAutoIris(int* ok) {
    if (ok) *ok = 1;
    return s_.settings_.auto_iris;
}

int AnalogControls::SetInternalCorrection(int value) {
    if (!s_.NeedDevice()) return 0;
    if (!s_.device_->optional().IsInternalCorrectionSupported()) {
        s_.NotifyError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    }
    // The device has no setting for a sensor's internal correction: nothing to store.
    (void)value;
    return 0;
}

int AnalogControls::GetInternalCorrection(int* ok) {
    if (!s_.NeedDevice()) return 0;
    if (!s_.device_->optional().IsInternalCorrectionSupported()) {
        s_.NotifyError(KELVOX_ERR_UNSUPPORTED);
        return 0;
    }
    if (ok) *ok = 1;
    return 0;
}

}  // namespace kelvox
