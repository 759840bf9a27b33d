#pragma once
// The processing of one frame: from the raw picture of the prepared colour mode to its output
// picture (grey balance or luminance, software mirroring, white balance and demosaic, hue and
// saturation, gamma, contrast, sharpness and brightness). Runs on the thread that delivers the
// frame; the caller holds the frame lock. Allocates nothing per frame.
#include <array>
#include <cstdint>
#include <vector>

#include "imaging/band_workers.h"
#include "imaging/colour.h"
#include "imaging/dib_image.h"
#include "settings/records.h"

namespace kelvox::imaging {

// What one frame is processed with, besides the filter values.
struct FrameContext {
    int mode = 0;                     // colour-mode index: 0 8-bit grey ... 5 64-bit colour
    bool mirror_h = false, mirror_v = false;  // the camera's mirrors, which move the Bayer pattern
    bool mirror_h_in_software = false, mirror_v_in_software = false;  // mirrors the sensor lacks
    // Threads the row-wise passes share the rows with, the calling one included (none: all on the
    // calling thread). The bytes are the same whatever their number.
    BandWorkers* workers = nullptr;
};

class FramePipeline {
public:
    // `filters` is read, and written where processing measures (automatic white balance, grey
    // calibration). `colour` is the 24-bit picture the grey luminance mode works through.
    void Process(DibImage& raw, DibImage& out, DibImage& colour, const FrameContext& frame, FilterSettings& filters);

private:
    void MakeColour(DibImage& raw, DibImage& colour, const FrameContext& frame, FilterSettings& filters,
                    const RowAdjustments& after = {});
    void ProcessGrey(DibImage& raw, DibImage& colour, const FrameContext& frame, FilterSettings& filters);
    void SharpenInBands(const Plane& plane, const FrameContext& frame, int sharpness, float brightness);
    // job(first, end) on bands of rows [0, height), on the frame's workers when it has any.
    template <class F>
    static void InBands(const FrameContext& frame, int height, F&& job) {
        if (frame.workers) frame.workers->Run(height, job);
        else job(0, height);
    }

    // The point tables (gamma, contrast and brightness composed; brightness alone), rebuilt only
    // when a setting changes.
    std::array<PointTable, 2> point_tables_;
    // The original rows around each band that sharpening in bands reads (three per band), grown
    // with the picture.
    std::vector<uint8_t> halo_;
};

}  // namespace kelvox::imaging
