#include "output/avi_writer.h"

#include <algorithm>
#include <cstring>

namespace kelvox::output {

namespace {

constexpr uint32_t kHasIndex = 0x10;           // AVIF_HASINDEX
constexpr uint32_t kWasCaptureFile = 0x10000;  // AVIF_WASCAPTUREFILE
constexpr uint32_t kKeyFrame = 0x10;           // AVIIF_KEYFRAME
constexpr uint32_t kStreamRate = 10000000;     // dwRate; dwScale sets the frame rate against it
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFu;
// Enough index entries for most recordings without growing while frames arrive.
constexpr size_t kReservedEntries = 1 << 16;

void Put32(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
}
void Put16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}
void PutId(uint8_t* at, const char* id) { std::memcpy(at, id, 4); }

}  // namespace

void AviWriter::SetFormat(int width, int height, int bit_count) {
    width_ = width;
    height_ = height;
    bit_count_ = bit_count;
    row_bytes_ = width > 0 ? (static_cast<uint32_t>(width) * 3 + 3) & ~3u : 0;
}

bool AviWriter::HasRoomForFrame() const {
    const uint64_t chunk = 8 + static_cast<uint64_t>(frame_bytes());
    const uint64_t index = 8 + 16 * (static_cast<uint64_t>(frame_count()) + 1);
    return riff_size_ + chunk + index <= kMaxRiffSize;
}

int AviWriter::Open(const char* name) {
    Close();
    if (width_ <= 0 || height_ <= 0 || static_cast<uint64_t>(frame_bytes()) + 8 > kMaxRiffSize / 2) return 0;
    if (!file_.Create(name)) return 0;
    const uint32_t suggested = frame_bytes() + 8;
    uint8_t h[kFirstFrameOffset] = {};
    PutId(h + 0, "RIFF");
    PutId(h + 8, "AVI ");
    PutId(h + 12, "LIST");
    Put32(h + 16, 200);
    PutId(h + 20, "hdrl");
    PutId(h + 24, "avih");
    Put32(h + 28, 56);
    uint8_t* avih = h + 32;
    Put32(avih + 0, 1000000 / kOpeningRate);
    Put32(avih + 4, suggested * suggested);  // as the format has it: wraps in 32 bits
    Put32(avih + 12, kHasIndex | kWasCaptureFile);
    Put32(avih + 24, 1);
    Put32(avih + 28, suggested);
    Put32(avih + 32, static_cast<uint32_t>(width_));
    Put32(avih + 36, static_cast<uint32_t>(height_));
    PutId(h + 88, "LIST");
    Put32(h + 92, 124);
    PutId(h + 96, "strl");
    PutId(h + 100, "strh");
    Put32(h + 104, 64);
    uint8_t* strh = h + 108;
    PutId(strh + 0, "vids");
    PutId(strh + 4, "DIB ");
    Put32(strh + 20, kStreamRate / kOpeningRate);
    Put32(strh + 24, kStreamRate);
    Put32(strh + 36, suggested);
    PutId(h + 172, "strf");
    Put32(h + 176, 40);
    uint8_t* strf = h + 180;
    Put32(strf + 0, 40);
    Put32(strf + 4, static_cast<uint32_t>(width_));
    Put32(strf + 8, static_cast<uint32_t>(height_));  // positive: bottom-up rows
    Put16(strf + 12, 1);
    Put16(strf + 14, 24);
    PutId(h + 220, "LIST");
    PutId(h + 228, "movi");
    if (!file_.Write(h, sizeof h)) {
        file_.Close();
        return 0;
    }
    riff_size_ = kMoviSizeOffset;
    movi_size_ = 4;
    end_ = kFirstFrameOffset;
    const uint64_t fitting = (kMaxRiffSize - kFirstFrameOffset) / (8 + static_cast<uint64_t>(frame_bytes()) + 16);
    index_.reserve(static_cast<size_t>(std::min<uint64_t>(fitting, kReservedEntries)));
    return 1;
}

int AviWriter::WriteFrame(const uint8_t* pixels) {
    if (!file_.is_open() || !pixels || !HasRoomForFrame()) return 0;
    const uint32_t size = frame_bytes();
    uint8_t chunk[8];
    PutId(chunk, "00db");
    Put32(chunk + 4, size);
    if (!file_.Write(chunk, sizeof chunk) || !file_.Write(pixels, size)) {
        file_.Truncate(end_);  // what reached the disk of this frame goes
        return 0;
    }
    index_.push_back(IndexEntry{{'0', '0', 'd', 'b'}, kKeyFrame, movi_size_, size});
    riff_size_ += 8 + size;
    movi_size_ += 8 + size;
    end_ += 8 + static_cast<uint64_t>(size);
    return 1;
}

int AviWriter::WriteIndex() {
    uint8_t head[8];
    PutId(head, "idx1");
    Put32(head + 4, 16 * frame_count());
    return file_.Write(head, sizeof head) &&
           (index_.empty() || file_.Write(index_.data(), index_.size() * sizeof(IndexEntry)));
}

int AviWriter::Patch(uint32_t offset, uint32_t value) {
    uint8_t bytes[4];
    Put32(bytes, value);
    return file_.Seek(offset) && file_.Write(bytes, sizeof bytes);
}

int AviWriter::Finish(uint32_t rate100) {
    if (!file_.is_open()) return 0;
    bool complete = true;
    // A disk that cannot take the index loses frames from the end until it can.
    while (!(file_.Truncate(end_) && WriteIndex())) {
        complete = false;
        if (index_.empty()) {
            file_.Truncate(end_);
            Close();
            return 0;
        }
        const uint32_t chunk = 8 + index_.back().size;
        index_.pop_back();
        riff_size_ -= chunk;
        movi_size_ -= chunk;
        end_ -= chunk;
    }
    riff_size_ += 8 + 16 * frame_count();
    const uint32_t rate = std::max<uint32_t>(rate100, 1);
    const bool patched = Patch(4, riff_size_) && Patch(kMoviSizeOffset, movi_size_) && Patch(48, frame_count()) &&
                         Patch(140, frame_count()) && Patch(32, 100000000u / rate) && Patch(128, 1000000000u / rate);
    const bool closed = file_.Close() != 0;
    Close();
    return complete && patched && closed ? 1 : 0;
}

void AviWriter::Close() {
    file_.Close();
    index_.clear();
    riff_size_ = movi_size_ = 0;
    end_ = 0;
}

}  // namespace kelvox::output
