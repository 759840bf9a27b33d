#include "sim_camera.h"

#include <algorithm>
#include <cstring>

namespace kelvox::sim {

using namespace usb;  // the wire protocol's names, shared with the SDK's side

namespace {

// NT and USBD status words the driver writes into a transfer record.
constexpr uint32_t kStatusUnsuccessful = 0xC0000001;
constexpr uint32_t kStatusCancelled = 0xC0000120;
constexpr uint32_t kUsbdStall = 0xC0000004;
constexpr uint32_t kUsbdCancelled = 0xC0010000;

constexpr uint32_t kLinkSpeedSuper = 4;  // the driver's code for SuperSpeed

}  // namespace

void WriteTransferStatus(uint8_t* record, uint32_t error) {
    if (!record) return;
    uint32_t nt = 0, usbd = 0;
    if (error == platform::kErrorOperationAborted) {
        nt = kStatusCancelled;
        usbd = kUsbdCancelled;
    } else if (error != platform::kErrorSuccess) {
        nt = kStatusUnsuccessful;
        usbd = kUsbdStall;
    }
    PutLe32(record + kRecNtStatus, nt);
    PutLe32(record + kRecUsbdStatus, usbd);
}

SimCamera::SimCamera(int id, const CameraConfig& config, std::string path)
    : id_(id), config_(config), path_(std::move(path)), eeprom_(65536, 0xFF), fx3_registers_(65536, 0) {
    // Information block: ids, a name, the firmware version and the flag byte.
    PutLe16(&info_block_[kInfoVendorId], config.vendor_id);
    PutLe16(&info_block_[kInfoProductId], config.product_id);
    std::memcpy(&info_block_[kInfoName], "KELVOX-SIM-FX3", 14);
    PutLe16(&info_block_[kInfoFirmwareVersion], config.firmware_version);
    info_block_[kInfoReadyFlagMode] = config.ready_flag_mode;
    std::memcpy(&fpga_info_block_[0], "KELVOX-SIM-FPGA", 15);

    // The serial text and identification byte live in the EEPROM.
    for (size_t i = 0; i < config.serial.size() && i < kEepromSerialLength; ++i)
        eeprom_[kEepromSerial + i] = static_cast<uint8_t>(config.serial[i]);
    if (!config.serial.empty() && config.serial.size() < kEepromSerialLength)
        eeprom_[kEepromSerial + config.serial.size()] = 0;
    eeprom_[kEepromSromId] = config.srom_id;

    // FPGA power-up geometry: the full frame, one byte per sample.
    fpga_[kFpgaWidthLow] = kSensorWidth & 0xFF;
    fpga_[kFpgaWidthHigh] = kSensorWidth >> 8;
    fpga_[kFpgaHeightLow] = kSensorHeight & 0xFF;
    fpga_[kFpgaHeightHigh] = kSensorHeight >> 8;
    fpga_[kFpgaDepth] = kDepth8Bit;

    switch (config.scene) {
        case kSceneFlat: scene_.SetFlat(config.scene_value); break;
        case kSceneRamp: scene_.SetRamp(); break;
        default: break;  // chart; a raw scene comes later through SetRawScene
    }

    anchor_time_ = Clock::now();
    period_ = sensor_.FramePeriodSeconds();
    pacer_ = std::thread([this] { PacerLoop(); });
}

SimCamera::~SimCamera() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        FailAllReads(platform::kErrorDeviceNotConnected);
    }
    wake_.notify_all();
    pacer_.join();
}

bool SimCamera::attached() {
    std::lock_guard<std::mutex> lock(mutex_);
    return attached_;
}

void SimCamera::Detach() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        attached_ = false;
        FailAllReads(platform::kErrorDeviceNotConnected);
    }
    wake_.notify_all();
}

bool SimCamera::TakeFault(int fault) {
    int& n = faults_[fault];
    if (n == 0) return false;
    if (n > 0) --n;
    return true;
}

bool SimCamera::TakeOpenFault() {
    std::lock_guard<std::mutex> lock(mutex_);
    return TakeFault(kFaultOpen);
}

