#include "usb/fx3_controller.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/clock.h"
#include "usb/device_table.h"
#include "usb/model_table.h"
#include "usb/transfer_record.h"

namespace kelvox::usb {

namespace {

constexpr uint8_t kFpgaAddress = 0x40;
constexpr uint8_t kEepromAddress = 0xA2;
constexpr uint8_t kAuxAddress = 0x5A;
constexpr uint32_t kBusTimeoutMs = 3000;  // passed along; the record's own 3 s time-out applies
constexpr uint8_t kReceiverRestartRegister = 0x6C;
constexpr int kHeaderReadAttempts = 15;

}  // namespace

Fx3Controller::Fx3Controller(const platform::Guid* interface_class) : CFx3Api(interface_class) {}

Fx3Controller::~Fx3Controller() { CloseDataHandle(); }

bool Fx3Controller::VendorRequest(uint8_t type, uint8_t request, uint16_t value, uint16_t index, const uint8_t* data,
                               size_t data_len, uint8_t* reply, uint32_t* reply_bytes, DeviceHandle on) {
    DeviceHandle handle = on;
    const bool own_handle = handle == kNoHandle;
    if (own_handle && !OpenDeviceHandle(&handle, selected_index_, false)) return false;
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kControlRecordSize]);
    bool ok = false;
    if (record) {
        BuildControlRecord(record.get(), type, request, value, index);
        if (data && data_len) std::memcpy(record.get() + kRecordHeaderSize, data, data_len);
        uint32_t bytes = 0;
        ok = SendControlRequest(handle, record.get(), kControlRecordSize, &bytes);
        if (ok && reply) std::memcpy(reply, record.get() + kRecordHeaderSize, kControlDataSize);
        if (reply_bytes) *reply_bytes = ok ? DataBytes(bytes) : 0;
    }
    if (own_handle) CloseDeviceHandle(&handle);
    return ok;
}

// ---- I2C bridge and registers ----

int Fx3Controller::I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t) {
    if (count < 0 || count > 64) return 0;
    return VendorRequest(kRequestOut, 0x30, static_cast<uint16_t>(count), address, bytes, count, nullptr, nullptr);
}

int Fx3Controller::I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t) {
    if (count < 0 || count > 64) return 0;
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, 0x31, static_cast<uint16_t>(count), address | 1, nullptr, 0, reply, &n))
        return 0;
    if (n < static_cast<uint32_t>(count)) return 0;
    std::memcpy(bytes, reply, count);
    return 1;
}

int Fx3Controller::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(fpga_lock_);
    const uint8_t bytes[3] = {reg, 0x00, value};
    return I2cWrite(kFpgaAddress, bytes, 3, kBusTimeoutMs);
}

int Fx3Controller::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
    std::lock_guard<std::recursive_mutex> lock(fpga_lock_);
    if (!I2cWrite(kFpgaAddress, &reg, 1, kBusTimeoutMs)) return 0;
    uint8_t two[2];
    if (!I2cRead(kFpgaAddress, two, 2, kBusTimeoutMs)) return 0;
    if (value) *value = two[1];
    return 1;
}

int Fx3Controller::ReadFpgaWord16(uint16_t* value) {
    uint8_t low = 0, high = 0;
    if (!ReadFpgaRegister(0x10, &low) || !ReadFpgaRegister(0x11, &high)) return 0;
    if (value) *value = static_cast<uint16_t>(high << 8 | low);
    return 1;
}

int Fx3Controller::WriteAux5A(uint8_t reg, uint8_t value) {
    const uint8_t bytes[2] = {reg, value};
    return I2cWrite(kAuxAddress, bytes, 2, kBusTimeoutMs);
}

int Fx3Controller::ReadAux5A(uint8_t reg, uint8_t* value) {
    if (!I2cWrite(kAuxAddress, &reg, 1, kBusTimeoutMs)) return 0;
    uint8_t b = 0;
    if (!I2cRead(kAuxAddress, &b, 1, kBusTimeoutMs)) return 0;
    if (value) *value = b;
    return 1;
}

int Fx3Controller::WriteEeprom(uint16_t address, uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(eeprom_lock_);
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value};
    const int ok = I2cWrite(kEepromAddress, bytes, 3, kBusTimeoutMs);
    platform::SleepMs(14);  // the EEPROM's write cycle
    return ok;
}

int Fx3Controller::ReadEeprom(uint16_t address, uint8_t* value) {
    std::lock_guard<std::recursive_mutex> lock(eeprom_lock_);
    const uint8_t bytes[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    if (!I2cWrite(kEepromAddress, bytes, 2, kBusTimeoutMs)) return 0;
    platform::SleepMs(10);
    uint8_t b = 0;
    if (!I2cRead(kEepromAddress, &b, 1, kBusTimeoutMs)) return 0;
    if (value) *value = b;
    return 1;
}

int Fx3Controller::WriteRegister16(uint16_t address, uint32_t value) {
    uint8_t data[4];
    PutLe32(data, value);
    return VendorRequest(kRequestOut, 0xD0, address & 0x8000, address & 0x7FFF, data, 4, nullptr, nullptr);
}

int Fx3Controller::ReadRegister16(uint16_t address, uint16_t* value) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (value) *value = 0;
    if (!VendorRequest(kRequestIn, 0xD1, 0, address, nullptr, 0, reply, &n)) return 0;
    if (n >= kControlDataSize && value) *value = GetLe16(reply);
    return 1;
}

