// Capture window, colour mode, subsampling and wait time.
#include "session/session.h"

namespace kelvox {

namespace {
bool Subsampling(int code) { return code == 1 || code == 2 || code == 3 || code == 17 || code == 18 || code == 19; }
}  // namespace

bool Session::CaptureWindowValid() const {
    const CaptureWindow& w = window_;
    return w.width >= 0 && w.height >= 0 && w.x >= 0 && w.y >= 0 && w.width <= kSensorWidth &&
           w.height <= kSensorHeight && w.x <= kSensorWidth && w.y <= kSensorHeight && w.x + w.width <= kSensorWidth &&
           w.y + w.height <= kSensorHeight && !Subsampling(subsample_);
}

int Session::SetCaptureWindowEx(int total_width, int x, int width, int total_height, int y, int height) {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!NeedDevice()) return 0;
    sensor::SensorInfo info{};
    device_->GetSensorInfo(&info);
    if ((width != kSensorWidth && info.window_h_settable == 0) ||
        (height != kSensorHeight && info.window_v_settable == 0)) {
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    window_.total_width = total_width;
    window_.x = x;
    window_.width = width;
    window_.total_height = total_height;
    window_.y = y;
    window_.height = height;
    if (!CaptureWindowValid()) {
        RecordError(KELVOX_ERR_CAPTURE_WINDOW);  // stored all the same
        return 0;
    }
    device_->SetCaptureWindow(x, y, width, height, subsample_);
    return 1;
}

int Session::GetCaptureWindowEx(int* total_width, int* x, int* width, int* total_height, int* y, int* height) {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (total_width) *total_width = window_.total_width;
    if (x) *x = window_.x;
    if (width) *width = window_.width;
    if (total_height) *total_height = window_.total_height;
    if (y) *y = window_.y;
    if (height) *height = window_.height;
    return 1;
}

int Session::SetColorMode(int bits) {
    if (device_) {
        if (!device_->optional().SupportsColorMode(8) && (bits == 8 || bits == 32)) {
            RecordError(KELVOX_ERR_PARAM);
            return 0;
        }
        if (!device_->optional().SupportsColorMode(24) && (bits == 24 || bits == 32 || bits == 48 || bits == 64)) {
            RecordError(KELVOX_ERR_PARAM);
            return 0;
        }
    }
    for (int i = 0; i < 6; ++i)
        if (kColorModeBits[i] == bits) {
            color_mode_ = i;  // takes effect at the next prepare step
            return 1;
        }
    RecordError(KELVOX_ERR_PARAM);
    return 0;
}

int Session::Width() const {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    return window_.width;
}

int Session::Height() const {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    return window_.height;
}

int Session::GetColorMode() const {
    const int mode = color_mode_.load();
    return mode >= 0 && mode < 6 ? kColorModeBits[mode] : -1;
}

int Session::SetSubSample(int code) {
    if (code != 0) return 0;
    subsample_ = 0;
    return 1;
}

std::pair<int, int> Session::OutputSize() const {
    int divisor = 1;
    switch (subsample_) {
        case 1: case 17: divisor = 2; break;
        case 2: case 18: divisor = 4; break;
        case 3: case 19: divisor = 8; break;
        default: break;
    }
    return {window_.width / divisor, window_.height / divisor};
}

int Session::SetWaitTime(int ms) {
    if (ms < 0) return 0;
    wait_time_ = ms;
    return 1;
}

int Session::SetSamplingRate(int rate) {
    if (!device_) return 0;
    // The sensor takes no rate of its host's choosing: it is asked to keep its own.
    (void)rate;
    return device_->optional().SetSamplingRate(0) ? 1 : 0;
}

}  // namespace kelvox
