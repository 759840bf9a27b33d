// JPEG: 8-bit grey or 24-bit colour, progressive, baseline-limited tables. libjpeg's fatal errors
// (a full disk, a failed write) end this save, not the process.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "imaging/row_converters.h"
#include "output/image_encoders.h"

namespace kelvox::output {

namespace {

struct JpegErrors {
    jpeg_error_mgr standard;
    std::jmp_buf jump;
};

// Replaces the standard handler, which would exit the process.
[[noreturn]] void LeaveSave(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1); }

// Everything the jump may cross lives here, outside the frame that calls setjmp.
struct JpegJob {
    jpeg_compress_struct cinfo;
    JpegErrors errors;
    const imaging::DibImage* source;
    uint8_t* row;      // width x components: the scanline handed to the encoder
    uint8_t* scratch;  // width x 3: colour reduced to 24 bits, before the channel reorder
};

// Picture row r as the encoder wants it: grey levels, or R, G, B.
JSAMPROW PrepareRow(JpegJob* job, int r) {
    const imaging::DibImage& s = *job->source;
    const int w = s.width(), bpp = s.bytes_per_pixel(), stride = s.stride();
    const imaging::PixelRect one_row{0, r, w, r + 1};
    const imaging::PixelRect scratch_row{0, 0, w, 1};
    using imaging::kSameRowOrder;
    switch (bpp) {
        case 1:
            return const_cast<JSAMPROW>(s.pixels() + static_cast<size_t>(r) * stride);  // read only
        case 2:
            imaging::ReduceGrey16(job->row, s.pixels(), one_row, 0, 0, 1, 2, 0, stride, kSameRowOrder, 16);
            return job->row;
        case 3:
            imaging::SwapRedBlue(job->row, s.pixels(), one_row, 0, 0, 3, 3, 0, stride, kSameRowOrder, 0);
            return job->row;
        case 4:
            imaging::DropFourthByte(job->scratch, s.pixels(), one_row, 0, 0, 3, 4, 0, stride, kSameRowOrder, 0);
            break;
        default:  // 48 and 64 bits: the high byte of blue, green and red
            imaging::ReduceColour16(job->scratch, s.pixels(), one_row, 0, 0, 3, bpp, 0, stride, kSameRowOrder, 16);
            break;
    }
    imaging::SwapRedBlue(job->row, job->scratch, scratch_row, 0, 0, 3, 3, 0, 0, kSameRowOrder, 0);
    return job->row;
}

int Encode(JpegJob* job, FILE* file, int quality) {
    jpeg_compress_struct* cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->errors.standard);
    job->errors.standard.error_exit = LeaveSave;
    if (setjmp(job->errors.jump)) {
        jpeg_destroy_compress(cinfo);
        return 0;
    }
    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, file);
    const imaging::DibImage& s = *job->source;
    const bool grey = s.bytes_per_pixel() <= 2;
    cinfo->image_width = static_cast<JDIMENSION>(s.width());
    cinfo->image_height = static_cast<JDIMENSION>(s.height());
    cinfo->input_components = grey ? 1 : 3;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = PrepareRow(job, static_cast<int>(cinfo->next_scanline));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return 1;
}

}  // namespace

int WriteJpeg(const char* name, const imaging::DibImage& source, int quality) {
    const size_t width = static_cast<size_t>(source.width());
    auto job = std::unique_ptr<JpegJob>(new (std::nothrow) JpegJob{});
    std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[2 * 3 * width]);
    if (!job || !rows) return 0;
    job->source = &source;
    job->row = rows.get();
    job->scratch = rows.get() + 3 * width;
    FILE* file = std::fopen(name, "wb");
    if (!file) return 0;
    const int encoded = Encode(job.get(), file, quality);
    const bool closed = std::fclose(file) == 0;
    return encoded && closed ? 1 : Abandon(name);
}

}  // namespace kelvox::output
