#pragma once
// The part of the controller that joins the machine-wide device table and keeps the selection.
#include <cstdint>
#include <string>

#include "platform/driver.h"
#include "platform/shared_memory.h"

namespace kelvox::usb {

class CFx3Api {
public:
    // An interface class replaces the camera driver's default one.
    explicit CFx3Api(const platform::Guid* interface_class = nullptr);
    virtual ~CFx3Api();
    CFx3Api(const CFx3Api&) = delete;
    CFx3Api& operator=(const CFx3Api&) = delete;

    // Runs enumeration into the shared table; the entry count.
    int EnumerateDevices();

    int selected_index() const { return selected_index_; }
    const platform::Guid& interface_class() const { return interface_class_; }
    uint32_t last_error() const { return last_error_; }
    const std::string& debug_log_path() const { return debug_log_path_; }

protected:
    platform::SharedMemory shared_block_;
    int selected_index_ = 0;
    platform::Guid interface_class_;
    uint32_t last_error_ = 0;  // outcome of the latest direct-transfer submission
    std::string debug_log_path_;  // built, never written
};

}  // namespace kelvox::usb
