#pragma once
// One simulated camera: the FX3's vendor requests and pipes, the I2C devices behind its bridge
// (FPGA control registers, IMX174, EEPROM) and the image endpoint. It speaks only the
// driver's bytes: control records, I/O control codes and endpoint data.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/driver.h"
#include "usb/fx3_protocol.h"
#include "scene.h"
#include "sensor_registers.h"
#include "sim_overlapped.h"

namespace kelvox::sim {

using Clock = std::chrono::steady_clock;

struct CameraConfig {
    uint16_t vendor_id = 0x04B4;
    uint16_t product_id = 0x3100;
    std::string serial;  // empty: EEPROM left erased
    uint8_t srom_id = 0;
    uint16_t firmware_version = 0x1200;
    uint8_t ready_flag_mode = 0;
    int ready_after_polls = 0;
    int scene = kSceneChart;
    int scene_value = 0;
    bool paced = true;
    int noise = 0;
    bool stamp = false;
    bool photometric = true;
};

struct CameraStats {
    uint32_t frames_sent = 0, headers_sent = 0, arm_requests = 0, control_requests = 0, i2c_writes = 0,
             i2c_reads = 0, pipe_aborts = 0, pipe_resets = 0, port_resets = 0, receiver_restarts = 0,
             frames_dropped = 0;
};

// When a frame was sent whole: the number its header carried, and the end of its last payload read.
struct FrameTime {
    uint32_t frame = 0;
    Clock::time_point finished{};
};

enum Fault {
    kFaultHeaderRead = 1,
    kFaultPayloadRead = 2,
    kFaultControl = 3,
    kFaultI2cNack = 4,
    kFaultFpgaBusy = 5,
    kFaultOpen = 6,
    kFaultStall = 7,
    kFaultCount = 8
};

enum class Bus { Fpga = usb::kFpgaBusAddress, Sensor = usb::kSensorBusAddress, Eeprom = usb::kEepromBusAddress };

constexpr uint32_t kLinkBytesPerSecond = 400'000'000;  // what a USB 3 link carries in practice

class SimCamera {
public:
    SimCamera(int id, const CameraConfig& config, std::string path);
    ~SimCamera();
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    int id() const { return id_; }
    const std::string& path() const { return path_; }
    bool attached();
    // Unplugged: pending reads fail now, every later open and request fails.
    void Detach();

    bool TakeOpenFault();
    void InjectFault(int fault, int count);
    void SetRawScene(const uint16_t* samples12);
    void Trigger();
    bool Peek(Bus bus, unsigned reg, unsigned* value);
    bool Poke(Bus bus, unsigned reg, unsigned value);
    CameraStats stats();
    // The newest frames sent whole, newest first, up to `count` of them (kFrameTimes kept).
    int FrameTimes(FrameTime* out, int count);
    static constexpr int kFrameTimes = 64;
    // Until a read of the image endpoint is pending, or the time is up.
    bool WaitForPendingRead(std::chrono::milliseconds timeout);

    // One DeviceIoControl on a handle of this camera. Returns false with kErrorIoPending when an
    // overlapped read will complete later.
    bool IoControl(platform::DeviceHandle handle, uint32_t code, void* in, uint32_t in_size, void* out,
                   uint32_t out_size, uint32_t* bytes_returned, SimOverlapped* overlapped, uint32_t* error);
    // Cancels what is pending on the handle (CancelIoEx, or the handle being closed).
    void CancelHandle(platform::DeviceHandle handle);
    // An overlapped going away takes its pending request with it.
    void ForgetOverlapped(SimOverlapped* overlapped);

private:
    // ---- FX3 firmware (vendor requests on endpoint 0) ----
    bool VendorRequest(uint8_t* record, uint32_t* data_bytes);
    // ---- I2C bus behind the bridge ----
    bool I2cWrite(uint8_t address, const uint8_t* bytes, int count);
    bool I2cRead(uint8_t address, uint8_t* bytes, int count);
    uint8_t FpgaRead(uint8_t reg);
    void FpgaWrite(uint8_t reg, uint8_t value);

