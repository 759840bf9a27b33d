// Frame processing: from the raw picture of the prepared colour mode to its output picture.
// Runs on the thread that delivers the frame, with the frame lock held.
#include <algorithm>

#include "session/session.h"

namespace kelvox {

namespace {

bool SixteenBit(int mode) { return mode == 1 || mode == 4 || mode == 5; }

// Reverses the order of pixels within each row and/or the order of the rows, in place.
void MirrorInPlace(imaging::DibImage& image, bool horizontal, bool vertical) {
    const int w = image.width(), h = image.height(), bpp = image.bytes_per_pixel();
    const size_t row_bytes = static_cast<size_t>(w) * bpp;
    if (horizontal) {
        for (int y = 0; y < h; ++y) {
            uint8_t* row = image.row(y);
            for (int a = 0, b = w - 1; a < b; ++a, --b)
                for (int k = 0; k < bpp; ++k) std::swap(row[a * bpp + k], row[b * bpp + k]);
        }
    }
    if (vertical) {
        for (int a = 0, b = h - 1; a < b; ++a, --b) std::swap_ranges(image.row(a), image.row(a) + row_bytes, image.row(b));
    }
}

// Applies the table to the outer `border` rows and columns of the picture only (all of it for 0,
// or when the picture is too small to have an inside).
void ApplyToFrame(const imaging::PointTable& table, const imaging::Plane& p, int border) {
    if (border == 0 || p.width <= 2 * border || p.height <= 2 * border) {
        table.Apply(p);
        return;
    }
    auto part = [&](int x, int y, int w, int h) {
        imaging::Plane sub = p;
        sub.pixels = p.pixels + static_cast<size_t>(y) * p.stride + static_cast<size_t>(x) * p.bytes_per_pixel;
        sub.width = w;
        sub.height = h;
        table.Apply(sub);
    };
    part(0, 0, p.width, border);
    part(0, p.height - border, p.width, border);
    part(0, border, border, p.height - 2 * border);
    part(p.width - border, border, border, p.height - 2 * border);
}

}  // namespace

// The automatic exposure or gain control: five regions of the raw picture vote on whether it is
// too bright or too dark.
int Session::MeasureAutoExposure(imaging::DibImage& raw) {
    const int mode = settings_.auto_iris;
    if ((mode != 1 && mode != 2) || raw.empty()) return 0;
    int means[5];
    imaging::MeasureRegionMeans(imaging::PlaneOf(raw), means);
    double f = 1.0;
    for (int mean : means) {
        if (raw.bytes_per_pixel() == 2) mean >>= 8;  // the thresholds are for 8-bit samples
        if (mean > 200) f += -0.15;
        else if (mean > 160) f += -0.10;
        else if (mean < 50) f += 0.10;
        else if (mean < 100) f += 0.05;
    }
    if (f > 0.6 && f < 1.2) return 1;
    device::CameraDevice& d = *device_;
    if (mode == 2) {
        const int g = std::max(4, d.controls().GetGlobalGain());
        int gain = static_cast<int>(g * f);
        if (f > 1.0 && gain <= 4) gain = 4;
        gain = std::clamp(gain, d.controls().GlobalGainRange().min, d.controls().GlobalGainRange().max);
        d.controls().SetGlobalGain(static_cast<uint32_t>(gain));
        settings_.global_gain = settings_.gain_green1 = settings_.gain_red = settings_.gain_blue =
            settings_.gain_green2 = gain;
    } else {
        int exposure = static_cast<uint16_t>(static_cast<int64_t>(settings_.exposure * f));
        exposure = std::max(1, exposure);
        exposure = std::clamp(exposure, d.controls().RealExposureTimeRange().min, d.controls().RealExposureTimeRange().max);
        d.controls().SetRealExposureTime(static_cast<uint32_t>(exposure));
        settings_.exposure = exposure;
        if (d.controls().IsExposureTimeExSupported()) {
            double seconds = -1.0;
            if (d.controls().GetExposureTimeEx(&seconds)) settings_.exposure_seconds = seconds;
        }
    }
    return 1;
}

// White balance (when automatic) and demosaic of a raw picture into a colour picture.
void Session::MakeColour(imaging::DibImage& raw, imaging::DibImage& colour, const imaging::RowAdjustments& after) {
    const int bayer = imaging::AdjustBayerMode(filters_.bayer_mode, settings_.mirror_v, settings_.mirror_h);
    const imaging::Plane raw_plane = imaging::PlaneOf(raw);
    if (filters_.bayer_auto) {
        const imaging::BayerGains gains = imaging::MeasureWhiteBalance(raw_plane, bayer);
        filters_.bayer_red = gains.red;
        filters_.bayer_green = gains.green;
        filters_.bayer_blue = gains.blue;
        if (filters_.bayer_auto_once && filters_.bayer_auto_once_companion)
            filters_.bayer_auto = filters_.bayer_auto_once = filters_.bayer_auto_once_companion = 0;
    }
    imaging::Demosaic(raw_plane, imaging::PlaneOf(colour), bayer, filters_.bayer_red, filters_.bayer_blue, after);
}

void Session::ProcessGrey(imaging::DibImage& raw, int mode) {
    if (filters_.gray_mode == 1) {
        imaging::GrayBalance balance;
        for (int p = 0; p < 4; ++p) {
            balance.gain[p] = filters_.gray_gain[p];
            balance.offset[p] = filters_.gray_offset[p];
        }
        const imaging::Plane plane = imaging::PlaneOf(raw);
        if (filters_.gray_calibration) {
            imaging::MeasureGrayGains(plane, filters_.bayer_mode, &balance);
            for (int p = 0; p < 4; ++p) filters_.gray_gain[p] = balance.gain[p];
            filters_.gray_calibration = 0;
        }
        bool neutral = true;
        for (int p = 0; p < 4; ++p) neutral = neutral && balance.gain[p] == 128 && balance.offset[p] == 128;
        if (!neutral) imaging::ApplyGrayBalance(plane, filters_.bayer_mode, balance, mode == 1 ? 65535 : 255);
    } else if (filters_.gray_mode == 2 && mode == 0) {
        // Luminance of the colour picture; the 16-bit mode has no 8-bit data to do this with.
        imaging::DibImage& colour = *pictures_[kOut24];
        MakeColour(raw, colour);
        imaging::LumaFromColour(imaging::PlaneOf(colour), imaging::PlaneOf(raw));
    }
}

void Session::ProcessFrame() {
    const int mode = prepared_mode_;
    imaging::DibImage& raw = *pictures_[SixteenBit(mode) ? kRaw16 : kRaw8];
    if (raw.empty()) return;
    MeasureAutoExposure(raw);
    // (The shading and defect-pixel corrections go here, under the mask lock.)
    if (mode == 0 || mode == 1) ProcessGrey(raw, mode);
    const bool mirror_h = settings_.mirror_h && !device_->controls().IsMirrorSupported(true);
    const bool mirror_v = settings_.mirror_v && !device_->controls().IsMirrorSupported(false);
    if (mirror_h || mirror_v) MirrorInPlace(raw, mirror_h, mirror_v);
    imaging::DibImage& out = *pictures_[mode];
    const bool wide = SixteenBit(mode);
    // Gamma and contrast (and brightness when nothing comes between) as one table. In the colour
    // modes the hue pass, the table and sharpening run on each row as the demosaic makes it.
    imaging::PointStep steps[imaging::PointTable::kMaxSteps];
    int count = 0;
    if (filters_.gamma != 100) steps[count++] = {imaging::PointOp::Gamma, filters_.gamma};
    if (filters_.contrast != 0) steps[count++] = {imaging::PointOp::Contrast, filters_.contrast};
    const bool sharpen = filters_.sharpness != 0;
    if (!sharpen && filters_.brightness != 0) steps[count++] = {imaging::PointOp::Brightness, filters_.brightness};
    if (count > 0) point_tables_[0].Prepare(steps, count, wide);
    const imaging::PointTable* table = count > 0 ? &point_tables_[0] : nullptr;
    // Brightness rides along on the sharpened pixels; the border gets it below.
    const float brightness = imaging::BrightnessFactor(filters_.brightness);
    const imaging::Plane plane = imaging::PlaneOf(out);
    if (mode >= 2) {
        imaging::RowAdjustments after;
        after.hue_pass = filters_.hue != 0 || filters_.saturation != 0;
        after.hue = filters_.hue;
        after.saturation = filters_.saturation;
        after.table = table;
        after.sharpness = filters_.sharpness;
        after.brightness = brightness;
        MakeColour(raw, out, after);
    } else {
        if (table) table->Apply(plane);
        if (sharpen) imaging::Sharpen(plane, filters_.sharpness, brightness);
    }
    if (sharpen && filters_.brightness != 0) {
        point_tables_[1].Prepare(imaging::PointOp::Brightness, filters_.brightness, wide);
        ApplyToFrame(point_tables_[1], plane, 2);
    }
}

}  // namespace kelvox
