#pragma once
// A named block of memory shared by every process of the machine that opens the same name.
// It lives while some process has it open; the first opener after that gets a fresh,
// zero-filled block (the lifetime of a Windows paging-file mapping).
#include <cstddef>
#include <string>

namespace kelvox::platform {

class SharedMemory {
public:
    SharedMemory() = default;
    ~SharedMemory();
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Opens the block, creating it when nobody holds it; false when it cannot be had.
    bool Open(const std::string& name, size_t size);
    void Close();

    bool is_open() const { return data_ != nullptr; }
    // True when Open found a block that another holder had already made.
    bool existed() const { return existed_; }
    void* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
    bool existed_ = false;
#ifdef _WIN32
    void* mapping_ = nullptr;
#else
    int users_fd_ = -1;  // held shared while open: tells whether anyone else still uses the block
    std::string name_;
#endif
};

}  // namespace kelvox::platform
