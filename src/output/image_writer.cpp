// Format dispatch, and the two formats that need no encoder library: BMP and the raw dump.
#include "output/image_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/row_converters.h"
#include "output/binary_file.h"
#include "output/image_encoders.h"
#include "platform/file.h"

namespace kelvox::output {

namespace {

// Picture rows are written in pieces of about this size, so a save needs no second full-size buffer.
constexpr size_t kBlockBytes = 256 * 1024;

void Put16(uint8_t* p, unsigned v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

bool KnownBitCount(int bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

}  // namespace

int WriteBmp(const char* name, const imaging::DibImage& source) {
    const int width = source.width(), height = source.height(), bits = source.bit_count();
    const size_t stride = static_cast<size_t>(source.stride());
    const uint64_t pixel_bytes = static_cast<uint64_t>(height) * stride;
    const uint32_t offset = bits <= 8 ? 14 + 40 + 1024 : 14 + 40;
    if (pixel_bytes + offset > UINT32_MAX) return 0;  // bfSize could not say it

    uint8_t head[14 + 40 + 1024] = {};
    Put16(head, 0x4D42);  // "BM"
    Put32(head + 2, offset + static_cast<uint32_t>(pixel_bytes));
    Put32(head + 10, offset);
    imaging::DibHeader info{};
    info.size = sizeof info;
    info.width = width;
    info.height = height;
    info.planes = 1;
    info.bit_count = static_cast<uint16_t>(bits);
    std::memcpy(head + 14, &info, sizeof info);  // packed and little-endian, as the file wants it
    if (bits <= 8)
        for (int i = 0; i < 256; ++i) Put32(head + 54 + 4 * i, static_cast<uint32_t>(i) * 0x010101u);  // gray ramp

    BinaryFile file;
    if (!file.Create(name)) return 0;
    file.Write(head, offset);
    // Bottom-up rows: file row i is picture row height - 1 - i.
    auto to_file = [](void* f, const uint8_t* data, size_t size) { return static_cast<BinaryFile*>(f)->Write(data, size); };
    const bool rows =
        ConvertInBlocks(source, imaging::CopyRows, stride, imaging::kReversedRowOrder, 0, to_file, &file);
    const bool closed = file.Close();
    return rows && closed ? 1 : Abandon(name);
}

int WriteRaw(const char* name, const imaging::DibImage& source) {
    BinaryFile file;
    if (!file.Create(name)) return 0;
    file.Write(source.pixels(), source.size());
    return file.Close() ? 1 : Abandon(name);
}

int ConvertInBlocks(const imaging::DibImage& source, imaging::RowConverter converter, size_t row_bytes,
                    intptr_t row_order, intptr_t value2, BlockSink sink, void* context) {
    const int width = source.width(), height = source.height(), bpp = source.bytes_per_pixel();
    const int block_rows = static_cast<int>(std::clamp<size_t>(kBlockBytes / row_bytes, 1, static_cast<size_t>(height)));
    // Zeroed once: converters leave the row padding alone.
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[static_cast<size_t>(block_rows) * row_bytes]());
    if (!block) return 0;
    for (int first = 0; first < height; first += block_rows) {
        const int rows = std::min(block_rows, height - first);
        const imaging::PixelRect rect = row_order == imaging::kSameRowOrder
                                            ? imaging::PixelRect{0, first, width, first + rows}
                                            : imaging::PixelRect{0, height - first - rows, width, height - first};
        converter(block.get(), source.pixels(), rect, 0, 0, bpp, bpp, static_cast<int>(row_bytes), source.stride(),
                  row_order, value2);
        if (!sink(context, block.get(), static_cast<size_t>(rows) * row_bytes)) return 0;
    }
    return 1;
}

int SaveImageFile(const char* name, const imaging::DibImage& source, int format) {
    if (!name || !*name || source.empty() || format < kFormatBmp || format > kFormatTiff) return 0;
    if (format != kFormatBmp && format != kFormatRaw && !KnownBitCount(source.bit_count())) return 0;
    switch (format) {
        case kFormatBmp: return WriteBmp(name, source);
        case kFormatRaw: return WriteRaw(name, source);
        case kFormatJpeg100: return WriteJpeg(name, source, 100);
        case kFormatJpeg70: return WriteJpeg(name, source, 70);
        case kFormatJpeg20: return WriteJpeg(name, source, 20);
        case kFormatPng: return WritePng(name, source);
        default: return WriteTiff(name, source);
    }
}

int Abandon(const char* name) {
    platform::RemoveRegularFile(name);
    return 0;
}

}  // namespace kelvox::output
