#include "usb/fx3_controller.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/clock.h"
#include "platform/process_info.h"
#include "usb/device_table.h"
#include "usb/model_table.h"
#include "usb/transfer_record.h"

namespace kelvox::usb {

namespace {

constexpr uint32_t kBusTimeoutMs = 3000;  // passed along; the record's own 3 s time-out applies
constexpr int kHeaderReadAttempts = 15;
constexpr uint32_t kHeaderReadWaitMs = 400;
constexpr uint32_t kEepromWriteCycleMs = 14;
constexpr uint32_t kEepromReadSettleMs = 10;

// Drive and directory of the host program, then "DEBUGLOG.txt".
std::string DebugLogPath() {
    std::string exe = platform::ExecutablePath().substr(0, 260);
    const size_t slash = exe.find_last_of("\\/");
    const std::string dir = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    std::string path = dir + "DEBUGLOG.txt";
    return path.substr(0, 511);
}

bool ValidI2cCount(int count) { return count >= 0 && count <= static_cast<int>(kMaxI2cBytes); }

}  // namespace

Fx3Controller::Fx3Controller(const platform::Guid* interface_class)
    : interface_class_(interface_class ? *interface_class : kCameraInterfaceClass), debug_log_path_(DebugLogPath()) {
    DeviceTable::Process().Attach(&shared_block_);
}

Fx3Controller::~Fx3Controller() {
    CloseDataHandle();
    DeviceTable::Process().Detach(&shared_block_);
}

int Fx3Controller::EnumerateDevices() { return DeviceTable::Process().Enumerate(&shared_block_, interface_class_); }

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

bool Fx3Controller::I2cWrite(uint8_t address, const uint8_t* bytes, int count, uint32_t) {
    if (!ValidI2cCount(count)) return false;
    return VendorRequest(kRequestOut, kRequestI2cWrite, static_cast<uint16_t>(count), address, bytes, count, nullptr,
                         nullptr);
}

bool Fx3Controller::I2cRead(uint8_t address, uint8_t* bytes, int count, uint32_t) {
    if (!ValidI2cCount(count)) return false;
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, kRequestI2cRead, static_cast<uint16_t>(count), address | kI2cReadBit, nullptr, 0,
                       reply, &n))
        return false;
    if (n < static_cast<uint32_t>(count)) return false;
    std::memcpy(bytes, reply, count);
    return true;
}

bool Fx3Controller::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(fpga_lock_);
    const uint8_t bytes[3] = {reg, 0x00, value};
    return I2cWrite(kFpgaBusAddress, bytes, 3, kBusTimeoutMs);
}

bool Fx3Controller::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
    std::lock_guard<std::recursive_mutex> lock(fpga_lock_);
    if (!I2cWrite(kFpgaBusAddress, &reg, 1, kBusTimeoutMs)) return false;
    uint8_t two[2];
    if (!I2cRead(kFpgaBusAddress, two, 2, kBusTimeoutMs)) return false;
    if (value) *value = two[1];
    return true;
}

bool Fx3Controller::ReadFpgaWord16(uint16_t* value) {
    uint8_t low = 0, high = 0;
    if (!ReadFpgaRegister(kFpgaWordLow, &low) || !ReadFpgaRegister(kFpgaWordHigh, &high)) return false;
    if (value) *value = static_cast<uint16_t>(high << 8 | low);
    return true;
}

bool Fx3Controller::WriteEeprom(uint16_t address, uint8_t value) {
    std::lock_guard<std::recursive_mutex> lock(eeprom_lock_);
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value};
    const bool ok = I2cWrite(kEepromBusAddress, bytes, 3, kBusTimeoutMs);
    platform::SleepMs(kEepromWriteCycleMs);
    return ok;
}

bool Fx3Controller::ReadEeprom(uint16_t address, uint8_t* value) {
    std::lock_guard<std::recursive_mutex> lock(eeprom_lock_);
    const uint8_t bytes[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    if (!I2cWrite(kEepromBusAddress, bytes, 2, kBusTimeoutMs)) return false;
    platform::SleepMs(kEepromReadSettleMs);
    uint8_t b = 0;
    if (!I2cRead(kEepromBusAddress, &b, 1, kBusTimeoutMs)) return false;
    if (value) *value = b;
    return true;
}

// ---- FX3 requests ----

bool Fx3Controller::ReadReadyFlag(uint8_t* value) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, kRequestReadyFlag, 0, 0, nullptr, 0, reply, &n) || n != kControlDataSize)
        return false;
    if (value) *value = reply[0];
    return true;
}

bool Fx3Controller::StreamReset() {
    return VendorRequest(kRequestOut, kRequestStreamReset, 0, 0, nullptr, 0, nullptr, nullptr);
}

bool Fx3Controller::ArmTransfer(DeviceHandle handle) {
    const DeviceHandle on = handle != kNoHandle ? handle : data_handle_.load();
    if (on == kNoHandle) return false;
    return VendorRequest(kRequestOutToEndpoint, kRequestArm, 0, 0, nullptr, 0, nullptr, nullptr, on);
}

// An information block is taken only when all 64 bytes came back.
bool Fx3Controller::ReadInfoBlock(uint8_t request, uint8_t info[kInfoBlockSize]) {
    uint8_t reply[kControlDataSize] = {};
    uint32_t n = 0;
    if (!VendorRequest(kRequestIn, request, 0, 0, nullptr, 0, reply, &n) || n != kControlDataSize) return false;
    std::memcpy(info, reply, kInfoBlockSize);
    return true;
}

