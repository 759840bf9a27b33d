#pragma once
// The still-image writer: a picture (memory row 0 = top row) into a BMP, raw, JPEG, PNG or TIFF
// file whose top row is memory row 0. 16-bit samples are taken as full-range values.
#include "imaging/dib_image.h"

namespace kelvox::output {

enum ImageFormat {
    kFormatBmp = 0,
    kFormatRaw = 1,    // the pixel buffer as it is, padded rows, no header
    kFormatJpeg100 = 2,
    kFormatJpeg70 = 3,
    kFormatJpeg20 = 4,
    kFormatPng = 5,
    kFormatTiff = 6,
};

// 1 when the whole file was written. 0 for an unknown format, a picture the format cannot take,
// a file that cannot be opened, or any failure while writing; a file this call created or
// truncated and could not finish is removed again, so no partial file is left behind.
int SaveImageFile(const char* name, const imaging::DibImage& source, int format);

}  // namespace kelvox::output
