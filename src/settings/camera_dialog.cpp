#include "settings/camera_dialog.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "resources/resource_ids.h"

namespace kelvox::settings {

namespace {

constexpr int kEditIds[6] = {IDC_TOTAL_WIDTH, IDC_TOTAL_HEIGHT, IDC_EFFECTIVE_WIDTH,
                             IDC_EFFECTIVE_HEIGHT, IDC_START_X, IDC_START_Y};
constexpr int kHighClock = 2;

int EditIndex(int id) {
    for (int i = 0; i < 6; ++i)
        if (kEditIds[i] == id) return i;
    return -1;
}

}  // namespace

CameraDialog::CameraDialog(const CameraDialogSetup& setup) : setup_(setup) {}

int CameraDialog::TemplateId() const {
    return setup_.language == Language::kJapanese ? IDD_CAMERA_JA : IDD_CAMERA_EN;
}

std::vector<std::string> CameraDialog::SizeEntries() const {
    std::vector<std::string> entries;
    for (const CaptureWindow& p : presets_) entries.push_back(SizeName(p.width, p.height));
    entries.push_back(CustomSizeName(setup_.language));
    return entries;
}

void CameraDialog::ShowPreset(Updates& out, const CaptureWindow& p) const {
    const int values[6] = {p.total_width, p.total_height, p.width, p.height, p.x, p.y};
    for (int i = 0; i < 6; ++i) out.push_back(Text(kEditIds[i], std::to_string(values[i])));
}

Updates CameraDialog::Initialise() {
    presets_ = ReadSizePresets(CameraKey(setup_.camera));
    StreamFormat stored;
    stored.color = format_;
    stored.wait_time = wait_time_;
    stored.clock = clock_;
    ReadStreamValues(setup_.camera, &size_index_, &stored);
    format_ = stored.color;
    wait_time_ = stored.wait_time;
    clock_ = stored.clock;
    subsample_ = 0;

    Updates out;
    const FormatCapabilities& caps = setup_.caps;
    format_entries_.clear();
    if (caps.mono8) format_entries_.push_back(0);
    if (caps.mono16) format_entries_.push_back(1);
    if (caps.colour24)
        for (int f = 2; f <= 5; ++f) format_entries_.push_back(f);
    if (!caps.colour24) format_ = caps.mono16 ? 1 : caps.mono8 ? 0 : format_;
    const auto found = std::find(format_entries_.begin(), format_entries_.end(), format_);
    format_entry_ = found == format_entries_.end() ? 0 : static_cast<int>(found - format_entries_.begin());
    std::vector<std::string> names;
    for (const int f : format_entries_) names.push_back(PixelFormatName(setup_.language, f));
    out.push_back(Items(IDC_PIXEL_FORMAT, names, format_entry_));

    out.push_back(Items(IDC_SUBSAMPLE, {"1/1"}, 0));
    out.push_back(Enabled(IDC_SUBSAMPLE, false));
    // The stored clock is shown, then the high clock: the only one this camera runs at.
    clock_ = kHighClock;
    out.push_back(Items(IDC_CLOCK, ClockNames(setup_.language), kHighClock));
    out.push_back(Enabled(IDC_CLOCK, false));

    out.push_back(Items(IDC_SIZE, SizeEntries(), size_index_));
    CaptureWindow shown;
    if (size_index_ >= 0 && size_index_ < static_cast<int>(presets_.size())) shown = presets_[size_index_];
    ShowPreset(out, shown);
    const int values[6] = {shown.total_width, shown.total_height, shown.width, shown.height, shown.x, shown.y};
    std::copy(values, values + 6, edits_);
    out.push_back(Text(IDC_WAIT_TIME, std::to_string(static_cast<unsigned>(wait_time_))));
    out.push_back(Enabled(IDC_APPLY, false));
    for (const int id : {IDC_TOTAL_WIDTH, IDC_EFFECTIVE_WIDTH, IDC_START_X})
        if (!setup_.window_h) out.push_back(Enabled(id, false));
    for (const int id : {IDC_TOTAL_HEIGHT, IDC_EFFECTIVE_HEIGHT, IDC_START_Y})
        if (!setup_.window_v) out.push_back(Enabled(id, false));
    if (!setup_.window_h && !setup_.window_v) out.push_back(Enabled(IDC_SIZE, false));
    return out;
}

Updates CameraDialog::Changed(int id, const ControlInput& input) {
    Updates out;
    if (const int i = EditIndex(id); i >= 0) {
        edits_[i] = std::atoi(input.text.c_str());
    } else if (id == IDC_WAIT_TIME) {
        wait_time_ = static_cast<int>(std::strtoul(input.text.c_str(), nullptr, 10));
    } else if (id == IDC_PIXEL_FORMAT) {
        format_entry_ = input.value;
    } else if (id == IDC_SIZE) {
        size_index_ = input.value;
        if (size_index_ >= 0 && size_index_ < static_cast<int>(presets_.size())) {
            const CaptureWindow& p = presets_[size_index_];
            ShowPreset(out, p);
            const int values[6] = {p.total_width, p.total_height, p.width, p.height, p.x, p.y};
            std::copy(values, values + 6, edits_);
        }
    } else if (id == IDC_SUBSAMPLE) {
        subsample_ = input.value;
    } else if (id == IDC_CLOCK) {
        clock_ = input.value;
    } else {
        return out;
    }
    out.push_back(Enabled(IDC_APPLY, true));
    return out;
}

Updates CameraDialog::Store() {
    Updates out;
    if (format_entry_ >= 0 && format_entry_ < static_cast<int>(format_entries_.size()))
        format_ = format_entries_[format_entry_];
    CaptureWindow edited;
    edited.total_width = edits_[0];
    edited.total_height = edits_[1];
    edited.width = edits_[2];
    edited.height = edits_[3];
    edited.x = edits_[4];
    edited.y = edits_[5];
    const int count = static_cast<int>(presets_.size());
    if (size_index_ >= count) {
        // "Custom": a new preset before "Custom", while the registry has room for it.
        if (count < kMaxSizePresets) {
            presets_.push_back(edited);  // four buffers, as every preset starts
            size_index_ = count;
        }
    } else if (size_index_ >= 0) {
        edited.buffers = presets_[size_index_].buffers;
        presets_[size_index_] = edited;
    }
    out.push_back(Items(IDC_SIZE, SizeEntries(), size_index_));
    out.push_back(Enabled(IDC_APPLY, false));
    StreamFormat stored;
    stored.color = format_;
    stored.subsample = 0;  // this camera's only subsampling entry
    stored.wait_time = wait_time_;
    stored.clock = clock_;
    WriteStreamValues(setup_.camera, presets_, size_index_, stored);
    return out;
}

DialogModel::Answer CameraDialog::Button(int id) {
    Answer answer;
    if (id == 1 || id == IDC_APPLY) {
        answer.updates.push_back({-1, Store()});
        answer.end_with = id == 1 ? 1 : 0;
    } else if (id == 2) {
        answer.end_with = 2;
    }
    return answer;
}

}  // namespace kelvox::settings
