// Layers: the rectangles of pixels everything on screen is made of, and
// the dirty-rectangle bookkeeping every change goes through.
//
// A layer is the payload of a node of the layer tree (script::TreeId::
// kLayers). A leaf node carries an image layer (pixels from a picture
// file); a folder node carries a group layer, whose pixels are the
// composition of its children. Children are drawn in ascending key order
// (first child at the bottom).
//
// Changes never draw anything: they record dirty rectangles (at most 16
// per layer, merged when they touch) and the compositor recomposes only
// what they cover, once per frame.
//
// Threading: layers belong to the thread that runs the script and the
// frames; no locks.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "graphics/image.h"
#include "script/name_tree.h"

namespace vv {
struct Engine;
}

namespace vv::graphics {

constexpr int kDirtySlots = 16;
// presentRect when nothing was composed.
constexpr int64_t kEmptyRectLow = 999999999;
constexpr int64_t kEmptyRectHigh = -999999999;
// Bytes of a layer record as save files store it.
constexpr size_t kStoredLayerBytes = 688;
// Text bytes the mask path keeps (its buffer holds one more, the end mark).
constexpr size_t kMaxMaskPath = 260;

constexpr int32_t kErrLayerOutOfMemory = 100010;
constexpr int32_t kErrPixelsOutOfMemory = 104030;
constexpr int32_t kErrGroupWithoutPath = 900020;

// Inclusive edges, 64-bit signed, in the layer's own pixels (top-down).
struct DirtyRect {
  int64_t left = 0, top = 0, right = 0, bottom = 0;

  // Widens this rectangle to the union with `r`.
  void Unite(const DirtyRect& r) {
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.right);
    bottom = std::max(bottom, r.bottom);
  }
};

struct Layer : script::NodePayload {
  script::NameNode* node = nullptr;  // the owning node
  int8_t isWindowRoot = 0;  // the root layer of a window
  int8_t isTextTarget = 0;  // the message layer of the dialogue display

  int32_t dirtyCount = 0;
  DirtyRect presentRect{kEmptyRectLow, kEmptyRectLow, kEmptyRectHigh, kEmptyRectHigh};
  std::array<DirtyRect, kDirtySlots> dirty{};
  std::array<int8_t, kDirtySlots> dirtyUsed{};
  int8_t wholeDirty = 0;
  int8_t changed = 0;
  // A group composed for its parent since its dirty rectangles last
  // changed: composing it again would give the same pixels, so the
  // compositor skips it. Not part of the stored record.
  int8_t composedAsChild = 0;

  std::string maskPath;  // "" for none; at most kMaxMaskPath bytes
  int64_t x = 0, y = 0;  // left and top edge in the parent's pixels
  int16_t opacity = 256;    // 0..256 (256 opaque; values above draw as 256)
  int16_t maskLevel = 256;  // 256: the mask is ignored
  int16_t maskVague = 0;    // 256: hard mask edge
  int8_t blendOp = 0;       // 0..18
  int8_t visible = 1;       // 0 hidden; only 1 lets the layer hide what is below
  int8_t bitsPerPixel = 32;

  // width, height, pixels, hasAlpha, frame, frameCount, fileName,
  // imageKind, effectTouched and the GIF frames.
  LayerImage image;

  int32_t Width() const { return image.width; }
  int32_t Height() const { return image.height; }
  bool IsGroup() const { return node != nullptr && node->kind == script::kFolderNode; }
};

// The layer a node of the layer tree carries, or null (no node, or a node
// without a layer, such as the tree's root).
Layer* LayerOf(script::NameNode* node);
const Layer* LayerOf(const script::NameNode* node);

// A new record with the defaults (visible 1, opacity 256, mask level 256,
// 1 x 1 without pixels, one frame), attached to `node` (the node takes it
// over); returns it.
Layer& AttachNewLayer(script::NameNode& node);

// The layer tree's root node.
script::NameNode& LayerRoot(Engine& engine);

// Creates a group layer at `path` (already composed; no trailing "/") of
// w x h with key `priority` (its low 32 bits, sign-extended), pixels
// cleared, wholly dirty. Null after a report: 900020 for an empty path,
// the folder's 100230, 104030 when the pixels do not fit in memory.
Layer* CreateGroupLayer(Engine& engine, std::string_view path, int32_t width, int32_t height, int64_t priority);

// Gives the layer a new cleared w x h buffer (both 1..8192); false when
// the memory is not there (the layer keeps its old picture).
bool ResizeCleared(Engine& engine, Layer& layer, int32_t width, int32_t height);

// Adds the layer's rectangle to its parent's dirty list, then the
// parent's to its parent's, up to the root.
void MarkAreaDirty(script::NameNode& node);
// Widens dirty rectangle 0 of the layer itself and of every ancestor to
// the layer's rectangle.
void MarkLayerDirty(script::NameNode& node);
// Adds r (in the layer's own pixels) to the layer's dirty list: merged
// into the first used slot it touches, else the first free slot, else
// slot 0. Marks the layer changed.
void AddDirtyRect(Layer& layer, const DirtyRect& r);
// The whole layer is dirty: wholeDirty, slot 0 the whole layer, the other
// slots cleared.
void MarkWholeDirty(Layer& layer);

// Assignment operators of the layer commands: 0 set, 1 add (at most max),
// 2 subtract (at least min), 3 multiply and 4 divide (clamped into
// min..max; dividing by 0 keeps the value); other codes keep the value.
int64_t ClampedOp(int op, int64_t current, int64_t operand, int64_t min, int64_t max);

// Releases one layer: clears the window and text-target references to it,
// unlinks its node and frees node, record, pixels and frames. The node's
// children must be gone already (DeleteLayer frees a whole group).
void FreeLayer(Engine& engine, script::NameNode& node);
// Frees a layer and, for a group, every layer below it (depth first).
void DeleteLayerTree(Engine& engine, script::NameNode& node);

// Clears the per-frame records (dirty slots and count, changed,
// presentRect) of `root` and of every layer below it.
void ResetDirtyState(script::NameNode& root);

// The stored form of a record (688 bytes, little-endian, pointer fields
// zero): what save files hold before the layer's pixels.
std::array<uint8_t, kStoredLayerBytes> EncodeStoredLayer(const Layer& layer);
// What loading takes back from a stored record.
struct StoredLayerHeader {
  int32_t width = 0, height = 0;
  int8_t bitsPerPixel = 0;
};
// False when `stored` is shorter than a record.
bool DecodeStoredLayer(std::span<const uint8_t> stored, StoredLayerHeader& out);

}  // namespace vv::graphics
