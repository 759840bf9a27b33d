// TIFF: uncompressed, contiguous samples, one strip of unpadded rows in the picture's row order,
// colour as R, G, B(, fourth sample).
#include <cstdint>
#include <memory>
#include <new>

#include <tiffio.h>

#include "imaging/row_converters.h"
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

}  // namespace

int WriteTiff(const char* name, const imaging::DibImage& source) {
    const int w = source.width(), h = source.height(), bpp = source.bytes_per_pixel();
    const TiffLayout layout = LayoutOf(source.bit_count());
    // The strip holds rows without the picture's 4-byte padding, so the file matches its tags
    // at every width.
    const size_t row_bytes = static_cast<size_t>(w) * bpp;
    std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[row_bytes * h]);
    if (!strip) return 0;
    layout.converter(strip.get(), source.pixels(), imaging::PixelRect{0, 0, w, h}, 0, 0, bpp, bpp,
                     static_cast<int>(row_bytes), source.stride(), imaging::kSameRowOrder, 16);

    TIFF* tif = TIFFOpen(name, "w");
    if (!tif) return 0;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(h));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bits_per_sample);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samples_per_pixel);
    const tmsize_t size = static_cast<tmsize_t>(row_bytes * h);
    // The directory is written by the flush; TIFFClose would not say whether that worked.
    const bool written = TIFFWriteEncodedStrip(tif, 0, strip.get(), size) == size && TIFFFlush(tif) == 1;
    TIFFClose(tif);
    return written ? 1 : Abandon(name);
}

}  // namespace kelvox::output
