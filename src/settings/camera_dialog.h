#pragma once
// The camera dialog's model: the stream format of one camera number (size presets, output format,
// wait time, clock) loaded from the registry, edited, and written back on OK and Apply.
#include <vector>

#include "settings/camera_store.h"
#include "settings/dialog_model.h"
#include "settings/dialog_text.h"
#include "settings/records.h"

namespace kelvox::settings {

struct CameraDialogSetup {
    int camera = 0;
    FormatCapabilities caps;
    bool window_h = true, window_v = true;  // the device can set the window's width / height
    Language language = Language::kEnglish;
};

class CameraDialog final : public DialogModel, public PageModel {
public:
    explicit CameraDialog(const CameraDialogSetup& setup);

    int TemplateId() const override;
    std::vector<Page> Pages() override { return {}; }
    std::vector<std::string> OwnTabs() override { return {StreamFormatTab(setup_.language)}; }
    PageModel* OwnControls() override { return this; }
    Updates Initialise() override;
    Updates Changed(int id, const ControlInput& input) override;
    Answer Button(int id) override;

    const std::vector<CaptureWindow>& presets() const { return presets_; }
    int format() const { return format_; }

private:
    // The edits into the selected preset (or a new one for "Custom"), then the registry.
    Updates Store();
    std::vector<std::string> SizeEntries() const;
    void ShowPreset(Updates& out, const CaptureWindow& preset) const;

    CameraDialogSetup setup_;
    std::vector<CaptureWindow> presets_;
    int size_index_ = 0;
    int format_ = 2;
    int subsample_ = 0;
    int wait_time_ = 1;
    int clock_ = 0;
    std::vector<int> format_entries_;  // the output format of each entry of the format box
    int format_entry_ = 0;
    int edits_[6] = {};  // total width, total height, width, height, x, y as typed
};

}  // namespace kelvox::settings
