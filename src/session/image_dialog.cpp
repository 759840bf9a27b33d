#include "session/image_dialog.h"

#include <string>

#include "resources/resource_ids.h"
#include "session/session.h"

namespace kelvox {

using settings::ControlInput;
using settings::Updates;
using settings::ValueControls;

namespace {

struct Row {
    ValueControls ids;
    int low, high, page;
    int FilterSettings::*field;
    bool colour;  // enabled only for the colour formats
};
constexpr Row kFilterRows[] = {
    {{IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, IDC_BRIGHTNESS_SPIN}, -255, 255, 64, &FilterSettings::brightness, false},
    {{IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, IDC_CONTRAST_SPIN}, -127, 127, 32, &FilterSettings::contrast, false},
    {{IDC_HUE_BAR, IDC_HUE_EDIT, IDC_HUE_SPIN}, -360, 360, 90, &FilterSettings::hue, true},
    {{IDC_SATURATION_BAR, IDC_SATURATION_EDIT, IDC_SATURATION_SPIN}, -255, 255, 64, &FilterSettings::saturation, true},
    {{IDC_SHARPNESS_BAR, IDC_SHARPNESS_EDIT, IDC_SHARPNESS_SPIN}, 0, 30, 4, &FilterSettings::sharpness, false},
    {{IDC_RED_GAIN_BAR, IDC_RED_GAIN_EDIT, IDC_RED_GAIN_SPIN}, 0, 400, 32, &FilterSettings::bayer_red, true},
    {{IDC_GREEN_GAIN_BAR, IDC_GREEN_GAIN_EDIT, IDC_GREEN_GAIN_SPIN}, 0, 400, 32, &FilterSettings::bayer_green, true},
    {{IDC_BLUE_GAIN_BAR, IDC_BLUE_GAIN_EDIT, IDC_BLUE_GAIN_SPIN}, 0, 400, 32, &FilterSettings::bayer_blue, true},
    {{IDC_GAMMA_BAR, IDC_GAMMA_EDIT, IDC_GAMMA_SPIN}, 0, 200, 32, &FilterSettings::gamma, false},
};
constexpr int kBayerRadios[4] = {IDC_BAYER_MODE_0, IDC_BAYER_MODE_1, IDC_BAYER_MODE_2, IDC_BAYER_MODE_3};
constexpr int kFilterModeRadios[3] = {IDC_FILTER_MODE_BAYER, IDC_FILTER_MODE_CONVERT, IDC_FILTER_MODE_GRAYSCALE};

ValueControls GrayRow(int first, int i) { return {first + 3 * i, first + 3 * i + 1, first + 3 * i + 2}; }

void BayerRadios(Updates& out, int mode, bool enabled) {
    for (int m = 0; m < 4; ++m) {
        out.push_back(settings::Checked(kBayerRadios[m], m == mode));
        out.push_back(settings::Enabled(kBayerRadios[m], enabled));
    }
}

int RadioIndex(const int* ids, int count, int id) {
    for (int i = 0; i < count; ++i)
        if (ids[i] == id) return i;
    return -1;
}

}  // namespace

ImageDialogRules ImageDialogRules::ForFormat(int format) {
    ImageDialogRules r;
    if (format == 0 || format == 1) {
        r.picture = true;
        r.gray_page = true;
    } else if (format >= 2 && format <= 5) {
        r.picture = r.colour = true;
    }
    return r;
}

template <class F>
void ImageDialog::Update(F change) {
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    change(s_.filters_);
}

FilterSettings ImageDialog::Current() {
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    return s_.filters_;
}

ImageDialog::ImageDialog(Session& session, settings::Language language)
    : s_(session), language_(language), rules_(ImageDialogRules::ForFormat(session.color_mode_)) {
    copy_ = Current();
}

int ImageDialog::TemplateId() const {
    return language_ == settings::Language::kJapanese ? IDD_IMAGE_CONTAINER_JA : IDD_IMAGE_CONTAINER_EN;
}

std::vector<settings::DialogModel::Page> ImageDialog::Pages() {
    const bool ja = language_ == settings::Language::kJapanese;
    std::vector<Page> pages{{ja ? IDD_FILTER_PAGE_JA : IDD_FILTER_PAGE_EN, settings::ImageFilterTab(language_), &filter_page_}};
    if (rules_.gray_page)
        pages.push_back({ja ? IDD_GRAY_PAGE_JA : IDD_GRAY_PAGE_EN, settings::GrayFilterTab(language_), &gray_page_});
    return pages;
}

Updates ImageDialog::FilterPage::Initialise() {
    const FilterSettings f = d_.Current();
    const ImageDialogRules& rules = d_.rules_;
    Updates out;
    for (const Row& row : kFilterRows)
        settings::SetUpValue(out, row.ids, row.low, row.high, row.page, f.*row.field,
                             row.colour ? rules.colour : rules.picture);
    BayerRadios(out, f.bayer_mode, rules.colour);
    out.push_back(settings::Enabled(IDC_AUTO_ONCE, rules.colour));
    out.push_back(settings::Checked(IDC_AUTO_ALL_FRAMES, f.bayer_auto == 1 && !f.bayer_auto_once));
    out.push_back(settings::Enabled(IDC_AUTO_ALL_FRAMES, rules.colour));
    return out;
}

Updates ImageDialog::FilterPage::Changed(int id, const ControlInput& input) {
    Updates out;
    int value = 0;
    for (const Row& row : kFilterRows)
        if (settings::RowValue(row.ids, id, input, &value)) {
            settings::FollowValue(out, row.ids, id, value);
            d_.Update([&](FilterSettings& f) { f.*row.field = value; });
            return out;
        }
    if (const int mode = RadioIndex(kBayerRadios, 4, id); mode >= 0) {
        if (input.value) d_.Update([&](FilterSettings& f) { f.bayer_mode = mode; });
    } else if (id == IDC_AUTO_ONCE) {
        d_.Update([](FilterSettings& f) { f.bayer_auto = f.bayer_auto_once = f.bayer_auto_once_companion = 1; });
        out.push_back(settings::Checked(IDC_AUTO_ALL_FRAMES, false));
    } else if (id == IDC_AUTO_ALL_FRAMES) {
        d_.Update([&](FilterSettings& f) {
            f.bayer_auto = input.value ? 1 : 0;
            f.bayer_auto_once = f.bayer_auto_once_companion = 0;
        });
    }
    return out;
}

Updates ImageDialog::GrayPage::Initialise() {
    const FilterSettings f = d_.Current();
    Updates out;
    for (int i = 0; i < 4; ++i) {
        settings::SetUpValue(out, GrayRow(IDC_GRAY_GAIN_FIRST, i), 0, 400, 32, f.gray_gain[i], true);
        settings::SetUpValue(out, GrayRow(IDC_GRAY_OFFSET_FIRST, i), -255, 255, 32, f.gray_offset[i], true);
    }
    for (int m = 0; m < 3; ++m) out.push_back(settings::Checked(kFilterModeRadios[m], m == f.gray_mode));
    BayerRadios(out, f.bayer_mode, true);
    out.push_back(settings::Checked(IDC_AUTO_ALL_FRAMES, f.gray_calibration == -1));
    return out;
}

Updates ImageDialog::GrayPage::Changed(int id, const ControlInput& input) {
    Updates out;
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        if (settings::RowValue(GrayRow(IDC_GRAY_GAIN_FIRST, i), id, input, &value)) {
            settings::FollowValue(out, GrayRow(IDC_GRAY_GAIN_FIRST, i), id, value);
            d_.Update([&](FilterSettings& f) { f.gray_gain[i] = value; });
            return out;
        }
        if (settings::RowValue(GrayRow(IDC_GRAY_OFFSET_FIRST, i), id, input, &value)) {
            settings::FollowValue(out, GrayRow(IDC_GRAY_OFFSET_FIRST, i), id, value);
            d_.Update([&](FilterSettings& f) { f.gray_offset[i] = value; });
            return out;
        }
    }
    if (const int mode = RadioIndex(kFilterModeRadios, 3, id); mode >= 0) {
        if (input.value) d_.Update([&](FilterSettings& f) { f.gray_mode = mode; });
    } else if (const int bayer = RadioIndex(kBayerRadios, 4, id); bayer >= 0) {
        if (input.value) d_.Update([&](FilterSettings& f) { f.bayer_mode = bayer; });
    } else if (id == IDC_AUTO_ONCE) {
        d_.Update([](FilterSettings& f) { f.gray_calibration = 1; });
    } else if (id == IDC_AUTO_ALL_FRAMES) {
        d_.Update([](FilterSettings& f) { f.gray_calibration = f.gray_calibration == -1 ? 0 : -1; });
    }
    return out;
}

