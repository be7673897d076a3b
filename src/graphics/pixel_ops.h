// Row primitives: the inner loops that touch every byte of a row.
//
// Pixels are 4 bytes, B, G, R, A (alpha 255 opaque). Unless a slot says
// otherwise, `n` is a length in bytes; a length of 0 or below writes
// nothing. Channel-wise slots change every byte of the row, alpha
// included; pixel-wise slots step 4 bytes at a time over the n / 4 whole
// pixels. Weights are fixed point on 0..256 (256 = 1.0); a weight outside
// that range is taken as the nearer end.
//
// Three implementation sets fill the table: a portable one, one for SSE2
// and one for AVX2. Every set gives the same bytes for the same input, so a
// game looks the same on every processor; where the natural formula of the
// 16-bit-lane loops differs from the plain one (the lerp at weight 128, the
// alpha compositing slots, AddBytesOpacity, MaskLerp with a soft edge), the
// portable set computes the lane result too. The formulas per slot are
// listed in docs/design.md.
//
// Threading: the tables are immutable; the slots keep no state and may run
// on any thread. MaskLerp reads the caller's mask weight table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace vv::graphics {

// 256 weights, one per mask byte value; filled by BuildMaskWeight before a
// masked layer is drawn (see mask_weight.h).
using MaskWeightTable = int32_t[256];

struct PixelOps {
  const char* name;  // "portable", "sse2" or "avx2"

  // d = 0.
  void (*ZeroFill)(uint8_t* dst, int n);
  // d = value & 255.
  void (*FillBytes)(uint8_t* dst, int n, int value);
  // Writes `pixel` (0xAARRGGBB, stored as B, G, R, A) into the first n / 4
  // pixels.
  void (*FillPixels)(uint8_t* dst, int n, uint32_t pixel);
  // d = s; the rows do not overlap.
  void (*CopyBytes)(uint8_t* dst, const uint8_t* src, int n);
  // Channel-wise d = d + (((s - d) * w) >> 8); at w = 128 the rounded-up
  // average (d + s + 1) >> 1. The second slot has the same result and is
  // for lengths that are multiples of 32.
  void (*LerpBytes)(uint8_t* dst, const uint8_t* src, int w, int n);
  void (*LerpBytes32)(uint8_t* dst, const uint8_t* src, int w, int n);
  // Pixel-wise, all four bytes: d = ((s * (sa + 1)) >> 8) + ((d * (256 - sa)) >> 8).
  void (*AlphaOver)(uint8_t* dst, const uint8_t* src, int n);
  // Pixel-wise, all four bytes, with a = (sa * opacity) >> 8:
  // d = ((d * (256 - a)) >> 8) + ((s * (a + 1)) >> 8).
  void (*AlphaOverOpacity)(uint8_t* dst, const uint8_t* src, int opacity, int n);
  // Masked cross-fade of src over dst. With vague width 256 (a hard edge):
  // w = weight[byte 0 of the mask pixel]; when w > 1, for the colour bytes
  // d = d - (((d - s) * w) >> 8). With any other width the weight of each
  // byte comes from the mask byte itself, the level and the width (the
  // table is not read); the last n mod 8 bytes use weight[mask byte].
  void (*MaskLerp)(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                   const int32_t* weight, int level, int vague, int n);
  // Channel-wise out = a + (((b - a) * w) >> 8), at w = 128 (a + b + 1) >> 1.
  void (*LerpInto)(uint8_t* out, const uint8_t* a, const uint8_t* b, int w, int n);
  // Channel-wise saturating and curve operations.
  void (*AddBytes)(uint8_t* dst, const uint8_t* src, int n);                 // min(255, d + s)
  void (*AddBytesOpacity)(uint8_t* dst, const uint8_t* src, int w, int n);   // min(255, d + ((s*w) >> 8))
  void (*SubtractBytes)(uint8_t* dst, const uint8_t* src, int n);            // max(0, s - d)
  void (*MultiplyBytes)(uint8_t* dst, const uint8_t* src, int n);            // (d * (s + 1)) >> 8
  void (*ScreenBytes)(uint8_t* dst, const uint8_t* src, int n);              // d + s - ((d * (s + 1)) >> 8)
  void (*ScreenBytesOpacity)(uint8_t* dst, const uint8_t* src, int w, int n);// d + Mul256[w][s - Mul255[d][s]]
  void (*LightenBytes)(uint8_t* dst, const uint8_t* src, int n);             // max(d, s)
  void (*DarkenBytes)(uint8_t* dst, const uint8_t* src, int n);              // min(d, s)
  void (*LinearBurnBytes)(uint8_t* dst, const uint8_t* src, int n);          // clamp(d + s - 255)
  void (*LinearLightBytes)(uint8_t* dst, const uint8_t* src, int n);         // clamp(d + 2s - 256)
  // Halves a picture: `count` destination pixels from two source rows
  // (the second `srcStride` pixels after the first), each byte the floor
  // of the mean of the four source bytes.
  void (*Downsample2x2)(uint8_t* dst, const uint8_t* src, int srcStride, int count);
  // Draws src onto a destination that keeps its own alpha (the union of
  // both coverages); see docs/design.md for the four formulas.
  void (*AlphaUnion)(uint8_t* dst, const uint8_t* src, int n);
  void (*AlphaUnionOpacity)(uint8_t* dst, const uint8_t* src, int w, int n);
  void (*AlphaUnionScaledDst)(uint8_t* dst, const uint8_t* src, int w, int n);
  void (*AlphaUnionScaledDstOpacity)(uint8_t* dst, const uint8_t* src, int w, int v, int n);
};

enum class PixelSet : uint8_t { kPortable = 0, kSse2 = 1, kAvx2 = 2 };

// What the processor offers, probed once by the graphics state.
struct CpuFeatures {
  bool sse2 = false;
  bool avx2 = false;  // and the system saves the wide registers
  PixelSet best = PixelSet::kPortable;
};

CpuFeatures DetectCpuFeatures();

// The table of one set. The caller makes sure the processor runs it
// (PixelSetSupported); the portable set runs everywhere.
const PixelOps& PixelOpsFor(PixelSet set);
bool PixelSetSupported(PixelSet set, const CpuFeatures& cpu);

// "portable", "sse2", "avx2" (ASCII case ignored); nullopt otherwise.
std::optional<PixelSet> PixelSetFromName(std::string_view name);
const char* PixelSetName(PixelSet set);

// A heap block cleared through ZeroFill, released with std::free.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using ZeroedBytes = std::unique_ptr<uint8_t[], FreeDeleter>;

// Allocates n bytes and clears them with `ops`.ZeroFill; null, without
// clearing anything, when the memory is not there.
ZeroedBytes AllocZeroed(const PixelOps& ops, size_t n);

}  // namespace vv::graphics
