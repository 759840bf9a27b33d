#pragma once
// The row converters: pixel conversions between two pictures run through DibImage::Convert, for
// the preview's display reductions, the still-image writers and the AVI recorder.
//
// Every converter has the RowConverter signature and takes the same two caller values:
//   value1  row order: kSameRowOrder writes destination row dst_y + k from source row
//           rect.top + k; kReversedRowOrder (any non-zero value) writes it from source row
//           rect.bottom - 1 - k. For whole pictures reversed means destination row i from source
//           row height - 1 - i, which turns a top-row-first picture into a bottom-up one.
//   value2  significant bits (8..16) of 16-bit samples, for the converters that read them;
//           ignored by the others. 16 means full-range samples.
// Only the pixels of the rectangle are written, never the row padding. A converter returns 1, or
// 0 without writing anything when the bytes per pixel of the two pictures are not the ones it
// converts between or the significant bits are out of range. Source and destination must not
// overlap. 16-bit samples are little-endian.
//
// Which converter is used where (row order in brackets; bits = the camera's significant bits):
//   display     8 -> 8, 24 -> 24: CopyRows; 16 -> 8: ReduceGrey16 (16); 32 -> 24: DropFourthByte;
//               48/64 -> 24: ReduceColour16 (16)                        [same or reversed]
//   BMP         CopyRows                                                [reversed]
//   JPEG        8: CopyRows; 16: ReduceGrey16 (bits); 24/32: DropFourthByte;
//               48/64: ReduceColour16 (16)                              [reversed]
//   PNG         16/48/64: WidenSamples16 (bits); 32: InvertFourthByte   [same]
//   TIFF        8: CopyRows; 16: WidenSamples16 (bits); 24/32: SwapRedBlue;
//               48/64: SwapRedBlue16 (bits)                             [same]
//   AVI frame   8: ExpandGrey; 16: ReduceGrey16 (10), then ExpandGrey of that in the same order;
//               24/32: DropFourthByte; 48/64: ReduceColour16 (16)       [reversed]
#include <cstdint>

#include "imaging/dib_image.h"

namespace kelvox::imaging {

inline constexpr intptr_t kSameRowOrder = 0;
inline constexpr intptr_t kReversedRowOrder = 1;

// Any format into the same format, bytes unchanged.
int CopyRows(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bytes_per_pixel,
             int src_bytes_per_pixel, int dst_stride, int src_stride, intptr_t row_order, intptr_t);

// 16-bit grey (2 bytes per pixel) into 8-bit grey: (sample >> (bits - 8)) & 0xFF, i.e. bits 2..9
// for 10 significant bits, 4..11 for 12 and the high byte for 16.
int ReduceGrey16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                 int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride, intptr_t row_order,
                 intptr_t significant_bits);

// 48- or 64-bit colour into 24-bit: blue, green, red each (component >> (bits - 8)) & 0xFF; the
// fourth component is ignored.
int ReduceColour16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                   int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride,
                   intptr_t row_order, intptr_t significant_bits);

// 24- or 32-bit colour into 24-bit: blue, green, red copied, a fourth byte dropped.
int DropFourthByte(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                   int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride,
                   intptr_t row_order, intptr_t);

// 8-bit grey into 24-bit colour with blue = green = red = the sample: what drawing through the
// gray-ramp colour table that every 8-bit picture here carries gives.
int ExpandGrey(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y, int dst_bytes_per_pixel,
               int src_bytes_per_pixel, int dst_stride, int src_stride, intptr_t row_order, intptr_t);

// 32-bit into 32-bit: blue, green, red copied, fourth byte = 255 - the source's. Processing leaves
// the fourth byte 0, so this makes an opaque alpha channel.
int InvertFourthByte(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                     int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride,
                     intptr_t row_order, intptr_t);

// 16-, 48- or 64-bit into the same format, samples moved up to full range: each grey sample or
// blue, green, red component shifted left by 16 - bits (bits above 16 dropped). Below 16 bits a
// 64-bit pixel's fourth component becomes 65535; at 16 bits everything is copied unchanged.
int WidenSamples16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                   int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride,
                   intptr_t row_order, intptr_t significant_bits);

// 24- or 32-bit into the same format with blue and red exchanged (red, green, blue order); a
// fourth byte is copied.
int SwapRedBlue(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride, intptr_t row_order,
                intptr_t);

// 48- or 64-bit into the same format in red, green, blue order, each component shifted left by
// 16 - bits; a 64-bit pixel's fourth component is always 65535.
int SwapRedBlue16(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                  int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride,
                  intptr_t row_order, intptr_t significant_bits);

}  // namespace kelvox::imaging
