// Frame delivery: the prepare step, live preview on the session's frame thread, snapshots, the
// host-buffer copy and stopping.
#include <cstring>
#include <system_error>

#include "platform/clock.h"
#include "platform/thread_priority.h"
#include "session/session.h"

namespace kelvox {

namespace {

constexpr uint32_t kFrameWaitMs = 3000;

// The raw picture a colour mode's frames land in: 16 bits for the 16-bit raw mode and the two
// 16-bit-per-channel output modes.
int RawPictureOf(int mode) { return mode == 1 || mode == 4 || mode == 5 ? Session::kRaw16 : Session::kRaw8; }

}  // namespace

// ---- the prepare step ----

int Session::PrepareCapture() {
    device::CameraDevice& d = *device_;
    if (!d.IsDeviceAvailable(d.open_device_number())) {
        RecordError(KELVOX_ERR_NO_CAMERA);
        return 0;
    }
    if (!CaptureWindowValid()) {
        RecordError(KELVOX_ERR_CAPTURE_WINDOW);
        return 0;
    }
    const int mode = color_mode_;
    const auto [width, height] = OutputSize();
    {
        // A host thread may be reading a picture through Kelvox_GetImage while they are remade.
        std::lock_guard<std::mutex> lock(frame_lock_);
        bool made = true;
        if (mode >= 0 && mode <= 3) {
            made = pictures_[kRaw8]->Create(width, height, 8) && pictures_[kRaw8]->SetColourTable(0, nullptr, 0, 256);
        }
        if (made && (mode == 1 || mode == 4 || mode == 5)) made = pictures_[kRaw16]->Create(width, height, 16);
        if (made && (mode == 0 || (mode >= 2 && mode <= 5))) made = pictures_[kOut24]->Create(width, height, 24);
        if (made && mode == 3) made = pictures_[kOut32]->Create(width, height, 32);
        if (made && mode == 4) made = pictures_[kOut48]->Create(width, height, 48);
        if (made && mode == 5) made = pictures_[kOut64]->Create(width, height, 64);
        if (!made || mode < 0 || mode > 5 || !pictures_[kCurrentView]->DescribeAs(*pictures_[mode])) {
            RecordError(KELVOX_ERR_BUFFER);
            return 0;
        }
        prepared_mode_ = mode;
        prepared_x_ = window_.x;
        prepared_y_ = window_.y;
    }
    d.SetTransferDepth(mode == 1 || mode == 4 || mode == 5 ? 1 : 0);
    if (!d.SetCaptureWindow(window_.x, window_.y, window_.width, window_.height, subsample_)) {
        RecordError(KELVOX_ERR_CAPTURE_WINDOW);
        return 0;
    }
    ApplyCaptureSettings();
    std::lock_guard<std::mutex> lock(frame_lock_);
    int client_width = 0, client_height = 0;
    if (preview_ && preview_->DrawableSize(&client_width, &client_height))
        SizeDisplayPicture(client_width, client_height);
    return 1;
}

// The cache again, in the order capture wants it: mirrors first, then free-running capture,
// gains, exposure and the optional controls.
void Session::ApplyCaptureSettings() {
    device::CameraDevice& d = *device_;
    d.controls().SetMirror(false, settings_.mirror_v);
    d.controls().SetMirror(true, settings_.mirror_h);
    d.SetTriggerMode(0, 1);
    ApplyGainsAndExposure();
    settings_.UpdateRealExposure();
    // The gain mode is set only where the sensor reports one; this one does not.
    if (d.optional().IsBlackLevelSupported()) d.optional().SetBlackLevel(settings_.black_level);
    d.optional().OnCaptureSetup();
}

// ---- the capture states ----

int Session::Capture() {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!NeedDevice()) return 0;
    switch (capture_state_.load()) {
        case kLivePreview:
            RecordError(KELVOX_ERR_NOT_READY);
            return 0;
        case kCapturePrepared:
            return 1;
        default:
            if (!PrepareCapture()) return 0;
            capture_state_ = kCapturePrepared;
            return 1;
    }
}

