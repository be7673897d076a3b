#include "graphics/arithmetic_tables.h"

#include <memory>

namespace vv::graphics {

namespace {

std::unique_ptr<ArithmeticTables> BuildArithmeticTables() {
  auto t = std::make_unique<ArithmeticTables>();
  for (int a = 0; a <= 256; ++a) {
    for (int x = -255; x <= 256; ++x) {
      // C++ division truncates toward zero, as the tables require.
      t->mul255[a][x + 255] = static_cast<int16_t>(a * x / 255);
      t->mul256[a][x + 255] = static_cast<int16_t>(a * x / 256);
    }
  }
  for (int i = 0; i <= 510; ++i) {
    t->sat[i] = static_cast<uint8_t>(i < 255 ? i : 255);
    t->subSat[i] = static_cast<uint8_t>(i > 255 ? i - 255 : 0);
  }
  for (int s = 0; s < 256; ++s) t->div256[0][s] = 0;
  for (int r = 1; r < 256; ++r) {
    for (int s = 0; s < 256; ++s) t->div256[r][s] = static_cast<uint16_t>(256 * s / r);
  }
  for (int a = 0; a < 256; ++a) {
    for (int k = 0; k < 256; ++k) {
      t->alphaScaleSrc[a][k] = static_cast<uint8_t>((k * (a + 1)) >> 8);
      t->alphaScaleDst[a][k] = static_cast<uint8_t>((k * (256 - a)) >> 8);
    }
  }
  return t;
}

}  // namespace

const ArithmeticTables& Arithmetic() {
  static const std::unique_ptr<ArithmeticTables> tables = BuildArithmeticTables();
  return *tables;
}

}  // namespace vv::graphics
