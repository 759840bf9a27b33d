#pragma once
// A picture as a device-independent bitmap. Rows are padded to 4 bytes; memory row 0 is the top
// row of the picture (the header's height is positive, so GDI sees it upside down, and drawing
// flips it). On Windows the pixels are a DIB section with its own memory DC; elsewhere, or when
// no section can be had, they are a plain zero-filled buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/dib_section.h"

namespace kelvox::imaging {

#pragma pack(push, 1)
struct DibHeader {  // BITMAPINFOHEADER
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bit_count;
    uint32_t compression;
    uint32_t size_image;
    int32_t x_pels_per_meter;
    int32_t y_pels_per_meter;
    uint32_t colors_used;
    uint32_t colors_important;
};
struct RgbQuad {
    uint8_t blue, green, red, reserved;
};
struct DibInfo {  // BITMAPINFO with a full 256-entry table
    DibHeader header;
    RgbQuad colors[256];
};
#pragma pack(pop)
static_assert(sizeof(DibHeader) == 40);
static_assert(sizeof(DibInfo) == 40 + 1024);

// A rectangle in picture rows (row 0 = the top row), right and bottom exclusive.
struct PixelRect {
    int left, top, right, bottom;
};

class DibImage;

// Converts the rows of `rect` of the source into the destination at (dst_x, dst_y).
using RowConverter = int (*)(uint8_t* dst, const uint8_t* src, const PixelRect& rect, int dst_x, int dst_y,
                             int dst_bytes_per_pixel, int src_bytes_per_pixel, int dst_stride, int src_stride,
                             intptr_t value1, intptr_t value2);

class DibImage {
public:
    DibImage() { Reset(); }
    ~DibImage() { Release(); }
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    void Reset();
    int Create(int width, int height, int bit_count);
    int CreateLike(const DibImage* other);
    // Describes the other picture without owning anything: same header, size and pixel memory.
    // Valid until the other picture is created again or released.
    int DescribeAs(const DibImage& other);
    void Release();
    // Mode 0: the gray ramp; mode 2: the given entries.
    int SetColourTable(int mode, const RgbQuad* entries, unsigned first, unsigned count);
    int Convert(const DibImage& source, RowConverter converter, const PixelRect* source_rect, int dst_x, int dst_y,
                intptr_t value1 = 0, intptr_t value2 = 0);

    bool empty() const { return pixels_ == nullptr; }
    uint8_t* pixels() { return pixels_; }
    const uint8_t* pixels() const { return pixels_; }
    uint8_t* row(int r) { return pixels_ + static_cast<size_t>(r) * stride_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    int bit_count() const { return bit_count_; }
    int bytes_per_pixel() const { return bit_count_ / 8; }
    size_t size() const { return static_cast<size_t>(height_) * stride_; }
    const DibInfo& info() const { return info_; }
    void* dc() const { return section_.dc; }

    static int StrideFor(int width, int bit_count) { return (width * (bit_count / 8) + 3) & ~3; }

private:
    int Allocate(void* reference_dc);
    void WriteGrayRamp();

    DibInfo info_;
    platform::DibSection section_;
    // calloc'ed: the system hands out zero pages that cost memory only once written.
    std::unique_ptr<uint8_t, void (*)(void*)> heap_{nullptr, &std::free};
    uint8_t* pixels_ = nullptr;
    int width_ = 0, height_ = 0, stride_ = 0, bit_count_ = 0;
};

}  // namespace kelvox::imaging
