// The mask weight table: how strongly each mask byte value lets a masked
// layer through, for one layer's mask level, vague width and opacity.
// The compositor fills it right before the rows of a masked layer.
#pragma once

#include <cstdint>

#include "graphics/pixel_ops.h"

namespace vv::graphics {

// level p (0..255 on the masked path), vague width v, opacity o (taken
// into 0..256):
//   v = 256 (hard edge): values below 256 - p weigh 0, the rest 256;
//   otherwise entry i = min(floor(v * i / 2) + (v >> 1) * p - 128 * v + p,
//   255) + 1, with no lower limit (the rows skip weights of 1 or less);
// then every entry becomes (entry * o) >> 8.
// Level and vague width are the layer record's 16-bit fields.
void BuildMaskWeight(MaskWeightTable& table, int level, int vague, int opacity);

}  // namespace vv::graphics
