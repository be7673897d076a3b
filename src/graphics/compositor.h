// Frame composition and presentation.
//
// Once per frame each window's root layer is brought up to date: inside
// the root, and recursively inside every group layer below it, only the
// dirty rectangles are redrawn, each from the topmost child that hides it
// completely upward (or from a cleared rectangle when none does). Every
// pixel row is one call of a row function chosen once per child and
// rectangle. Then the part of the root that changed (its presentRect) is
// copied to the window through the platform's Display; the rest of the
// window keeps its picture.
//
// Threading: the thread that runs the frames. The mask weight table is
// shared, so layers are drawn one after another.
#pragma once

#include "script/name_tree.h"

namespace vv {
struct Engine;
}

namespace vv::graphics {

constexpr int32_t kErrMaskSize = 100310;

// Recomposes the dirty rectangles of the group layer of `node` from its
// children. `asChild`: the group is drawn into a parent (or composed on
// a command's demand) and so counts as opaque; false for a window's root.
// 0, or -1 after a reported failure (a mask path that cannot be composed,
// a mask layer of another size: 100310); rectangles not yet processed
// keep their old pixels.
int ComposeLayer(Engine& engine, script::NameNode& node, bool asChild);

// Brings window `slot` up to date: composes and presents its root when it
// changed, paints it black once when it stopped showing layers. -1 when
// composition failed, otherwise 1 when the engine is halted, else 0.
int PresentWindow(Engine& engine, int slot);

// Copies the root layer's presentRect to window `slot`.
void PresentLayer(Engine& engine, int slot, script::NameNode& root);

}  // namespace vv::graphics
