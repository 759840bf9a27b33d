#pragma once
// The pixel kernels of frame processing: white balance, demosaic, the grey modes and the picture
// adjustments. They work on whole pictures in memory order (row 0 = the top picture row), run on
// the calling thread, allocate nothing per pixel and give exactly the same bytes as the plain
// formulas they implement.
//
// Pixel formats by bytes per pixel: 1 = 8-bit grey, 2 = 16-bit grey (little-endian), 3 = B, G, R
// bytes, 4 = B, G, R bytes and a fourth byte, 6 = B, G, R 16-bit components, 8 = the same with a
// fourth 16-bit component. The fourth component is never read or written by any kernel.
#include <cstdint>

namespace kelvox::imaging {

class DibImage;

// A picture as the kernels see it.
struct Plane {
    uint8_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0, bytes_per_pixel = 0;
};
Plane PlaneOf(DibImage& image);

// Colour of each position of the 2 x 2 Bayer cell, by Bayer mode (0-3), counted from row 0 and
// column 0 of the raw picture: 0 red, 1 green, 2 blue.
//   mode 0: G B / R G   mode 1: R G / G B   mode 2: B G / G R   mode 3: G R / B G
int BayerColourAt(int bayer_mode, int row, int column);
// The Bayer mode as seen after the sensor mirrored the picture: vertical 0<->1, 2<->3; then
// horizontal 0<->2, 1<->3.
int AdjustBayerMode(int bayer_mode, int mirror_v, int mirror_h);

struct BayerGains {
    int red = 100, green = 100, blue = 100;  // percent
};
// Automatic white balance: the means of red, green (both greens) and blue over the whole raw
// picture (1 or 2 bytes per pixel) in double precision, S = R + G + B; red gain =
// trunc((S / R / 3 * 100) / (S / G / 3)), blue likewise with B, green 100, each at most 400. (That
// is G / R in exact arithmetic, but not always to the last bit in doubles: 249 for G 100, B 40.)
// A quotient that is infinite or undefined gives 400.
BayerGains MeasureWhiteBalance(const Plane& raw, int bayer_mode);

// Demosaic of a raw picture (1 or 2 bytes per pixel) into a colour picture of the same size (3 or
// 4 bytes per pixel from 8-bit data, 6 or 8 from 16-bit data), bayer_mode already adjusted.
// kr = trunc(red_gain * 1.28), kb = trunc(blue_gain * 1.28). The output at (y, x) is the point
// between samples (y-1, x-1), (y-1, x), (y, x-1), (y, x):
//   green = (sum of the two greens among the four) >> 1
//   red   = min(max value, (kr * sum) >> 11), sum = 9 * R + 3 * Rh + 3 * Rv + Rd, R the red
//           sample among the four at (ry, rx), Rh at (ry, hx), Rv at (vy, rx), Rd at (vy, hx),
//           hx = rx == x ? x - 2 : x + 1, vy = ry == y ? y - 2 : y + 1
//   blue  = the same on the blue sample with kb.
// Every row or column index i outside 0..N-1 (N the height or width) is first replaced by i + 4
// (when negative) or i - 4 (when N or more); a picture smaller than 4 in a direction may still be
// outside then, and is clamped to 0..N-1.
class PointTable;
// Adjustments made on each demosaiced row before it is stored: the same bytes as HueSaturation
// (when hue_pass), then table->Apply, then Sharpen(sharpness, brightness) on the whole picture.
struct RowAdjustments {
    bool hue_pass = false;
    int hue = 0, saturation = 0;
    const PointTable* table = nullptr;
    int sharpness = 0;  // 0: none
    float brightness = 1.0f;
};
// Only output rows [first_row, end_row) are written (end_row -1: to the bottom), with the same
// bytes as in a whole picture.
void Demosaic(const Plane& raw, const Plane& colour, int bayer_mode, int red_gain, int blue_gain,
              const RowAdjustments& after = {}, int first_row = 0, int end_row = -1);

// Grey-mode phases R1, G1, G2, B1 of the 2 x 2 cell (unadjusted Bayer mode), as array indexes
// 0 = R1, 1 = G1, 2 = G2, 3 = B1:
//   mode 0: G1 R1 / B1 G2   mode 1: B1 G2 / G1 R1   mode 2: R1 G1 / G2 B1   mode 3: G2 B1 / R1 G1
// The column phase runs on from one row to the next (it restarts each row only for even widths).
int GrayPhaseAt(int bayer_mode, int row, int column, int width);
struct GrayBalance {
    int gain[4] = {128, 128, 128, 128};    // R1, G1, G2, B1
    int offset[4] = {128, 128, 128, 128};  // R1, G1, G2, B1
};
// One-shot gray gain: float means of each phase; G1 128, others trunc(128 * mean G1 / mean P)
// (a phase with no samples or a zero mean keeps its gain). Offsets are not touched.
void MeasureGrayGains(const Plane& raw, int bayer_mode, GrayBalance* balance);
// Each sample v of phase P becomes min(max_value, offset[P] + v * gain[P] / 128), never below 0.
void ApplyGrayBalance(const Plane& raw, int bayer_mode, const GrayBalance& balance, int max_value);
// Every pixel of the 8-bit grey picture becomes (30 R + 59 G + 11 B) / 100 of the 24-bit colour
// picture of the same size.
void LumaFromColour(const Plane& colour, const Plane& grey);


// Per-component tables for the point adjustments, built once per setting and kept by the caller.
// Gamma g: T[0] = 0, T[i] = min(M, trunc(pow(i / M, 100 / g) * M)) in double, M = 255 or 65535.
// Contrast c: 8-bit T[i] = 0 for i < c, 255 for i > 255 - c, else trunc(256.0 / (256 - 2c) * (i - c));
// 16-bit with h = 256 c: 0 for i < h, 65535 for i > 65535 - h, else trunc(65536.0 / (65536 - 512 c) * (i - h)).
// Brightness b: t = 1.0f - float(-b) / 255.0f for b < 0, 1.0f + float(10 b) / 255.0f for b > 0;
// T[i] = min(M, trunc(float(i) * t)).
enum class PointOp { Gamma, Contrast, Brightness };
struct PointStep {
    PointOp op;
    int setting;
    bool operator==(const PointStep&) const = default;
};
class PointTable {
public:
    static constexpr int kMaxSteps = 3;
    PointTable() = default;
    PointTable(const PointTable&) = delete;
    PointTable& operator=(const PointTable&) = delete;
    ~PointTable();
    // Rebuilds the table when the operation, setting or depth differ from the last build.
    void Prepare(PointOp op, int setting, bool sixteen_bit) {
        const PointStep step{op, setting};
        Prepare(&step, 1, sixteen_bit);
    }
    // One table for several operations applied one after the other (the same bytes as applying
    // each in turn, in one pass over the picture).
    void Prepare(const PointStep* steps, int count, bool sixteen_bit);
    // Replaces every component (not the fourth) of the picture by its table entry.
    void Apply(const Plane& picture) const;
    const uint16_t* table() const { return table_; }
    bool built() const { return built_; }
    // The entries of the 256 values the hue pass can produce (v, or v << 8 for 16 bits).
    const uint16_t* after_hue() const { return after_hue_; }

private:
    uint16_t* table_ = nullptr;  // 256 or 65536 entries
    uint16_t after_hue_[256] = {};
    PointStep steps_[kMaxSteps] = {};
    int count_ = 0;
    bool sixteen_bit_ = false;
    bool built_ = false;
};

// Hue (degrees, -360..360) and saturation (-255..255) on a colour picture (3, 4, 6 or 8 bytes per
// pixel), in the integer arithmetic of the hue tables; 16-bit components are taken >> 8 and the
// result written << 8. A point table given is applied to the result in the same pass (the same
// bytes as applying it afterwards).
void HueSaturation(const Plane& colour, int hue, int saturation, const PointTable* after = nullptr);

// The brightness factor t of a setting b (1.0f for 0).
float BrightnessFactor(int brightness);

// Unsharp masking in place, s in 1..30: for 2 <= y <= H-3, 2 <= x <= W-3 and each component,
// blur = (sum of the 4 x 4 block of original rows y-2..y+1, columns x-2..x+1) >> 4 and the value
// becomes clamp(original + trunc(s * (original - blur) / 10)). Other pixels are left as they are.
// A brightness factor other than 1 is applied to the sharpened components as the brightness table
// would (min(M, trunc(float(v) * t))), saving a pass; the other pixels then still need the table.
// A band of rows [first, end) (end -1: to the bottom) sharpened while other threads sharpen the rows
// around it: `above` holds the original rows first-2 and first-1 and `below` row end, saved before
// any band began (null: read from the picture, which nobody else changes there).
struct SharpenBand {
    int first = 0, end = -1;
    const uint8_t* above[2] = {nullptr, nullptr};
    const uint8_t* below = nullptr;
};
void Sharpen(const Plane& picture, int sharpness, float brightness = 1.0f, const SharpenBand& band = {});

// The five measuring rectangles of the automatic exposure and gain control, in picture rows:
// x 0.1W-0.2W / y 0.1H-0.2H, x 0.1W-0.2W / y 0.8H-0.9H, x 0.45W-0.55W / y 0.45H-0.55H,
// x 0.8W-0.9W / y 0.1H-0.2H, x 0.8W-0.9W / y 0.8H-0.9H, bounds truncated, right and bottom
// exclusive; the integer mean of each (0 when empty), of 8- or 16-bit samples.
void MeasureRegionMeans(const Plane& raw, int means[5]);

}  // namespace kelvox::imaging
