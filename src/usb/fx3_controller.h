#pragma once
// The object that talks to one camera through the FX3 driver: vendor requests on endpoint 0 (I2C
// bridge, registers, device information, stream control), frame reads from the image endpoint,
// the transfer buffer and the locks that keep register sequences whole.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "usb/controller.h"
#include "usb/driver_io.h"
#include "usb/fx3_api.h"

namespace kelvox::usb {

constexpr uint32_t kTransferBufferSize = 0x4000026;  // 64 MiB and one record header
constexpr uint32_t kMaxTransferLength = 0x4000000;
constexpr uint32_t kFramePiece = 0x80000;  // 512 KiB per payload read

// Where a frame read puts the header and the payload.
struct FrameDescriptor {
    uint8_t header[64];
    uint8_t header_words[8];  // header bytes 32..39 again, right after the header
    uint8_t* buffer;
    uint32_t capacity;
};

class Fx3Controller : public CFx3Api, public Controller {
public:
    explicit Fx3Controller(const platform::Guid* interface_class = nullptr);
    ~Fx3Controller() override;

    // ---- in the controller's own order ----
    virtual int OpenDataHandle();
    virtual int ReadFrameHeader(FrameDescriptor* frame, uint32_t timeout_ms);
    virtual int ReadFrameData(FrameDescriptor* frame, uint32_t timeout_ms);
    virtual int ReadFrameFromEndpoint83(FrameDescriptor* frame);
    virtual int CloseDataHandle();
    virtual int SetStreamSelect(uint8_t value);
    virtual int GetStreamSelect(uint8_t* value);
    virtual int BufferedTransfer(DeviceHandle handle, uint8_t* destination, uint32_t length, uint8_t endpoint,
                                 uint32_t* returned);
    virtual int DirectTransfer5000(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                   uint32_t* bytes);
    virtual int DirectTransferWithTimeout(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                          uint32_t* bytes, uint32_t wait_ms);
    virtual int DirectTransfer3000(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                   uint32_t* bytes);

    // ---- the interface sensor drivers hold ----
    void CloseController() override;
    int SelectDevice(int index) override;
    int ReadFpgaWord16(uint16_t* value) override;
    int ReadReadyFlag(uint8_t* value) override;
    int SendRequestCC() override;
    int I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t timeout_ms) override;
    int I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t timeout_ms) override;
    int WriteRegister16(uint16_t address, uint32_t value) override;
    int ReadRegister16(uint16_t address, uint16_t* value) override;
    int WritePair(uint16_t a, uint16_t b) override;
    int ReadWord3F(uint16_t argument, uint16_t* value) override;
    int WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    int ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
    int WriteAux5A(uint8_t reg, uint8_t value) override;
    int ReadAux5A(uint8_t reg, uint8_t* value) override;
    int WriteEeprom(uint16_t address, uint8_t value) override;
    int ReadEeprom(uint16_t address, uint8_t* value) override;
    int AbortImagePipe() override;

    // ---- used by the device layer ----
    int PrepareDevice();
    int ResetParentPortSync();
    int ResetPipeSync(uint8_t endpoint);
    int GetLinkSpeedSync(uint32_t* code);
    int StreamReset();
    int ReadDeviceInfo(uint8_t info[64]);
    int ReadFpgaInfo(uint8_t info[64]);
    // Request 0xC2 on the given handle, or on the data handle when none is given.
    int ArmTransfer(DeviceHandle handle = kNoHandle);
    // The model name of the entry with its instance number ("Kelvox-Nx40-USB3-Q5_00").
    int GetDeviceName(int index, std::string* name);

    DeviceHandle data_handle() const { return data_handle_.load(); }
    uint8_t* transfer_buffer() const { return transfer_buffer_.get(); }

private:
    // One vendor request on a fresh synchronous handle (or the given one). `data` goes out in the
    // record and, for requests that return data, comes back in `reply` (64 bytes).
    bool VendorRequest(uint8_t type, uint8_t request, uint16_t value, uint16_t index, const uint8_t* data,
                       size_t data_len, uint8_t* reply, uint32_t* reply_bytes, DeviceHandle on = kNoHandle);
    bool OpenDataHandleIfNeeded(bool* opened_here);
    int ReadInfoBlock(uint8_t request, uint8_t info[64]);

    std::atomic<DeviceHandle> data_handle_{kNoHandle};
    std::unique_ptr<uint8_t[]> transfer_buffer_;
    uint8_t header_area_[64] = {};
    std::recursive_mutex fpga_lock_;    // lock A: FPGA control register sequences
    std::recursive_mutex eeprom_lock_;  // lock B: EEPROM accesses
};

}  // namespace kelvox::usb
