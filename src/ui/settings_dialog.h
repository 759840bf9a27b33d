#pragma once
// The settings dialogs on the screen: a modal dialog from the library's resources whose controls
// show what its model says and report what the user changes to it.
#include "platform/window_message.h"
#include "settings/dialog_model.h"

namespace kelvox::ui {

// Runs the model's dialog over `owner` on the calling thread and returns its result (1 OK,
// 2 Cancel); 0 when the dialog cannot be shown (no window system, or no such resource).
int RunSettingsDialog(platform::WindowHandle owner, settings::DialogModel& model);
// The system's default language id (1041 is Japanese); 0 where there is none.
int SystemLanguageId();

}  // namespace kelvox::ui