int Session::StartPreview() {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!NeedDevice()) return 0;
    if (capture_state_.load() == kLivePreview) return 1;
    if (capture_state_.load() == kCapturePrepared) {
        RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    if (!PrepareCapture()) return 0;
    if (!device_->capture().Start(0)) {
        StopPreview();
        RecordError(KELVOX_ERR_DEVICE_IO);
        return 0;
    }
    capture_state_ = kLivePreview;
    run_state_ = 1;
    wake_.Reset();
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        if (!band_workers_.started()) band_workers_.Start(imaging::BandWorkers::ConfiguredThreads());
    }
    try {
        thread_exit_ = std::make_unique<platform::Event>(platform::Event::Reset::Manual);
        frame_thread_ = std::thread([this] {
            platform::NameCurrentThread("kelvox-frames");
            FrameLoop();
            thread_exit_->Set();
        });
    } catch (const std::exception&) {  // no event or no thread
        thread_exit_.reset();  // nothing will ever signal it
        StopPreview();
        RecordError(KELVOX_ERR_THREAD);
        return 0;
    }
    return 1;
}

int Session::CallBackPreview(platform::WindowHandle window, void* buffer, int size, int row_order) {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        callback_window_ = window;
        host_buffer_ = buffer;
        host_size_ = size;
        row_order_ = row_order;
    }
    return StartWithWindow();
}

int Session::StopPreview() {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!NeedDevice()) return 0;
    StopFrameThread();
    return 1;
}

void Session::StopFrameThread() {
    run_state_ = 0;
    wake_.Set();
    if (capture_state_.load() != kIdle) {
        capture_state_ = kIdle;
        device_->capture().Stop(false);  // also releases a frame wait in progress
    }
    if (thread_exit_) {
        thread_exit_->Wait();
        if (frame_thread_.joinable()) frame_thread_.join();
        thread_exit_.reset();
    }
    StopBandWorkers();
    StopRecording();
}

void Session::StartBandWorkers(int threads) {
    std::lock_guard<std::mutex> lock(frame_lock_);
    band_workers_.Start(threads);
}

void Session::StopBandWorkers() {
    std::lock_guard<std::mutex> lock(frame_lock_);
    band_workers_.Stop();
}

int Session::Close() {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    ClosePreviewWindow();
    StopPreview();
    image_valid_ = 0;
    if (device_) device_->capture().Stop(false);
    return 1;
}

// ---- the live-preview loop ----

void Session::FrameLoop() {
    platform::TimerResolution fine;  // a wait time of 1 ms must not become a scheduler tick
    while (run_state_.load() != 0) {
        wake_.Wait(static_cast<uint32_t>(wait_time_.load()));
        if (run_state_.load() != 1) continue;
        const device::FrameWait waited = device_->capture().WaitFrame(kFrameWaitMs);
        if (waited == device::FrameWait::Lost) {  // the device gave up: the camera is gone
            run_state_ = 0;
            camera_lost_ = true;
            {
                std::lock_guard<std::mutex> lock(frame_lock_);
                PostFrameFailure(KELVOX_ERR_DEVICE_LOST);
            }
            RecordError(KELVOX_ERR_DEVICE_LOST);
            break;
        }
        if (waited != device::FrameWait::Ready) continue;
        platform::WindowHandle target = nullptr;
        bool delivered = true;
        {
            std::lock_guard<std::mutex> lock(frame_lock_);
            imaging::DibImage& raw = *pictures_[RawPictureOf(prepared_mode_)];
            if (!FetchFrame(raw)) {
                PostFrameFailure(KELVOX_ERR_FRAME);
                RecordError(KELVOX_ERR_FRAME);
                continue;
            }
            frame_info_.width = raw.width();
            frame_info_.height = raw.height();
            frame_info_.buffer = host_buffer_;
            frame_info_.bits_per_pixel = kColorModeBits[prepared_mode_];
            CountFrame();
            frame_info_.frame_rate = frames_per_second10_;
            ProcessFrame();
            frame_time_ = platform::MultimediaTime();
            new_frame_ = 1;
            if (recording_.load()) recorder_wake_.Set();
            image_valid_ = 1;
            DrawPreview();
            if (host_buffer_ && host_size_ != 0)
                delivered = CopyToHost(*pictures_[prepared_mode_], host_buffer_, host_size_, row_order_);
            target = callback_window_;
        }
        if (delivered && run_state_.load() == 1 && target)
            platform::PostWindowMessage(target, KELVOX_WM_FRAME, reinterpret_cast<uintptr_t>(&frame_info_), 0);
    }
}

