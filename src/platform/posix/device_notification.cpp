#include "platform/device_notification.h"

namespace kelvox::platform {

bool RegisterDeviceInterfaceNotification(WindowHandle, const Guid&) { return true; }

}  // namespace kelvox::platform
