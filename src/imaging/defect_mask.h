#pragma once
// The defect mask's corrections of a raw picture: the defect maps (hot pixels of a dark reference,
// dead pixels of a bright one), the shading correction between the two references and the
// replacement of defective pixels by their nearest good neighbours.
#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"

namespace kelvox::imaging {

struct KernelSet;

// Map thresholds: hot where the dark reference is above, dead where the bright one is below.
inline constexpr int kHotAbove8 = 192, kDeadBelow8 = 64;
inline constexpr int kHotAbove16 = 0x3000, kDeadBelow16 = 4096;
// How far a pixel may stand out from the mean of its four neighbours before it counts as defective.
inline constexpr int kOutlierThreshold8 = 30, kOutlierThreshold16 = 480;

// Writes 1 into `map` (same size and depth as `reference`: one byte or one 16-bit word per pixel)
// where the rule holds and 0 where it does not, for rows 2 .. height - 3 and columns
// 2 .. width - 3; the two outer rows and columns are left as they are. 0 when the two pictures
// differ in size or depth, or the depth is not 8 or 16 bits.
int BuildDefectMap(const DibImage& reference, DibImage& map, bool hot);

// Shading correction: each sample v with dark D and bright B at its position becomes
// ((v - D) * 256) / (B - D) at 8 bits (where D != B) or ((v - D) * 65536) / (B - D) at 16 bits
// (where D < B), truncated toward zero and limited to the sample range; elsewhere it stays. The
// divisions are made once per reference change as exact multiply-and-shift factors.
class ShadingCorrection {
public:
    ShadingCorrection();  // with the kernels for this processor
    explicit ShadingCorrection(const KernelSet& kernels) : kernels_(&kernels) {}
    // Factors for the references' present contents (same size, 8 or 16 bits); again after they change.
    void Prepare(const DibImage& dark, const DibImage& bright);
    // Forgets the factors, so the next frame prepares them again.
    void Invalidate() { bits_ = 0; }
    bool prepared() const { return bits_ != 0; }
    // Corrects the working picture (of the references' depth) whose top-left pixel lies at (x0, y0)
    // of the references, leaving a border of 2 pixels when it spans the references' width or
    // height. Pixels outside the references stay.
    void Apply(DibImage& raw, int x0, int y0) const { Apply(raw, x0, y0, 0, raw.height()); }
    // The same for rows [first_row, end_row) of the picture only, so bands of it can run at once.
    void Apply(DibImage& raw, int x0, int y0, int first_row, int end_row) const;

private:
    const KernelSet* kernels_;
    int bits_ = 0, width_ = 0, height_ = 0;
    const DibImage* dark_ = nullptr;
    std::vector<int32_t> factor8_;    // ±ceil(2^24 / |B - D|) with the sign of B - D; 0 where D = B
    std::vector<uint64_t> factor16_;  // ceil(2^48 / (B - D)) where D < B; 0 elsewhere
};

// Replaces defective pixels of the working picture: an interior pixel (not on the outermost rows
// and columns) is defective when the hot or dead map marks its sensor position (x0 + x, y0 + y),
// or when it differs from the mean of its four neighbours (their sum shifted right by 2) by at least
// `threshold`. Each becomes the integer mean of the nearest non-defective pixels to its left, right,
// top and bottom. `flags` (at least the picture's size, of its depth) is cleared and then marks
// the defective pixels.
class DefectCorrection {
public:
    DefectCorrection();  // with the kernels for this processor
    explicit DefectCorrection(const KernelSet& kernels) : kernels_(&kernels) {}
    void Apply(DibImage& raw, int x0, int y0, const DibImage& hot, const DibImage& dead, DibImage& flags,
               int threshold);

private:
    template <class Sample>
    void Run(DibImage& raw, int x0, int y0, const DibImage& hot, const DibImage& dead, DibImage& flags, int threshold);

    const KernelSet* kernels_;
    // Samples of the sweeps: the nearest good value below each pixel, and a row each of the
    // nearest above, to the left and to the right.
    std::vector<uint8_t> below_, up_, left_, right_;
    std::vector<unsigned> row_flagged_;
};

}  // namespace kelvox::imaging