    // ---- image endpoint ----
    struct Read {
        platform::DeviceHandle handle;
        SimOverlapped* overlapped;
        uint8_t* data;       // where the endpoint's bytes go
        uint32_t length;
        uint8_t* record;     // transfer record header that receives NT and USBD status
        uint32_t extra;      // bytes returned on top of the data (38 for buffered transfers)
        bool stalled;        // blocks until aborted
        bool resolved = false;
        bool frame_end = false;
        bool header = false;
        Clock::time_point due{};
        uint32_t bytes = 0;
        uint32_t error = 0;
    };
    bool SubmitRead(platform::DeviceHandle handle, uint8_t* data, uint32_t length, uint8_t* record, uint32_t extra,
                    SimOverlapped* overlapped, uint32_t* bytes_returned, uint32_t* error);
    void Pump(Clock::time_point now);  // completes what is due, in order; lock held
    bool Resolve(Read& read, Clock::time_point now);
    bool StartFrame(Clock::time_point now, Clock::time_point* at);
    void RenderFrame(uint64_t index);
    void Finish(Read& read, uint32_t bytes, uint32_t error);
    void FailAllReads(uint32_t error);
    void ResetStream(bool forget_delivery);
    uint32_t FpgaWidth() const;
    uint32_t FpgaHeight() const;
    int BytesPerSample() const;
    uint32_t PayloadLength() const;
    bool TakeFault(int fault);
    void PacerLoop();

    const int id_;
    const CameraConfig config_;
    const std::string path_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable read_queued_;  // for tests waiting on a blocked host read
    bool attached_ = true;
    bool stopping_ = false;
    std::array<int, kFaultCount> faults_{};
    CameraStats stats_;
    std::array<FrameTime, kFrameTimes> frame_times_{};  // a ring, filled in order of sending
    uint64_t frame_times_written_ = 0;

    // Controller and bus state.
    std::array<uint8_t, usb::kInfoBlockSize> info_block_{};
    std::array<uint8_t, usb::kInfoBlockSize> fpga_info_block_{};
    std::array<uint8_t, 256> fpga_{};
    std::vector<uint8_t> eeprom_;
    std::vector<uint32_t> fx3_registers_;
    SensorRegisters sensor_;
    uint8_t fpga_pointer_ = 0;
    uint16_t sensor_pointer_ = 0;
    uint16_t eeprom_pointer_ = 0;
    int ready_polls_ = 0;
    uint8_t stream_select_ = 0;
    uint16_t word_pair_[2] = {};

    // Image stream.
    Scene scene_;
    uint32_t scene_revision_ = 0;
    std::deque<Read> reads_;
    bool armed_ = false;
    bool in_payload_ = false;
    uint32_t payload_offset_ = 0;
    uint32_t payload_length_ = 0;
    Clock::time_point header_time_{};
    uint32_t header_frame_ = 0;  // the frame number the last header announced
    std::vector<uint8_t> frame_;
    std::array<uint8_t, usb::kFrameHeaderSize> header_{};
    // Sensor frame clock: frame k (counted from anchor_index_) ends at anchor_time_ + k * period_.
    Clock::time_point anchor_time_;
    uint64_t anchor_index_ = 0;
    double period_ = 0;
    bool delivered_any_ = false;
    uint64_t last_delivered_ = 0;
    uint64_t unpaced_index_ = 0;
    int triggered_frames_ = 0;  // triggers not yet delivered
    uint64_t trigger_index_ = 0;
    // The last readout, reused while nothing that shapes it changed.
    struct RenderKey {
        SensorWindow window;
        bool mirror_v, mirror_h;
        double brightness;
        int out_width, out_height, bytes_per_sample;
        uint32_t scene_revision;
        bool operator==(const RenderKey&) const = default;
    };
    RenderKey render_key_{};
    bool render_valid_ = false;

    std::thread pacer_;
};

}  // namespace kelvox::sim
