#pragma once
// The writers behind SaveImageFile, one per file format. Each takes a non-empty picture of a known
// bit count and returns 1 or 0; a writer that fails after opening its file removes it (Abandon).
#include "imaging/dib_image.h"

namespace kelvox::output {

int WriteBmp(const char* name, const imaging::DibImage& source);
int WriteRaw(const char* name, const imaging::DibImage& source);
int WriteJpeg(const char* name, const imaging::DibImage& source, int quality);
int WritePng(const char* name, const imaging::DibImage& source);
int WriteTiff(const char* name, const imaging::DibImage& source);

// Removes the unfinished file of a failed save; always 0, the result of the save.
int Abandon(const char* name);

}  // namespace kelvox::output
