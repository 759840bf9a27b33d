#include "platform/shared_memory.h"

#include <windows.h>

namespace kelvox::platform {

SharedMemory::~SharedMemory() { Close(); }

bool SharedMemory::Open(const std::string& name, size_t size) {
    Close();
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    existed_ = mapping != nullptr;
    if (!mapping) {
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     static_cast<DWORD>(size), name.c_str());
        if (!mapping) return false;
        existed_ = GetLastError() == ERROR_ALREADY_EXISTS;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!view) {
        CloseHandle(mapping);
        existed_ = false;
        return false;
    }
    mapping_ = mapping;
    data_ = view;
    size_ = size;
    return true;
}

void SharedMemory::Close() {
    if (data_) UnmapViewOfFile(data_);
    if (mapping_) CloseHandle(static_cast<HANDLE>(mapping_));
    data_ = nullptr;
    mapping_ = nullptr;
    size_ = 0;
}

}  // namespace kelvox::platform
