// Fuzz target: one GIF file through its decoder into a layer's picture,
// then every frame drawn, then the file again into the same layer (the
// frame slots are reused).
#include <cstddef>
#include <cstdint>
#include <span>

#include "graphics/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv::graphics;
  const std::span<const uint8_t> file(data, size);
  const PixelOps& ops = PixelOpsFor(PixelSet::kPortable);
  LayerImage image;
  if (DecodeGif(file, ops, image) != 0) return 0;
  for (uint32_t i = 0; i < image.frameCount; ++i) ShowGifFrame(image, static_cast<int>(i));
  DecodeGif(file, ops, image);
  return 0;
}
