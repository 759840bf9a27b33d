// Frame processing: from the raw picture of the prepared colour mode to its output picture.
// Runs on the thread that delivers the frame, with the frame lock held.
#include "imaging/frame_pipeline.h"

#include <algorithm>

namespace kelvox::imaging {

namespace {

bool SixteenBit(int mode) { return mode == 1 || mode == 4 || mode == 5; }

// Reverses the order of pixels within each row and/or the order of the rows, in place.
void MirrorInPlace(DibImage& image, bool horizontal, bool vertical) {
    const int w = image.width(), h = image.height(), bpp = image.bytes_per_pixel();
    const size_t row_bytes = static_cast<size_t>(w) * bpp;
    if (horizontal) {
        for (int y = 0; y < h; ++y) {
            uint8_t* row = image.row(y);
            for (int a = 0, b = w - 1; a < b; ++a, --b)
                for (int k = 0; k < bpp; ++k) std::swap(row[a * bpp + k], row[b * bpp + k]);
        }
    }
    if (vertical) {
        for (int a = 0, b = h - 1; a < b; ++a, --b) std::swap_ranges(image.row(a), image.row(a) + row_bytes, image.row(b));
    }
}

// Rows [first, end) of a picture.
Plane RowsOf(const Plane& p, int first, int end) {
    Plane part = p;
    part.pixels = p.pixels + static_cast<size_t>(first) * p.stride;
    part.height = end - first;
    return part;
}

// Applies the table to the outer `border` rows and columns of the picture only (all of it for 0,
// or when the picture is too small to have an inside).
void ApplyToFrame(const PointTable& table, const Plane& p, int border) {
    if (border == 0 || p.width <= 2 * border || p.height <= 2 * border) {
        table.Apply(p);
        return;
    }
    auto part = [&](int x, int y, int w, int h) {
        Plane sub = p;
        sub.pixels = p.pixels + static_cast<size_t>(y) * p.stride + static_cast<size_t>(x) * p.bytes_per_pixel;
        sub.width = w;
        sub.height = h;
        table.Apply(sub);
    };
    part(0, 0, p.width, border);
    part(0, p.height - border, p.width, border);
    part(0, border, border, p.height - 2 * border);
    part(p.width - border, border, border, p.height - 2 * border);
}

}  // namespace

// White balance (when automatic) and demosaic of a raw picture into a colour picture.
void FramePipeline::MakeColour(DibImage& raw, DibImage& colour, const FrameContext& frame, FilterSettings& filters_,
                               const RowAdjustments& after) {
    const int bayer = AdjustBayerMode(filters_.bayer_mode, frame.mirror_v, frame.mirror_h);
    const Plane raw_plane = PlaneOf(raw);
    if (filters_.bayer_auto) {
        const BayerGains gains = MeasureWhiteBalance(raw_plane, bayer);
        filters_.bayer_red = gains.red;
        filters_.bayer_green = gains.green;
        filters_.bayer_blue = gains.blue;
        if (filters_.bayer_auto_once && filters_.bayer_auto_once_companion)
            filters_.bayer_auto = filters_.bayer_auto_once = filters_.bayer_auto_once_companion = 0;
    }
    const Plane colour_plane = PlaneOf(colour);
    const int red = filters_.bayer_red, blue = filters_.bayer_blue;
    InBands(frame, colour_plane.height, [&](int first, int end) {
        Demosaic(raw_plane, colour_plane, bayer, red, blue, after, first, end);
    });
}

void FramePipeline::ProcessGrey(DibImage& raw, DibImage& colour, const FrameContext& frame, FilterSettings& filters_) {
    const int mode = frame.mode;
    if (filters_.gray_mode == 1) {
        GrayBalance balance;
        for (int p = 0; p < 4; ++p) {
            balance.gain[p] = filters_.gray_gain[p];
            balance.offset[p] = filters_.gray_offset[p];
        }
        const Plane plane = PlaneOf(raw);
        if (filters_.gray_calibration == 1) {  // -1 ("all frames" in the dialog) is not a request
            MeasureGrayGains(plane, filters_.bayer_mode, &balance);
            for (int p = 0; p < 4; ++p) filters_.gray_gain[p] = balance.gain[p];
            filters_.gray_calibration = 0;
        }
        bool neutral = true;
        for (int p = 0; p < 4; ++p) neutral = neutral && balance.gain[p] == 128 && balance.offset[p] == 128;
        // Bands start at even rows, where the grey phases are those of row 0.
        if (!neutral)
            InBands(frame, plane.height, [&](int first, int end) {
                ApplyGrayBalance(RowsOf(plane, first, end), filters_.bayer_mode, balance, mode == 1 ? 65535 : 255);
            });
    } else if (filters_.gray_mode == 2 && mode == 0) {
        // Luminance of the colour picture; the 16-bit mode has no 8-bit data to do this with.
        MakeColour(raw, colour, frame, filters_);
        const Plane colour_plane = PlaneOf(colour), grey = PlaneOf(raw);
        InBands(frame, std::min(colour_plane.height, grey.height), [&](int first, int end) {
            LumaFromColour(RowsOf(colour_plane, first, end), RowsOf(grey, first, end));
        });
    }
}

// Each band reads the two rows above it and the one below, which its neighbours change: their
// originals are saved first.
void FramePipeline::SharpenInBands(const Plane& plane, const FrameContext& frame, int sharpness, float brightness) {
    const int bands = frame.workers ? frame.workers->bands() : 1;
    if (bands == 1) {
        Sharpen(plane, sharpness, brightness);
        return;
    }
    const size_t row_bytes = static_cast<size_t>(plane.width) * plane.bytes_per_pixel;
    if (halo_.size() < static_cast<size_t>(bands) * 3 * row_bytes) halo_.resize(static_cast<size_t>(bands) * 3 * row_bytes);
    for (int k = 0; k < bands; ++k) {
        const BandWorkers::Rows rows = BandWorkers::BandRows(plane.height, k, bands);
        const int around[3] = {rows.first - 2, rows.first - 1, rows.end};
        for (int i = 0; i < 3; ++i)
            if (rows.first < rows.end && around[i] >= 0 && around[i] < plane.height)
                std::copy_n(plane.pixels + static_cast<size_t>(around[i]) * plane.stride, row_bytes,
                            halo_.data() + (static_cast<size_t>(k) * 3 + i) * row_bytes);
    }
    frame.workers->Run(plane.height, [&](int first, int end) {
        SharpenBand band;
        band.first = first;
        band.end = end;
        for (int k = 0; k < bands; ++k) {
            const BandWorkers::Rows rows = BandWorkers::BandRows(plane.height, k, bands);
            if (rows.first != first || rows.end != end) continue;
            const uint8_t* saved = halo_.data() + static_cast<size_t>(k) * 3 * row_bytes;
            if (first >= 2) band.above[0] = saved;
            if (first >= 1) band.above[1] = saved + row_bytes;
            if (end < plane.height) band.below = saved + 2 * row_bytes;
            break;
        }
        Sharpen(plane, sharpness, brightness, band);
    });
}

void FramePipeline::Process(DibImage& raw, DibImage& out, DibImage& colour, const FrameContext& frame,
                            FilterSettings& filters_) {
    const int mode = frame.mode;
    if (raw.empty()) return;
    // (The shading and defect-pixel corrections go here, under the mask lock.)
    if (mode == 0 || mode == 1) ProcessGrey(raw, colour, frame, filters_);
    if (frame.mirror_h_in_software || frame.mirror_v_in_software)
        MirrorInPlace(raw, frame.mirror_h_in_software, frame.mirror_v_in_software);
    const bool wide = SixteenBit(mode);
    // Gamma and contrast (and brightness when nothing comes between) as one table. In the colour
    // modes the hue pass, the table and sharpening run on each row as the demosaic makes it.
    PointStep steps[PointTable::kMaxSteps];
    int count = 0;
    if (filters_.gamma != 100) steps[count++] = {PointOp::Gamma, filters_.gamma};
    if (filters_.contrast != 0) steps[count++] = {PointOp::Contrast, filters_.contrast};
    const bool sharpen = filters_.sharpness != 0;
    if (!sharpen && filters_.brightness != 0) steps[count++] = {PointOp::Brightness, filters_.brightness};
    if (count > 0) point_tables_[0].Prepare(steps, count, wide);
    const PointTable* table = count > 0 ? &point_tables_[0] : nullptr;
    // Brightness rides along on the sharpened pixels; the border gets it below.
    const float brightness = BrightnessFactor(filters_.brightness);
    const Plane plane = PlaneOf(out);
    if (mode >= 2) {
        RowAdjustments after;
        after.hue_pass = filters_.hue != 0 || filters_.saturation != 0;
        after.hue = filters_.hue;
        after.saturation = filters_.saturation;
        after.table = table;
        after.sharpness = filters_.sharpness;
        after.brightness = brightness;
        MakeColour(raw, out, frame, filters_, after);
    } else {
        if (table) InBands(frame, plane.height, [&](int first, int end) { table->Apply(RowsOf(plane, first, end)); });
        if (sharpen) SharpenInBands(plane, frame, filters_.sharpness, brightness);
    }
    if (sharpen && filters_.brightness != 0) {
        point_tables_[1].Prepare(PointOp::Brightness, filters_.brightness, wide);
        ApplyToFrame(point_tables_[1], plane, 2);
    }
}

}  // namespace kelvox::imaging
