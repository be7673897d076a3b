// The pixel sets the processor running the tests offers.
#pragma once

#include <vector>

#include "graphics/pixel_ops.h"

namespace vv::graphics::testing {

inline std::vector<PixelSet> AcceleratedSets() {
  std::vector<PixelSet> sets;
  const CpuFeatures cpu = DetectCpuFeatures();
  for (PixelSet s : {PixelSet::kSse2, PixelSet::kAvx2}) {
    if (PixelSetSupported(s, cpu)) sets.push_back(s);
  }
  return sets;
}

}  // namespace vv::graphics::testing
