// Letterbox layout of a frame inside a larger (or smaller) output.
#include <algorithm>
#include <cstdint>

#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace

Rect FitFrame(Size client, Size output) {
  if (client.width <= 0 || client.height <= 0 || output.width <= 0 || output.height <= 0) {
    return {};
  }
  if (client == output) return {0, 0, client.width, client.height};
  const int64_t cw = client.width, ch = client.height, ow = output.width, oh = output.height;
  const int64_t whole = std::min(ow / cw, oh / ch);
  int64_t w, h;
  if (whole >= 2) {
    // Whole factors keep every pixel the same size.
    w = cw * whole;
    h = ch * whole;
  } else if (ow * ch <= oh * cw) {
    w = ow;
    h = std::max<int64_t>(1, ch * ow / cw);
  } else {
    h = oh;
    w = std::max<int64_t>(1, cw * oh / ch);
  }
  const auto left = static_cast<int>((ow - w) / 2), top = static_cast<int>((oh - h) / 2);
  return {left, top, left + static_cast<int>(w), top + static_cast<int>(h)};
}

// Both directions go through pixel centres, as nearest-neighbour scaling
// samples: output pixel o shows client pixel floor((o + 0.5) / scale).
Point OutputToClient(Point p, Size client, const Rect& dest) {
  if (dest.empty()) return p;
  return {static_cast<int>(FloorDiv((2 * int64_t{p.x - dest.left} + 1) * client.width,
                                    2 * int64_t{dest.width()})),
          static_cast<int>(FloorDiv((2 * int64_t{p.y - dest.top} + 1) * client.height,
                                    2 * int64_t{dest.height()}))};
}

Point ClientToOutput(Point p, Size client, const Rect& dest) {
  if (dest.empty() || client.width <= 0 || client.height <= 0) return p;
  return {dest.left + static_cast<int>(FloorDiv((2 * int64_t{p.x} + 1) * dest.width(),
                                                2 * int64_t{client.width})),
          dest.top + static_cast<int>(FloorDiv((2 * int64_t{p.y} + 1) * dest.height(),
                                               2 * int64_t{client.height}))};
}

}  // namespace vv::platform::sdl
