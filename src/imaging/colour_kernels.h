#pragma once
// The per-pixel kernels of colour.h as one table of functions per instruction set: the same source
// compiled for the baseline, for AVX2 and for AVX-512, chosen once at run time.
#include <cstddef>
#include <cstdint>
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
};

struct KernelSet {
    void (*sum_colours)(const Plane& raw, int bayer_mode, uint64_t sums[3], uint64_t counts[3]);
    void (*demosaic)(const Plane& raw, const Plane& colour, int bayer_mode, int kr, int kb, const RowSteps& steps);
    void (*sum_phases)(const Plane& raw, int bayer_mode, uint64_t sums[4], uint64_t counts[4]);
    void (*balance)(const Plane& raw, int bayer_mode, const GrayBalance& balance, int max_value);
    void (*hue_saturation)(const Plane& colour, const HueStep& hue);
    void (*apply_table)(const Plane& picture, const uint16_t* table, bool sixteen_bit);
    void (*sharpen)(const Plane& picture, int sharpness, float brightness);
    const char* name;
};

namespace generic { extern const KernelSet kKernels; }
namespace avx2 { extern const KernelSet kKernels; }
namespace avx512 { extern const KernelSet kKernels; }

// Every set this processor can run, the baseline first and the fastest last.
std::vector<const KernelSet*> RunnableKernelSets();
// The set for this processor.
const KernelSet& Kernels();

}  // namespace kelvox::imaging
