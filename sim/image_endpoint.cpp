// Endpoint 0x81: after an arm request, a 64-byte frame header, then the payload in whatever piece
// sizes the host reads, at the sensor's frame timing and the link's rate (or unpaced).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim_camera.h"

namespace kelvox::sim {

using namespace usb;  // the wire protocol's names, shared with the SDK's side

void WriteTransferStatus(uint8_t* record, uint32_t error);

namespace {

Clock::duration Seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

}  // namespace

uint32_t SimCamera::FpgaWidth() const { return fpga_[kFpgaWidthLow] | fpga_[kFpgaWidthHigh] << 8; }

uint32_t SimCamera::FpgaHeight() const { return fpga_[kFpgaHeightLow] | fpga_[kFpgaHeightHigh] << 8; }

int SimCamera::BytesPerSample() const { return fpga_[kFpgaDepth] == kDepth16Bit ? 2 : 1; }

uint32_t SimCamera::PayloadLength() const { return FpgaWidth() * FpgaHeight() * BytesPerSample(); }

bool SimCamera::SubmitRead(platform::DeviceHandle handle, uint8_t* data, uint32_t length, uint8_t* record,
                           uint32_t extra, SimOverlapped* overlapped, uint32_t* bytes_returned, uint32_t* error) {
    overlapped->Begin();
    reads_.push_back(Read{handle, overlapped, data, length, record, extra, TakeFault(kFaultStall)});
    read_queued_.notify_all();
    Pump(Clock::now());
    // Finished at once: the call itself reports the outcome, as an overlapped driver call that
    // completes synchronously does.
    if (overlapped->done()) return overlapped->Result(false, bytes_returned, error);
    *error = platform::kErrorIoPending;
    return false;
}

void SimCamera::Pump(Clock::time_point now) {
    while (!reads_.empty()) {
        Read& read = reads_.front();
        if (!read.resolved && !Resolve(read, now)) return;  // waits for an arm, a trigger or an abort
        if (read.due > now) return;
        if (read.error == 0 && read.header) ++stats_.headers_sent;
        if (read.error == 0 && read.frame_end) {
            ++stats_.frames_sent;
            frame_times_[frame_times_written_++ % kFrameTimes] = FrameTime{header_frame_, now};
        }
        Finish(read, read.bytes, read.error);
        reads_.pop_front();
    }
}

// Decides what the read at the front gets and when; false while nothing can be said yet.
bool SimCamera::Resolve(Read& read, Clock::time_point now) {
    if (read.stalled) return false;
    read.due = now;
    if (in_payload_) {
        if (TakeFault(kFaultPayloadRead)) {
            read.error = platform::kErrorGenFailure;
            in_payload_ = false;  // the rest of the frame is lost
        } else {
            const uint32_t n = std::min(read.length, payload_length_ - payload_offset_);
            if (n) std::memcpy(read.data, frame_.data() + payload_offset_, n);
            payload_offset_ += n;
            read.bytes = n;
            // The link's rate, less a millisecond of slack so that a host woken by a coarse timer
            // (Wine, Windows' default 1 ms) still keeps up with 16-bit full frames.
            if (config_.paced)
                read.due = std::max(now, header_time_ - std::chrono::milliseconds(1) +
                                             Seconds(static_cast<double>(payload_offset_) / kLinkBytesPerSecond));
            if (payload_offset_ == payload_length_) {
                in_payload_ = false;
                read.frame_end = true;
            }
        }
        read.resolved = true;
        return true;
    }

    if (!armed_) return false;  // nothing is sent without an arm request
    if (TakeFault(kFaultHeaderRead)) {
        armed_ = false;
        read.error = platform::kErrorGenFailure;
        read.resolved = true;
        return true;
    }
    Clock::time_point at;
    if (!StartFrame(now, &at)) return false;  // triggered mode without a trigger yet
    armed_ = false;
    read.due = at;
    read.header = true;
    if (read.length < header_.size()) {
        read.error = platform::kErrorGenFailure;  // the header does not fit: babble
    } else {
        std::memcpy(read.data, header_.data(), header_.size());
        read.bytes = static_cast<uint32_t>(header_.size());
    }
    payload_offset_ = 0;
    payload_length_ = PayloadLength();
    in_payload_ = read.error == 0 && payload_length_ > 0;
    if (read.error == 0 && payload_length_ == 0) read.frame_end = true;
    header_time_ = at;
    read.resolved = true;
    return true;
}

// Picks the frame the next header announces and when it is ready, and reads it out.
bool SimCamera::StartFrame(Clock::time_point now, Clock::time_point* at) {
    uint64_t index;
    *at = now;
    if (fpga_[kFpgaTriggerEnable] & 1) {  // external trigger: one frame per trigger, the newest kept
        if (triggered_frames_ == 0) return false;
        stats_.frames_dropped += static_cast<uint32_t>(triggered_frames_ - 1);
        triggered_frames_ = 0;
        index = ++trigger_index_;
    } else if (!config_.paced) {
        index = ++unpaced_index_;
    } else {
        // The sensor runs freely; a new frame length takes effect from the last frame boundary.
        const double period = sensor_.FramePeriodSeconds();
        auto index_at = [&](Clock::time_point t) {
            return anchor_index_ + static_cast<uint64_t>(std::floor(std::chrono::duration<double>(t - anchor_time_).count() / period_));
        };
        if (period != period_) {
            const uint64_t k = index_at(now);
            anchor_time_ += Seconds((k - anchor_index_) * period_);
            anchor_index_ = k;
            period_ = period;
        }
        const uint64_t latest = index_at(now);  // the newest frame already finished
        if (delivered_any_ && latest > last_delivered_) {
            // The FPGA holds one finished frame; those before it were overwritten unread.
            stats_.frames_dropped += static_cast<uint32_t>(latest - last_delivered_ - 1);
            index = latest;
        } else {
            index = (delivered_any_ ? last_delivered_ : latest) + 1;
            *at = anchor_time_ + Seconds((index - anchor_index_) * period_);
        }
        delivered_any_ = true;
        last_delivered_ = index;
    }

    RenderFrame(index);
    header_.fill(0);
    PutLe32(&header_[kHeaderPayloadLength], PayloadLength());
    PutLe32(&header_[kHeaderFrameNumber], static_cast<uint32_t>(index));
    header_frame_ = static_cast<uint32_t>(index);
    PutLe32(&header_[kHeaderTriggerCount], fpga_[kFpgaTriggerCount]);
    PutLe32(&header_[kHeaderExposureLines], static_cast<uint32_t>(sensor_.ExposureLines()));
    PutLe32(&header_[kHeaderFrameLength], static_cast<uint32_t>(sensor_.FrameLength()));
    return true;
}

void SimCamera::RenderFrame(uint64_t index) {
    ReadoutParams p;
    p.window = sensor_.Window();
    p.mirror_v = sensor_.MirrorV();
    p.mirror_h = sensor_.MirrorH();
    p.brightness = config_.photometric
                       ? sensor_.ExposureLines() / static_cast<double>(kNominalExposureLines) *
                             std::pow(10.0, sensor_.Gain() / 200.0)
                       : 1.0;
    p.out_width = static_cast<int>(FpgaWidth());
    p.out_height = static_cast<int>(FpgaHeight());
    p.bytes_per_sample = BytesPerSample();
    p.noise = config_.noise;
    p.noise_seed = static_cast<uint32_t>(index) ^ static_cast<uint32_t>(id_ << 24);

    const size_t size = PayloadLength();
    const RenderKey key{p.window, p.mirror_v, p.mirror_h, p.brightness, p.out_width, p.out_height,
                        p.bytes_per_sample, scene_revision_};
    if (frame_.size() != size) {
        frame_.resize(size);
        render_valid_ = false;
    }
    // Without noise, consecutive frames are the same picture: read it out only when it changes.
    if (config_.noise || !render_valid_ || !(key == render_key_)) {
        ReadOut(scene_, p, frame_.data());
        render_key_ = key;
        render_valid_ = !config_.noise;
    }
    if (config_.stamp) {
        // The first four samples of row 0 carry the frame number, one byte each, low byte first.
        const int samples = std::min<int>(4, static_cast<int>(size / p.bytes_per_sample));
        for (int i = 0; i < samples; ++i) {
            const auto byte = static_cast<uint8_t>(index >> (8 * i));
            if (p.bytes_per_sample == 2) {
                frame_[2 * i] = byte;
                frame_[2 * i + 1] = 0;
            } else {
                frame_[i] = byte;
            }
        }
        // The cached picture stays valid: the stamp is rewritten over the same samples every frame.
    }
}

void SimCamera::Finish(Read& read, uint32_t bytes, uint32_t error) {
    WriteTransferStatus(read.record, error);
    read.overlapped->Complete(error == 0 ? bytes + read.extra : 0, error);
}

void SimCamera::FailAllReads(uint32_t error) {
    for (Read& r : reads_) Finish(r, 0, error);
    reads_.clear();
}

void SimCamera::ResetStream(bool forget_delivery) {
    armed_ = false;
    in_payload_ = false;
    payload_offset_ = 0;
    if (forget_delivery) delivered_any_ = false;  // a restarted stream counts no drops for the pause
}

}  // namespace kelvox::sim