void SimCamera::InjectFault(int fault, int count) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        faults_[fault] = count < 0 ? -1 : count;
        if (fault == kFaultStall && count == 0) {
            // Clearing a stall lets reads that were stalled be served after all.
            for (Read& r : reads_) r.stalled = false;
        }
    }
    wake_.notify_all();
}

void SimCamera::SetRawScene(const uint16_t* samples12) {
    std::lock_guard<std::mutex> lock(mutex_);
    scene_.SetRaw(samples12);
    ++scene_revision_;
}

void SimCamera::Trigger() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++fpga_[kFpgaTriggerCount];
        ++triggered_frames_;
    }
    wake_.notify_all();
}

bool SimCamera::Peek(Bus bus, unsigned reg, unsigned* value) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (bus) {
        case Bus::Fpga:
            if (reg > 0xFF) return false;
            *value = fpga_[reg];
            return true;
        case Bus::Sensor:
            if (reg > 0xFFFF) return false;
            *value = sensor_.Read(static_cast<uint16_t>(reg));
            return true;
        case Bus::Eeprom:
            if (reg > 0xFFFF) return false;
            *value = eeprom_[reg];
            return true;
    }
    return false;
}

bool SimCamera::Poke(Bus bus, unsigned reg, unsigned value) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto byte = static_cast<uint8_t>(value);
        switch (bus) {
            case Bus::Fpga:
                if (reg > 0xFF) return false;
                fpga_[reg] = byte;
                break;
            case Bus::Sensor:
                if (reg > 0xFFFF) return false;
                sensor_.Write(static_cast<uint16_t>(reg), byte);
                break;
            case Bus::Eeprom:
                if (reg > 0xFFFF) return false;
                eeprom_[reg] = byte;
                break;
        }
    }
    wake_.notify_all();  // trigger mode or timing may have changed
    return true;
}

CameraStats SimCamera::stats() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}

int SimCamera::FrameTimes(FrameTime* out, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int n = static_cast<int>(std::min<uint64_t>({frame_times_written_, kFrameTimes, static_cast<uint64_t>(std::max(count, 0))}));
    for (int i = 0; i < n; ++i) out[i] = frame_times_[(frame_times_written_ - 1 - i) % kFrameTimes];
    return n;
}

bool SimCamera::WaitForPendingRead(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return read_queued_.wait_for(lock, timeout, [this] { return !reads_.empty(); });
}