bool Fx3Controller::ReadDeviceInfo(uint8_t info[kInfoBlockSize]) { return ReadInfoBlock(kRequestDeviceInfo, info); }

// ---- device selection and synchronous requests ----

bool Fx3Controller::SelectDevice(int index) {
    CloseDataHandle();
    if (!IsDeviceOpenable(index)) return false;
    selected_index_ = index;
    return true;
}

bool Fx3Controller::PrepareDevice() {
    if (!transfer_buffer_) {
        transfer_buffer_.reset(new (std::nothrow) uint8_t[kTransferBufferSize]);
        if (!transfer_buffer_) return false;
    }
    ResetParentPortSync();
    return true;
}

bool Fx3Controller::ResetParentPortSync() {
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, false)) return false;
    const bool ok = ResetParentPort(h);
    CloseDeviceHandle(&h);
    return ok;
}

bool Fx3Controller::ResetPipeSync(uint8_t endpoint) {
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, false)) return false;
    const bool ok = ResetPipe(h, endpoint);
    CloseDeviceHandle(&h);
    return ok;
}

bool Fx3Controller::GetDeviceName(int index, std::string* name) {
    if (!IsDeviceOpenable(index)) return false;
    DeviceTableEntry entry;
    if (!DeviceTable::Process().Entry(index, &entry)) return false;
    const CameraModel* model = FindCameraModel(entry.product_id);
    if (!model) return false;
    char text[64];
    std::snprintf(text, sizeof text, model->name_format, entry.instance);
    if (name) *name = text;
    return true;
}

// ---- data handle and transfers ----

bool Fx3Controller::OpenDataHandle() {
    if (data_handle_.load() != kNoHandle) return true;
    DeviceHandle h = kNoHandle;
    if (!OpenDeviceHandle(&h, selected_index_, true)) return false;
    data_handle_.store(h);
    return true;
}

bool Fx3Controller::CloseDataHandle() {
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

void Fx3Controller::AbortImagePipe() {
    ++image_pipe_aborts_;
    const DeviceHandle h = data_handle_.load();
    if (h != kNoHandle) usb::AbortImagePipe(h);
}

bool Fx3Controller::DirectBulkTransfer(DeviceHandle handle, void* buffer, uint32_t length, uint8_t endpoint,
                                       uint32_t* bytes, uint32_t wait_ms) {
    if (length > kMaxTransferLength || handle == kNoHandle || !transfer_buffer_) return false;
    DirectTransfer t = SubmitDirectTransfer(handle, buffer, length, endpoint);
    last_error_ = t.submit_error;
    if (WaitDirectTransfer(t, wait_ms)) return CompleteDirectTransfer(handle, t, bytes);
    EndAbandonedTransfer(handle, t);
    return false;
}

bool Fx3Controller::BufferedTransfer(DeviceHandle handle, uint8_t* destination, uint32_t length, uint8_t endpoint,
                                     uint32_t* returned) {
    if (length > kMaxTransferLength || !transfer_buffer_) return false;
    uint8_t* record = transfer_buffer_.get();
    BuildBufferedHeader(record, endpoint, length);
    std::memset(record + kRecordHeaderSize, 0, length);
    uint32_t bytes = 0;
    if (!BufferedBulkTransfer(handle, record, kRecordHeaderSize + length, &bytes)) return false;
    const uint32_t n = DataBytes(bytes);
    if (n <= length && destination) std::memcpy(destination, record + kRecordHeaderSize, n);
    if (returned) *returned = n;
    return true;
}

// ---- frames ----

bool Fx3Controller::ReadFrameHeader(FrameDescriptor* frame, uint32_t) {
    bool opened_here = false;
    if (!OpenDataHandleIfNeeded(&opened_here)) return false;
    uint8_t header[kFrameHeaderSize] = {};
    const uint32_t aborts = image_pipe_aborts_.load();
    for (int reads = 0;; ++reads) {
        // The arm goes out once more after the last failed read.
        if (!ArmTransfer(data_handle_.load()) || reads == kHeaderReadAttempts) break;
        uint32_t bytes = 0;
        if (DirectBulkTransfer(data_handle_.load(), header, sizeof header, kImageEndpoint, &bytes, kHeaderReadWaitMs)) {
            std::memcpy(frame->header, header, sizeof header);
            std::memcpy(frame->header_words, header + kHeaderTriggerCount, sizeof frame->header_words);
            return true;
        }
        // An abort means the capture is stopping: more tries would only hold the stop up.
        if (image_pipe_aborts_.load() != aborts) break;
        // Let the FPGA's receiver start over before the next try.
        WriteFpgaRegister(kFpgaReceiverRestart, 1);
        WriteFpgaRegister(kFpgaReceiverRestart, 0);
        platform::SleepMs(10);
    }
    if (opened_here) CloseDataHandle();
    return false;
}

bool Fx3Controller::ReadFrameData(FrameDescriptor* frame, uint32_t timeout_ms) {
    bool opened_here = false;
    if (!OpenDataHandleIfNeeded(&opened_here)) return false;
    const uint32_t length = GetLe32(frame->header + kHeaderPayloadLength);
    bool ok = frame->buffer && frame->capacity >= length;
    for (uint32_t offset = 0; ok && offset < length;) {
        const uint32_t piece = length - offset < kFramePiece ? length - offset : kFramePiece;
        uint32_t bytes = 0;
        ok = DirectBulkTransfer(data_handle_.load(), frame->buffer + offset, piece, kImageEndpoint, &bytes,
                                timeout_ms);
        offset += piece;
    }
    if (opened_here) CloseDataHandle();
    return ok;
}

}  // namespace kelvox::usb
