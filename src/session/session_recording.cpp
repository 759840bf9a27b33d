// AVI recording: the live preview's processed frames into a file, on a recording thread of its
// own. The frame thread raises the new-frame flag; the recording thread converts the output
// picture under the frame lock and writes it after leaving the lock, so the disk never holds up
// frame delivery.
#include <algorithm>
#include <cstring>

#include "imaging/row_converters.h"
#include "platform/thread_priority.h"
#include "session/session.h"

namespace kelvox {

namespace {
// The longest the recording thread sleeps between looks at the new-frame flag.
constexpr uint32_t kRecorderPollMs = 10;
}  // namespace

int Session::Record(const char* name, int duration, int show_window) {
    std::lock_guard<std::recursive_mutex> control(control_lock_);
    if (!name || !*name) {
        RecordError(KELVOX_ERR_PARAM);
        return 0;
    }
    // A second recording would take the file from under the running one.
    if (recording_.load()) {
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    StopRecording();  // a finished recording's thread, on its way out
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        callback_window_ = nullptr;
        host_buffer_ = nullptr;
        host_size_ = 0;
    }
    if (show_window && placement_.any() && !OpenPreviewWindow()) {
        RecordError(KELVOX_ERR_WINDOW);
        return 0;
    }
    if (!StartPreview()) {
        Close();
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        const imaging::DibImage& out = *pictures_[prepared_mode_];
        recorder_.SetFormat(out.width(), out.height(), out.bit_count());
    }
    if (!recorder_.Open(name)) {
        Close();
        RecordError(KELVOX_ERR_CONVERT);
        return 0;
    }
    record_duration_ = static_cast<uint32_t>(duration);
    new_frame_ = 0;
    recording_ = 1;  // before the thread starts, which runs while it is set
    try {
        recorder_exit_ = std::make_unique<platform::Event>(platform::Event::Reset::Manual);
        recorder_thread_ = std::thread([this] {
            platform::NameCurrentThread("kelvox-recorder");
            RecordingLoop();
            recorder_exit_->Set();
        });
    } catch (const std::exception&) {  // no event or no thread
        recording_ = 0;
        recorder_exit_.reset();
        Close();
        RecordError(KELVOX_ERR_THREAD);
        return 0;
    }
    return 1;
}

int Session::RecordW(const wchar_t* name, int duration, int show_window) {
    char narrow[kMaxFileName];
    return NarrowFileName(name, narrow) ? Record(narrow, duration, show_window) : 0;
}

void Session::StopRecording() {
    recording_ = 0;
    recorder_wake_.Set();
    if (recorder_exit_) {
        recorder_exit_->Wait();
        if (recorder_thread_.joinable()) recorder_thread_.join();
        recorder_exit_.reset();
    }
}

void Session::RecordingLoop() {
    imaging::DibImage frame, grey;
    int mode = 0;
    {
        std::lock_guard<std::mutex> lock(frame_lock_);
        mode = prepared_mode_;
        const imaging::DibImage& out = *pictures_[mode];
        if (frame.Create(out.width(), out.height(), 24) && mode == 1) grey.Create(out.width(), out.height(), 8);
    }
    if (frame.empty() || (mode == 1 && grey.empty()) || frame.size() != recorder_.frame_bytes()) {
        recording_ = 0;
        RecordError(KELVOX_ERR_CONVERT);
        return;
    }
    // Fresh pictures are mapped on first write; fault them in now rather than on the first frame.
    std::memset(frame.pixels(), 0, frame.size());
    if (!grey.empty()) std::memset(grey.pixels(), 0, grey.size());
    bool started = false;
    uint32_t start = 0;
    while (recording_.load()) {
        recorder_wake_.Wait(kRecorderPollMs);
        if (!new_frame_.load()) continue;
        // The flag is cleared under the frame lock together with taking the frame: cleared before,
        // a frame finished while this thread waited for the lock would be taken now and again for
        // its own flag. The time is the frame's, not this wake-up's.
        uint32_t now = 0;
        bool taken;
        {
            std::lock_guard<std::mutex> lock(frame_lock_);
            new_frame_ = 0;
            taken = TakeRecordingFrame(mode, frame, grey);
            now = frame_time_;
        }
        if (!taken) continue;
        if (!started) {
            started = true;
            start = now;
        }
        if (mode == 1) frame.Convert(grey, imaging::ExpandGrey, nullptr, 0, 0, imaging::kSameRowOrder);
        // A full disk or a file at the format's 4 GiB ends the recording with the frames so far.
        if (!recorder_.WriteFrame(frame.pixels())) {
            FinishRecording(now - start);
            recording_ = 0;
            RecordError(KELVOX_ERR_CONVERT);
            break;
        }
        if (now - start > record_duration_) {
            const bool finished = FinishRecording(now - start);
            recording_ = 0;
            if (!finished) RecordError(KELVOX_ERR_CONVERT);
            break;
        }
    }
}

bool Session::TakeRecordingFrame(int mode, imaging::DibImage& frame, imaging::DibImage& grey) {
    using imaging::kReversedRowOrder;
    const imaging::DibImage& out = *pictures_[prepared_mode_];
    if (prepared_mode_ != mode || out.empty() || out.width() != frame.width() || out.height() != frame.height())
        return false;
    switch (mode) {
        case 0:
            return frame.Convert(out, imaging::ExpandGrey, nullptr, 0, 0, kReversedRowOrder);
        case 1:  // bits 2..9 of each sample
            return grey.Convert(out, imaging::ReduceGrey16, nullptr, 0, 0, kReversedRowOrder, 10);
        case 2:
        case 3:
            return frame.Convert(out, imaging::DropFourthByte, nullptr, 0, 0, kReversedRowOrder);
        case 4:
        case 5:
            return frame.Convert(out, imaging::ReduceColour16, nullptr, 0, 0, kReversedRowOrder, 16);
        default:
            return false;
    }
}

bool Session::FinishRecording(uint32_t elapsed_ms) {
    // Hundredths of a frame per second; a recording shorter than a millisecond counts as one.
    const uint64_t rate = static_cast<uint64_t>(recorder_.frame_count()) * 100000 / std::max<uint32_t>(elapsed_ms, 1);
    return recorder_.Finish(static_cast<uint32_t>(std::min<uint64_t>(rate, UINT32_MAX))) != 0;
}

}  // namespace kelvox
