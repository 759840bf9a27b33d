#pragma once
// A file held for one job: written from start to end, or read whole into memory and taken
// apart with a cursor. Shared by the image writers and the other file readers and writers.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/file.h"

namespace kelvox::output {

class BinaryFile {
public:
    BinaryFile() = default;
    ~BinaryFile() { Close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // An existing file is truncated, a missing one created. 1, or 0 when it can be neither.
    int Create(const char* name);
    // 1 when every byte was written; a failure is also remembered for Close.
    int Write(const void* data, size_t size);
    // Moves the write position to `offset` from the start.
    int Seek(uint64_t offset);
    // Cuts the file to `length` bytes and writes on from there. Failed writes beyond that length
    // are forgotten: they no longer count against Close.
    int Truncate(uint64_t length);
    // Reads the whole file (at most 4 GiB less one byte) into memory; the cursor starts at 0.
    int Load(const char* name);
    // The next `size` bytes from the cursor, or 0 (cursor unchanged) when fewer remain.
    int Read(void* out, size_t size);
    // Releases everything; 0 when a write failed or the system could not finish the file.
    int Close();

    bool is_open() const { return file_ != platform::kNoFile; }
    const uint8_t* data() const { return data_; }
    uint32_t size() const { return size_; }
    size_t remaining() const { return static_cast<size_t>(end_ - cursor_); }

private:
    platform::FileHandle file_ = platform::kNoFile;
    bool write_failed_ = false;
    std::unique_ptr<uint8_t[]> buffer_;
    const uint8_t* data_ = nullptr;
    const uint8_t* end_ = nullptr;
    const uint8_t* cursor_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace kelvox::output
