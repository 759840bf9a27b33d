// The capture engine: buffers and FPGA geometry, the capture thread that reads headers and
// payloads into the frame ring, its recovery, and handing frames to the session.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "device/capture_engine.h"
#include "platform/clock.h"
#include "platform/thread_priority.h"
#include "usb/transfer_record.h"
#include "usb/fx3_protocol.h"

namespace kelvox::device {

namespace {

struct RateWindow {
    std::mutex mutex;
    uint32_t start = platform::TickCount();
    uint32_t count = 0;
    float rate = 0;
};

RateWindow& Rates() {
    static RateWindow* w = new RateWindow;  // capture threads may still count during exit
    return *w;
}

constexpr int kFailuresToGiveUp = 5;

}  // namespace

// ---- the process-wide frame-rate counter ----

void FrameRateCounter::Count() {
    RateWindow& w = Rates();
    std::lock_guard<std::mutex> lock(w.mutex);
    ++w.count;
    const uint32_t elapsed = platform::TickCount() - w.start;
    if (elapsed >= 1000) {
        w.rate = static_cast<float>(w.count * 1000.0 / elapsed);
        w.start += elapsed;
        w.count = 0;
    }
}

float FrameRateCounter::Rate() {
    RateWindow& w = Rates();
    std::lock_guard<std::mutex> lock(w.mutex);
    return w.rate;
}

void FrameRateCounter::Reset() {
    RateWindow& w = Rates();
    std::lock_guard<std::mutex> lock(w.mutex);
    w.rate = 0;
    w.count = 0;
    w.start = platform::TickCount();
}

// ---- buffers and geometry ----

CaptureEngine::~CaptureEngine() { StopThread(true); }

void CaptureEngine::Bind(usb::Fx3Controller* controller, sensor::Sensor* sensor, const uint8_t* device_info) {
    StopThread(true);  // callers stop capture first; this only makes sure
    controller_ = controller;
    sensor_ = sensor;
    device_info_ = device_info;
    geometry_changed_ = true;
    if (controller) return;
    transfer_buffer_.clear();
    transfer_buffer_.shrink_to_fit();
    capture_mode_ = 0;
    transfer_buffer_size_ = 0;
    ResetRing();
    frame_size_ = 0;
    frame_event_open_ = false;
    capture_error_ = false;
}

void CaptureEngine::SetRingSize(int size) {
    ring_size_ = std::clamp(size, 1, kMaxRingSize);
    read_index_ = ring_size_ - 1;
    unread_ = 0;
}

void CaptureEngine::ResetRing() {
    for (Slot& slot : ring_) {
        std::lock_guard<std::mutex> lock(slot.mutex);
        slot.pixels.clear();
        slot.pixels.shrink_to_fit();
        slot.values = FrameValues{};
    }
}

bool CaptureEngine::Prepare() {
    // Buffers are about to be replaced: a capture thread must not be using them.
    if (running_.load() || capture_thread_.joinable()) Stop(true);
    transfer_buffer_.clear();
    transfer_buffer_.shrink_to_fit();
    transfer_buffer_size_ = 0;
    if (!sensor_) return false;

    const sensor::SensorInfo& info = sensor_->info();
    int width = info.window_width;
    const int height = info.window_height;
    if (sensor_->WidthFactor() == 2) width *= 2;
    const int bytes = transfer_depth_ == 1 || transfer_depth_ == 2 ? 2 : 1;
    const int64_t padded = static_cast<int64_t>(height + 128) * (width + 128) * bytes;
    const int64_t size = (padded + 8191) & ~int64_t{8191};
    if (width <= 0 || height <= 0 || size > INT32_MAX) return false;

    try {
        transfer_buffer_.resize(static_cast<size_t>(size));
        for (int i = 0; i < ring_size_; ++i) {
            Slot& slot = ring_[i];
            std::lock_guard<std::mutex> lock(slot.mutex);
            slot.pixels.clear();
            slot.pixels.shrink_to_fit();
            slot.pixels.resize(static_cast<size_t>(size));
            slot.values = FrameValues{};
        }
    } catch (const std::bad_alloc&) {
        transfer_buffer_.clear();
        return false;
    }
    transfer_buffer_size_ = static_cast<int>(size);
    frame_width_ = width;
    frame_height_ = height;
    bytes_per_pixel_ = bytes;
    frame_size_ = height * width * bytes;
    ++prepare_count_;

    if (controller_) {
        controller_->WriteFpgaRegister(usb::kFpgaWidthLow, static_cast<uint8_t>(width & 0xFF));
        controller_->WriteFpgaRegister(usb::kFpgaWidthHigh, static_cast<uint8_t>(width >> 8));
        controller_->WriteFpgaRegister(usb::kFpgaHeightLow, static_cast<uint8_t>(height & 0xFF));
        controller_->WriteFpgaRegister(usb::kFpgaHeightHigh, static_cast<uint8_t>(height >> 8));
        // Capture settings the FPGA expects at every geometry change.
        controller_->WriteFpgaRegister(0x48, 11);
        controller_->WriteFpgaRegister(0x49, 0);
        controller_->WriteFpgaRegister(0x4C, 0);
        controller_->WriteFpgaRegister(0x4D, 0);
        controller_->WriteFpgaRegister(0x68, 0);
    }
    geometry_changed_ = false;
    return true;
}

// ---- start and stop ----

bool CaptureEngine::SetMode(int mode) {
    if (!controller_) return false;
    if (mode != capture_mode_.load()) {
        Stop(false);
        OpenFrameEvent();
        if (mode == 2) MarkHandedOver(write_index_.load(), unread_.load());  // forget pending frames
    }
    capture_mode_ = mode;
    return true;
}

bool CaptureEngine::Start(int mode) {
    if (running_.load() && !thread_end_.Wait(5)) Stop(true);
    OpenFrameEvent();
    if (!SetMode(mode)) return false;
    if (geometry_changed_) Prepare();
    StopThread(false);  // an earlier thread that ended by itself is joined here
    capture_error_ = false;  // an error of the last run must not be reported for this one
    running_ = true;
    thread_end_.Reset();
    thread_done_ = false;
    try {
        capture_thread_ = std::thread([this] {
            platform::RaiseCurrentThreadToTimeCritical();
            platform::NameCurrentThread("kelvox-capture");
            CaptureLoop();
            FinishThread();
        });
    } catch (const std::system_error&) {
        running_ = false;
        thread_done_ = true;
        return false;
    }
    if (sensor_ && !sensor_->IsCaptureStartHandled()) sensor_->OnCaptureStarted();
    return true;
}

void CaptureEngine::OpenFrameEvent() {
    if (frame_event_open_.exchange(true)) return;
    frame_event_.Reset();
}

void CaptureEngine::FinishThread() {
    thread_done_ = true;
    thread_end_.Set();
}

// Joins the capture thread. The abort releases a read blocked in the driver; it is repeated until
// the thread has ended, so no stop can hang and nothing the thread uses goes before it does.
void CaptureEngine::StopThread(bool abort) {
    if (!capture_thread_.joinable()) return;
    for (int round = 0; !thread_done_.load(); ++round) {
        if (abort || round > 0) {
            if (controller_) controller_->AbortImagePipe();
        }
        thread_end_.Wait(round == 0 && !abort ? 3000 : 200);
    }
    capture_thread_.join();
}

void CaptureEngine::Stop(bool abort) {
    if (sensor_) sensor_->OnCaptureStopped(abort);
    if (running_.load()) {
        running_ = false;
        if (abort) {
            platform::SleepMs(100);
            if (controller_) controller_->AbortImagePipe();
        }
    }
    StopThread(abort);
    platform::SleepMs(1);
    frame_event_.Set();  // a waiter in WaitFrame returns
    frame_event_open_ = false;
    ResetStream();
    platform::SleepMs(5);
    capture_mode_ = 0;
    triggered_frames_ = 0;
    frame_rate_ = 0;
}

void CaptureEngine::ResetStream() {
    if (!controller_) return;
    if (device_info_ && usb::GetLe16(device_info_ + usb::kInfoFirmwareVersion) > 0x10FF)
        controller_->ResetPipeSync(usb::kImageEndpoint);
    controller_->StreamReset();
}

// ---- the capture thread ----

void CaptureEngine::CaptureLoop() {
    if (!controller_ || transfer_buffer_.empty()) {
        running_ = false;
        return;
    }
    usb::FrameDescriptor frame{};
    frame.buffer = transfer_buffer_.data();
    frame.capacity = static_cast<uint32_t>(transfer_buffer_size_);
    capture_error_ = false;
    int failures = 0;

    // A camera that cannot even be opened for streaming is lost: say so rather than end quietly.
    if (!controller_->OpenDataHandle()) capture_error_ = true;
    else {
        while (running_.load()) {
            const uint32_t timeout = transfer_timeout_.load();
            if (trigger_mode_.load() == 1) {
                // Wait for the FPGA's trigger count to move before asking for a frame.
                uint8_t count = 0;
                const bool read = controller_->ReadFpgaRegister(usb::kFpgaTriggerCount, &count);
                if (!read || count == last_trigger_count_.load()) {  // a failed read must not spin either
                    platform::SleepMs(1);
                    continue;
                }
                last_trigger_count_ = count;
            }
            bool ok = controller_->ReadFrameHeader(&frame, timeout);
            const int w = write_index_.load();
            uint32_t words[4] = {};
            if (ok) {
                words[0] = usb::GetLe32(frame.header + usb::kHeaderFrameNumber);
                words[1] = usb::GetLe32(frame.header + usb::kHeaderTriggerCount);
                words[2] = usb::GetLe32(frame.header + usb::kHeaderExposureLines);
                words[3] = usb::GetLe32(frame.header + usb::kHeaderFrameLength);
                if (capture_mode_.load() == 3) {
                    last_trigger_count_ = words[1];
                    std::lock_guard<std::mutex> lock(ring_[w].mutex);
                    std::copy(words, words + 4, ring_[w].values.header_words.begin());
                    break;
                }
                if (capture_mode_.load() != 2) last_trigger_count_ = words[1];
                const uint32_t t0 = platform::TickCount();
                ok = controller_->ReadFrameData(&frame, timeout);
                if (ok) {
                    failures = 0;
                    capture_error_ = false;
                    const uint32_t elapsed = std::max<uint32_t>(platform::TickCount() - t0, 1);
                    transfer_rate_ = ((frame_size_ >> 10) / 128.0) / (elapsed / 1000.0);
                    FrameRateCounter::Count();
                    frame_rate_ = FrameRateCounter::Rate();
                    {
                        Slot& slot = ring_[w];
                        std::lock_guard<std::mutex> lock(slot.mutex);
                        std::memcpy(slot.pixels.data(), transfer_buffer_.data(),
                                    std::min<size_t>(frame_size_, slot.pixels.size()));
                        slot.values.trigger_count = last_trigger_count_.load();
                        std::copy(words, words + 4, slot.values.header_words.begin());
                    }
                    write_index_ = (w + 1) % ring_size_;
                    if (unread_.load() < ring_size_) ++unread_;  // only this thread counts up
                    frame_event_.Set();
                    const int mode = capture_mode_.load();
                    if (mode == 1) break;
                    if (mode == 2) {
                        ++triggered_frames_;
                        break;
                    }
                    continue;
                }
            }
            // Recovery: start the pipe and the FPGA's receiver over, five times at most in a row.
            controller_->CloseDataHandle();
            if (++failures >= kFailuresToGiveUp) {
                capture_error_ = true;
                frame_event_.Set();
                break;
            }
            controller_->ResetPipeSync(usb::kImageEndpoint);
            if (sensor_) sensor_->PulseReceiverRestart();
            controller_->OpenDataHandle();
        }
    }
    controller_->CloseDataHandle();
    if (capture_error_.load()) frame_event_.Set();
    running_ = false;
}

bool CaptureEngine::CaptureOnce() {
    if (!controller_) return false;
    if (geometry_changed_) Prepare();
    if (transfer_buffer_.empty()) return false;
    capture_error_ = false;
    usb::FrameDescriptor frame{};
    frame.buffer = transfer_buffer_.data();
    frame.capacity = static_cast<uint32_t>(transfer_buffer_size_);
    const uint32_t start = platform::TickCount();
    if (controller_->OpenDataHandle()) {
        for (int failures = 0;;) {
            if (controller_->ReadFrameHeader(&frame, 3000) && controller_->ReadFrameData(&frame, 3000)) {
                Slot& slot = ring_[0];
                std::lock_guard<std::mutex> lock(slot.mutex);
                std::memcpy(slot.pixels.data(), transfer_buffer_.data(),
                            std::min<size_t>(frame_size_, slot.pixels.size()));
                slot.values.trigger_count = usb::GetLe32(frame.header + usb::kHeaderTriggerCount);
                break;
            }
            if (platform::TickCount() - start >= 10000 || failures >= 10) {
                capture_error_ = true;
                break;
            }
            ++failures;
        }
    }
    controller_->CloseDataHandle();
    thread_end_.Set();
    running_ = false;
    return true;
}

bool CaptureEngine::LatchTriggerCount() {
    uint8_t count = 0;
    if (!controller_ || !controller_->ReadFpgaRegister(usb::kFpgaTriggerCount, &count)) return false;
    last_trigger_count_ = count;
    return true;
}

// ---- handing frames over ----

FrameWait CaptureEngine::WaitFrame(uint32_t ms) {
    if (capture_error_.load()) return FrameWait::Lost;
    const bool woken = frame_event_open_.load() && frame_event_.Wait(ms);
    // Counted, not read off the indexes: before the first hand-over the read index starts at the
    // ring's last buffer, so three frames bring the write index onto it, and a whole ring after a
    // hand-over brings it round; both still are new frames.
    if (woken && unread_.load() > 0) return FrameWait::Ready;
    // The capture thread also wakes a waiter when it gives up: that wait ends in the loss itself.
    return capture_error_.load() ? FrameWait::Lost : FrameWait::None;
}

void CaptureEngine::CopyOut(Slot& slot, uint8_t* destination, bool top_down) {
    const int orientation = sensor_ ? sensor_->info().orientation : 0;
    const bool reverse_h = orientation == 2 || orientation == 4;
    const bool upright = orientation != 3 && orientation != 4;
    const bool reverse_v = top_down != upright;
    const size_t row = static_cast<size_t>(frame_width_) * bytes_per_pixel_;
    const uint8_t* src = slot.pixels.data();
    if (!reverse_h && !reverse_v) {
        std::memcpy(destination, src, static_cast<size_t>(frame_size_));
        return;
    }
    for (int r = 0; r < frame_height_; ++r) {
        const uint8_t* s = src + static_cast<size_t>(reverse_v ? frame_height_ - 1 - r : r) * row;
        uint8_t* d = destination + static_cast<size_t>(r) * row;
        if (!reverse_h) {
            std::memcpy(d, s, row);
        } else {
            for (int c = 0; c < frame_width_; ++c)
                std::memcpy(d + static_cast<size_t>(c) * bytes_per_pixel_,
                            s + static_cast<size_t>(frame_width_ - 1 - c) * bytes_per_pixel_, bytes_per_pixel_);
        }
    }
}

bool CaptureEngine::CopyFrame(uint8_t* destination, uint32_t size, uint32_t* trigger_count, uint32_t words[4],
                              bool oldest, bool top_down) {
    if (!destination || size < static_cast<uint32_t>(frame_size_)) return false;
    const int w = write_index_.load();
    const int index = oldest ? 0 : (w == 0 ? ring_size_ - 1 : w - 1);
    Slot& slot = ring_[index];
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.pixels.size() < static_cast<size_t>(frame_size_)) return false;
    CopyOut(slot, destination, top_down);
    if (trigger_count) *trigger_count = slot.values.trigger_count;
    if (words) std::copy(slot.values.header_words.begin(), slot.values.header_words.end(), words);
    return true;
}

void CaptureEngine::MarkHandedOver(int write_index, int seen) {
    read_index_ = write_index;
    unread_.fetch_sub(seen);  // a frame arriving meanwhile stays counted
}

void CaptureEngine::GetFrame(uint8_t* destination, bool top_down, uint32_t* trigger_count, uint32_t words[4]) {
    const int seen = unread_.load();
    const int w = write_index_.load();
    CopyFrame(destination, static_cast<uint32_t>(frame_size_), trigger_count, words, false, top_down);
    MarkHandedOver(w, seen);
}

bool CaptureEngine::CopyFirstFrame(uint8_t* destination, bool top_down) {
    if (!destination) return false;
    CopyFrame(destination, static_cast<uint32_t>(frame_size_), nullptr, nullptr, true, top_down);
    return true;
}

}  // namespace kelvox::device
