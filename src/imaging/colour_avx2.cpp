// The kernels for processors with AVX2 (compiled with the instruction set enabled; chosen at run
// time, never called elsewhere).
#define KELVOX_KERNEL_SET avx2
#define KELVOX_KERNEL_SET_NAME "AVX2"
#include "imaging/colour_kernels.inc"
