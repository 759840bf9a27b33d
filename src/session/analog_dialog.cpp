#include "session/analog_dialog.h"

#include <string>

#include "resources/resource_ids.h"
#include "session/session.h"
#include "settings/exposure_units.h"

namespace kelvox {

using settings::ControlInput;
using settings::Updates;
using settings::ValueControls;

namespace {

constexpr ValueControls kGlobalGain{IDC_GLOBAL_GAIN_BAR, IDC_GLOBAL_GAIN_EDIT, IDC_GLOBAL_GAIN_SPIN};
constexpr ValueControls kExposure{IDC_EXPOSURE_BAR, IDC_EXPOSURE_EDIT, IDC_EXPOSURE_SPIN};
constexpr ValueControls kBlackLevel{IDC_BLACK_LEVEL_BAR, IDC_BLACK_LEVEL_EDIT, IDC_BLACK_LEVEL_SPIN};

struct ColourGainRow {
    ValueControls ids;
    int CameraSettings::*field;
    sensor::ColorChannel channel;
};
constexpr ColourGainRow kColourGains[] = {
    {{IDC_GAIN_G1_BAR, IDC_GAIN_G1_EDIT, IDC_GAIN_G1_SPIN}, &CameraSettings::gain_green1, sensor::ColorChannel::Green1},
    {{IDC_GAIN_R_BAR, IDC_GAIN_R_EDIT, IDC_GAIN_R_SPIN}, &CameraSettings::gain_red, sensor::ColorChannel::Red},
    {{IDC_GAIN_B_BAR, IDC_GAIN_B_EDIT, IDC_GAIN_B_SPIN}, &CameraSettings::gain_blue, sensor::ColorChannel::Blue},
    {{IDC_GAIN_G2_BAR, IDC_GAIN_G2_EDIT, IDC_GAIN_G2_SPIN}, &CameraSettings::gain_green2, sensor::ColorChannel::Green2},
};

int PageSize(const sensor::ControlRange& r) { return (r.max - r.min) / 8; }

}  // namespace

template <class F>
void AnalogDialog::Update(F change) {
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    change(s_.settings_);
}

CameraSettings AnalogDialog::Cached() {
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    return s_.settings_;
}

AnalogDialog::AnalogDialog(Session& session, settings::Language language) : s_(session), language_(language) {
    device::CameraDevice& d = *s_.device_;
    device::SensorControls& c = d.controls();
    has_seconds_ = c.IsExposureTimeExSupported() && c.GetExposureTimeExRange(&seconds_min_, &seconds_max_, &seconds_default_);
    has_black_level_ = d.optional().IsBlackLevelSupported();
    has_peltier_ = d.optional().IsPeltierSupported();
    has_short_ = d.optional().IsShortExposureModeSupported();
    has_gain_mode_ = d.optional().GainMode() != sensor::kNotReported;
    colour_page_ = d.optional().SupportsColorMode(24);
    const int gain = c.GetGlobalGain(), exposure = c.GetRealExposureTime();
    int colour[4];
    for (int i = 0; i < 4; ++i) colour[i] = c.GetColorGain(kColourGains[i].channel);
    const bool mirror_v = c.GetMirror(false), mirror_h = c.GetMirror(true);
    double seconds = 0;
    const bool have_seconds = has_seconds_ && c.GetExposureTimeEx(&seconds);
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    CameraSettings& r = s_.settings_;
    r.global_gain = gain;
    for (int i = 0; i < 4; ++i) r.*kColourGains[i].field = colour[i];
    r.exposure = exposure;
    r.mirror_v = mirror_v;
    r.mirror_h = mirror_h;
    if (have_seconds) r.exposure_seconds = seconds;
    copy_ = r;
    bayer_mode_copy_ = s_.filters_.bayer_mode;
}

int AnalogDialog::TemplateId() const {
    return language_ == settings::Language::kJapanese ? IDD_ANALOG_CONTAINER_JA : IDD_ANALOG_CONTAINER_EN;
}

std::vector<settings::DialogModel::Page> AnalogDialog::Pages() {
    const bool ja = language_ == settings::Language::kJapanese;
    const int page = colour_page_ ? (ja ? IDD_ANALOG_COLOUR_PAGE_JA : IDD_ANALOG_COLOUR_PAGE_EN)
                                  : (ja ? IDD_ANALOG_MONO_PAGE_JA : IDD_ANALOG_MONO_PAGE_EN);
    return {{page, settings::AnalogGainTab(language_), this}};
}

void AnalogDialog::ShowExposureSeconds(Updates& out, double seconds) {
    const int unit = settings::ExposureUnit(seconds);
    for (size_t i = 0; i < units_.size(); ++i)
        if (units_[i] == unit) {
            unit_entry_ = static_cast<int>(i);
            out.push_back(settings::Selection(IDC_EXPOSURE_EX_UNIT, unit_entry_));
        }
    out.push_back(settings::Text(IDC_EXPOSURE_EX_EDIT, settings::ExposureNumber(seconds * settings::UnitsPerSecond(unit))));
}

Updates AnalogDialog::Initialise() {
    device::CameraDevice& d = *s_.device_;
    device::SensorControls& c = d.controls();
    const CameraSettings r = Cached();
    Updates out;
    const sensor::ControlRange gain = c.GlobalGainRange(), colour = c.ColorGainRange(), exposure = c.RealExposureTimeRange();
    settings::SetUpValue(out, kGlobalGain, gain.min, gain.max, PageSize(gain), r.global_gain, true);
    if (colour_page_)
        for (const ColourGainRow& row : kColourGains)
            settings::SetUpValue(out, row.ids, colour.min, colour.max, PageSize(colour), r.*row.field, false);
    settings::SetUpValue(out, kExposure, exposure.min, exposure.max, PageSize(exposure), r.exposure, true);
    out.push_back(settings::Checked(IDC_MIRROR_V, r.mirror_v != 0));
    out.push_back(settings::Checked(IDC_MIRROR_H, r.mirror_h != 0));
    if (has_seconds_) {
        units_ = settings::OfferedUnits(seconds_min_, seconds_max_);
        std::vector<std::string> names;
        for (const int u : units_) names.push_back(settings::ExposureUnitName(u));
        out.push_back(settings::Items(IDC_EXPOSURE_EX_UNIT, names, 0));
        ShowExposureSeconds(out, r.exposure_seconds);
        out.push_back(settings::Text(IDC_EXPOSURE_EX_RANGE, settings::ExposureRangeText(language_, seconds_min_, seconds_max_)));
        settings::ShowRow(out, kExposure, false);
        out.push_back(settings::Visible(IDC_EXPOSURE_LABEL, false));
        out.push_back(settings::Visible(IDC_EXPOSURE_MS, false));
    } else {
        for (const int id : {IDC_EXPOSURE_EX_LABEL, IDC_EXPOSURE_EX_EDIT, IDC_EXPOSURE_EX_UNIT, IDC_EXPOSURE_EX_RANGE})
            out.push_back(settings::Visible(id, false));
        out.push_back(settings::Text(IDC_EXPOSURE_MS, settings::MillisecondText(r.exposure)));
    }
    if (!colour_page_) {
        if (has_black_level_) {
            const sensor::ControlRange black = d.optional().BlackLevelRange();
            settings::SetUpValue(out, kBlackLevel, black.min, black.max, PageSize(black), r.black_level, true);
        } else {
            settings::ShowRow(out, kBlackLevel, false);
            out.push_back(settings::Visible(IDC_BLACK_LEVEL_LABEL, false));
        }
        if (has_peltier_) out.push_back(settings::Checked(IDC_PELTIER, r.peltier != 0));
        else out.push_back(settings::Visible(IDC_PELTIER, false));
        if (has_short_) out.push_back(settings::Checked(IDC_SHORT_EXPOSURE, r.short_exposure_mode != 0));
        else out.push_back(settings::Visible(IDC_SHORT_EXPOSURE, false));
        const uint32_t mode = d.optional().GainMode();
        if (has_gain_mode_ && mode != sensor::kNotReported)
            out.push_back(settings::Items(IDC_GAIN_MODE, settings::GainModeNames(language_), mode ? 1 : 0));
        else
            out.push_back(settings::Visible(IDC_GAIN_MODE, false));
    }
    out.push_back(settings::Checked(IDC_AUTO_IRIS_EXPOSURE, r.auto_iris == 1));
    out.push_back(settings::Checked(IDC_AUTO_IRIS_GAIN, r.auto_iris == 2));
    return out;
}

// The 16-bit exposure as set from the page: read back, with the time in seconds it gives.
Updates AnalogDialog::Exposure(int value) {
    device::SensorControls& c = s_.device_->controls();
    c.SetRealExposureTime(static_cast<uint32_t>(value));
    const int actual = c.GetRealExposureTime();
    double seconds = 0;
    const bool have_seconds = has_seconds_ && c.GetExposureTimeEx(&seconds);
    Update([&](CameraSettings& r) {
        r.exposure = actual;
        if (have_seconds) r.exposure_seconds = seconds;
    });
    Updates out;
    if (has_seconds_ && have_seconds) ShowExposureSeconds(out, seconds);
    else out.push_back(settings::Text(IDC_EXPOSURE_MS, settings::MillisecondText(actual)));
    return out;
}

Updates AnalogDialog::ExposureSeconds(double seconds) {
    device::SensorControls& c = s_.device_->controls();
    c.SetExposureTimeEx(seconds);
    const int exposure = c.GetRealExposureTime();
    Update([&](CameraSettings& r) {
        r.exposure_seconds = seconds;
        r.exposure = exposure;
    });
    Updates out;
    settings::ShowValue(out, kExposure, exposure);
    out.push_back(settings::Text(IDC_EXPOSURE_MS, settings::MillisecondText(exposure)));
    return out;
}

Updates AnalogDialog::Changed(int id, const ControlInput& input) {
    device::CameraDevice& d = *s_.device_;
    device::SensorControls& c = d.controls();
    Updates out;
    int value = 0;
    if (settings::RowValue(kGlobalGain, id, input, &value)) {
        settings::FollowValue(out, kGlobalGain, id, value);
        Update([&](CameraSettings& r) { r.global_gain = value; });
        c.SetGlobalGain(static_cast<uint32_t>(value));
        return out;
    }
    for (const ColourGainRow& row : kColourGains)
        if (colour_page_ && settings::RowValue(row.ids, id, input, &value)) {
            settings::FollowValue(out, row.ids, id, value);
            Update([&](CameraSettings& r) { r.*row.field = value; });
            c.SetColorGain(row.channel, value);
            return out;
        }
    if (settings::RowValue(kExposure, id, input, &value)) {
        settings::FollowValue(out, kExposure, id, value);
        Update([&](CameraSettings& r) { r.exposure = value; });
        Updates more = Exposure(value);
        out.insert(out.end(), more.begin(), more.end());
        return out;
    }
    if (!colour_page_ && has_black_level_ && settings::RowValue(kBlackLevel, id, input, &value)) {
        settings::FollowValue(out, kBlackLevel, id, value);
        Update([&](CameraSettings& r) { r.black_level = value; });
        d.optional().SetBlackLevel(value);
        return out;
    }
    const bool on = input.value != 0;
    switch (id) {
        case IDC_EXPOSURE_EX_EDIT: {
            const int unit = unit_entry_ < static_cast<int>(units_.size()) ? units_[unit_entry_] : -1;
            return ExposureSeconds(settings::ExposureSeconds(input.text, unit));
        }
        case IDC_EXPOSURE_EX_UNIT: {
            unit_entry_ = input.value;
            double seconds = 0;
            c.GetExposureTimeEx(&seconds);
            const int unit = unit_entry_ >= 0 && unit_entry_ < static_cast<int>(units_.size()) ? units_[unit_entry_] : -1;
            out.push_back(settings::Text(IDC_EXPOSURE_EX_EDIT, settings::ExposureNumber(seconds * settings::UnitsPerSecond(unit))));
            return out;
        }
        case IDC_MIRROR_V:
        case IDC_MIRROR_H:
            c.SetMirror(id == IDC_MIRROR_H, on);
            Update([&](CameraSettings& r) { (id == IDC_MIRROR_H ? r.mirror_h : r.mirror_v) = on; });
            return out;
        case IDC_AUTO_IRIS_GAIN:
        case IDC_AUTO_IRIS_EXPOSURE: {
            const int mode = id == IDC_AUTO_IRIS_GAIN ? 2 : 1;
            if (on) out.push_back(settings::Checked(mode == 2 ? IDC_AUTO_IRIS_EXPOSURE : IDC_AUTO_IRIS_GAIN, false));
            Update([&](CameraSettings& r) { r.auto_iris = on ? mode : 0; });
            return out;
        }
        case IDC_PELTIER:
            if (colour_page_) return out;
            d.optional().SetPeltier(on);
            Update([&](CameraSettings& r) { r.peltier = on; });
            return out;
        case IDC_SHORT_EXPOSURE:
            if (colour_page_) return out;
            d.optional().SetShortExposureMode(on);
            Update([&](CameraSettings& r) { r.short_exposure_mode = on; });
            return out;
        case IDC_GAIN_MODE:
            if (colour_page_) return out;
            d.optional().SetGainMode(input.value != 0);
            Update([&](CameraSettings& r) { r.gain_mode = input.value != 0; });
            return out;
        default: return out;
    }
}

settings::DialogModel::Answer AnalogDialog::Button(int id) {
    Answer answer;
    if (id == 1 || id == 2) {
        answer.end_with = id;
        return answer;
    }
    if (id != IDC_DEFAULT) return answer;
    device::CameraDevice& d = *s_.device_;
    device::SensorControls& c = d.controls();
    const int gain = c.GlobalGainRange().default_value, colour = c.ColorGainRange().default_value;
    c.SetGlobalGain(static_cast<uint32_t>(gain));
    for (const ColourGainRow& row : kColourGains) c.SetColorGain(row.channel, colour);
    const int black = has_black_level_ ? d.optional().BlackLevelRange().default_value : 0;
    if (has_seconds_) c.SetExposureTimeEx(seconds_default_);
    else c.SetRealExposureTime(static_cast<uint32_t>(c.RealExposureTimeRange().default_value));
    const int exposure = has_seconds_ ? c.GetRealExposureTime() : c.RealExposureTimeRange().default_value;
    if (has_black_level_) d.optional().SetBlackLevel(black);
    if (has_peltier_) d.optional().SetPeltier(1);
    if (has_short_) d.optional().SetShortExposureMode(false);
    if (has_gain_mode_) d.optional().SetGainMode(0);
    Update([&](CameraSettings& r) {
        r.global_gain = gain;
        for (const ColourGainRow& row : kColourGains) r.*row.field = colour;
        r.exposure = exposure;
        if (has_seconds_) r.exposure_seconds = seconds_default_;
        if (has_black_level_) r.black_level = black;
        if (has_peltier_) r.peltier = 1;
        if (has_short_) r.short_exposure_mode = 0;
        if (has_gain_mode_) r.gain_mode = 0;
    });
    answer.updates.push_back({0, Initialise()});  // every visible control from the cache again
    return answer;
}

void AnalogDialog::SetPoster(std::function<void(int, int)> post) {
    std::lock_guard<std::mutex> lock(post_lock_);
    post_ = std::move(post);
}

void AnalogDialog::Show(int id, int value) {
    std::lock_guard<std::mutex> lock(post_lock_);
    if (post_) post_(id, value);
}

void AnalogDialog::WriteToCamera(const CameraSettings& v) {
    device::SensorControls& c = s_.device_->controls();
    c.SetGlobalGain(static_cast<uint32_t>(v.global_gain));
    for (const ColourGainRow& row : kColourGains) c.SetColorGain(row.channel, v.*row.field);
    if (has_seconds_) c.SetExposureTimeEx(v.exposure_seconds);
    else c.SetRealExposureTime(static_cast<uint32_t>(v.exposure));
    c.SetMirror(false, v.mirror_v != 0);
    c.SetMirror(true, v.mirror_h != 0);
}

void AnalogDialog::End(int result) {
    SetPoster(nullptr);
    if (result == 1) return;
    WriteToCamera(copy_);
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    s_.settings_ = copy_;
    s_.filters_.bayer_mode = bayer_mode_copy_;
}

}  // namespace kelvox
