// The kernels for any x86-64 processor.
#define KELVOX_KERNEL_SET generic
#include "imaging/colour_kernels.inc"
