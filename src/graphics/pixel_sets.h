// The three implementation sets of PixelOps, for the files that build and
// bind them. Everyone else reaches a set through PixelOpsFor.
#pragma once

#include "graphics/pixel_ops.h"

namespace vv::graphics::sets {

// Constant-initialised tables: taking their address runs no code of the
// set, so the AVX2 table may be named on any processor.
extern const PixelOps kPortable;
extern const PixelOps kSse2;  // absent members on processors without x86
extern const PixelOps kAvx2;

// Portable loops that the accelerated sets share, where a wide loop gains
// nothing (table lookups per byte) or the row is never hot.
void ScreenBytesOpacity(uint8_t* dst, const uint8_t* src, int w, int n);
void HardMaskLerp(uint8_t* dst, const uint8_t* src, const uint8_t* mask, const int32_t* weight, int n);
void AlphaUnion(uint8_t* dst, const uint8_t* src, int n);
void AlphaUnionOpacity(uint8_t* dst, const uint8_t* src, int w, int n);
void AlphaUnionScaledDst(uint8_t* dst, const uint8_t* src, int w, int n);
void AlphaUnionScaledDstOpacity(uint8_t* dst, const uint8_t* src, int w, int v, int n);
void ZeroFill(uint8_t* dst, int n);
void FillBytes(uint8_t* dst, int n, int value);
void CopyBytes(uint8_t* dst, const uint8_t* src, int n);

}  // namespace vv::graphics::sets
