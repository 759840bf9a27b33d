#pragma once
// The driver's I/O operations: handles to a device of the table, control requests, pipe and port
// resets, the link speed, the image-pipe abort and bulk transfers (direct and buffered).
#include <cstdint>
#include <memory>

#include "platform/driver.h"
#include "usb/fx3_protocol.h"

namespace kelvox::usb {

using platform::DeviceHandle;
constexpr DeviceHandle kNoHandle = 0;  // an empty handle field

constexpr uint32_t kErrorIoPending = platform::kErrorIoPending;

// A handle for the table entry `index` (synchronous, or overlapped for streaming); the field stays
// empty on failure.
bool OpenDeviceHandle(DeviceHandle* handle, int index, bool overlapped);
// Closes a non-empty handle and empties the field; false when it was empty already.
bool CloseDeviceHandle(DeviceHandle* handle);
// The index is in the table and a synchronous handle to it can be opened.
bool IsDeviceOpenable(int index);

bool SendControlRequest(DeviceHandle handle, uint8_t* record, uint32_t size, uint32_t* bytes_returned);
bool ResetPipe(DeviceHandle handle, uint8_t endpoint);
bool ResetParentPort(DeviceHandle handle);
bool GetLinkSpeed(DeviceHandle handle, uint32_t* code);
// Cancels the transfers pending on the image pipe; the abort itself is bounded.
void AbortImagePipe(DeviceHandle handle);

// A submitted direct transfer: the header the driver reports status in must live until the
// transfer has completed, and so must the caller's buffer.
struct DirectTransfer {
    std::unique_ptr<uint8_t[]> header;
    std::unique_ptr<platform::Overlapped> overlapped;
    uint32_t submit_error = 0;  // 0: completed at once; kErrorIoPending: in progress; else failed
};

DirectTransfer SubmitDirectTransfer(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint);
bool WaitDirectTransfer(DirectTransfer& transfer, uint32_t timeout_ms);
// The outcome of a finished transfer: its byte count, and failure when the driver reports an NT or
// USBD status (after a 1 ms pause). Frees the header.
bool CompleteDirectTransfer(DeviceHandle handle, DirectTransfer& transfer, uint32_t* bytes);
// After a failed wait: aborts the image pipe and makes sure the transfer has ended before its
// memory is let go. A transfer that still does not end is cancelled, and if even that does not
// finish it the header and OVERLAPPED are left to the driver rather than freed under it.
void EndAbandonedTransfer(DeviceHandle handle, DirectTransfer& transfer);

bool BufferedBulkTransfer(DeviceHandle handle, uint8_t* record, uint32_t size, uint32_t* bytes_returned);

}  // namespace kelvox::usb
