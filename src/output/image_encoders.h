#pragma once
// The writers behind SaveImageFile, one per file format. Each takes a non-empty picture of a known
// bit count and returns 1 or 0; a writer that fails after opening its file removes it (Abandon).
#include <cstddef>

#include "imaging/dib_image.h"
#include "imaging/row_converters.h"
#include "output/binary_file.h"

namespace kelvox::output {

int WriteBmp(const char* name, const imaging::DibImage& source);
int WriteRaw(const char* name, const imaging::DibImage& source);
int WriteJpeg(const char* name, const imaging::DibImage& source, int quality);
int WritePng(const char* name, const imaging::DibImage& source);
int WriteTiff(const char* name, const imaging::DibImage& source);

// Converts the whole picture into `file`, `row_bytes` bytes per file row (padding zero), through one
// reused block of a few hundred KiB: no full-size working copy, and few large writes. 0 when the
// block cannot be had or a write failed.
int WriteConvertedRows(BinaryFile& file, const imaging::DibImage& source, imaging::RowConverter converter,
                       size_t row_bytes, intptr_t row_order, intptr_t value2);

// Removes the unfinished file of a failed save; always 0, the result of the save.
int Abandon(const char* name);

}  // namespace kelvox::output
