#include "graphics/mask_weight.h"

namespace vv::graphics {

void BuildMaskWeight(MaskWeightTable& table, int level, int vague, int opacity) {
  const int64_t p = static_cast<int16_t>(level);
  const int64_t v = static_cast<int16_t>(vague);
  const int64_t o = opacity < 0 ? 0 : (opacity > 256 ? 256 : opacity);
  for (int i = 0; i < 256; ++i) {
    int64_t w;
    if (v == 256) {
      w = i >= 256 - p ? 256 : 0;
    } else {
      // v * i >> 1 is the floor of the half, also for a negative width.
      const int64_t raw = ((v * i) >> 1) + (v >> 1) * p - 128 * v + p;
      w = (raw < 255 ? raw : 255) + 1;
    }
    table[i] = static_cast<int32_t>((w * o) >> 8);
  }
}

}  // namespace vv::graphics
