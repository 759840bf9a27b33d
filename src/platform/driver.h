#pragma once
// The camera's kernel driver as the SDK sees it: device-interface enumeration, file handles and
// DeviceIoControl with OVERLAPPED-style completion. The product build passes through to SetupAPI,
// CreateFileA and DeviceIoControl; sim builds link the simulated camera behind the same interface.
// Win32 error codes come back through out-parameters instead of the thread's last error.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvox::platform {

using DeviceHandle = intptr_t;  // 0 and -1 are never valid handles, as with CreateFileA

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// Win32 error codes the layers above look at.
enum : uint32_t {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorGenFailure = 31,
    kErrorSharingViolation = 32,
    kErrorInvalidParameter = 87,
    kErrorInsufficientBuffer = 122,
    kErrorOperationAborted = 995,
    kErrorIoIncomplete = 996,
    kErrorIoPending = 997,
    kErrorDeviceNotConnected = 1167,
};

enum class WaitResult { Signalled, TimedOut, Failed };
constexpr uint32_t kWaitInfinite = 0xFFFFFFFFu;

// An OVERLAPPED with its own auto-reset event. It must outlive the request it is given to.
class Overlapped {
public:
    virtual ~Overlapped() = default;
    virtual WaitResult Wait(uint32_t timeout_ms) = 0;
};

class Driver {
public:
    virtual ~Driver() = default;

    // Device-interface paths of the present interfaces of the class, by member index, for members
    // 0 to max_members - 1 that exist; an empty string stands for a member that could not be read.
    // False when there is no device information set.
    virtual bool EnumerateInterfaces(const Guid& interface_class, uint32_t max_members,
                                     std::vector<std::string>* paths) = 0;

    // CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0).
    // Returns -1 on failure with *error set.
    virtual DeviceHandle Open(const char* path, bool overlapped, uint32_t* error) = 0;
    // CloseHandle; requests still pending on the handle are cancelled.
    virtual void Close(DeviceHandle handle) = 0;

    virtual std::unique_ptr<Overlapped> CreateOverlapped() = 0;

    // DeviceIoControl. Without an overlapped the call completes before returning. With one, it may
    // return false with *error == kErrorIoPending; the request then completes later, signalling the
    // overlapped's event, and the input and output buffers must stay valid until then.
    virtual bool IoControl(DeviceHandle handle, uint32_t code, void* in, uint32_t in_size, void* out,
                           uint32_t out_size, uint32_t* bytes_returned, Overlapped* overlapped,
                           uint32_t* error) = 0;

    // GetOverlappedResult: false with kErrorIoIncomplete while pending (and wait is false).
    virtual bool GetOverlappedResult(DeviceHandle handle, Overlapped* overlapped, uint32_t* bytes,
                                     bool wait, uint32_t* error) = 0;

    // CancelIoEx(handle, NULL): every request pending on the handle completes as aborted.
    virtual bool CancelIo(DeviceHandle handle) = 0;
};

// The back end this build links.
Driver& ActiveDriver();

// I/O control codes of the camera driver (device type 0x22).
enum : uint32_t {
    kIoctlControlRequest = 0x220020,
    kIoctlBufferedBulk = 0x220024,
    kIoctlResetPipe = 0x22002C,
    kIoctlResetParentPort = 0x220030,
    kIoctlAbortPipe = 0x220044,
    kIoctlDirectBulk = 0x22004B,
    kIoctlLinkSpeed = 0x22004C,
};

}  // namespace kelvox::platform
