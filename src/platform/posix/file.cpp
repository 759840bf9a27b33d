#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kelvox::platform {

FileHandle OpenFileForWriting(const char* name) {
    if (!name || !*name) return kNoFile;
    // Truncate an existing file, else create a new one: the two opens of the Windows build.
    int fd = open(name, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd < 0 ? kNoFile : fd;
}

FileHandle OpenFileForReading(const char* name) {
    if (!name || !*name) return kNoFile;
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? kNoFile : fd;
}

bool WriteToFile(FileHandle file, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(static_cast<int>(file), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadFromFile(FileHandle file, void* data, size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(static_cast<int>(file), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool FileLength(FileHandle file, uint64_t* length) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return false;
    *length = static_cast<uint64_t>(st.st_size);
    return true;
}

bool SeekFile(FileHandle file, uint64_t offset) {
    return lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool TruncateFile(FileHandle file, uint64_t length) {
    return ftruncate(static_cast<int>(file), static_cast<off_t>(length)) == 0 && SeekFile(file, length);
}

bool CloseFile(FileHandle file) { return file != kNoFile && close(static_cast<int>(file)) == 0; }

bool RemoveRegularFile(const char* name) {
    struct stat st;
    if (!name || lstat(name, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return unlink(name) == 0;
}

}  // namespace kelvox::platform
