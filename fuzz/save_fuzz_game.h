// The game state the save fuzz target loads into, shared with the program
// that writes its seeds (tests/save/save_fuzz_seeds.cpp): a handful of
// variables of every type and shape, and one image layer.
#pragma once

#include <string>

#include "graphics/layer.h"
#include "save/save_commands.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::fuzz {

// Targets 0..4 are variables (integer element, integer array whole, float
// array whole, text array whole, text element), 5 the layer "W0/bg".
constexpr int kSaveTargets = 6;
constexpr char kSaveLayerPath[] = "W0/bg";

inline void DeclareSaveTargets(Engine& engine) {
  auto& vars = engine.script.variables;
  if (vars.size() < 1005) vars.resize(1005);
  const auto shape = [&](int32_t number, std::initializer_list<int32_t> sizes) {
    script::VariableSlot& s = vars[static_cast<size_t>(number)];
    s.dimensionCount = static_cast<uint8_t>(sizes.size());
    size_t d = 0;
    for (int32_t size : sizes) s.sizes[d++] = size;
  };
  shape(1000, {});
  script::DeclareInteger(engine, 1000, 0);
  shape(1001, {4, 3});
  script::DeclareInteger(engine, 1001, 0);
  shape(1002, {5});
  script::DeclareFloat(engine, 1002, 0.0);
  shape(1003, {3});
  script::DeclareText(engine, 1003, "");
  shape(1004, {});
  script::DeclareText(engine, 1004, "");
  graphics::CreateGroupLayer(engine, "W0", 64, 64, 0);
  if (script::NameNode* node = script::NewNodeFromPath(engine, kSaveLayerPath, script::kLeafNode, 5,
                                                       graphics::LayerRoot(engine), nullptr)) {
    graphics::ResizeCleared(engine, graphics::AttachNewLayer(*node), 3, 2);
  }
}

inline save::BlockTarget SaveTarget(Engine& engine, int which) {
  save::BlockTarget t;
  switch (which % kSaveTargets) {
    case 0: t.variable = 1000; break;
    case 1: t.variable = 1001; t.whole = true; break;
    case 2: t.variable = 1002; t.whole = true; break;
    case 3: t.variable = 1003; t.whole = true; break;
    case 4: t.variable = 1003; t.element = 1; break;
    default:
      t.layer = script::FindNode(engine, graphics::LayerRoot(engine), kSaveLayerPath, script::kFindLeaf);
      t.layerPath = kSaveLayerPath;
      break;
  }
  return t;
}

}  // namespace vv::fuzz
