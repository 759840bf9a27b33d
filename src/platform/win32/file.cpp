#include "platform/file.h"

#include <windows.h>

#include <algorithm>

namespace kelvox::platform {

namespace {
HANDLE Win(FileHandle f) { return reinterpret_cast<HANDLE>(f); }
FileHandle Ours(HANDLE h) { return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(h); }
// WriteFile and ReadFile move at most 4 GiB less one byte per call.
constexpr size_t kPiece = 1u << 30;
}  // namespace

FileHandle OpenFileForWriting(const char* name) {
    if (!name || !*name) return kNoFile;
    HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Ours(h);
}

FileHandle OpenFileForReading(const char* name) {
    if (!name || !*name) return kNoFile;
    return Ours(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
}

bool WriteToFile(FileHandle file, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min(size, kPiece));
        DWORD written = 0;
        if (!WriteFile(Win(file), p, piece, &written, nullptr) || written == 0) return false;
        p += written;
        size -= written;
    }
    return true;
}

bool ReadFromFile(FileHandle file, void* data, size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min(size, kPiece));
        DWORD got = 0;
        if (!ReadFile(Win(file), p, piece, &got, nullptr) || got == 0) return false;
        p += got;
        size -= got;
    }
    return true;
}

bool FileLength(FileHandle file, uint64_t* length) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(Win(file), &size)) return false;
    *length = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool SeekFile(FileHandle file, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(Win(file), to, nullptr, FILE_BEGIN) != 0;
}

bool TruncateFile(FileHandle file, uint64_t length) {
    return SeekFile(file, length) && SetEndOfFile(Win(file)) != 0;
}

bool CloseFile(FileHandle file) { return file != kNoFile && CloseHandle(Win(file)); }

bool RemoveRegularFile(const char* name) {
    if (!name) return false;
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return false;
    return DeleteFileA(name) != 0;
}

}  // namespace kelvox::platform
