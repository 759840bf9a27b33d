#pragma once
// The capture engine of one camera: the transfer buffer and a ring of raw frames, filled by a
// time-critical capture thread that reads frame headers and payloads from the image endpoint,
// recovers from failed transfers, and hands frames to the session.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "sensor/sensor.h"
#include "usb/fx3_controller.h"

namespace kelvox::device {

constexpr int kMaxRingSize = 8;

// What the engine keeps with each ring buffer.
struct FrameValues {
    uint32_t trigger_count = 0xFFFFFFFFu;
    std::array<uint32_t, 4> header_words{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
};

// How a frame wait ended.
enum class FrameWait { Lost, None, Ready };

class CaptureEngine {
public:
    CaptureEngine() = default;
    ~CaptureEngine();
    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    // The camera the engine reads from; both stay owned by the device. Capture is stopped first;
    // null forgets the buffers.
    // `device_info` is the device's information block (its firmware version decides how a stream
    // is reset).
    void Bind(usb::Fx3Controller* controller, sensor::Sensor* sensor, const uint8_t* device_info);
    void SetRingSize(int size);

    // Sizes the transfer buffer and the ring for the sensor's window and depth and tells the FPGA.
    bool Prepare();
    // Mode 0 runs continuously, 1 ends after one frame, 2 after one frame per start (counted as
    // triggered), 3 after the header of one frame.
    bool Start(int mode);
    // Ends the capture thread (the abort releases a read blocked in the driver) and the stream.
    void Stop(bool abort);
    bool SetMode(int mode);
    // One frame into the first buffer, without the thread; false when it could not start at all.
    bool CaptureOnce();
    bool LatchTriggerCount();

    FrameWait WaitFrame(uint32_t ms);
    // The newest frame (or the first buffer), its trigger count and header words; false for a
    // short destination or a ring not yet sized.
    bool CopyFrame(uint8_t* destination, uint32_t size, uint32_t* trigger_count, uint32_t words[4], bool oldest,
                   bool top_down);
    // The newest frame, marking everything before it as handed over.
    void GetFrame(uint8_t* destination, bool top_down, uint32_t* trigger_count = nullptr,
                  uint32_t words[4] = nullptr);
    bool CopyFirstFrame(uint8_t* destination, bool top_down);

    // ---- settings the device's controls change ----
    void set_transfer_timeout(uint32_t ms) { transfer_timeout_ = ms; }
    uint32_t transfer_timeout() const { return transfer_timeout_.load(); }
    void set_transfer_depth(int depth) { transfer_depth_ = depth; }
    int transfer_depth() const { return transfer_depth_; }
    void set_trigger_mode(uint32_t mode) { trigger_mode_ = mode; }
    uint32_t trigger_mode() const { return trigger_mode_.load(); }
    // The window changed: the next start sizes everything again.
    void MarkGeometryChanged() { geometry_changed_ = true; }
    bool geometry_changed() const { return geometry_changed_; }
    // A fresh frame event, as creating one would give: not signalled.
    void OpenFrameEvent();

    int frame_size() const { return frame_size_; }
    int transfer_buffer_size() const { return transfer_buffer_size_; }
    int ring_size() const { return ring_size_; }
    bool capture_error() const { return capture_error_.load(); }
    bool running() const { return running_.load(); }
    int triggered_frame_count() const { return triggered_frames_.load(); }
    float frame_rate() const { return frame_rate_.load(); }
    double transfer_rate() const { return transfer_rate_.load(); }
    int prepare_count() const { return prepare_count_; }  // buffer (re)allocations so far

private:
    struct Slot {
        std::mutex mutex;  // a copy out never meets the capture thread writing the same buffer
        std::vector<uint8_t> pixels;
        FrameValues values;
    };
    void CaptureLoop();
    void StopThread(bool abort);
    void FinishThread();
    void ResetStream();
    void ResetRing();
    void CopyOut(Slot& slot, uint8_t* destination, bool top_down);
    void MarkHandedOver(int write_index, int seen);

    usb::Fx3Controller* controller_ = nullptr;
    sensor::Sensor* sensor_ = nullptr;
    const uint8_t* device_info_ = nullptr;
    std::vector<uint8_t> transfer_buffer_;
    int transfer_buffer_size_ = 0;
    std::atomic<int> capture_mode_{0};
    int transfer_depth_ = 0;
    std::atomic<uint32_t> trigger_mode_{0xFFFFFFFFu};
    std::array<Slot, kMaxRingSize> ring_;
    int ring_size_ = 4;
    std::atomic<int> write_index_{0};
    std::atomic<int> read_index_{3};
    // Frames written since the last hand-over (at most a ring's worth): what WaitFrame reports.
    std::atomic<int> unread_{0};
    int frame_size_ = 0;
    int frame_width_ = 0, frame_height_ = 0, bytes_per_pixel_ = 1;
    std::atomic<bool> capture_error_{false};
    platform::Event frame_event_{platform::Event::Reset::Auto};
    std::atomic<bool> frame_event_open_{false};
    std::atomic<double> transfer_rate_{0};
    std::atomic<float> frame_rate_{0};
    bool geometry_changed_ = true;
    std::atomic<uint32_t> last_trigger_count_{0};
    std::atomic<uint32_t> transfer_timeout_{5000};
    std::atomic<int> triggered_frames_{0};
    std::thread capture_thread_;
    std::atomic<bool> running_{false};
    // Each engine has its own: a stop waits for its own thread and nobody else's.
    platform::Event thread_end_{platform::Event::Reset::Auto};
    std::atomic<bool> thread_done_{true};
    int prepare_count_ = 0;
};

// The frame rate of the process: one counter for all capture engines.
class FrameRateCounter {
public:
    static void Count();
    static float Rate();
    static void Reset();
};

}  // namespace kelvox::device
