// The layer commands scripts use to create, change, delete and read
// layers: layer (0), layerDelete (2) and layerGet (3).
//
// Each handler prepares its arguments (range checks included), names the
// layer from `name` and `number` against the layer tree's current folder
// (a trailing "/" names a group layer) and works on that node. Changes
// never draw: they mark dirty rectangles, and the compositor redraws what
// they cover in the next frame. The one exception is a group layer's new
// size, whose children are composed into it at once.
//
// Results: 0 lets the script go on; -1 after a failure the handler
// reported (every report halts the engine). Loading an image that fails
// and an alpha layer of another size also set Halted.
//
// Threading: the thread that runs the script and the frames.
#pragma once

#include <cstdint>

namespace vv {
struct Engine;
}

namespace vv::script {
struct HandlerTable;
}

namespace vv::graphics {

constexpr int32_t kErrFrameOutOfRange = 100160;
constexpr int32_t kErrNoPriority = 100240;
constexpr int32_t kErrGroupWithoutSize = 100241;
constexpr int32_t kErrResizeWithoutBothSides = 100243;
constexpr int32_t kErrResizeWithoutFile = 100244;
constexpr int32_t kErrMissingImageLayer = 101230;
constexpr int32_t kErrFileForGroup = 101280;
constexpr int32_t kErrPixelWithoutPoint = 101295;

// Creates the layer if needed, then applies priority, file, alpha layer,
// mask path, visibility, opacity, position, size, mask level, mask edge,
// blend operation and frame, in that order. A new image layer needs a
// file and a priority (`priority`, else `number`); a new group layer a
// width, a height and a priority. With option flag 0 set, changing an
// image layer that does not exist is an error; otherwise it does nothing.
int8_t LayerSetCommand(Engine& engine);

// Deletes the layer, and for a group layer everything below it, after
// marking its area dirty in its parent. A name that names nothing is no
// error.
int8_t LayerDeleteCommand(Engine& engine);

// Stores one property of the layer (the first selector given) into the
// target variable: 0, 0.0 or "" when the layer does not exist. Numbers
// into a text variable are error 101140.
int8_t LayerGetCommand(Engine& engine);

// Binds the three handlers into the real half of `table` (slots 0, 2, 3).
void BindLayerCommands(script::HandlerTable& table);

}  // namespace vv::graphics
