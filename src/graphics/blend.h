// Blend operations: how a layer's pixels combine with what lies below it.
//
// Each of the nineteen operations is a per-channel function F(d, s) of the
// destination byte d and the source byte s. The row functions apply one
// operation to one row in the four situations the compositor tells apart:
//   plain        the source is opaque colour; every byte, alpha included,
//                is written;
//   alpha        the source carries per-pixel alpha; colour bytes written;
//   masked       a mask row weights each pixel through the mask weight
//                table (mask_weight.h); colour bytes written;
//   masked alpha mask and source alpha together.
// Each table has 40 entries: entry 2 * op + 1 is the full-opacity row
// (layer opacity 256), entry 2 * op the partial one (0..255); entries 38
// and 39 are empty (null). Use the Select functions, which bound both the
// operation and the opacity.
//
// The rows of operation 0, and the plain rows of operations 1, 2, 3, 5, 6,
// 7, 13 and 17, run the PixelOps slots of their set; every set gives the
// same bytes. Masked rows ignore their opacity argument (the weights carry
// it) and pass level and vague width on to MaskLerp.
//
// Threading: everything here is immutable; the masked rows read the
// caller's weight table.
#pragma once

#include <array>
#include <cstdint>

#include "graphics/pixel_ops.h"

namespace vv::graphics {

enum BlendOp : int8_t {
  kBlendNormal = 0,
  kBlendAdd = 1,
  kBlendSubtract = 2,  // source minus destination
  kBlendMultiply = 3,
  kBlendDivide = 4,
  kBlendScreen = 5,
  kBlendLighten = 6,
  kBlendDarken = 7,
  kBlendDifference = 8,
  kBlendExclusion = 9,
  kBlendOverlay = 10,
  kBlendColorDodge = 11,
  kBlendColorBurn = 12,
  kBlendLinearBurn = 13,
  kBlendHardLight = 14,
  kBlendSoftLight = 15,
  kBlendVividLight = 16,
  kBlendLinearLight = 17,
  kBlendPinLight = 18,
};
constexpr int kBlendOpCount = 19;
constexpr int kBlendRowEntries = 40;

inline bool IsBlendOp(int op) { return op >= 0 && op < kBlendOpCount; }

// F(d, s) of an operation, computed from its formula (d, s in 0..255).
int BlendFunction(int op, int d, int s);

// F of every operation, tabulated once: curves[op][s][d].
struct BlendCurves {
  uint8_t f[kBlendOpCount][256][256];
};
const BlendCurves& Curves();

// Plain and alpha rows: dst, src, layer opacity, n in bytes.
using BlendRowFn = void (*)(uint8_t* dst, const uint8_t* src, int opacity, int n);
// Masked rows: dst, src, the mask row of the same pixels (byte 0 of each
// mask pixel is its value), the weight table, layer opacity, mask level,
// vague width, n in bytes.
using MaskedRowFn = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, const int32_t* weight,
                             int opacity, int level, int vague, int n);

struct BlendRowTables {
  std::array<BlendRowFn, kBlendRowEntries> plain;
  std::array<BlendRowFn, kBlendRowEntries> alpha;
  std::array<MaskedRowFn, kBlendRowEntries> masked;
  std::array<MaskedRowFn, kBlendRowEntries> maskedAlpha;
};

// The tables whose slot rows run `set`'s primitives.
const BlendRowTables& BlendRowsFor(PixelSet set);

// 2 * op + (opacity >> 8) for op 0..18 with the opacity taken into 0..256
// (above 256 counts as full); -1 for an operation outside 0..18, which
// has no rows.
int BlendRowIndex(int op, int opacity);

}  // namespace vv::graphics
