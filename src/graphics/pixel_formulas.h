// The per-byte formulas of the row primitives, as plain loops.
//
// Included only by the files that implement the pixel sets: the portable
// set is made of these loops, and the accelerated sets finish the bytes
// their wide loops leave over with them. Everything here has internal
// linkage on purpose: the accelerated files are compiled for other
// instruction sets, and a shared (inline) copy could be picked by the
// linker for code that runs on any processor.
#pragma once

#include <cstdint>

namespace vv::graphics {
namespace {

inline int ClampWeight(int w) { return w < 0 ? 0 : (w > 256 ? 256 : w); }
inline int ClampByte(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// d + (((s - d) * w) >> 8) written as one product sum, which never leaves
// 0..65280 and is what the 16-bit lanes compute; at w = 128 the lanes take
// the rounded-up average.
inline void LerpLoop(uint8_t* out, const uint8_t* a, const uint8_t* b, int w, int n) {
  if (w == 128) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((a[i] + b[i] + 1) >> 1);
    return;
  }
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint8_t>((a[i] * (256 - w) + b[i] * w) >> 8);
}

// Whole pixels from byte `from` (a multiple of 4) to n.
inline void AlphaOverLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i + 4 <= n; i += 4) {
    const int sa = s[i + 3];
    for (int c = 0; c < 4; ++c) {
      d[i + c] = static_cast<uint8_t>(((s[i + c] * (sa + 1)) >> 8) + ((d[i + c] * (256 - sa)) >> 8));
    }
  }
}

inline void AlphaOverOpacityLoop(uint8_t* d, const uint8_t* s, int opacity, int from, int n) {
  for (int i = from; i + 4 <= n; i += 4) {
    const int a = (s[i + 3] * opacity) >> 8;
    for (int c = 0; c < 4; ++c) {
      d[i + c] = static_cast<uint8_t>(((d[i + c] * (256 - a)) >> 8) + ((s[i + c] * (a + 1)) >> 8));
    }
  }
}

// The mask weight of a soft-edged mask byte m, in the 16-bit lane
// arithmetic of the accelerated loops: `bias` is the wrapped constant part
// p * ((v >> 1) + 1) - 128 * v, `half` is v >> 1.
inline int SoftMaskWeight(int m, int half, int bias) {
  const auto t = static_cast<int16_t>(static_cast<uint16_t>(m * half + bias));
  return ClampByte(t) + 1;
}

inline int16_t SoftMaskBias(int level, int vague) {
  const int p = static_cast<int16_t>(level);
  const int v = static_cast<int16_t>(vague);
  return static_cast<int16_t>(static_cast<uint16_t>(p * ((v >> 1) + 1) - 128 * v));
}

// Bytes [from, to) with the soft-edge weights, all four bytes of a pixel.
inline void SoftMaskLoop(uint8_t* d, const uint8_t* s, const uint8_t* m, int half, int bias, int from,
                         int to) {
  for (int i = from; i < to; ++i) {
    const int w = SoftMaskWeight(m[i], half, bias);
    d[i] = static_cast<uint8_t>(d[i] + ((s[i] * w) >> 8) - ((d[i] * w) >> 8));
  }
}

inline int TableWeight(const int32_t* weight, int m) {
  const int w = weight[m];
  return w > 256 ? 256 : w;
}

// The bytes a soft-edged row leaves after its 8-byte groups: each byte with
// the table weight of the mask byte in its own position.
inline void SoftMaskTail(uint8_t* d, const uint8_t* s, const uint8_t* m, const int32_t* weight, int from,
                         int n) {
  for (int i = from; i < n; ++i) {
    const int w = TableWeight(weight, m[i]);
    if (w > 1) d[i] = static_cast<uint8_t>(d[i] - (((d[i] - s[i]) * w) >> 8));
  }
}

// Hard-edged mask: the weight of byte 0 of each mask pixel, colour bytes.
inline void HardMaskLoop(uint8_t* d, const uint8_t* s, const uint8_t* m, const int32_t* weight, int n) {
  for (int i = 0; i + 4 <= n; i += 4) {
    const int w = TableWeight(weight, m[i]);
    if (w <= 1) continue;
    for (int c = 0; c < 3; ++c) d[i + c] = static_cast<uint8_t>(d[i + c] - (((d[i + c] - s[i + c]) * w) >> 8));
  }
}

inline void AddLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) {
    const int v = d[i] + s[i];
    d[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

inline void AddOpacityLoop(uint8_t* d, const uint8_t* s, int w, int from, int n) {
  for (int i = from; i < n; ++i) {
    const int v = d[i] + ((s[i] * w) >> 8);
    d[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

inline void SubtractLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = static_cast<uint8_t>(s[i] > d[i] ? s[i] - d[i] : 0);
}

inline void MultiplyLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = static_cast<uint8_t>((d[i] * (s[i] + 1)) >> 8);
}

inline void ScreenLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = static_cast<uint8_t>(d[i] + s[i] - ((d[i] * (s[i] + 1)) >> 8));
}

inline void LightenLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = d[i] > s[i] ? d[i] : s[i];
}

inline void DarkenLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = d[i] < s[i] ? d[i] : s[i];
}

inline void LinearBurnLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = static_cast<uint8_t>(ClampByte(d[i] + s[i] - 255));
}

inline void LinearLightLoop(uint8_t* d, const uint8_t* s, int from, int n) {
  for (int i = from; i < n; ++i) d[i] = static_cast<uint8_t>(ClampByte(d[i] + 2 * s[i] - 256));
}

inline void FillPixelsLoop(uint8_t* d, uint32_t pixel, int from, int n) {
  for (int i = from; i + 4 <= n; i += 4) {
    d[i] = static_cast<uint8_t>(pixel);
    d[i + 1] = static_cast<uint8_t>(pixel >> 8);
    d[i + 2] = static_cast<uint8_t>(pixel >> 16);
    d[i + 3] = static_cast<uint8_t>(pixel >> 24);
  }
}

// Output pixels [from, count).
inline void DownsampleLoop(uint8_t* dst, const uint8_t* src, int srcStride, int from, int count) {
  const uint8_t* below = src + 4 * static_cast<intptr_t>(srcStride);
  for (int k = from; k < count; ++k) {
    for (int c = 0; c < 4; ++c) {
      const int p = 8 * k + c;
      dst[4 * k + c] = static_cast<uint8_t>((src[p] + src[p + 4] + below[p] + below[p + 4]) >> 2);
    }
  }
}

}  // namespace
}  // namespace vv::graphics
