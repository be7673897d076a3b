// The layer tree in the state dump:
//
//   "layers": [{"path": "W0", "kind": "group", "priority": 0, "x": 0,
//               "y": 0, "width": 640, "height": 480, "opacity": 256,
//               "blend": 0, "visible": 1, "hasAlpha": 0, "mask": "",
//               "maskLevel": 256, "file": "", "frame": 0,
//               "frameCount": 1}, ...]
//
// Layers are listed depth first in drawing order (bottom first); paths
// are full tree paths without a trailing "/", texts converted to UTF-8.
// Threading: the frame thread.
#pragma once

#include <string>

namespace vv {
struct Engine;
}

namespace vv::graphics {

// The member `"layers": [...]`, preceded by ",\n", for the state dump.
std::string LayerTreeJsonMember(const Engine& engine);

}  // namespace vv::graphics
