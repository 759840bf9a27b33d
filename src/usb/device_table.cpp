#include "usb/device_table.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/process_info.h"

namespace kelvox::usb {

namespace {
std::string SimSuffix() {
#ifdef KELVOX_SIM_BUILD
    const char* suffix = std::getenv("KELVOX_SIM_SHARED_SUFFIX");
    return suffix ? std::string(suffix).substr(0, 64) : std::string();
#else
    return std::string();
#endif
}
}  // namespace

std::string SharedBlockName() { return kSharedBlockName + SimSuffix(); }
std::string SharedBlockLockName() { return kSharedBlockLockName + SimSuffix(); }

DeviceTable& DeviceTable::Process() {
    static DeviceTable* table = new DeviceTable;  // controllers may still detach during exit
    return *table;
}

DeviceTable::DeviceTable() { Clear(); }

void DeviceTable::Clear() {
    for (DeviceTableEntry& e : copy_.entries) {
        std::memset(&e, 0, sizeof e);
        e.instance = -1;
    }
    copy_.entry_count = 0;
}

void DeviceTable::ReadBlock(const platform::SharedMemory& block) {
    std::memcpy(&copy_, block.data(), sizeof copy_);
    // Another process's bytes: keep the count inside the table.
    if (copy_.entry_count < 0 || copy_.entry_count > kMaxDevices) copy_.entry_count = kMaxDevices;
    for (DeviceTableEntry& e : copy_.entries) e.path[sizeof e.path - 1] = '\0';
}

void DeviceTable::WriteBlock(platform::SharedMemory& block) const {
    std::memcpy(block.data(), &copy_, sizeof copy_);
}

void DeviceTable::Attach(platform::SharedMemory* block) {
    platform::NamedLockGuard shared(shared_lock_);
    std::lock_guard<std::mutex> lock(mutex_);
    const bool mapped = block->Open(SharedBlockName(), sizeof(SharedDeviceBlock));
    if (mapped && block->existed()) ReadBlock(*block);
    // Without a block this process works from its own copy alone.
    if (copy_.attach_count == 0) Clear();
    ++copy_.attach_count;
    if (mapped) WriteBlock(*block);
}

void DeviceTable::Detach(platform::SharedMemory* block) {
    platform::NamedLockGuard shared(shared_lock_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (block->is_open()) ReadBlock(*block);
    --copy_.attach_count;
    if (block->is_open()) WriteBlock(*block);
    block->Close();
}

uint16_t ParseHex4(const char* path, size_t pos) {
    const size_t len = std::strlen(path);
    unsigned value = 0;
    for (size_t i = pos; i < pos + 4 && i < len && std::isxdigit(static_cast<unsigned char>(path[i])); ++i)
        value = value * 16 + (std::isdigit(static_cast<unsigned char>(path[i])) ? path[i] - '0'
                                                                                  : std::tolower(static_cast<unsigned char>(path[i])) - 'a' + 10);
    return static_cast<uint16_t>(value);
}

int DeviceTable::Enumerate(platform::SharedMemory* block, const platform::Guid& interface_class) {
    platform::Driver& driver = platform::ActiveDriver();
    platform::NamedLockGuard shared(shared_lock_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (block->is_open()) ReadBlock(*block);

    std::vector<std::string> interfaces;
    if (!driver.EnumerateInterfaces(interface_class, kMaxDevices, &interfaces)) return copy_.entry_count;

    for (const std::string& full_path : interfaces) {
        if (full_path.empty()) continue;  // a member that could not be read is skipped
        // Probe: only an interface this process can open is taken.
        uint32_t error = 0;
        const platform::DeviceHandle probe = driver.Open(full_path.c_str(), true, &error);
        if (probe == -1 || probe == 0) continue;
        driver.Close(probe);

        // Stored and compared as the table holds it: at most 259 characters.
        char path[sizeof(DeviceTableEntry::path)] = {};
        std::strncpy(path, full_path.c_str(), sizeof path - 1);
        const uint16_t vendor = ParseHex4(path, 12);
        const uint16_t product = ParseHex4(path, 21);

        int instance = 0;
        bool known = false;
        for (const DeviceTableEntry& e : copy_.entries) {
            if (e.vendor_id != vendor || e.product_id != product) continue;
            if (std::strcmp(e.path, path) == 0) {
                known = true;
                break;
            }
            ++instance;
        }
        if (known || copy_.entry_count >= kMaxDevices) continue;  // a full table drops the rest

        DeviceTableEntry& slot = copy_.entries[copy_.entry_count];
        if (slot.product_id != 0) {
            char line[128];
            std::snprintf(line, sizeof line, "device table entry %d should have been empty\n", copy_.entry_count);
            platform::DebugOutput(line);
        }
        slot.vendor_id = vendor;
        slot.product_id = product;
        slot.instance = instance;
        std::memcpy(slot.path, path, sizeof path);
        ++copy_.entry_count;
    }
    if (block->is_open()) WriteBlock(*block);
    return copy_.entry_count;
}

int DeviceTable::entry_count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return copy_.entry_count;
}

bool DeviceTable::Entry(int index, DeviceTableEntry* out) {
    if (index < 0 || index >= kMaxDevices) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    *out = copy_.entries[index];
    return true;
}

SharedDeviceBlock DeviceTable::Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    return copy_;
}

}  // namespace kelvox::usb
