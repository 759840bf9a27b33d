#pragma once
// Readers for checking written image files: libjpeg, libpng and libtiff decoders, and a BMP
// reader of our own. Each gives the samples as stored in the file, top row first.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace kelvox_test {

inline std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

inline uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

struct Decoded {
    bool ok = false;
    int width = 0, height = 0, channels = 0, depth = 0;
    std::vector<uint16_t> samples;  // row by row, channels per pixel, in the file's channel order
    uint16_t at(int x, int y, int c) const { return samples[(static_cast<size_t>(y) * width + x) * channels + c]; }
    // Format details worth checking.
    int colour_type = -1, interlace = -1;                              // PNG
    bool progressive = false;                                          // JPEG
    int luminance_q0 = 0, max_q = 0;                                   // JPEG: first and largest table entry
    int photometric = -1, compression = -1, planar = -1;               // TIFF
    bool extra_samples_tag = false, rows_per_strip_tag = false;        // TIFF
    uint64_t strip_bytes = 0;                                          // TIFF: bytes of strip 0
    int strips = 0;
};

// ---- BMP, by hand ----
struct Bmp {
    bool ok = false;
    uint32_t file_size = 0, size_field = 0, offset = 0;
    uint32_t header_size = 0, compression = 0, size_image = 0;
    int32_t width = 0, height = 0;
    int planes = 0, bit_count = 0;
    std::vector<uint8_t> palette;  // 1024 bytes when there is one
    std::vector<uint8_t> pixels;   // as stored: bottom row first, padded rows
};

inline Bmp ReadBmp(const std::string& path) {
    Bmp b;
    const std::vector<uint8_t> f = FileBytes(path);
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return b;
    b.file_size = static_cast<uint32_t>(f.size());
    b.size_field = Le32(&f[2]);
    b.offset = Le32(&f[10]);
    b.header_size = Le32(&f[14]);
    b.width = static_cast<int32_t>(Le32(&f[18]));
    b.height = static_cast<int32_t>(Le32(&f[22]));
    b.planes = static_cast<int>(Le16(&f[26]));
    b.bit_count = static_cast<int>(Le16(&f[28]));
    b.compression = Le32(&f[30]);
    b.size_image = Le32(&f[34]);
    if (b.offset > f.size() || b.offset < 54) return b;
    if (b.offset >= 54 + 1024) b.palette.assign(f.begin() + 54, f.begin() + 54 + 1024);
    b.pixels.assign(f.begin() + b.offset, f.end());
    b.ok = true;
    return b;
}

// ---- JPEG ----
struct JpegFailure {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

// The segment markers before the first scan, e.g. 0xC2 for a progressive frame.
inline std::vector<int> JpegMarkers(const std::vector<uint8_t>& f) {
    std::vector<int> markers;
    size_t i = 2;
    while (i + 4 <= f.size() && f[i] == 0xFF) {
        const int m = f[i + 1];
        markers.push_back(m);
        if (m == 0xDA) break;
        i += 2 + (f[i + 2] << 8 | f[i + 3]);
    }
    return markers;
}

// Kept outside the frame that calls setjmp, so the error jump crosses no destructor.
struct JpegRead {
    jpeg_decompress_struct cinfo;
    JpegFailure failure;
    std::vector<uint8_t> row;
};

inline bool DecodeJpeg(JpegRead* j, FILE* file, Decoded* d) {
    jpeg_decompress_struct* c = &j->cinfo;
    c->err = jpeg_std_error(&j->failure.mgr);
    j->failure.mgr.error_exit = [](j_common_ptr ci) {
        std::longjmp(reinterpret_cast<JpegFailure*>(ci->err)->jump, 1);
    };
    if (setjmp(j->failure.jump)) {
        jpeg_destroy_decompress(c);
        return false;
    }
    jpeg_create_decompress(c);
    jpeg_stdio_src(c, file);
    jpeg_read_header(c, TRUE);
    d->luminance_q0 = c->quant_tbl_ptrs[0] ? c->quant_tbl_ptrs[0]->quantval[0] : 0;
    for (int t = 0; t < NUM_QUANT_TBLS; ++t)
        for (int k = 0; c->quant_tbl_ptrs[t] && k < DCTSIZE2; ++k)
            if (c->quant_tbl_ptrs[t]->quantval[k] > d->max_q) d->max_q = c->quant_tbl_ptrs[t]->quantval[k];
    d->progressive = c->progressive_mode;
    jpeg_start_decompress(c);
    d->width = static_cast<int>(c->output_width);
    d->height = static_cast<int>(c->output_height);
    d->channels = c->output_components;
    d->depth = 8;
    j->row.resize(static_cast<size_t>(d->width) * d->channels);
    d->samples.reserve(static_cast<size_t>(d->width) * d->height * d->channels);
    while (c->output_scanline < c->output_height) {
        JSAMPROW r = j->row.data();
        jpeg_read_scanlines(c, &r, 1);
        d->samples.insert(d->samples.end(), j->row.begin(), j->row.end());
    }
    jpeg_finish_decompress(c);
    jpeg_destroy_decompress(c);
    return true;
}

inline Decoded ReadJpeg(const std::string& path) {
    Decoded d;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return d;
    auto j = std::make_unique<JpegRead>();
    d.ok = DecodeJpeg(j.get(), f, &d);
    std::fclose(f);
    return d;
}

// ---- PNG: the samples as stored (16-bit ones big-endian in the file, read as numbers) ----
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
};