int Fx3Controller::WritePair(uint16_t a, uint16_t b) {
    const uint8_t data[4] = {static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a), static_cast<uint8_t>(b >> 8),
                             static_cast<uint8_t>(b)};
    return VendorRequest(kRequestOut, 0x3E, 0, 0, data, 4, nullptr, nullptr);
}

int Fx3Controller::ReadWord3F(uint16_t argument, uint16_t* value) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, 0x3F, argument, 0, nullptr, 0, reply, &n) || n == 0) return 0;
    if (value) *value = GetLe16(reply);
    return 1;
}

int Fx3Controller::SetStreamSelect(uint8_t value) {
    const uint8_t data[4] = {value, 0, 0, 0};
    return VendorRequest(kRequestOut, 0x3C, 0, 0, data, 4, nullptr, nullptr);
}

int Fx3Controller::GetStreamSelect(uint8_t* value) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, 0x3D, 0, 0, nullptr, 0, reply, &n) || n == 0) return 0;
    if (value) *value = reply[0];
    return 1;
}

int Fx3Controller::ReadReadyFlag(uint8_t* value) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, 0xC3, 0, 0, nullptr, 0, reply, &n) || n != kControlDataSize) return 0;
    if (value) *value = reply[0];
    return 1;
}

int Fx3Controller::SendRequestCC() { return VendorRequest(kRequestOutToEndpoint, 0xCC, 0, 0, nullptr, 0, nullptr, nullptr); }

int Fx3Controller::StreamReset() { return VendorRequest(kRequestOut, 0xC0, 0, 0, nullptr, 0, nullptr, nullptr); }

int Fx3Controller::ArmTransfer(DeviceHandle handle) {
    const DeviceHandle on = handle != kNoHandle ? handle : data_handle_.load();
    if (on == kNoHandle) return 0;
    return VendorRequest(kRequestOutToEndpoint, 0xC2, 0, 0, nullptr, 0, nullptr, nullptr, on);
}

// An information block is taken only when all 64 bytes came back.
int Fx3Controller::ReadInfoBlock(uint8_t request, uint8_t info[64]) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, request, 0, 0, nullptr, 0, reply, &n) || n != kControlDataSize) return 0;
    std::memcpy(info, reply, kControlDataSize);
    return 1;
}

int Fx3Controller::ReadDeviceInfo(uint8_t info[64]) { return ReadInfoBlock(0xB0, info); }

int Fx3Controller::ReadFpgaInfo(uint8_t info[64]) { return ReadInfoBlock(0xB1, info); }

// ---- device selection and synchronous requests ----

int Fx3Controller::SelectDevice(int index) {
    CloseDataHandle();
    if (!IsDeviceOpenable(index)) return 0;
    selected_index_ = index;
    return 1;
}

int Fx3Controller::PrepareDevice() {
    if (!transfer_buffer_) {
        transfer_buffer_.reset(new (std::nothrow) uint8_t[kTransferBufferSize]);
        if (!transfer_buffer_) return 0;
    }
    ResetParentPortSync();
    return 1;
}

int Fx3Controller::ResetParentPortSync() {
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, false)) return 0;
    const bool ok = ResetParentPort(h);
    CloseDeviceHandle(&h);
    return ok;
}

int Fx3Controller::ResetPipeSync(uint8_t endpoint) {
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, false)) return 0;
    const bool ok = ResetPipe(h, endpoint);
    CloseDeviceHandle(&h);
    return ok;
}

int Fx3Controller::GetLinkSpeedSync(uint32_t* code) {
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, false)) return 0;
    const bool ok = GetLinkSpeed(h, code);
    CloseDeviceHandle(&h);
    return ok;
}

int Fx3Controller::GetDeviceName(int index, std::string* name) {
    if (!IsDeviceOpenable(index)) return 0;
    DeviceTableEntry entry;
    if (!DeviceTable::Process().Entry(index, &entry)) return 0;
    const CameraModel* model = FindCameraModel(entry.product_id);
    if (!model) return 0;
    char text[64];
    std::snprintf(text, sizeof text, model->name_format, entry.instance);
    if (name) *name = text;
    return 1;
}

// ---- data handle and transfers ----

int Fx3Controller::OpenDataHandle() {
    if (data_handle_.load() != kNoHandle) return 1;
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, true)) return 0;
    data_handle_.store(h);
    return 1;
}

int Fx3Controller::CloseDataHandle() {
    DeviceHandle h = data_handle_.exchange(kNoHandle);
    return CloseDeviceHandle(&h);
}

bool Fx3Controller::OpenDataHandleIfNeeded(bool* opened_here) {
    *opened_here = data_handle_.load() == kNoHandle;
    return !*opened_here || OpenDataHandle();
}

