// Fuzz target: one JPEG file through its decoder into a layer's picture.
#include <cstddef>
#include <cstdint>
#include <span>

#include "graphics/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv::graphics;
  LayerImage image;
  if (DecodeJpeg(std::span<const uint8_t>(data, size), PixelOpsFor(PixelSet::kPortable), image) == 0 &&
      !image.pixels) {
    __builtin_trap();  // success must leave a picture
  }
  return 0;
}
