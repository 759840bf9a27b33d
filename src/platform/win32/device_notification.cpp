#include "platform/device_notification.h"

#include <windows.h>
#include <dbt.h>

#include <cstring>

namespace kelvox::platform {

bool RegisterDeviceInterfaceNotification(WindowHandle window, const Guid& interface_class) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = 32;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(&filter.dbcc_classguid, &interface_class, sizeof filter.dbcc_classguid);
    return RegisterDeviceNotificationA(static_cast<HWND>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE) != nullptr;
}

}  // namespace kelvox::platform
