// The portable set: plain loops, and the loops the other sets share.
#include <cstring>

#include "graphics/arithmetic_tables.h"
#include "graphics/pixel_formulas.h"
#include "graphics/pixel_sets.h"

namespace vv::graphics::sets {

namespace {

void LerpBytes(uint8_t* dst, const uint8_t* src, int w, int n) {
  if (n > 0) LerpLoop(dst, dst, src, ClampWeight(w), n);
}

void LerpInto(uint8_t* out, const uint8_t* a, const uint8_t* b, int w, int n) {
  if (n > 0) LerpLoop(out, a, b, ClampWeight(w), n);
}

void FillPixels(uint8_t* dst, int n, uint32_t pixel) { FillPixelsLoop(dst, pixel, 0, n); }
void AlphaOver(uint8_t* dst, const uint8_t* src, int n) { AlphaOverLoop(dst, src, 0, n); }

void AlphaOverOpacity(uint8_t* dst, const uint8_t* src, int opacity, int n) {
  AlphaOverOpacityLoop(dst, src, ClampWeight(opacity), 0, n);
}

void MaskLerp(uint8_t* dst, const uint8_t* src, const uint8_t* mask, const int32_t* weight, int level,
              int vague, int n) {
  if (n <= 0) return;
  if (static_cast<int16_t>(vague) == 256) {
    HardMaskLoop(dst, src, mask, weight, n);
    return;
  }
  const int whole = n & ~7;
  SoftMaskLoop(dst, src, mask, static_cast<int16_t>(vague) >> 1, SoftMaskBias(level, vague), 0, whole);
  SoftMaskTail(dst, src, mask, weight, whole, n);
}

void AddBytes(uint8_t* d, const uint8_t* s, int n) { AddLoop(d, s, 0, n); }
void AddBytesOpacity(uint8_t* d, const uint8_t* s, int w, int n) { AddOpacityLoop(d, s, ClampWeight(w), 0, n); }
void SubtractBytes(uint8_t* d, const uint8_t* s, int n) { SubtractLoop(d, s, 0, n); }
void MultiplyBytes(uint8_t* d, const uint8_t* s, int n) { MultiplyLoop(d, s, 0, n); }
void ScreenBytes(uint8_t* d, const uint8_t* s, int n) { ScreenLoop(d, s, 0, n); }
void LightenBytes(uint8_t* d, const uint8_t* s, int n) { LightenLoop(d, s, 0, n); }
void DarkenBytes(uint8_t* d, const uint8_t* s, int n) { DarkenLoop(d, s, 0, n); }
void LinearBurnBytes(uint8_t* d, const uint8_t* s, int n) { LinearBurnLoop(d, s, 0, n); }
void LinearLightBytes(uint8_t* d, const uint8_t* s, int n) { LinearLightLoop(d, s, 0, n); }

void Downsample2x2(uint8_t* dst, const uint8_t* src, int srcStride, int count) {
  DownsampleLoop(dst, src, srcStride, 0, count);
}

// The new alpha of the union and the colour weight that goes with it.
// k may exceed 256 with the opacity forms (the partly drawn coverage is
// smaller than the source's own); the colour is then stored as its low 8
// bits, as a byte store would.
void UnionColour(uint8_t* d, const uint8_t* s, int64_t k, int shift) {
  for (int c = 0; c < 3; ++c) {
    d[c] = static_cast<uint8_t>(d[c] + (((s[c] - d[c]) * k) >> shift));
  }
}

}  // namespace

void ZeroFill(uint8_t* dst, int n) {
  if (n > 0) std::memset(dst, 0, static_cast<size_t>(n));
}

void FillBytes(uint8_t* dst, int n, int value) {
  if (n > 0) std::memset(dst, value & 255, static_cast<size_t>(n));
}

void CopyBytes(uint8_t* dst, const uint8_t* src, int n) {
  if (n > 0) std::memcpy(dst, src, static_cast<size_t>(n));
}

void ScreenBytesOpacity(uint8_t* d, const uint8_t* s, int w, int n) {
  const ArithmeticTables& t = Arithmetic();
  w = ClampWeight(w);
  for (int i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(d[i] + Mul256(t, w, s[i] - Mul255(t, d[i], s[i])));
}

void HardMaskLerp(uint8_t* dst, const uint8_t* src, const uint8_t* mask, const int32_t* weight, int n) {
  HardMaskLoop(dst, src, mask, weight, n);
}

void AlphaUnion(uint8_t* d, const uint8_t* s, int n) {
  const ArithmeticTables& t = Arithmetic();
  for (int i = 0; i + 4 <= n; i += 4) {
    const int da = d[i + 3], sa = s[i + 3];
    const int na = da + sa - Mul255(t, da, sa);
    d[i + 3] = static_cast<uint8_t>(na);
    UnionColour(d + i, s + i, Div256(t, na, sa), 8);
  }
}

void AlphaUnionOpacity(uint8_t* d, const uint8_t* s, int w, int n) {
  const ArithmeticTables& t = Arithmetic();
  w = ClampWeight(w);
  for (int i = 0; i + 4 <= n; i += 4) {
    const int da = d[i + 3], sa = s[i + 3];
    const int na = da + (((sa - Mul255(t, da, sa)) * w) >> 8);
    d[i + 3] = static_cast<uint8_t>(na);
    UnionColour(d + i, s + i, static_cast<int64_t>(Div256(t, na, sa)) * w, 16);
  }
}

void AlphaUnionScaledDst(uint8_t* d, const uint8_t* s, int w, int n) {
  const ArithmeticTables& t = Arithmetic();
  w = ClampWeight(w);
  for (int i = 0; i + 4 <= n; i += 4) {
    const int da = (d[i + 3] * w) >> 8, sa = s[i + 3];
    const int na = da + sa - Mul255(t, da, sa);
    d[i + 3] = static_cast<uint8_t>(na);
    UnionColour(d + i, s + i, Div256(t, na, sa), 8);
  }
}

void AlphaUnionScaledDstOpacity(uint8_t* d, const uint8_t* s, int w, int v, int n) {
  const ArithmeticTables& t = Arithmetic();
  w = ClampWeight(w);
  v = ClampWeight(v);
  for (int i = 0; i + 4 <= n; i += 4) {
    const int da = (d[i + 3] * w) >> 8, sa = s[i + 3];
    const int na = da + (((sa - Mul255(t, da, sa)) * v) >> 8);
    d[i + 3] = static_cast<uint8_t>(na);
    UnionColour(d + i, s + i, static_cast<int64_t>(Div256(t, na, sa)) * v, 16);
  }
}

const PixelOps kPortable = {
    "portable",        ZeroFill,         FillBytes,     FillPixels,          CopyBytes,
    LerpBytes,         LerpBytes,        AlphaOver,     AlphaOverOpacity,    MaskLerp,
    LerpInto,          AddBytes,         AddBytesOpacity, SubtractBytes,     MultiplyBytes,
    ScreenBytes,       ScreenBytesOpacity, LightenBytes, DarkenBytes,        LinearBurnBytes,
    LinearLightBytes,  Downsample2x2,    AlphaUnion,    AlphaUnionOpacity,   AlphaUnionScaledDst,
    AlphaUnionScaledDstOpacity,
};

}  // namespace vv::graphics::sets
