#include "usb/fx3_api.h"

#include "platform/process_info.h"
#include "usb/device_table.h"

namespace kelvox::usb {

namespace {

// Drive and directory of the host program, then "DEBUGLOG.txt".
std::string DebugLogPath() {
    std::string exe = platform::ExecutablePath().substr(0, 260);
    const size_t slash = exe.find_last_of("\\/");
    const std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    std::string path = dir + "DEBUGLOG.txt";
    return path.substr(0, 511);
}

}  // namespace

CFx3Api::CFx3Api(const platform::Guid* interface_class)
    : interface_class_(interface_class ? *interface_class : kCameraInterfaceClass) {
    DeviceTable::Process().Attach(&shared_block_);
    debug_log_path_ = DebugLogPath();
}

CFx3Api::~CFx3Api() { DeviceTable::Process().Detach(&shared_block_); }

int CFx3Api::EnumerateDevices() { return DeviceTable::Process().Enumerate(&shared_block_, interface_class_); }

}  // namespace kelvox::usb
