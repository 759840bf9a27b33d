// PNG: grey, RGB or RGBA at 8 or 16 bits, written in the picture's row order. All working state
// lives in one job per call, so saves from several sessions and threads may overlap.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <png.h>

#include "imaging/row_converters.h"
#include "output/image_encoders.h"

namespace kelvox::output {

namespace {

// Everything the error jump may cross lives here, outside the frame that calls setjmp.
struct PngJob {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep* rows = nullptr;
    uint8_t* staging = nullptr;  // the samples as encoded, when they are not the picture's own
    const imaging::DibImage* source = nullptr;
    char error_text[256] = {};
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    if (auto* job = static_cast<PngJob*>(png_get_error_ptr(png))) {
        std::fprintf(stderr, "libpng error: %s\n", message);
        std::snprintf(job->error_text, sizeof job->error_text, "%s", message);
    }
    png_longjmp(png, 1);
}

// PNG wants 16-bit samples big-endian.
void BigEndianRow(uint8_t* __restrict d, const uint8_t* __restrict s, int samples) {
    for (int i = 0; i < samples; ++i) {
        d[2 * i] = s[2 * i + 1];
        d[2 * i + 1] = s[2 * i];
    }
}

// The fourth sample of a 64-bit pixel is never written by processing and would make the picture
// fully transparent, so alpha is 65535 minus it, as for the fourth byte of a 32-bit picture.
void BigEndianOpaqueRow(uint8_t* __restrict d, const uint8_t* __restrict s, int width) {
    for (int x = 0; x < width; ++x, d += 8, s += 8) {
        d[0] = s[1], d[1] = s[0];
        d[2] = s[3], d[3] = s[2];
        d[4] = s[5], d[5] = s[4];
        d[6] = static_cast<uint8_t>(~s[7]), d[7] = static_cast<uint8_t>(~s[6]);
    }
}

// Fills the row table: the picture's own rows, or staged ones.
void PrepareRows(PngJob* job) {
    const imaging::DibImage& s = *job->source;
    const int w = s.width(), h = s.height(), bits = s.bit_count();
    const size_t stride = static_cast<size_t>(s.stride());
    const uint8_t* pixels = s.pixels();
    if (bits == 32) {
        imaging::InvertFourthByte(job->staging, pixels, imaging::PixelRect{0, 0, w, h}, 0, 0, 4, 4, s.stride(),
                                  s.stride(), imaging::kSameRowOrder, 0);
    } else if (bits >= 16 && bits != 24) {
        for (int r = 0; r < h; ++r) {
            if (bits == 64) BigEndianOpaqueRow(job->staging + r * stride, pixels + r * stride, w);
            else BigEndianRow(job->staging + r * stride, pixels + r * stride, w * (bits / 16));
        }
    }
    const uint8_t* base = job->staging ? job->staging : pixels;
    for (int r = 0; r < h; ++r) job->rows[r] = const_cast<png_bytep>(base + r * stride);  // read only
}

int Encode(PngJob* job) {
    if (setjmp(png_jmpbuf(job->png))) return 0;
    const imaging::DibImage& s = *job->source;
    const int bits = s.bit_count();
    const int depth = bits == 16 || bits == 48 || bits == 64 ? 16 : 8;
    const int colour = bits <= 16 ? PNG_COLOR_TYPE_GRAY : bits == 24 || bits == 48 ? PNG_COLOR_TYPE_RGB
                                                                                    : PNG_COLOR_TYPE_RGB_ALPHA;
    png_init_io(job->png, job->file);
    png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(s.width()), static_cast<png_uint_32>(s.height()), depth,
                 colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    png_set_bgr(job->png);
    job->rows = static_cast<png_bytep*>(std::malloc(static_cast<size_t>(s.height()) * sizeof(png_bytep)));
    if (bits != 8 && bits != 24) job->staging = static_cast<uint8_t*>(std::malloc(s.size()));
    if (!job->rows || (bits != 8 && bits != 24 && !job->staging)) png_error(job->png, "Ruvariduz: Out of memory");
    PrepareRows(job);
    png_write_image(job->png, job->rows);
    png_write_end(job->png, nullptr);
    return 1;
}

}  // namespace

int WritePng(const char* name, const imaging::DibImage& source) {
    auto job = std::unique_ptr<PngJob>(new (std::nothrow) PngJob);
    if (!job) return 0;
    job->source = &source;
    job->file = std::fopen(name, "wb");
    if (!job->file) return 0;
    int encoded = 0;
    job->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job.get(), OnPngError, nullptr);
    if (job->png) {
        job->info = png_create_info_struct(job->png);
        if (job->info) encoded = Encode(job.get());
        png_destroy_write_struct(&job->png, job->info ? &job->info : nullptr);
    }
    std::free(job->rows);
    std::free(job->staging);
    const bool closed = std::fclose(job->file) == 0;
    return encoded && closed ? 1 : Abandon(name);
}

}  // namespace kelvox::output
