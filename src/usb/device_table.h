#pragma once
// The table of attached cameras: a process copy shared by every controller of the process and
// mirrored into the machine-wide block "U3Q5-MemMap", so device indices and instance numbers are
// the same for every program.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/driver.h"
#include "platform/named_lock.h"
#include "platform/shared_memory.h"

namespace kelvox::usb {

constexpr int kMaxDevices = 32;
constexpr const char* kSharedBlockName = "U3Q5-MemMap";
constexpr const char* kSharedBlockLockName = "U3Q5-MemMap-Lock";

// The block's name as this process uses it. Sim builds append the environment variable
// KELVOX_SIM_SHARED_SUFFIX, so test programs running side by side keep separate tables; the
// product build always uses the machine-wide name.
std::string SharedBlockName();
std::string SharedBlockLockName();

static_assert(std::endian::native == std::endian::little, "the table's byte layout is little-endian");

#pragma pack(push, 1)
struct DeviceTableEntry {
    uint16_t vendor_id;
    uint16_t product_id;  // 0 marks an empty entry
    int32_t instance;     // n-th device of this vendor/product pair found; -1 when empty
    char path[260];       // device interface path, NUL-terminated
};

struct SharedDeviceBlock {
    int32_t attach_count;  // controllers attached, all processes
    DeviceTableEntry entries[kMaxDevices];
    int32_t entry_count;
};
#pragma pack(pop)

static_assert(sizeof(DeviceTableEntry) == 268);
static_assert(offsetof(SharedDeviceBlock, entries) == 4);
static_assert(offsetof(SharedDeviceBlock, entry_count) == 8580);
static_assert(sizeof(SharedDeviceBlock) == 8584);

// The interface class of the camera driver.
constexpr platform::Guid kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7,
                                                  {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

class DeviceTable {
public:
    // The copy of this process.
    static DeviceTable& Process();

    // A controller joins: takes the block's table when the block exists, starts empty when it is
    // the first controller anywhere, and counts itself. The block stays open in `block`.
    void Attach(platform::SharedMemory* block);
    // A controller leaves: uncounts itself and closes its view of the block.
    void Detach(platform::SharedMemory* block);
    // Adds the present, openable interfaces of the class that are not yet in the table; returns
    // the entry count.
    int Enumerate(platform::SharedMemory* block, const platform::Guid& interface_class);

    int entry_count();
    // A copy of entry `index` (0..31); false for an index outside the table's 32 entries.
    bool Entry(int index, DeviceTableEntry* out);
    SharedDeviceBlock Snapshot();

private:
    DeviceTable();
    void Clear();
    void ReadBlock(const platform::SharedMemory& block);
    void WriteBlock(platform::SharedMemory& block) const;

    // Attach, enumeration and detach of all processes go one at a time and re-read the block
    // under this lock, so no process writes back a stale table over another's changes.
    platform::NamedLock shared_lock_{SharedBlockLockName()};
    std::mutex mutex_;  // the copy, between threads of this process
    SharedDeviceBlock copy_{};
};

// "%04x" of the four characters at pos (fewer when the path ends or a non-digit comes first).
uint16_t ParseHex4(const char* path, size_t pos);

}  // namespace kelvox::usb
