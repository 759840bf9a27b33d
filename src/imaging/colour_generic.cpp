// The kernels for any x86-64 processor.
#define KELVOX_KERNEL_SET generic
#define KELVOX_KERNEL_SET_NAME "baseline"
#include "imaging/colour_kernels.inc"