void Session::CountFrame() {
    ++frame_counter_;
    const uint32_t now = platform::MultimediaTime();
    const uint32_t elapsed = now - rate_time_base_;
    if (elapsed > 1000) {
        frames_per_second10_ = static_cast<int>(frame_counter_ * 10000.0 / elapsed);
        frame_counter_ = 0;
        rate_time_base_ = now;
    }
}

bool Session::FetchFrame(imaging::DibImage& raw) {
    // A device frame larger than the picture (a camera reopened with another geometry under a
    // running preview) would overrun it: count it as a failed transfer instead.
    if (raw.empty() || static_cast<size_t>(device_->capture().frame_size()) > raw.size()) return false;
    device_->capture().GetFrame(raw.pixels(), true);
    const size_t packed = static_cast<size_t>(raw.width()) * raw.bytes_per_pixel();
    const size_t stride = static_cast<size_t>(raw.stride());
    if (packed != stride) {
        // In place, from the last row back, so no row is overwritten before it has moved.
        uint8_t* p = raw.pixels();
        for (int r = raw.height() - 1; r >= 0; --r) {
            if (r > 0) std::memmove(p + r * stride, p + r * packed, packed);
            std::memset(p + r * stride + packed, 0, stride - packed);
        }
    }
    return true;
}

void Session::PostFrameFailure(int code) {  // under the frame lock
    if (platform::WindowHandle w = callback_window_) platform::PostWindowMessage(w, KELVOX_WM_FRAME, 0, code);
}

bool Session::CopyToHost(const imaging::DibImage& image, void* buffer, int size, int row_order) {
    const size_t stride = static_cast<size_t>(image.stride());
    if (size < 0 || static_cast<size_t>(size) < image.size()) {
        PostFrameFailure(KELVOX_ERR_BUFFER);
        RecordError(KELVOX_ERR_BUFFER);
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    const uint8_t* pixels = image.pixels();
    if (row_order != 0) {
        std::memcpy(out, pixels, image.size());
    } else {
        for (int r = image.height() - 1; r >= 0; --r, out += stride) std::memcpy(out, pixels + r * stride, stride);
    }
    return true;
}

// ---- capture on demand ----

int Session::SnapShot(void* buffer, int size, int row_order) {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!NeedDevice()) return 0;
    const int state = capture_state_.load();
    if (state == kLivePreview) {
        RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    if (state == kIdle && !PrepareCapture()) return 0;
    const bool keep_running = state == kCapturePrepared;
    std::unique_lock<std::mutex> lock(frame_lock_);
    auto fail = [&](int code) {
        if (!keep_running) device_->capture().Stop(false);
        RecordError(code);
        return 0;
    };
    if (!device_->capture().Start(1)) return fail(KELVOX_ERR_FRAME);
    const device::FrameWait waited = device_->capture().WaitFrame(static_cast<uint32_t>(snapshot_timeout_));
    if (waited == device::FrameWait::Lost) camera_lost_ = true;
    if (waited != device::FrameWait::Ready) return fail(KELVOX_ERR_FRAME);
    if (!FetchFrame(*pictures_[RawPictureOf(prepared_mode_)])) {
        PostFrameFailure(KELVOX_ERR_FRAME);
        return fail(KELVOX_ERR_FRAME);
    }
    ProcessFrame();
    if (buffer && size != 0 && !CopyToHost(*pictures_[prepared_mode_], buffer, size, row_order))
        return fail(KELVOX_ERR_BUFFER);
    lock.unlock();
    if (!keep_running) device_->capture().Stop(false);
    image_valid_ = 1;
    return 1;
}

int Session::GetImage(void* buffer, int size, int row_order) {
    if (!NeedDevice()) return 0;
    std::lock_guard<std::mutex> lock(frame_lock_);
    const int mode = color_mode_;
    if (mode < 0 || mode > 5) {
        RecordError(KELVOX_ERR_NOT_READY);
        return 0;
    }
    const imaging::DibImage& image = *pictures_[mode];
    if (image.empty() || !buffer) {
        RecordError(KELVOX_ERR_BUFFER);
        return 0;
    }
    if (!CopyToHost(image, buffer, size, row_order)) {
        RecordError(KELVOX_ERR_BUFFER);
        return 0;
    }
    return 1;
}

}  // namespace kelvox
