#pragma once
// The object that talks to one camera through the FX3 driver: it joins the machine-wide device
// table and keeps the selected entry, sends vendor requests on endpoint 0 (I2C bridge, registers,
// device information, stream control), reads frames from the image endpoint, and owns the
// transfer buffer and the locks that keep register sequences whole.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/driver.h"
#include "platform/shared_memory.h"
#include "usb/controller.h"
#include "usb/driver_io.h"
#include "usb/fx3_protocol.h"

namespace kelvox::usb {

constexpr uint32_t kTransferBufferSize = 0x4000026;  // 64 MiB and one record header
constexpr uint32_t kMaxTransferLength = 0x4000000;
constexpr uint32_t kFramePiece = 0x80000;  // 512 KiB per payload read
constexpr uint32_t kDefaultTransferWaitMs = 3000;
constexpr uint32_t kArmedTransferWaitMs = 5000;

// Where a frame read puts the header and the payload.
struct FrameDescriptor {
    uint8_t header[kFrameHeaderSize];
    uint8_t header_words[8];  // header bytes 32..39 again, right after the header
    uint8_t* buffer;
    uint32_t capacity;
};

class Fx3Controller : public Controller {
public:
    // An interface class replaces the camera driver's default one.
    explicit Fx3Controller(const platform::Guid* interface_class = nullptr);
    ~Fx3Controller() override;
    Fx3Controller(const Fx3Controller&) = delete;
    Fx3Controller& operator=(const Fx3Controller&) = delete;

    // ---- device table and selection ----
    // Runs enumeration into the shared table; the entry count.
    int EnumerateDevices();
    // Closes the data handle and selects the entry when a handle to it can be opened.
    bool SelectDevice(int index);
    // The model name of the entry with its instance number ("Kelvox-Nx40-USB3-Q5_00").
    bool GetDeviceName(int index, std::string* name);
    // Allocates the transfer buffer (once) and resets the camera's port.
    bool PrepareDevice();
    // Closes the data handle and frees the transfer buffer.
    void CloseController();

    int selected_index() const { return selected_index_; }
    const platform::Guid& interface_class() const { return interface_class_; }
    uint32_t last_error() const { return last_error_; }  // of the latest direct-transfer submission
    const std::string& debug_log_path() const { return debug_log_path_; }

    // ---- I2C bridge and the devices behind it ----
    bool I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t timeout_ms) override;
    bool I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t timeout_ms) override;
    bool WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    bool ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
    bool ReadFpgaWord16(uint16_t* value) override;
    bool WriteEeprom(uint16_t address, uint8_t value);
    bool ReadEeprom(uint16_t address, uint8_t* value);

    bool ReadReadyFlag(uint8_t* value);
    bool StreamReset();
    // The arm request on the given handle, or on the data handle when none is given.
    bool ArmTransfer(DeviceHandle handle = kNoHandle);
    bool ReadDeviceInfo(uint8_t info[kInfoBlockSize]);

    // ---- requests on a synchronous handle of their own ----
    bool ResetParentPortSync();
    bool ResetPipeSync(uint8_t endpoint);

    // ---- data handle, transfers, frames ----
    bool OpenDataHandle();
    // False when no data handle was open.
    bool CloseDataHandle();
    // Releases every read pending on the image pipe of the data handle at once.
    void AbortImagePipe();

    // A direct bulk transfer; a wait that runs out aborts the image pipe and ends the transfer.
    bool DirectBulkTransfer(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint, uint32_t* bytes,
                            uint32_t wait_ms = kDefaultTransferWaitMs);
    // Through the transfer buffer: the record and the data go out and come back together.
    bool BufferedTransfer(DeviceHandle handle, uint8_t* destination, uint32_t length, uint8_t endpoint,
                          uint32_t* returned);

    // Arms and reads the 64-byte header, retrying with a receiver restart in between. Opens the
    // data handle if needed and keeps it open on success for the payload.
    bool ReadFrameHeader(FrameDescriptor* frame, uint32_t timeout_ms);
    // The payload the header announces, in 512 KiB pieces.
    bool ReadFrameData(FrameDescriptor* frame, uint32_t timeout_ms);

    DeviceHandle data_handle() const { return data_handle_.load(); }
    uint8_t* transfer_buffer() const { return transfer_buffer_.get(); }

private:
    // One vendor request on a fresh synchronous handle (or the given one). `data` goes out in the
    // record and, for requests that return data, comes back in `reply` (64 bytes).
    bool VendorRequest(uint8_t type, uint8_t request, uint16_t value, uint16_t index, const uint8_t* data,
                       size_t data_len, uint8_t* reply, uint32_t* reply_bytes, DeviceHandle on = kNoHandle);
    bool OpenDataHandleIfNeeded(bool* opened_here);
    bool ReadInfoBlock(uint8_t request, uint8_t info[kInfoBlockSize]);

    platform::SharedMemory shared_block_;  // this object's view of the machine-wide device table
    platform::Guid interface_class_;
    int selected_index_ = 0;
    uint32_t last_error_ = 0;
    std::string debug_log_path_;  // built, never written

    std::atomic<DeviceHandle> data_handle_{kNoHandle};
    // Counts the host's aborts of the image pipe: a header read that sees one stops retrying.
    std::atomic<uint32_t> image_pipe_aborts_{0};
    std::unique_ptr<uint8_t[]> transfer_buffer_;
    // An FPGA register read is a pointer write then a read: another thread's access in between
    // would move the pointer.
    std::recursive_mutex fpga_lock_;
    // Likewise the EEPROM's address write and read, and a write's programming time.
    std::recursive_mutex eeprom_lock_;
};

}  // namespace kelvox::usb
