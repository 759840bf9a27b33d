// TIFF: little-endian, uncompressed, contiguous samples, one strip of unpadded rows in the picture's
// row order, colour as R, G, B(, fourth sample). Laid out as libtiff lays out such a file (header,
// strip, directory, then the BitsPerSample array), written here in large blocks without a full-size
// copy of the picture: libtiff wants the whole strip in one buffer.
#include <cstdint>
#include <cstring>

#include "imaging/row_converters.h"
#include "output/binary_file.h"
#include "output/image_encoders.h"

namespace kelvox::output {

namespace {

enum : uint16_t { kShort = 3, kLong = 4 };
constexpr int kEntries = 9;
constexpr size_t kDirectoryBytes = 2 + kEntries * 12 + 4;

struct TiffLayout {
    uint16_t bits_per_sample, photometric, samples_per_pixel;
    imaging::RowConverter converter;
};

TiffLayout LayoutOf(int bit_count) {
    switch (bit_count) {
        case 8: return {8, 1, 1, imaging::CopyRows};  // photometric 1: black is zero
        case 16: return {16, 1, 1, imaging::WidenSamples16};
        case 24: return {8, 2, 3, imaging::SwapRedBlue};  // photometric 2: RGB
        case 32: return {8, 2, 4, imaging::SwapRedBlue};
        case 48: return {16, 2, 3, imaging::SwapRedBlue16};
        default: return {16, 2, 4, imaging::SwapRedBlue16};  // 64: fourth sample 65535
    }
}

void Put16(uint8_t* p, unsigned v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// One directory entry; `value` goes in the entry itself (left-justified) for a single value.
uint8_t* Entry(uint8_t* p, unsigned tag, unsigned type, uint32_t count, uint32_t value) {
    Put16(p, tag);
    Put16(p + 2, type);
    Put32(p + 4, count);
    if (type == kShort && count == 1) Put16(p + 8, value);
    else Put32(p + 8, value);
    return p + 12;
}

// Width and height as SHORT while they fit, as libtiff writes them.
uint8_t* SizeEntry(uint8_t* p, unsigned tag, uint32_t value) {
    return Entry(p, tag, value > 0xFFFF ? kLong : kShort, 1, value);
}

}  // namespace

int WriteTiff(const char* name, const imaging::DibImage& source) {
    const uint32_t w = static_cast<uint32_t>(source.width()), h = static_cast<uint32_t>(source.height());
    const TiffLayout layout = LayoutOf(source.bit_count());
    // The strip holds rows without the picture's 4-byte padding, so the file matches its tags at
    // every width.
    const size_t row_bytes = static_cast<size_t>(w) * source.bytes_per_pixel();
    const uint64_t strip_bytes = static_cast<uint64_t>(row_bytes) * h;
    const uint64_t directory = (8 + strip_bytes + 1) & ~uint64_t{1};  // on a word boundary
    if (directory + kDirectoryBytes + 8 > UINT32_MAX) return 0;       // classic TIFF offsets are 32-bit

    uint8_t head[8];
    std::memcpy(head, "II*\0", 4);
    Put32(head + 4, static_cast<uint32_t>(directory));

    // Several samples put BitsPerSample in an array just after the directory.
    const uint16_t spp = layout.samples_per_pixel;
    uint8_t tail[1 + kDirectoryBytes + 2 * 4] = {};
    uint8_t* const dir = tail + (directory - 8 - strip_bytes);  // after the pad byte, if any
    Put16(dir, kEntries);
    uint8_t* p = dir + 2;
    p = SizeEntry(p, 256, w);  // ImageWidth
    p = SizeEntry(p, 257, h);  // ImageLength
    p = Entry(p, 258, kShort, spp, spp == 1 ? layout.bits_per_sample : static_cast<uint32_t>(directory + kDirectoryBytes));
    p = Entry(p, 259, kShort, 1, 1);  // no compression
    p = Entry(p, 262, kShort, 1, layout.photometric);
    p = Entry(p, 273, kLong, 1, 8);  // the strip follows the header
    p = Entry(p, 277, kShort, 1, spp);
    p = Entry(p, 279, kLong, 1, static_cast<uint32_t>(strip_bytes));
    p = Entry(p, 284, kShort, 1, 1);  // contiguous samples
    p += 4;                           // no next directory
    if (spp > 1)
        for (int i = 0; i < spp; ++i, p += 2) Put16(p, layout.bits_per_sample);

    BinaryFile file;
    if (!file.Create(name)) return 0;
    file.Write(head, sizeof head);
    const bool rows = WriteConvertedRows(file, source, layout.converter, row_bytes, imaging::kSameRowOrder, 16);
    if (rows) file.Write(tail, static_cast<size_t>(p - tail));
    const bool closed = file.Close();
    return rows && closed ? 1 : Abandon(name);
}

}  // namespace kelvox::output
