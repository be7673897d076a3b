#include "graphics/graphics_state.h"

#include <cstdio>
#include <cstdlib>

namespace vv::graphics {

GraphicsState::GraphicsState() : cpu(DetectCpuFeatures()) {
  BindPixelSet(*this, cpu.best);
  if (const char* forced = std::getenv("VAVEVO_PIXELS"); forced && *forced) {
    if (!ForcePixelSet(*this, forced)) {
      std::fprintf(stderr, "vavevo: VAVEVO_PIXELS=%s is not a pixel set this processor runs; using %s\n",
                   forced, pixels->name);
    }
  }
}

bool BindPixelSet(GraphicsState& state, PixelSet set) {
  if (!PixelSetSupported(set, state.cpu)) return false;
  state.pixelSet = set;
  state.pixels = &PixelOpsFor(set);
  state.blendRows = &BlendRowsFor(set);
  return true;
}

bool ForcePixelSet(GraphicsState& state, std::string_view name) {
  const auto set = PixelSetFromName(name);
  return set && BindPixelSet(state, *set);
}

}  // namespace vv::graphics
