#pragma once
// Plain files by name (the name in the ANSI code page): what the image, mask and configuration
// writers and readers need, and nothing cached in between.
#include <cstddef>
#include <cstdint>

namespace kelvox::platform {

using FileHandle = intptr_t;
inline constexpr FileHandle kNoFile = -1;

// For writing, nobody else sharing it: an existing file is truncated, a missing one created.
FileHandle OpenFileForWriting(const char* name);
// For reading, shared with other readers.
FileHandle OpenFileForReading(const char* name);
// True only when every byte was written.
bool WriteToFile(FileHandle file, const void* data, size_t size);
// True when `size` bytes were read.
bool ReadFromFile(FileHandle file, void* data, size_t size);
// The file's length in bytes; false when it cannot be had.
bool FileLength(FileHandle file, uint64_t* length);
// Moves the write position to `offset` from the start.
bool SeekFile(FileHandle file, uint64_t offset);
// Cuts the file to `length` bytes and moves the write position there.
bool TruncateFile(FileHandle file, uint64_t length);
// False when the system reports that the last writes did not reach the file.
bool CloseFile(FileHandle file);
// Deletes the named file if it is an ordinary file; devices, directories and the like stay.
bool RemoveRegularFile(const char* name);

}  // namespace kelvox::platform