void Fx3Controller::CloseController() {
    CloseDataHandle();
    transfer_buffer_.reset();
}

int Fx3Controller::AbortImagePipe() {
    const DeviceHandle h = data_handle_.load();
    if (h != kNoHandle) usb::AbortImagePipe(h);
    return 1;
}

int Fx3Controller::DirectTransferWithTimeout(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                          uint32_t* bytes, uint32_t wait_ms) {
    if (length > kMaxTransferLength || handle == kNoHandle || !transfer_buffer_) return 0;
    DirectTransfer t = SubmitDirectTransfer(handle, buffer, length, endpoint);
    last_error_ = t.submit_error;
    if (WaitDirectTransfer(t, wait_ms)) return CompleteDirectTransfer(handle, t, bytes);
    EndAbandonedTransfer(handle, t);
    return 0;
}

int Fx3Controller::DirectTransfer3000(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                   uint32_t* bytes) {
    return DirectTransferWithTimeout(handle, buffer, length, endpoint, bytes, 3000);
}

int Fx3Controller::DirectTransfer5000(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                   uint32_t* bytes) {
    if (length > kMaxTransferLength || handle == kNoHandle || !transfer_buffer_) return 0;
    ArmTransfer(handle);
    DirectTransfer t = SubmitDirectTransfer(handle, buffer, length, endpoint);
    last_error_ = t.submit_error;
    if (WaitDirectTransfer(t, 5000)) return CompleteDirectTransfer(handle, t, bytes);
    // No pipe abort on this path; the transfer is still ended before its memory goes.
    if (t.submit_error == kErrorIoPending) {
        platform::ActiveDriver().CancelIo(handle);
        if (t.overlapped->Wait(2000) != platform::WaitResult::Signalled) {
            t.header.release();
            t.overlapped.release();
        }
    }
    return 0;
}

int Fx3Controller::BufferedTransfer(DeviceHandle handle, uint8_t* destination, uint32_t length, uint8_t endpoint,
                                 uint32_t* returned) {
    if (length > kMaxTransferLength || !transfer_buffer_) return 0;
    uint8_t* record = transfer_buffer_.get();
    BuildBufferedHeader(record, endpoint, length);
    std::memset(record + kRecordHeaderSize, 0, length);
    uint32_t bytes = 0;
    if (!BufferedBulkTransfer(handle, record, kRecordHeaderSize + length, &bytes)) return 0;
    const uint32_t n = DataBytes(bytes);
    if (n <= length && destination) std::memcpy(destination, record + kRecordHeaderSize, n);
    if (returned) *returned = n;
    return 1;
}

// ---- frames ----

int Fx3Controller::ReadFrameHeader(FrameDescriptor* frame, uint32_t) {
    bool opened_here = false;
    if (!OpenDataHandleIfNeeded(&opened_here)) return 0;
    std::memset(header_area_, 0, sizeof header_area_);
    uint8_t header[64] = {};
    for (int reads = 0;; ++reads) {
        // The arm goes out once more after the last failed read.
        if (!ArmTransfer(data_handle_.load()) || reads == kHeaderReadAttempts) break;
        uint32_t bytes = 0;
        if (DirectTransferWithTimeout(data_handle_.load(), header, sizeof header, kImageEndpoint, &bytes, 400)) {
            std::memcpy(frame->header, header, sizeof header);
            std::memcpy(frame->header_words, header + 32, sizeof frame->header_words);
            return 1;
        }
        // Let the FPGA's receiver start over before the next try.
        WriteFpgaRegister(kReceiverRestartRegister, 1);
        WriteFpgaRegister(kReceiverRestartRegister, 0);
        platform::SleepMs(10);
    }
    if (opened_here) CloseDataHandle();
    return 0;
}

int Fx3Controller::ReadFrameData(FrameDescriptor* frame, uint32_t timeout_ms) {
    bool opened_here = false;
    if (!OpenDataHandleIfNeeded(&opened_here)) return 0;
    const uint32_t length = GetLe32(frame->header + 16);
    bool ok = frame->buffer && frame->capacity >= length;
    for (uint32_t offset = 0; ok && offset < length;) {
        const uint32_t piece = length - offset < kFramePiece ? length - offset : kFramePiece;
        uint32_t bytes = 0;
        ok = DirectTransferWithTimeout(data_handle_.load(), frame->buffer + offset, piece, kImageEndpoint, &bytes,
                                       timeout_ms);
        offset += piece;
    }
    if (opened_here) CloseDataHandle();
    return ok ? 1 : 0;
}

int Fx3Controller::ReadFrameFromEndpoint83(FrameDescriptor* frame) {
    bool opened_here = false;
    if (!OpenDataHandleIfNeeded(&opened_here)) return 0;
    const uint32_t length = GetLe32(frame->header + 16);
    uint32_t bytes = 0;
    const bool ok = frame->buffer && frame->capacity >= length &&
                    DirectTransfer5000(data_handle_.load(), frame->buffer, length, 0x83, &bytes);
    if (opened_here) CloseDataHandle();
    return ok ? 1 : 0;
}

}  // namespace kelvox::usb
