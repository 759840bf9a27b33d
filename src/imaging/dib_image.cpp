#include "imaging/dib_image.h"

#include <algorithm>
#include <cstring>

namespace kelvox::imaging {

void DibImage::Reset() {
    std::memset(&info_, 0, sizeof info_);
    info_.header.size = sizeof(DibHeader);
}

void DibImage::WriteGrayRamp() {
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        info_.colors[i] = RgbQuad{v, v, v, 0};
    }
}

int DibImage::Create(int width, int height, int bit_count) {
    if (width <= 0 || height <= 0 || bit_count <= 0) return 0;
    Release();
    info_.header.width = width;
    info_.header.height = height;
    info_.header.planes = 1;
    info_.header.bit_count = static_cast<uint16_t>(bit_count);
    width_ = width;
    height_ = height;
    bit_count_ = bit_count;
    stride_ = StrideFor(width, bit_count);
    return Allocate(nullptr);
}

int DibImage::CreateLike(const DibImage* other) {
    if (!other || other->empty()) return 0;
    Release();
    info_.header = other->info_.header;
    width_ = other->width_;
    height_ = other->height_;
    stride_ = other->stride_;
    bit_count_ = other->bit_count_;
    return Allocate(other->dc());
}

int DibImage::DescribeAs(const DibImage& other) {
    if (other.empty()) return 0;
    Release();
    info_ = other.info_;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    bit_count_ = other.bit_count_;
    pixels_ = other.pixels_;  // neither the heap block nor the section is ours to release
    return 1;
}

int DibImage::Allocate(void* reference_dc) {
    if (bit_count_ == 8) WriteGrayRamp();
    if (platform::CreateDibSection(&info_, reference_dc, &section_)) {
        pixels_ = static_cast<uint8_t*>(section_.bits);
        return 1;
    }
    // No section: the pixels live on the heap, without a device context.
    heap_.reset(static_cast<uint8_t*>(std::calloc(size(), 1)));
    if (!heap_) {
        Release();
        return 0;
    }
    pixels_ = heap_.get();
    return 1;
}

void DibImage::Release() {
    platform::ReleaseDibSection(&section_);
    heap_.reset();
    pixels_ = nullptr;
    width_ = height_ = stride_ = bit_count_ = 0;
    Reset();
}

int DibImage::SetColourTable(int mode, const RgbQuad* entries, unsigned first, unsigned count) {
    if (mode == 0) {
        WriteGrayRamp();
        platform::SetDibColorTable(section_, 0, 256, info_.colors);
    } else if (mode == 2 && entries) {
        platform::SetDibColorTable(section_, first, count, entries);
    }
    return 1;
}

int DibImage::Convert(const DibImage& source, RowConverter converter, const PixelRect* source_rect, int dst_x,
                      int dst_y, intptr_t value1, intptr_t value2) {
    if (!converter || empty() || source.empty()) return 0;
    PixelRect r = source_rect ? *source_rect : PixelRect{0, 0, source.width_, source.height_};
    // Clip against the source, then against the destination at the destination position.
    if (r.left < 0) {
        dst_x -= r.left;
        r.left = 0;
    }
    if (r.top < 0) {
        dst_y -= r.top;
        r.top = 0;
    }
    r.right = std::min(r.right, source.width_);
    r.bottom = std::min(r.bottom, source.height_);
    if (dst_x < 0) {
        r.left -= dst_x;
        dst_x = 0;
    }
    if (dst_y < 0) {
        r.top -= dst_y;
        dst_y = 0;
    }
    r.right = std::min(r.right, r.left + (width_ - dst_x));
    r.bottom = std::min(r.bottom, r.top + (height_ - dst_y));
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    return converter(pixels_, source.pixels_, r, dst_x, dst_y, bytes_per_pixel(), source.bytes_per_pixel(), stride_,
                     source.stride_, value1, value2);
}

}  // namespace kelvox::imaging
