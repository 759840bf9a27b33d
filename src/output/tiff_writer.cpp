// TIFF: uncompressed, contiguous samples, one strip of unpadded rows in the picture's row order,
// colour as R, G, B(, fourth sample). libtiff lays the file out; its I/O goes through BinaryFile,
// and the strip is appended in converted blocks, so no full-size copy of the picture is made (a
// fresh 7 MB buffer per save cost more than the whole write under Wine).
#include <cstdint>
#include <cstdio>

#include <tiffio.h>

#include "imaging/row_converters.h"
#include "output/binary_file.h"
#include "output/image_encoders.h"

namespace kelvox::output {

namespace {

struct TiffLayout {
    uint16_t bits_per_sample, photometric, samples_per_pixel;
    imaging::RowConverter converter;
};

TiffLayout LayoutOf(int bit_count) {
    switch (bit_count) {
        case 8: return {8, PHOTOMETRIC_MINISBLACK, 1, imaging::CopyRows};
        case 16: return {16, PHOTOMETRIC_MINISBLACK, 1, imaging::WidenSamples16};
        case 24: return {8, PHOTOMETRIC_RGB, 3, imaging::SwapRedBlue};
        case 32: return {8, PHOTOMETRIC_RGB, 4, imaging::SwapRedBlue};
        case 48: return {16, PHOTOMETRIC_RGB, 3, imaging::SwapRedBlue16};
        default: return {16, PHOTOMETRIC_RGB, 4, imaging::SwapRedBlue16};  // 64: fourth sample 65535
    }
}

// The file as libtiff sees it: write-only, with the position and length it asks about.
struct TiffStream {
    BinaryFile file;
    uint64_t position = 0, length = 0;
};

TiffStream& StreamOf(thandle_t h) { return *static_cast<TiffStream*>(static_cast<void*>(h)); }

tmsize_t ReadNothing(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t WriteBytes(thandle_t h, void* data, tmsize_t size) {
    TiffStream& s = StreamOf(h);
    if (size < 0 || !s.file.Write(data, static_cast<size_t>(size))) return -1;
    s.position += static_cast<uint64_t>(size);
    if (s.position > s.length) s.length = s.position;
    return size;
}

toff_t SeekTo(thandle_t h, toff_t offset, int whence) {
    TiffStream& s = StreamOf(h);
    const uint64_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.length : 0;
    const uint64_t target = base + offset;
    if (target != s.position && !s.file.Seek(target)) return static_cast<toff_t>(-1);
    s.position = target;
    return target;
}

int CloseNothing(thandle_t) { return 0; }  // the writer closes the file itself, to learn the outcome
toff_t LengthOf(thandle_t h) { return StreamOf(h).length; }
int MapNothing(thandle_t, void**, toff_t*) { return 0; }
void UnmapNothing(thandle_t, void*, toff_t) {}

int AppendToStrip(void* tif, const uint8_t* data, size_t size) {
    const auto n = static_cast<tmsize_t>(size);
    return TIFFWriteRawStrip(static_cast<TIFF*>(tif), 0, const_cast<uint8_t*>(data), n) == n;
}

}  // namespace

int WriteTiff(const char* name, const imaging::DibImage& source) {
    const int w = source.width(), h = source.height();
    const TiffLayout layout = LayoutOf(source.bit_count());
    // The strip holds rows without the picture's 4-byte padding, so the file matches its tags
    // at every width.
    const size_t row_bytes = static_cast<size_t>(w) * source.bytes_per_pixel();

    TiffStream stream;
    if (!stream.file.Create(name)) return 0;
    TIFF* tif = TIFFClientOpen(name, "w", static_cast<thandle_t>(static_cast<void*>(&stream)), ReadNothing, WriteBytes,
                               SeekTo, CloseNothing, LengthOf, MapNothing, UnmapNothing);
    if (!tif) {
        stream.file.Close();
        return Abandon(name);
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(h));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits_per_sample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples_per_pixel);
    // Uncompressed, so each converted block is strip data as it stands; libtiff appends blocks
    // written to the same strip. The directory is written by the flush; TIFFClose would not say
    // whether that worked.
    const bool written = ConvertInBlocks(source, layout.converter, row_bytes, imaging::kSameRowOrder, 16,
                                         AppendToStrip, tif) &&
                         TIFFFlush(tif) == 1;
    TIFFClose(tif);
    const bool closed = stream.file.Close();
    return written && closed ? 1 : Abandon(name);
}

}  // namespace kelvox::output
