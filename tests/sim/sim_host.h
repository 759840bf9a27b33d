#pragma once
// A minimal host of the driver seam for tests and benchmarks of the simulated camera: builds
// transfer records by hand and issues the I/O controls, with no SDK code in between (only the
// wire protocol's little-endian helpers).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kelvox/kelvox_sim.h"
#include "platform/driver.h"
#include "usb/fx3_protocol.h"

namespace kelvox_sim_test {

using kelvox::platform::ActiveDriver;
using kelvox::platform::DeviceHandle;

constexpr kelvox::platform::Guid kCameraClass = {0x328184C5, 0x93E6, 0x49B7,
                                                 {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

using kelvox::usb::GetLe32;

inline std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    ActiveDriver().EnumerateInterfaces(kCameraClass, 32, &paths);
    return paths;
}

inline KELVOX_SIM_CAMERA Config(const char* serial = "") {
    KELVOX_SIM_CAMERA c;
    KelvoxSim_DefaultCamera(&c);
    std::strncpy(c.serial, serial, sizeof c.serial - 1);
    return c;
}

struct ControlResult {
    bool ok = false;
    uint32_t bytes = 0;  // bytes returned: 38 + data
    uint32_t error = 0;
    std::vector<uint8_t> record;
};

// One vendor request on a fresh synchronous handle, as the controller sends it.
inline ControlResult Control(const std::string& path, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                             const uint8_t* data = nullptr, size_t data_len = 0) {
    ControlResult r;
    r.record.assign(102, 0);
    uint8_t* rec = r.record.data();
    rec[0] = type;
    rec[1] = request;
    rec[2] = value & 0xFF;
    rec[3] = value >> 8;
    rec[4] = index & 0xFF;
    rec[5] = index >> 8;
    rec[6] = 102;
    rec[8] = 3;
    rec[30] = 38;
    rec[34] = 64;
    if (data) std::memcpy(rec + 38, data, data_len);
    uint32_t error = 0;
    const DeviceHandle h = ActiveDriver().Open(path.c_str(), false, &error);
    if (h == -1) {
        r.error = error;
        return r;
    }
    r.ok = ActiveDriver().IoControl(h, kelvox::platform::kIoctlControlRequest, rec, 102, rec, 102, &r.bytes,
                                    nullptr, &r.error);
    ActiveDriver().Close(h);
    return r;
}

inline bool I2cWrite(const std::string& path, uint8_t address, std::vector<uint8_t> bytes) {
    return Control(path, 0x40, 0x30, static_cast<uint16_t>(bytes.size()), address, bytes.data(), bytes.size()).ok;
}

inline bool I2cRead(const std::string& path, uint8_t address, uint8_t* out, int count) {
    ControlResult r = Control(path, 0xC0, 0x31, static_cast<uint16_t>(count), address | 1);
    if (!r.ok || r.bytes < 38u + count) return false;
    std::memcpy(out, r.record.data() + 38, count);
    return true;
}

inline bool WriteSensor(const std::string& path, uint16_t reg, uint8_t value) {
    return I2cWrite(path, 0x48, {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg), value});
}

inline bool ReadSensor(const std::string& path, uint16_t reg, uint8_t* value) {
    return I2cWrite(path, 0x48, {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)}) &&
           I2cRead(path, 0x48, value, 1);
}

inline bool WriteFpga(const std::string& path, uint8_t reg, uint8_t value) {
    return I2cWrite(path, 0x40, {reg, 0, value});
}

inline bool ReadFpga(const std::string& path, uint8_t reg, uint8_t* value) {
    uint8_t two[2];
    if (!I2cWrite(path, 0x40, {reg}) || !I2cRead(path, 0x40, two, 2)) return false;
    *value = two[1];
    return true;
}

inline bool Arm(const std::string& path) { return Control(path, 0x42, 0xC2, 0, 0).ok; }

