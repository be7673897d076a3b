// The lookup tables that fix the rounding of products and quotients in the
// pixel primitives and the blend operations.
//
// The tables are built once, on first use, and are immutable afterwards;
// any thread may read them (the first use is thread-safe).
#pragma once

#include <cstdint>

namespace vv::graphics {

struct ArithmeticTables {
  // [a][x + 255] for a in 0..256, x in -255..256: a*x / 255 and a*x / 256,
  // truncated toward zero.
  int16_t mul255[257][512];
  int16_t mul256[257][512];
  // [i], i in 0..510: min(i, 255) (indexed by d + s) and max(0, i - 255)
  // (indexed by s - d + 255).
  uint8_t sat[511];
  uint8_t subSat[511];
  // [r][s]: 256*s / r for r in 1..255; row 0 is zero. Values above 255
  // occur where s > r.
  uint16_t div256[256][256];
  // [a][k]: (k * (a + 1)) >> 8 and (k * (256 - a)) >> 8.
  uint8_t alphaScaleSrc[256][256];
  uint8_t alphaScaleDst[256][256];
};

const ArithmeticTables& Arithmetic();

// Accessors in the tables' own index ranges; callers keep a in 0..256,
// x in -255..256, r and s in 0..255.
inline int Mul255(const ArithmeticTables& t, int a, int x) { return t.mul255[a][x + 255]; }
inline int Mul256(const ArithmeticTables& t, int a, int x) { return t.mul256[a][x + 255]; }
inline int Div256(const ArithmeticTables& t, int r, int s) { return t.div256[r][s]; }

}  // namespace vv::graphics