bool SimCamera::IoControl(platform::DeviceHandle handle, uint32_t code, void* in, uint32_t in_size, void* out,
                          uint32_t out_size, uint32_t* bytes_returned, SimOverlapped* overlapped,
                          uint32_t* error) {
    using namespace platform;
    *bytes_returned = 0;
    auto* in_bytes = static_cast<uint8_t*>(in);
    auto* out_bytes = static_cast<uint8_t*>(out);

    std::unique_lock<std::mutex> lock(mutex_);
    if (!attached_) {
        *error = kErrorDeviceNotConnected;
        return false;
    }
    auto finish_now = [&](bool ok, uint32_t bytes, uint32_t err) {
        *bytes_returned = ok ? bytes : 0;
        *error = ok ? kErrorSuccess : err;
        if (overlapped) overlapped->Complete(*bytes_returned, *error);
        return ok;
    };

    switch (code) {
        case kIoctlControlRequest: {
            // The record comes back in place: bytes returned = 38 + data bytes moved.
            if (!in_bytes || in_size < kControlRecordSize || out != in || out_size < in_size)
                return finish_now(false, 0, kErrorInvalidParameter);
            ++stats_.control_requests;
            uint32_t data_bytes = 0;
            const bool ok = !TakeFault(kFaultControl) && VendorRequest(in_bytes, &data_bytes);
            WriteTransferStatus(in_bytes, ok ? kErrorSuccess : kErrorGenFailure);
            lock.unlock();
            wake_.notify_all();  // an arm or reset may let a pending read go on
            return finish_now(ok, kRecordHeaderSize + data_bytes, kErrorGenFailure);
        }
        case kIoctlDirectBulk:
        case kIoctlBufferedBulk: {
            if (!in_bytes || in_size < kRecordHeaderSize) return finish_now(false, 0, kErrorInvalidParameter);
            const uint8_t endpoint = in_bytes[kRecEndpoint];
            uint8_t* data = out_bytes;
            uint32_t length = out_size;
            uint32_t extra = 0;
            if (code == kIoctlBufferedBulk) {
                const uint32_t buffer_length = GetLe32(in_bytes + kRecBufferLength);
                if (out != in || out_size < kRecordHeaderSize || buffer_length > out_size - kRecordHeaderSize)
                    return finish_now(false, 0, kErrorInvalidParameter);
                data = out_bytes + kRecordHeaderSize;
                length = buffer_length;
                extra = kRecordHeaderSize;
            }
            if (endpoint == kCommandEndpoint) {  // swallowed
                WriteTransferStatus(in_bytes, kErrorSuccess);
                return finish_now(true, length + extra, 0);
            }
            if (endpoint != kImageEndpoint) {
                WriteTransferStatus(in_bytes, kErrorGenFailure);
                return finish_now(false, 0, kErrorGenFailure);
            }
            if (length > 0 && !data) return finish_now(false, 0, kErrorInvalidParameter);
            if (overlapped) {
                const bool ok = SubmitRead(handle, data, length, in_bytes, extra, overlapped, bytes_returned, error);
                lock.unlock();
                wake_.notify_all();
                return ok;
            }
            // A synchronous handle: wait here for the read to finish.
            SimOverlapped own;
            SubmitRead(handle, data, length, in_bytes, extra, &own, bytes_returned, error);
            lock.unlock();
            wake_.notify_all();
            return own.Result(true, bytes_returned, error);
        }
        case kIoctlResetPipe: {
            if (!in_bytes || in_size < 1) return finish_now(false, 0, kErrorInvalidParameter);
            ++stats_.pipe_resets;
            if (in_bytes[0] == kImageEndpoint) ResetStream(false);
            return finish_now(true, 0, 0);
        }
        case kIoctlResetParentPort: {
            ++stats_.port_resets;
            FailAllReads(kErrorOperationAborted);
            ResetStream(true);
            return finish_now(true, 0, 0);
        }
        case kIoctlAbortPipe: {
            if (!in_bytes || in_size < 1) return finish_now(false, 0, kErrorInvalidParameter);
            ++stats_.pipe_aborts;
            if (in_bytes[0] == kImageEndpoint) {
                FailAllReads(kErrorOperationAborted);
                ResetStream(false);
            }
            lock.unlock();
            wake_.notify_all();
            return finish_now(true, 0, 0);
        }
        case kIoctlLinkSpeed: {
            if (!out_bytes || out_size < 4) return finish_now(false, 0, kErrorInvalidParameter);
            PutLe32(out_bytes, kLinkSpeedSuper);
            return finish_now(true, 4, 0);
        }
        default:
            return finish_now(false, 0, kErrorInvalidParameter);
    }
}

void SimCamera::CancelHandle(platform::DeviceHandle handle) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = reads_.begin(); it != reads_.end();) {
            if (it->handle == handle) {
                Finish(*it, 0, platform::kErrorOperationAborted);
                it = reads_.erase(it);
            } else {
                ++it;
            }
        }
    }
    wake_.notify_all();
}

void SimCamera::ForgetOverlapped(SimOverlapped* overlapped) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = reads_.begin(); it != reads_.end();)
        it = it->overlapped == overlapped ? reads_.erase(it) : it + 1;
}

void SimCamera::PacerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        Pump(Clock::now());
        if (!reads_.empty() && reads_.front().resolved)
            wake_.wait_until(lock, reads_.front().due);
        else
            wake_.wait(lock);  // something has to change first: a read, an arm, a trigger, an abort
    }
}

}  // namespace kelvox::sim
