// The kernels for processors with AVX-512 (byte and word lanes); chosen at run time, never called
// elsewhere.
#define KELVOX_KERNEL_SET avx512
#define KELVOX_KERNEL_SET_NAME "AVX-512"
#include "imaging/colour_kernels.inc"
