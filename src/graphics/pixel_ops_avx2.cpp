// The AVX2 set: 32-byte vectors. Only this file is built for AVX2; the set
// is bound only when the processor and the system support it.
#define VV_SIMD_AVX2 1
#include "graphics/pixel_ops_simd.inc"
