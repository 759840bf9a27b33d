#pragma once
// The analog dialog's model: gains, exposure, mirrors and the optional controls of the open
// camera, changed on the camera and in the session's settings cache as the user moves a control;
// anything but OK puts back what was there before.
#include <functional>
#include <mutex>
#include <vector>

#include "settings/dialog_model.h"
#include "settings/dialog_text.h"
#include "settings/records.h"

namespace kelvox {

class Session;

class AnalogDialog final : public settings::DialogModel, public settings::PageModel {
public:
    // Reads the camera's present values into the session's cache and keeps a copy of it.
    AnalogDialog(Session& session, settings::Language language);

    int TemplateId() const override;
    std::vector<Page> Pages() override;
    Answer Button(int id) override;
    settings::Updates Initialise() override;
    settings::Updates Changed(int id, const settings::ControlInput& input) override;
    void SetPoster(std::function<void(int id, int value)> post) override;

    // Called by the frame thread (frame lock held) when the automatic control changed the gain or
    // the exposure: the page shows it as if typed. Does nothing once the dialog has ended.
    void Show(int id, int value);
    // After the dialog: unless it ended with OK, the copy goes back to the camera and the cache.
    void End(int result);

private:
    settings::Updates Exposure(int value);
    settings::Updates ExposureSeconds(double seconds);
    void ShowExposureSeconds(settings::Updates& out, double seconds);
    void WriteToCamera(const CameraSettings& values);
    template <class F>
    void Update(F change);
    CameraSettings Cached();

    Session& s_;
    settings::Language language_;
    bool colour_page_ = true;
    CameraSettings copy_;
    int bayer_mode_copy_ = 2;
    bool has_seconds_ = false, has_black_level_ = false, has_peltier_ = false, has_short_ = false,
         has_gain_mode_ = false;
    double seconds_min_ = 0, seconds_max_ = 0, seconds_default_ = 0;
    std::vector<int> units_;  // the unit of each entry of the unit box
    int unit_entry_ = 0;
    std::mutex post_lock_;
    std::function<void(int, int)> post_;
};

}  // namespace kelvox
