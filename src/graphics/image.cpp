#include "graphics/image.h"

namespace vv::graphics {

bool AllocatePixels(const PixelOps& ops, LayerImage& image, int w, int h) {
  ZeroedBytes buffer = AllocZeroed(ops, PixelBufferBytes(w, h));
  if (!buffer) return false;
  image.pixels = std::move(buffer);
  image.width = w;
  image.height = h;
  return true;
}

}  // namespace vv::graphics
