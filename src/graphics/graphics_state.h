// The graphics subsystem's engine-wide state.
//
// The pixel set is chosen per engine when the state is made: the best set
// the processor runs, unless the environment variable VAVEVO_PIXELS names
// another ("portable", "sse2", "avx2"); ForcePixelSet changes it later
// (the command line). All sets give the same bytes, so the choice changes
// speed only. Owned by the Engine; used on the thread that runs frames.
#pragma once

#include <string_view>

#include "graphics/blend.h"
#include "graphics/pixel_ops.h"

namespace vv::script {
struct NameNode;
}

namespace vv::graphics {

struct GraphicsState {
  GraphicsState();

  CpuFeatures cpu;
  PixelSet pixelSet = PixelSet::kPortable;
  const PixelOps* pixels = nullptr;         // never null
  const BlendRowTables* blendRows = nullptr;  // rows of the same set
  // Filled before each masked layer is drawn (BuildMaskWeight); one masked
  // draw at a time.
  MaskWeightTable maskWeight{};
  // The message layer of the dialogue display, null for none; cleared when
  // that layer is freed.
  script::NameNode* textTarget = nullptr;
};

// Binds `set`; false (nothing changed) when the processor cannot run it.
bool BindPixelSet(GraphicsState& state, PixelSet set);
// Binds the set of that name; false for an unknown name or a set the
// processor cannot run (the binding stays as it was).
bool ForcePixelSet(GraphicsState& state, std::string_view name);

}  // namespace vv::graphics