inline bool DecodePng(PngRead* p, FILE* file, Decoded* d) {
    if (setjmp(png_jmpbuf(p->png))) return false;
    png_init_io(p->png, file);
    png_read_info(p->png, p->info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(p->png, p->info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    d->width = static_cast<int>(w);
    d->height = static_cast<int>(h);
    d->depth = depth;
    d->colour_type = colour;
    d->interlace = interlace;
    d->channels = png_get_channels(p->png, p->info);
    const size_t row_bytes = png_get_rowbytes(p->png, p->info);
    p->pixels.resize(row_bytes * h);
    p->rows.resize(h);
    for (png_uint_32 r = 0; r < h; ++r) p->rows[r] = p->pixels.data() + r * row_bytes;
    png_read_image(p->png, p->rows.data());
    png_read_end(p->png, nullptr);
    const size_t count = static_cast<size_t>(w) * h * d->channels;
    d->samples.resize(count);
    for (size_t i = 0; i < count; ++i)
        d->samples[i] = depth == 16 ? static_cast<uint16_t>(p->pixels[2 * i] << 8 | p->pixels[2 * i + 1]) : p->pixels[i];
    return true;
}

inline Decoded ReadPng(const std::string& path) {
    Decoded d;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return d;
    auto p = std::make_unique<PngRead>();
    p->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    p->info = p->png ? png_create_info_struct(p->png) : nullptr;
    if (p->info) d.ok = DecodePng(p.get(), f, &d);
    png_destroy_read_struct(&p->png, &p->info, nullptr);
    std::fclose(f);
    return d;
}

// ---- TIFF ----
inline Decoded ReadTiff(const std::string& path) {
    Decoded d;
    TIFFSetWarningHandler(nullptr);  // four samples without ExtraSamples draw a warning
    TIFF* t = TIFFOpen(path.c_str(), "rc");  // "c": the file's own strips, not cut up for reading
    if (!t) return d;
    uint32_t w = 0, h = 0, rows_per_strip = 0;
    uint16_t bps = 0, spp = 0, photometric = 0, compression = 0, planar = 0, extra_count = 0;
    uint16_t* extra = nullptr;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t, TIFFTAG_PLANARCONFIG, &planar);
    d.extra_samples_tag = TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extra_count, &extra) == 1 && extra_count > 0;
    d.rows_per_strip_tag = TIFFGetField(t, TIFFTAG_ROWSPERSTRIP, &rows_per_strip) == 1 && rows_per_strip < h;
    d.width = static_cast<int>(w);
    d.height = static_cast<int>(h);
    d.depth = bps;
    d.channels = spp;
    d.photometric = photometric;
    d.compression = compression;
    d.planar = planar;
    d.strips = static_cast<int>(TIFFNumberOfStrips(t));
    d.strip_bytes = static_cast<uint64_t>(TIFFGetStrileByteCount(t, 0));
    const tmsize_t line = TIFFScanlineSize(t);
    std::vector<uint8_t> row(static_cast<size_t>(line));
    d.samples.reserve(static_cast<size_t>(w) * h * spp);
    bool ok = bps == 8 || bps == 16;
    for (uint32_t r = 0; ok && r < h; ++r) {
        ok = TIFFReadScanline(t, row.data(), r, 0) == 1;
        for (size_t i = 0; ok && i < static_cast<size_t>(w) * spp; ++i)
            d.samples.push_back(bps == 16 ? static_cast<uint16_t>(row[2 * i] | row[2 * i + 1] << 8) : row[i]);
    }
    TIFFClose(t);
    d.ok = ok;
    return d;
}

}  // namespace kelvox_test
