// Frame processing of the session: the automatic exposure or gain control, then the frame
// pipeline on the pictures of the prepared colour mode. Runs with the frame lock held.
#include <algorithm>
#include <array>

#include "imaging/auto_exposure.h"
#include "resources/resource_ids.h"
#include "session/analog_dialog.h"
#include "session/image_dialog.h"
#include "session/session.h"

namespace kelvox {

namespace {
bool SixteenBit(int mode) { return mode == 1 || mode == 4 || mode == 5; }
}  // namespace

void Session::ApplyAutoExposure(imaging::DibImage& raw) {
    const int mode = settings_.auto_iris;
    if (mode != 1 && mode != 2) return;
    const double f = imaging::AutoExposureFactor(raw);
    if (f == 1.0) return;
    device::SensorControls& c = device_->controls();
    if (mode == 2) {
        const int g = std::max(4, c.GetGlobalGain());
        int gain = static_cast<int>(g * f);
        if (f > 1.0 && gain <= 4) gain = 4;
        const sensor::ControlRange range = c.GlobalGainRange();
        gain = std::clamp(gain, range.min, range.max);
        c.SetGlobalGain(static_cast<uint32_t>(gain));
        settings_.global_gain = settings_.gain_green1 = settings_.gain_red = settings_.gain_blue =
            settings_.gain_green2 = gain;
        if (analog_dialog_) analog_dialog_->Show(IDC_GLOBAL_GAIN_EDIT, gain);
    } else {
        int exposure = static_cast<uint16_t>(static_cast<int64_t>(settings_.exposure * f));
        exposure = std::max(1, exposure);
        const sensor::ControlRange range = c.RealExposureTimeRange();
        exposure = std::clamp(exposure, range.min, range.max);
        c.SetRealExposureTime(static_cast<uint32_t>(exposure));
        settings_.exposure = exposure;
        if (analog_dialog_) analog_dialog_->Show(IDC_EXPOSURE_EDIT, exposure);
        if (c.IsExposureTimeExSupported()) {
            double seconds = -1.0;
            if (c.GetExposureTimeEx(&seconds)) settings_.exposure_seconds = seconds;
        }
    }
}

void Session::ProcessFrame() {
    const int mode = prepared_mode_;
    imaging::DibImage& raw = *pictures_[SixteenBit(mode) ? kRaw16 : kRaw8];
    if (raw.empty()) return;
    ApplyAutoExposure(raw);
    if (mask_filter_ || dot_filter_) CorrectWithMask(raw);
    imaging::FrameContext frame;
    frame.mode = mode;
    frame.mirror_h = settings_.mirror_h != 0;
    frame.mirror_v = settings_.mirror_v != 0;
    frame.mirror_h_in_software = settings_.mirror_h && !device_->controls().IsMirrorSupported(true);
    frame.mirror_v_in_software = settings_.mirror_v && !device_->controls().IsMirrorSupported(false);
    frame.workers = &band_workers_;
    const int red = filters_.bayer_red, green = filters_.bayer_green, blue = filters_.bayer_blue;
    const std::array<int, 4> gray = filters_.gray_gain;
    pipeline_.Process(raw, *pictures_[mode], *pictures_[kOut24], frame, filters_);
    // Automatic white balance or grey calibration found new gains: an open dialog shows them.
    if (image_dialog_ && (red != filters_.bayer_red || green != filters_.bayer_green || blue != filters_.bayer_blue ||
                          gray != filters_.gray_gain))
        image_dialog_->Refresh();
}

}  // namespace kelvox
