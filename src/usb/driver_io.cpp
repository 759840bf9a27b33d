#include "usb/driver_io.h"

#include <cstring>

#include "platform/clock.h"
#include "usb/device_table.h"
#include "usb/transfer_record.h"

namespace kelvox::usb {

namespace {

platform::Driver& Driver() { return platform::ActiveDriver(); }

// How long a cancelled transfer is given to come back before its memory is abandoned to it.
constexpr uint32_t kCancelGraceMs = 2000;
// How long an aborted transfer is given to come back before the next, harder step.
constexpr uint32_t kAbortSettleMs = 50;
constexpr uint32_t kBufferedTransferWaitMs = 3000;

bool Succeeds(bool ok, uint32_t error) { return ok || error == 0; }

}  // namespace

bool OpenDeviceHandle(DeviceHandle* handle, int index, bool overlapped) {
    if (!handle || index >= kMaxDevices || index < 0) return false;
    DeviceTable& table = DeviceTable::Process();
    if (index >= table.entry_count()) return false;
    DeviceTableEntry entry;
    if (!table.Entry(index, &entry)) return false;
    uint32_t error = 0;
    const DeviceHandle h = Driver().Open(entry.path, overlapped, &error);
    if (h == -1 || h == 0) return false;
    *handle = h;
    return true;
}

bool CloseDeviceHandle(DeviceHandle* handle) {
    if (!handle || *handle == kNoHandle) return false;
    Driver().Close(*handle);
    *handle = kNoHandle;
    return true;
}

bool IsDeviceOpenable(int index) {
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, index, false)) return false;
    CloseDeviceHandle(&h);
    return true;
}

bool SendControlRequest(DeviceHandle handle, uint8_t* record, uint32_t size, uint32_t* bytes_returned) {
    uint32_t bytes = 0, error = 0;
    if (!Driver().IoControl(handle, platform::kIoctlControlRequest, record, size, record, size, &bytes, nullptr,
                            &error))
        return false;
    if (bytes_returned) *bytes_returned = bytes;
    return true;
}

bool ResetPipe(DeviceHandle handle, uint8_t endpoint) {
    uint32_t bytes = 0, error = 0;
    return Driver().IoControl(handle, platform::kIoctlResetPipe, &endpoint, 1, nullptr, 0, &bytes, nullptr, &error);
}

bool ResetParentPort(DeviceHandle handle) {
    uint32_t bytes = 0, error = 0;
    return Driver().IoControl(handle, platform::kIoctlResetParentPort, nullptr, 0, nullptr, 0, &bytes, nullptr,
                              &error);
}

bool GetLinkSpeed(DeviceHandle handle, uint32_t* code) {
    uint8_t value[4] = {};
    uint32_t bytes = 0, error = 0;
    if (!Driver().IoControl(handle, platform::kIoctlLinkSpeed, value, 4, value, 4, &bytes, nullptr, &error))
        return false;
    if (code) *code = GetLe32(value);
    return true;
}

void AbortImagePipe(DeviceHandle handle) {
    auto overlapped = Driver().CreateOverlapped();
    uint8_t endpoint = kImageEndpoint;
    uint32_t bytes = 0, error = 0;
    if (!Driver().IoControl(handle, platform::kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &bytes, overlapped.get(),
                            &error) &&
        error == kErrorIoPending) {
        // The abort itself must not hang us: bounded, then its request is cancelled and awaited.
        if (overlapped->Wait(kCancelGraceMs) != platform::WaitResult::Signalled) {
            Driver().CancelIo(handle);
            if (overlapped->Wait(kCancelGraceMs) != platform::WaitResult::Signalled) overlapped.release();
        }
    }
}

DirectTransfer SubmitDirectTransfer(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint) {
    DirectTransfer t;
    t.header = std::make_unique<uint8_t[]>(kRecordHeaderSize);
    BuildDirectHeader(t.header.get(), endpoint);
    t.overlapped = Driver().CreateOverlapped();
    uint32_t bytes = 0, error = 0;
    const bool ok = Driver().IoControl(handle, platform::kIoctlDirectBulk, t.header.get(), kRecordHeaderSize, buffer,
                                       length, &bytes, t.overlapped.get(), &error);
    t.submit_error = ok ? 0 : error;
    return t;
}

bool WaitDirectTransfer(DirectTransfer& t, uint32_t timeout_ms) {
    if (t.submit_error == 0) return true;
    if (t.submit_error != kErrorIoPending) return false;
    return t.overlapped->Wait(timeout_ms) == platform::WaitResult::Signalled;
}

bool CompleteDirectTransfer(DeviceHandle handle, DirectTransfer& t, uint32_t* bytes) {
    uint32_t n = 0, error = 0;
    bool ok = Driver().GetOverlappedResult(handle, t.overlapped.get(), &n, false, &error);
    if (ok) {
        if (bytes) *bytes = n;
        if (RecordNtStatus(t.header.get()) != 0 || RecordUsbdStatus(t.header.get()) != 0) {
            platform::SleepMs(1);
            ok = false;
        }
    }
    t.header.reset();
    return ok;
}

void EndAbandonedTransfer(DeviceHandle handle, DirectTransfer& t) {
    const bool was_pending = t.submit_error == kErrorIoPending;
    AbortImagePipe(handle);
    if (t.overlapped->Wait(kAbortSettleMs) != platform::WaitResult::Signalled) {
        AbortImagePipe(handle);
        // Only a request that went pending is still out there to wait for. The abort reaches the
        // image pipe alone; cancelling the handle's I/O ends a transfer on any other pipe too.
        if (was_pending && t.overlapped->Wait(kAbortSettleMs) != platform::WaitResult::Signalled) {
            Driver().CancelIo(handle);
            if (t.overlapped->Wait(kCancelGraceMs) != platform::WaitResult::Signalled) {
                // The driver still holds it: leave it the memory it may write into.
                t.header.release();
                t.overlapped.release();
                return;
            }
        }
    }
    t.header.reset();
}

bool BufferedBulkTransfer(DeviceHandle handle, uint8_t* record, uint32_t size, uint32_t* bytes_returned) {
    auto overlapped = Driver().CreateOverlapped();
    uint32_t bytes = 0, error = 0;
    bool ok = Driver().IoControl(handle, platform::kIoctlBufferedBulk, record, size, record, size, &bytes,
                                 overlapped.get(), &error);
    if (!Succeeds(ok, error)) {
        if (error != kErrorIoPending) return false;
        switch (overlapped->Wait(kBufferedTransferWaitMs)) {
            case platform::WaitResult::Signalled:
                ok = Driver().GetOverlappedResult(handle, overlapped.get(), &bytes, false, &error);
                break;
            case platform::WaitResult::TimedOut:
                AbortImagePipe(handle);
                if (overlapped->Wait(kAbortSettleMs) != platform::WaitResult::Signalled) {
                    Driver().CancelIo(handle);
                    if (overlapped->Wait(kCancelGraceMs) != platform::WaitResult::Signalled) overlapped.release();
                }
                return false;
            default:
                return false;
        }
        if (!ok) return false;
    }
    if (bytes_returned) *bytes_returned = bytes;
    return true;
}

}  // namespace kelvox::usb
