#pragma once
#include "platform/driver.h"
#include "platform/window_message.h"

namespace kelvox::platform {

// Asks the system to send the window WM_DEVICECHANGE for the interfaces of the class (never
// revoked). True where there is no such system service to ask.
bool RegisterDeviceInterfaceNotification(WindowHandle window, const Guid& interface_class);

}  // namespace kelvox::platform
