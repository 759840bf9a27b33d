#include "ui/settings_dialog.h"

namespace kelvox::ui {

// No window system: no dialog.
int RunSettingsDialog(platform::WindowHandle, settings::DialogModel&) { return 0; }
int SystemLanguageId() { return 0; }

}  // namespace kelvox::ui
