#pragma once
// Uncompressed AVI files: one 24-bit DIB video stream, frames appended one by one, an idx1
// index and the measured frame rate written when the file is finished.
#include <cstdint>
#include <vector>

#include "output/binary_file.h"

namespace kelvox::output {

class AviWriter {
public:
    static constexpr uint32_t kOpeningRate = 30;  // frames per second in the header until Finish
    static constexpr uint32_t kFirstFrameOffset = 232;
    static constexpr uint32_t kMoviSizeOffset = 224;

    AviWriter() = default;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // The size of the next file's frames and the output bit count they were made from.
    void SetFormat(int width, int height, int bit_count);
    // Closes any earlier file as it stands, then creates this one (an existing file is truncated)
    // and writes everything up to the first frame. 1, or 0 when the file cannot be created or
    // written, or no format is set.
    int Open(const char* name);
    // Bytes of one frame: bottom-up blue, green, red rows, each padded to a multiple of 4 bytes
    // as in any DIB. Equal to width x height x 3 when 3 x width is a multiple of 4.
    uint32_t frame_bytes() const { return row_bytes_ * static_cast<uint32_t>(height_); }
    // False when one more frame and the index would overflow the file's 32-bit sizes.
    bool HasRoomForFrame() const;
    // Appends frame_bytes() bytes from `pixels` as the next frame. 0 when the write failed or
    // there is no room: the file is then cut back to the frames before it.
    int WriteFrame(const uint8_t* pixels);
    // Appends the index and patches sizes, frame counts and timing (rate in hundredths of a frame
    // per second; 0 counts as 1), then closes the file. When the index does not fit on the disk,
    // frames are dropped from the end until it does, so the file always plays. 1, or 0 when
    // frames had to be dropped, the file could not be completed, or none was open.
    int Finish(uint32_t rate100);
    // Closes the file as it stands (unfinished) and forgets its frames.
    void Close();

    bool is_open() const { return file_.is_open(); }
    uint32_t frame_count() const { return static_cast<uint32_t>(index_.size()); }
    int width() const { return width_; }
    int height() const { return height_; }
    int bit_count() const { return bit_count_; }

private:
    struct IndexEntry {
        char id[4];
        uint32_t flags, offset, size;
    };
    static_assert(sizeof(IndexEntry) == 16);

    int WriteIndex();
    int Patch(uint32_t offset, uint32_t value);

    BinaryFile file_;
    std::vector<IndexEntry> index_;
    int width_ = 0, height_ = 0, bit_count_ = 0;
    uint32_t row_bytes_ = 0;
    uint32_t riff_size_ = 0, movi_size_ = 0;
    uint64_t end_ = 0;  // where the next chunk goes: the end of the last whole frame
};

}  // namespace kelvox::output
