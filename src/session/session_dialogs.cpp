// The settings dialogs as the session runs them: the capture stopped around the camera dialog and
// restarted after it, the stored stream format read again after OK, and the analog and image
// dialogs' models known to frame processing while they are open.
#include <algorithm>

#include "session/analog_dialog.h"
#include "session/image_dialog.h"
#include "session/session.h"
#include "settings/camera_dialog.h"
#include "ui/settings_dialog.h"

namespace kelvox {

namespace {

settings::Language DialogLanguage() { return settings::LanguageOfSystem(ui::SystemLanguageId()); }

}  // namespace

bool Session::NeedDialogs() {
    if (!NeedOpenCamera()) return false;
    if (ui::kHasWindowSystem) return true;
    RecordError(KELVOX_ERR_WINDOW);
    return false;
}

int Session::ShowDialog(platform::WindowHandle owner, settings::DialogModel& model) {
    const int result = ui::RunSettingsDialog(owner, model);
    if (!result) RecordError(KELVOX_ERR_WINDOW);
    return result;
}

int Session::SetCameraDlg(platform::WindowHandle owner) {
    if (!NeedDialogs()) return 0;
    // The control lock is not held through the dialog: other host threads' calls return meanwhile.
    int state = kIdle;
    {
        std::lock_guard<std::recursive_mutex> control(control_lock_);
        state = capture_state_.load();
        if (state != kIdle) StopPreview();
    }
    settings::CameraDialogSetup setup;
    setup.camera = std::max(open_camera_, 0);
    setup.caps = FormatCapabilities();
    sensor::SensorInfo info{};
    device_->GetSensorInfo(&info);
    setup.window_h = info.window_h_settable != 0;
    setup.window_v = info.window_v_settable != 0;
    setup.language = DialogLanguage();
    settings::CameraDialog dialog(setup);
    const int result = ShowDialog(owner, dialog);
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (result == 1) {
        LoadStreamGeometry();
        LoadStreamFormat();
    }
    if (state == kLivePreview) StartPreview();
    else if (state == kCapturePrepared) Capture();
    return result ? 1 : 0;
}

int Session::SetAnalogDlg(platform::WindowHandle owner) {
    if (!NeedDialogs()) return 0;
    AnalogDialog dialog(*this, DialogLanguage());
    SetAnalogDialog(&dialog);
    const int result = ShowDialog(owner, dialog);
    SetAnalogDialog(nullptr);
    dialog.End(result);
    return result ? 1 : 0;
}

void Session::SetAnalogDialog(AnalogDialog* dialog) {
    std::lock_guard<std::mutex> lock(frame_lock_);
    analog_dialog_ = dialog;
}

void Session::SetImageDialog(ImageDialog* dialog) {
    std::lock_guard<std::mutex> lock(frame_lock_);
    image_dialog_ = dialog;
}

int Session::SetImageDlg(platform::WindowHandle owner) {
    if (!NeedDialogs()) return 0;
    ImageDialog dialog(*this, DialogLanguage());
    SetImageDialog(&dialog);
    const int result = ShowDialog(owner, dialog);
    SetImageDialog(nullptr);
    dialog.End(result);
    return result ? 1 : 0;
}

}  // namespace kelvox
