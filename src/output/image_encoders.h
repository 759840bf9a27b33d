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

// Takes one block of converted rows: 1, or 0 to stop.
using BlockSink = int (*)(void* context, const uint8_t* data, size_t size);

// Converts the whole picture, `row_bytes` bytes per file row (padding zero), through one reused
// block of a few hundred KiB handed to `sink`: no full-size working copy, and few large writes.
// 0 when the block cannot be had or the sink refused a block.
int ConvertInBlocks(const imaging::DibImage& source, imaging::RowConverter converter, size_t row_bytes,
                    intptr_t row_order, intptr_t value2, BlockSink sink, void* context);

// Removes the unfinished file of a failed save; always 0, the result of the save.
int Abandon(const char* name);

}  // namespace kelvox::output
