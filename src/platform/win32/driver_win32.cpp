// The real driver: a thin pass-through to SetupAPI, CreateFileA and DeviceIoControl.
#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "platform/driver.h"

namespace kelvox::platform {
namespace {

class Win32Overlapped final : public Overlapped {
public:
    Win32Overlapped() {
        std::memset(&ov, 0, sizeof ov);
        ov.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    ~Win32Overlapped() override {
        if (ov.hEvent) CloseHandle(ov.hEvent);
    }
    WaitResult Wait(uint32_t timeout_ms) override {
        switch (WaitForSingleObject(ov.hEvent, timeout_ms)) {
            case WAIT_OBJECT_0: return WaitResult::Signalled;
            case WAIT_TIMEOUT: return WaitResult::TimedOut;
            default: return WaitResult::Failed;
        }
    }
    OVERLAPPED ov;
};

class Win32Driver final : public Driver {
public:
    bool EnumerateInterfaces(const Guid& interface_class, uint32_t max_members,
                             std::vector<std::string>* paths) override {
        GUID guid;
        static_assert(sizeof guid == sizeof interface_class);
        std::memcpy(&guid, &interface_class, sizeof guid);
        HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) return false;
        paths->clear();
        std::vector<unsigned char> buffer(1000);
        for (DWORD i = 0; i < max_members; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            std::string path;
            if (SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data)) {
                DWORD needed = 0;
                SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &needed, nullptr);
                if (needed > 0 && needed <= buffer.size()) {
                    std::memset(buffer.data(), 0, needed);
                    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
                    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
                    if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr))
                        path = detail->DevicePath;
                }
            }
            paths->push_back(path);
        }
        SetupDiDestroyDeviceInfoList(set);
        return true;
    }

    DeviceHandle Open(const char* path, bool overlapped, uint32_t* error) override {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
        if (h == INVALID_HANDLE_VALUE || h == nullptr) {
            *error = GetLastError();
            return -1;
        }
        return reinterpret_cast<DeviceHandle>(h);
    }

    void Close(DeviceHandle handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

    std::unique_ptr<Overlapped> CreateOverlapped() override { return std::make_unique<Win32Overlapped>(); }

    bool IoControl(DeviceHandle handle, uint32_t code, void* in, uint32_t in_size, void* out, uint32_t out_size,
                   uint32_t* bytes_returned, Overlapped* overlapped, uint32_t* error) override {
        DWORD bytes = 0;
        OVERLAPPED* ov = overlapped ? &static_cast<Win32Overlapped*>(overlapped)->ov : nullptr;
        const BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, in, in_size, out, out_size,
                                        &bytes, ov);
        *error = ok ? 0 : GetLastError();
        if (bytes_returned) *bytes_returned = bytes;
        return ok != 0;
    }

    bool GetOverlappedResult(DeviceHandle handle, Overlapped* overlapped, uint32_t* bytes, bool wait,
                             uint32_t* error) override {
        DWORD n = 0;
        const BOOL ok = ::GetOverlappedResult(reinterpret_cast<HANDLE>(handle),
                                              &static_cast<Win32Overlapped*>(overlapped)->ov, &n, wait);
        *error = ok ? 0 : GetLastError();
        if (bytes) *bytes = n;
        return ok != 0;
    }

    bool CancelIo(DeviceHandle handle) override { return CancelIoEx(reinterpret_cast<HANDLE>(handle), nullptr) != 0; }
};

}  // namespace

Driver& ActiveDriver() {
    static Win32Driver driver;
    return driver;
}

}  // namespace kelvox::platform