settings::DialogModel::Answer ImageDialog::Button(int id) {
    Answer answer;
    if (id == 1 || id == 2) {
        answer.end_with = id;
        return answer;
    }
    if (id != IDC_DEFAULT) return answer;
    const bool gray = rules_.gray_page;
    Update([gray](FilterSettings& f) {
        f.brightness = f.contrast = f.hue = f.saturation = f.sharpness = 0;
        f.bayer_red = f.bayer_green = f.bayer_blue = f.gamma = 100;
        f.bayer_mode = 2;
        if (gray) f.gray_gain = f.gray_offset = {128, 128, 128, 128};  // the grey mode stays
    });
    answer.updates.push_back({0, filter_page_.Initialise()});
    if (gray) answer.updates.push_back({1, gray_page_.Initialise()});
    return answer;
}

void ImageDialog::PostingPage::SetPoster(std::function<void(int, int)> post) {
    std::lock_guard<std::mutex> lock(lock_);
    post_ = std::move(post);
}

void ImageDialog::PostingPage::Post() {
    std::lock_guard<std::mutex> lock(lock_);
    if (post_) post_(settings::kShowAll, 0);
}

void ImageDialog::Refresh() {
    filter_page_.Post();
    gray_page_.Post();
}

void ImageDialog::End(int result) {
    if (result == 1) return;
    std::lock_guard<std::mutex> lock(s_.frame_lock_);
    s_.filters_ = copy_;
}

}  // namespace kelvox
