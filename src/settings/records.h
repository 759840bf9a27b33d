#pragma once
// The session's setting records: what the host and the dialogs change, what processing and the
// camera use, and what the registry keeps per camera.
#include <array>
#include <climits>

namespace kelvox {

// The capture window, as the host sets it and the settings keep it.
struct CaptureWindow {
    int total_width = 1920, total_height = 1200;  // "TH", "TV"
    int width = 1920, height = 1200;              // "EH", "EV": the image before subsampling
    int x = 0, y = 0;                             // "EHS", "EVS"
    int buffers = 4;                              // "Buf"
};

// Values of the image-filter identifiers 1-12 and 19-28.
struct FilterSettings {
    int brightness = 0, contrast = 0, hue = 0, saturation = 0, sharpness = 0;
    int bayer_red = 0, bayer_green = 0, bayer_blue = 0, gamma = 0, bayer_mode = 0;
    int gray_mode = 0;
    std::array<int, 4> gray_gain{};    // R, G1, G2, B
    std::array<int, 4> gray_offset{};  // R, G1, G2, B
    int bayer_auto = 0;
    int gray_calibration = 0;  // one-shot request, counted down by processing
    // One-shot white balance: with both set, the automatic Bayer gain switches itself off after
    // one measurement (the settings dialog sets them).
    int bayer_auto_once = 0, bayer_auto_once_companion = 0;

    // What a camera without stored settings starts with.
    static FilterSettings Defaults() {
        FilterSettings f;
        f.bayer_red = f.bayer_green = f.bayer_blue = 100;
        f.gamma = 100;
        f.bayer_mode = 2;
        f.gray_gain = {128, 128, 128, 128};
        f.gray_offset = {128, 128, 128, 128};
        return f;
    }
};

// The analog settings re-applied at every open and prepare step.
struct CameraSettings {
    int global_gain = 0;
    int gain_green1 = 0, gain_red = 0, gain_blue = 0, gain_green2 = 0;
    int exposure = 0;  // units of 100 us
    int mirror_v = 0, mirror_h = 0;
    int auto_iris = 0;
    int black_level = 0;
    int peltier = 0;
    int short_exposure_mode = 0;
    int gain_mode = 0;  // high (0) or low (1) gain
    double exposure_seconds = 0;
    int requested_exposure = 1;  // last Kelvox_SetRealExposureTime, 100 us
    int real_exposure_us = 0;

    // The exposure in microseconds, held at the int range's edges: stored settings and
    // Kelvox_SetExposureTimeEx can leave `exposure` too large to scale by 100.
    void UpdateRealExposure() {
        const long long us = exposure * 100LL;
        real_exposure_us = static_cast<int>(us > INT_MAX ? INT_MAX : us < INT_MIN ? INT_MIN : us);
    }
};

}  // namespace kelvox