// A direct bulk read on the data handle, submitted and then awaited like the controller does.
class DirectRead {
public:
    DirectRead(DeviceHandle h, uint8_t* buffer, uint32_t length, uint8_t endpoint = 0x81)
        : handle_(h), header_(38, 0), overlapped_(ActiveDriver().CreateOverlapped()) {
        header_[13] = endpoint;
        ok_now_ = ActiveDriver().IoControl(h, kelvox::platform::kIoctlDirectBulk, header_.data(), 38, buffer, length,
                                           &bytes_, overlapped_.get(), &submit_error_);
    }
    bool pending() const { return !ok_now_ && submit_error_ == kelvox::platform::kErrorIoPending; }
    // Waits up to timeout_ms; true when the read finished (successfully or not).
    bool Wait(uint32_t timeout_ms) {
        if (!pending()) return true;
        return overlapped_->Wait(timeout_ms) == kelvox::platform::WaitResult::Signalled;
    }
    // Outcome after completion: success and the bytes moved, the error otherwise.
    bool Result(uint32_t* bytes, uint32_t* error) {
        if (!pending()) {
            *bytes = bytes_;
            *error = submit_error_;
            return ok_now_;
        }
        return ActiveDriver().GetOverlappedResult(handle_, overlapped_.get(), bytes, false, error);
    }
    uint32_t nt_status() const { return GetLe32(header_.data() + 14); }
    uint32_t usbd_status() const { return GetLe32(header_.data() + 18); }

private:
    DeviceHandle handle_;
    std::vector<uint8_t> header_;  // outlives the overlapped: a pending read writes its status here
    std::unique_ptr<kelvox::platform::Overlapped> overlapped_;
    uint32_t bytes_ = 0;
    uint32_t submit_error_ = 0;
    bool ok_now_ = false;
};

// Reads one whole frame: arm, 64-byte header, then the payload in 512 KiB pieces.
inline bool ReadFrame(const std::string& path, DeviceHandle h, uint8_t header[64], std::vector<uint8_t>* payload,
                      uint32_t timeout_ms = 3000) {
    if (!Arm(path)) return false;
    {
        DirectRead read(h, header, 64);
        uint32_t bytes = 0, error = 0;
        if (!read.Wait(timeout_ms) || !read.Result(&bytes, &error) || bytes != 64) return false;
    }
    const uint32_t length = GetLe32(header + 16);
    payload->resize(length);
    for (uint32_t offset = 0; offset < length;) {
        const uint32_t piece = std::min<uint32_t>(0x80000, length - offset);
        DirectRead read(h, payload->data() + offset, piece);
        uint32_t bytes = 0, error = 0;
        if (!read.Wait(timeout_ms) || !read.Result(&bytes, &error) || bytes != piece) return false;
        offset += piece;
    }
    return true;
}

// A camera attached for one test and unplugged at the end.
class AttachedCamera {
public:
    explicit AttachedCamera(KELVOX_SIM_CAMERA config) : id_(KelvoxSim_Attach(&config)) {
        if (id_ >= 0)
            for (const auto& p : Paths())
                if (config.serial[0] ? p.find(config.serial) != std::string::npos
                                     : p.find("#sim" + std::to_string(id_) + "#") != std::string::npos)
                    path_ = p;
    }
    ~AttachedCamera() {
        if (id_ >= 0) KelvoxSim_Detach(id_);
    }
    int id() const { return id_; }
    const std::string& path() const { return path_; }
    DeviceHandle OpenData() {
        uint32_t error = 0;
        return ActiveDriver().Open(path_.c_str(), true, &error);
    }
    KELVOX_SIM_STATS Stats() const {
        KELVOX_SIM_STATS s{};
        s.size = sizeof s;
        KelvoxSim_GetStats(id_, &s);
        return s;
    }

private:
    int id_;
    std::string path_;
};

}  // namespace kelvox_sim_test
