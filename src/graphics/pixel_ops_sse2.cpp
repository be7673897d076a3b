// The SSE2 set: 16-byte vectors. SSE2 is part of every x86-64 processor,
// so this file needs no special build flags there.
#include "graphics/pixel_ops_simd.inc"
