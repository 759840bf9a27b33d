#pragma once
// The per-pixel kernels of colour.h and of the defect mask's corrections as one table of functions
// per instruction set: the same source compiled for the baseline, for AVX2 and for AVX-512, chosen
// once at run time.
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "imaging/colour.h"

namespace kelvox::imaging {

// Row r of a picture, as samples of type T.
template <class T>
inline const T* RowOf(const Plane& p, int y) {
    return reinterpret_cast<const T*>(p.pixels + static_cast<size_t>(y) * p.stride);
}
template <class T>
inline T* MutableRowOf(const Plane& p, int y) {
    return reinterpret_cast<T*>(p.pixels + static_cast<size_t>(y) * p.stride);
}

// The hue pass in the terms of the kernels: saturation_scale = saturation + 256 (1..511), the
// chroma scale; `after`, when set, gives the component written for each of the 256 results (a
// point table folded in).
struct HueStep {
    int sector_shift = 0, fraction_shift = 0, saturation_scale = 256;
    const uint16_t* after = nullptr;
};

// What happens to each demosaiced row before it is stored, in this order: the hue pass (with its
// folded table), or else a point table by itself (256 or 65536 entries by depth); then, for
// sharpness other than 0, sharpening with the brightness factor on the sharpened components.
struct RowSteps {
    const HueStep* hue = nullptr;
    const uint16_t* table = nullptr;
    int sharpness = 0;
    float brightness = 1.0f;
    // The output rows made, [first_row, end_row) (end_row -1: to the bottom); rows around them are
    // read, never written, so bands of one picture can be made at the same time.
    int first_row = 0, end_row = -1;
};

// The row kernels of the defect mask's corrections (defect_mask.h) for samples of type T.
template <class T>
struct MaskRows {
    // The shading factor of a pixel: +-ceil(2^24 / |B - D|) with the sign of B - D (0 where equal) at
    // 8 bits; ceil(2^48 / (B - D)) where D < B (0 elsewhere) at 16 bits.
    using Factor = std::conditional_t<sizeof(T) == 1, int32_t, uint64_t>;
    void (*shade)(T* v, const T* dark, const Factor* factor, int n);
    // Flags of columns from..to-1 of an interior row (marked in a map when given, or standing out
    // from the mean of the four neighbours by at least the threshold); gives the count flagged.
    unsigned (*flag)(const T* up, const T* row, const T* down, const T* hot, const T* dead, T* flags, int from,
                     int to, int threshold);
    // Going up a row: `below` takes `nearest` (the nearest good value below, per column), which then
    // takes the row's good values.
    void (*carry_up)(const T* row, const T* flags, T* nearest, T* below, int n);
    // Flagged pixels take the mean of the nearest good values around them; `up` takes the row's good values.
    void (*replace)(T* row, const T* flags, const T* left, const T* right, const T* below, T* up, int n);
};

struct KernelSet {
    void (*sum_colours)(const Plane& raw, int bayer_mode, uint64_t sums[3], uint64_t counts[3]);
    void (*demosaic)(const Plane& raw, const Plane& colour, int bayer_mode, int kr, int kb, const RowSteps& steps);
    void (*sum_phases)(const Plane& raw, int bayer_mode, uint64_t sums[4], uint64_t counts[4]);
    void (*balance)(const Plane& raw, int bayer_mode, const GrayBalance& balance, int max_value);
    void (*hue_saturation)(const Plane& colour, const HueStep& hue);
    void (*apply_table)(const Plane& picture, const uint16_t* table, bool sixteen_bit);
    void (*sharpen)(const Plane& picture, int sharpness, float brightness, const SharpenBand& band);
    MaskRows<uint8_t> mask8;
    MaskRows<uint16_t> mask16;
    const char* name;
};

namespace generic { extern const KernelSet kKernels; }
namespace avx2 { extern const KernelSet kKernels; }
namespace avx512 { extern const KernelSet kKernels; }

// Every set this processor can run, the baseline first and the fastest last.
std::vector<const KernelSet*> RunnableKernelSets();
// The set `choice` names among `runnable` (baseline first, fastest last): "baseline", "avx2" or
// "avx512"; the fastest for no name, an unknown one or a set that is not runnable.
const KernelSet* ChooseKernelSet(const std::vector<const KernelSet*>& runnable, const char* choice);
// The set for this processor, or the one the environment variable KELVOX_KERNELS chooses.
const KernelSet& Kernels();

}  // namespace kelvox::imaging
