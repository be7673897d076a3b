// Screenshots: a window's pixels as an RGB PNG (windows are opaque, so the
// alpha byte is left out).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace vv::platform {

// Writes `bgraTopDown` (4 bytes a pixel, rows top-down, `size` pixels) to
// `hostPath`, replacing the file. False with a reason in `error`; a file
// that could not be finished is removed.
bool WritePng(const std::string& hostPath, const std::vector<uint8_t>& bgraTopDown, Size size,
              std::string& error);

}  // namespace vv::platform
