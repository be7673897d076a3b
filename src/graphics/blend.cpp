#include "graphics/blend.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

#include "graphics/arithmetic_tables.h"
#include "graphics/pixel_formulas.h"
#include "graphics/pixel_sets.h"

namespace vv::graphics {

namespace {

int SoftLight(int d, int s) {
  const double root = std::sqrt(256.0 - d);
  const int t1 = static_cast<int>(16384.0 - root);
  const int t2 = static_cast<int>(16384.0 - (768.0 - 8.0 * d) * root);
  int f;
  if (s < 128) {
    f = d + (((s - 128) * t1) >> 15);
  } else if (d <= 32) {
    f = d + (((s - 128) * t2) >> 15);
  } else {
    f = d + (((s - 128) * t1) >> 16);
  }
  return ClampByte(f);
}

std::unique_ptr<BlendCurves> BuildCurves() {
  auto t = std::make_unique<BlendCurves>();
  for (int op = 0; op < kBlendOpCount; ++op) {
    for (int s = 0; s < 256; ++s) {
      for (int d = 0; d < 256; ++d) t->f[op][s][d] = static_cast<uint8_t>(BlendFunction(op, d, s));
    }
  }
  return t;
}

// Operations whose plain full-opacity row is a PixelOps slot.
constexpr bool PlainSlot(int op) {
  return op == 0 || op == 1 || op == 2 || op == 3 || op == 5 || op == 6 || op == 7 || op == 13 || op == 17;
}

// ---- plain rows: every byte, alpha included --------------------------------

template <int Op, bool Full>
void GenericPlain(uint8_t* d, const uint8_t* s, int opacity, int n) {
  const auto& f = Curves().f[Op];
  if constexpr (Full) {
    for (int i = 0; i < n; ++i) d[i] = f[s[i]][d[i]];
  } else {
    const ArithmeticTables& t = Arithmetic();
    const int o = ClampWeight(opacity);
    for (int i = 0; i < n; ++i) {
      const int dv = d[i], sv = s[i];
      if constexpr (Op == kBlendMultiply) {
        const int m = sv * dv / 255;
        d[i] = static_cast<uint8_t>(m + Mul256(t, 256 - o, dv - m));
      } else if constexpr (Op == kBlendDifference) {
        d[i] = static_cast<uint8_t>(dv + Mul256(t, o, f[sv][dv] - dv));
      } else {
        d[i] = static_cast<uint8_t>(dv + (((f[sv][dv] - dv) * o) >> 8));
      }
    }
  }
}

template <const PixelOps& Ops, int Op, bool Full>
void SlotPlain(uint8_t* d, const uint8_t* s, int opacity, int n) {
  if constexpr (Full) {
    if constexpr (Op == kBlendNormal) Ops.CopyBytes(d, s, n);
    if constexpr (Op == kBlendAdd) Ops.AddBytes(d, s, n);
    if constexpr (Op == kBlendSubtract) Ops.SubtractBytes(d, s, n);
    if constexpr (Op == kBlendMultiply) Ops.MultiplyBytes(d, s, n);
    if constexpr (Op == kBlendScreen) Ops.ScreenBytes(d, s, n);
    if constexpr (Op == kBlendLighten) Ops.LightenBytes(d, s, n);
    if constexpr (Op == kBlendDarken) Ops.DarkenBytes(d, s, n);
    if constexpr (Op == kBlendLinearBurn) Ops.LinearBurnBytes(d, s, n);
    if constexpr (Op == kBlendLinearLight) Ops.LinearLightBytes(d, s, n);
  } else {
    if constexpr (Op == kBlendNormal) (n % 32 == 0 ? Ops.LerpBytes32 : Ops.LerpBytes)(d, s, opacity, n);
    if constexpr (Op == kBlendAdd) Ops.AddBytesOpacity(d, s, opacity, n);
    if constexpr (Op == kBlendScreen) Ops.ScreenBytesOpacity(d, s, opacity, n);
  }
}

template <const PixelOps& Ops, int Op, bool Full>
constexpr BlendRowFn PlainEntry() {
  if constexpr (Full ? PlainSlot(Op) : (Op == kBlendNormal || Op == kBlendAdd || Op == kBlendScreen)) {
    return &SlotPlain<Ops, Op, Full>;
  } else {
    return &GenericPlain<Op, Full>;
  }
}

// ---- alpha rows: colour bytes weighted by the source alpha -----------------

// Multiply and screen blend by the source alpha as a weighted sum: the
// product term weighted by a + 1 and the destination by 256 - a.
template <int Op>
int WeightedSum(const ArithmeticTables& t, int dv, int sv, int a) {
  const int product = Op == kBlendMultiply ? (sv * dv) >> 8 : 255 - (((255 - sv) * (255 - dv)) >> 8);
  return Mul256(t, a + 1, product) + Mul256(t, 256 - a, dv);
}

template <int Op, bool Full>
void GenericAlpha(uint8_t* d, const uint8_t* s, int opacity, int n) {
  const auto& f = Curves().f[Op];
  const ArithmeticTables& t = Arithmetic();
  const int o = ClampWeight(opacity);
  for (int i = 0; i + 4 <= n; i += 4) {
    const int sa = s[i + 3];
    for (int c = 0; c < 3; ++c) {
      const int dv = d[i + c], sv = s[i + c];
      int r;
      if constexpr (Op == kBlendMultiply || Op == kBlendScreen) {
        r = WeightedSum<Op>(t, dv, sv, Full ? sa : (o * sa) >> 8);
      } else if constexpr (Op == kBlendDifference) {
        r = Full ? dv + Mul256(t, sa, f[sv][dv] - dv) : dv + Mul256(t, o, ((f[sv][dv] - dv) * (sa + 1)) >> 8);
      } else if constexpr (Full) {
        r = dv + (((f[sv][dv] - dv) * (sa + 1)) >> 8);
      } else {
        r = dv + ((o * (((f[sv][dv] - dv) * (sa + 1)) >> 8)) >> 8);
      }
      d[i + c] = static_cast<uint8_t>(r);
    }
  }
}

template <const PixelOps& Ops, bool Full>
void SlotAlpha(uint8_t* d, const uint8_t* s, int opacity, int n) {
  if constexpr (Full) {
    Ops.AlphaOver(d, s, n);
  } else {
    Ops.AlphaOverOpacity(d, s, opacity, n);
  }
}

template <const PixelOps& Ops, int Op, bool Full>
constexpr BlendRowFn AlphaEntry() {
  if constexpr (Op == kBlendNormal) {
    return &SlotAlpha<Ops, Full>;
  } else {
    return &GenericAlpha<Op, Full>;
  }
}

// ---- masked rows: colour bytes weighted by the mask weight -----------------

inline int MaskWeightAt(const int32_t* weight, const uint8_t* mask, int i) {
  const int w = weight[mask[i]];
  return w > 256 ? 256 : w;
}

// One colour byte of a masked row of operation Op at weight w (> 1).
template <int Op, bool Full>
int MaskedByte(const ArithmeticTables& t, const uint8_t (&f)[256][256], int dv, int sv, int w) {
  if constexpr (Op == kBlendMultiply) {
    return dv - Mul256(t, w, dv - sv * dv / 255);
  } else if constexpr (Op == kBlendScreen) {
    return dv + ((w * (sv - sv * dv / 255)) >> 8);
  } else if constexpr (Op == kBlendDifference && Full) {
    return dv + Mul256(t, w, f[sv][dv] - dv);
  } else {
    return dv + (((f[sv][dv] - dv) * w) >> 8);
  }
}

template <int Op, bool Full>
void GenericMasked(uint8_t* d, const uint8_t* s, const uint8_t* mask, const int32_t* weight, int, int, int,
                   int n) {
  const auto& f = Curves().f[Op];
  const ArithmeticTables& t = Arithmetic();
  for (int i = 0; i + 4 <= n; i += 4) {
    const int w = MaskWeightAt(weight, mask, i);
    if (w <= 1) continue;
    for (int c = 0; c < 3; ++c) d[i + c] = static_cast<uint8_t>(MaskedByte<Op, Full>(t, f, d[i + c], s[i + c], w));
  }
}

template <const PixelOps& Ops>
void SlotMasked(uint8_t* d, const uint8_t* s, const uint8_t* mask, const int32_t* weight, int, int level,
                int vague, int n) {
  Ops.MaskLerp(d, s, mask, weight, level, vague, n);
}

template <int Op, bool Full>
void GenericMaskedAlpha(uint8_t* d, const uint8_t* s, const uint8_t* mask, const int32_t* weight, int, int,
                        int, int n) {
  const auto& f = Curves().f[Op];
  const ArithmeticTables& t = Arithmetic();
  for (int i = 0; i + 4 <= n; i += 4) {
    const int w = MaskWeightAt(weight, mask, i);
    if (w <= 1) continue;
    const int sa = s[i + 3];
    for (int c = 0; c < 3; ++c) {
      const int dv = d[i + c], sv = s[i + c];
      int r;
      if constexpr (Op == kBlendNormal) {
        const int k = Full ? t.alphaScaleSrc[sa][w - 1] : (w * sa) >> 8;
        r = dv - (((dv - sv) * k) >> 8);
      } else if constexpr (Op == kBlendMultiply || Op == kBlendScreen) {
        r = MaskedByte<Op, Full>(t, f, dv, sv, (w * (sa + 1)) >> 8);
      } else if constexpr (Op == kBlendDifference && Full) {
        r = dv + Mul256(t, w, ((f[sv][dv] - dv) * (sa + 1)) >> 8);
      } else if constexpr (Full) {
        r = dv + ((w * (((f[sv][dv] - dv) * (sa + 1)) >> 8)) >> 8);
      } else {
        r = dv + (((f[sv][dv] - dv) * ((w * (sa + 1)) >> 8)) >> 8);
      }
      d[i + c] = static_cast<uint8_t>(r);
    }
  }
}

template <const PixelOps& Ops, int Op, bool Full>
constexpr MaskedRowFn MaskedEntry() {
  if constexpr (Op == kBlendNormal) {
    return &SlotMasked<Ops>;
  } else {
    return &GenericMasked<Op, Full>;
  }
}

template <const PixelOps& Ops, int... Op>
std::unique_ptr<BlendRowTables> MakeRows(std::integer_sequence<int, Op...>) {
  auto t = std::make_unique<BlendRowTables>();
  t->plain.fill(nullptr);
  t->alpha.fill(nullptr);
  t->masked.fill(nullptr);
  t->maskedAlpha.fill(nullptr);
  ((t->plain[2 * Op] = PlainEntry<Ops, Op, false>(), t->plain[2 * Op + 1] = PlainEntry<Ops, Op, true>(),
    t->alpha[2 * Op] = AlphaEntry<Ops, Op, false>(), t->alpha[2 * Op + 1] = AlphaEntry<Ops, Op, true>(),
    t->masked[2 * Op] = MaskedEntry<Ops, Op, false>(), t->masked[2 * Op + 1] = MaskedEntry<Ops, Op, true>(),
    t->maskedAlpha[2 * Op] = &GenericMaskedAlpha<Op, false>,
    t->maskedAlpha[2 * Op + 1] = &GenericMaskedAlpha<Op, true>),
   ...);
  return t;
}

template <const PixelOps& Ops>
const BlendRowTables& RowsOf() {
  static const std::unique_ptr<BlendRowTables> rows = MakeRows<Ops>(std::make_integer_sequence<int, kBlendOpCount>());
  return *rows;
}

}  // namespace

int BlendFunction(int op, int d, int s) {
  switch (op) {
    case kBlendNormal:
      return s;
    case kBlendAdd:
      return d + s > 255 ? 255 : d + s;
    case kBlendSubtract:
      return s > d ? s - d : 0;
    case kBlendMultiply:
      return (d * (s + 1)) >> 8;
    case kBlendDivide:
      if (d == 0) return s > 0 ? 255 : 0;
      return 255 * s / d > 255 ? 255 : 255 * s / d;
    case kBlendScreen:
      return d + s - ((d * (s + 1)) >> 8);
    case kBlendLighten:
      return d > s ? d : s;
    case kBlendDarken:
      return d < s ? d : s;
    case kBlendDifference:
      return std::abs(s - d);
    case kBlendExclusion:
      return s + d - 2 * (s * d / 255);
    case kBlendOverlay:
      if (d < 128) return 2 * s * d / 255;
      if (d == 128) return s;
      return 2 * d - 257 + s * (512 - 2 * d) / 255;
    case kBlendColorDodge: {
      const int v = 256 * d / (256 - s);
      return v > 255 ? 255 : v;
    }
    case kBlendColorBurn: {
      const int v = 255 - 256 * (255 - d) / (s + 1);
      return v < 0 ? 0 : v;
    }
    case kBlendLinearBurn:
      return ClampByte(s + d - 255);
    case kBlendHardLight:
      if (s < 128) return 2 * s * d / 255;
      if (s == 128) return d;
      return 2 * s - 257 + d * (512 - 2 * s) / 255;
    case kBlendSoftLight:
      return SoftLight(d, s);
    case kBlendVividLight:
      if (s == 0) return 0;
      if (s < 128) {
        const int v = (510 * s - 65025 + 255 * d) / (2 * s);
        return v < 0 ? 0 : v;
      }
      if (s < 255) {
        const int v = 255 * d / (510 - 2 * s);
        return v > 255 ? 255 : v;
      }
      return 255;
    case kBlendLinearLight:
      return ClampByte(2 * s + d - 256);
    case kBlendPinLight:
      if (s < 128) return d < 2 * s ? d : 2 * s;
      return d > 2 * s - 255 ? d : 2 * s - 255;
    default:
      return d;
  }
}

const BlendCurves& Curves() {
  static const std::unique_ptr<BlendCurves> curves = BuildCurves();
  return *curves;
}

const BlendRowTables& BlendRowsFor(PixelSet set) {
#if defined(VV_PIXELS_X86)
  if (set == PixelSet::kAvx2) return RowsOf<sets::kAvx2>();
  if (set == PixelSet::kSse2) return RowsOf<sets::kSse2>();
#else
  (void)set;
#endif
  return RowsOf<sets::kPortable>();
}

int BlendRowIndex(int op, int opacity) {
  if (!IsBlendOp(op)) return -1;
  return 2 * op + (opacity >= 256 ? 1 : 0);
}

}  // namespace vv::graphics
