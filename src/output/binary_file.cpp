#include "output/binary_file.h"

#include <cstring>
#include <new>

namespace kelvox::output {

int BinaryFile::Create(const char* name) {
    Close();
    file_ = platform::OpenFileForWriting(name);
    return is_open() ? 1 : 0;
}

int BinaryFile::Write(const void* data, size_t size) {
    if (!is_open() || !platform::WriteToFile(file_, data, size)) {
        write_failed_ = true;
        return 0;
    }
    return 1;
}

int BinaryFile::Seek(uint64_t offset) { return is_open() && platform::SeekFile(file_, offset) ? 1 : 0; }

int BinaryFile::Truncate(uint64_t length) {
    if (!is_open() || !platform::TruncateFile(file_, length)) return 0;
    write_failed_ = false;
    return 1;
}

int BinaryFile::Load(const char* name) {
    Close();
    file_ = platform::OpenFileForReading(name);
    uint64_t length = 0;
    if (!is_open() || !platform::FileLength(file_, &length) || length > UINT32_MAX - 1u) {
        Close();
        return 0;
    }
    buffer_.reset(new (std::nothrow) uint8_t[length ? length : 1]);
    if (!buffer_ || !platform::ReadFromFile(file_, buffer_.get(), static_cast<size_t>(length))) {
        Close();
        return 0;
    }
    platform::CloseFile(file_);
    file_ = platform::kNoFile;
    size_ = static_cast<uint32_t>(length);
    data_ = cursor_ = buffer_.get();
    end_ = data_ + size_;
    return 1;
}

int BinaryFile::Read(void* out, size_t size) {
    if (!out || size > remaining()) return 0;
    std::memcpy(out, cursor_, size);
    cursor_ += size;
    return 1;
}

int BinaryFile::Close() {
    bool ok = !write_failed_;
    if (is_open()) ok = platform::CloseFile(file_) && ok;
    file_ = platform::kNoFile;
    write_failed_ = false;
    buffer_.reset();
    data_ = end_ = cursor_ = nullptr;
    size_ = 0;
    return ok ? 1 : 0;
}

}  // namespace kelvox::output
