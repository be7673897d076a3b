#include "graphics/layer.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "resource/error_reporter.h"
#include "shell/engine.h"

namespace vv::graphics {

Layer* LayerOf(script::NameNode* node) {
  return node == nullptr ? nullptr : dynamic_cast<Layer*>(node->payload.get());
}

const Layer* LayerOf(const script::NameNode* node) {
  return node == nullptr ? nullptr : dynamic_cast<const Layer*>(node->payload.get());
}

Layer& AttachNewLayer(script::NameNode& node) {
  auto layer = std::make_unique<Layer>();
  layer->node = &node;
  Layer& ref = *layer;
  node.payload = std::move(layer);
  return ref;
}

script::NameNode& LayerRoot(Engine& engine) { return *engine.script.trees[script::TreeId::kLayers].root; }

bool ResizeCleared(Engine& engine, Layer& layer, int32_t width, int32_t height) {
  return AllocatePixels(*engine.graphics.pixels, layer.image, width, height);
}

void MarkWholeDirty(Layer& layer) {
  layer.wholeDirty = 1;
  layer.composedAsChild = 0;
  layer.dirty[0] = {0, 0, static_cast<int64_t>(layer.Width()) - 1, static_cast<int64_t>(layer.Height()) - 1};
  layer.dirtyUsed.fill(0);
  layer.dirtyUsed[0] = 1;
  if (layer.dirtyCount == 0) layer.dirtyCount = 1;
}

Layer* CreateGroupLayer(Engine& engine, std::string_view path, int32_t width, int32_t height, int64_t priority) {
  if (path.empty()) {
    resource::ReportSystemError(engine, kErrGroupWithoutPath, true);
    return nullptr;
  }
  const int64_t key = static_cast<int32_t>(static_cast<uint32_t>(priority));
  script::NameNode* node =
      script::NewNodeFromPath(engine, path, script::kFolderNode, key, LayerRoot(engine), nullptr);
  if (node == nullptr) return nullptr;
  Layer& layer = AttachNewLayer(*node);
  if (!ResizeCleared(engine, layer, width, height)) {
    resource::ReportSystemError(engine, kErrPixelsOutOfMemory, true, {std::string()});
    return nullptr;
  }
  MarkWholeDirty(layer);
  MarkLayerDirty(*node);
  return &layer;
}

void AddDirtyRect(Layer& p, const DirtyRect& r) {
  p.changed = 1;
  p.composedAsChild = 0;
  if (p.dirtyCount == 0) {
    p.dirty[0] = r;
    p.dirtyUsed[0] = 1;
    p.dirtyCount = 1;
    return;
  }
  // A rectangle touching a slot on its left or top side (one pixel apart)
  // counts as touching, so neighbouring glyphs share one slot.
  for (int s = 0; s < kDirtySlots; ++s) {
    if (!p.dirtyUsed[s]) continue;
    DirtyRect& d = p.dirty[s];
    if (r.right + 1 >= d.left && r.left <= d.right && r.bottom + 1 >= d.top && r.top <= d.bottom) {
      d.Unite(r);
      return;
    }
  }
  for (int s = 0; s < kDirtySlots; ++s) {
    if (!p.dirtyUsed[s]) {
      p.dirty[s] = r;
      p.dirtyUsed[s] = 1;
      ++p.dirtyCount;
      return;
    }
  }
  p.dirty[0].Unite(r);
}

void MarkAreaDirty(script::NameNode& start) {
  for (script::NameNode* node = &start; node->parent != nullptr; node = node->parent) {
    const Layer* layer = LayerOf(node);
    Layer* parent = LayerOf(node->parent);
    if (layer == nullptr || parent == nullptr) continue;
    const DirtyRect r{layer->x, layer->y, layer->x + layer->Width() - 1, layer->y + layer->Height() - 1};
    if (r.left >= parent->Width() || r.top >= parent->Height() || r.right < 0 || r.bottom < 0) continue;
    AddDirtyRect(*parent, r);
  }
}

void MarkLayerDirty(script::NameNode& start) {
  for (script::NameNode* node = &start; node != nullptr; node = node->parent) {
    Layer* layer = LayerOf(node);
    if (layer == nullptr) continue;
    const DirtyRect r{layer->x, layer->y, layer->x + layer->Width() - 1, layer->y + layer->Height() - 1};
    layer->changed = 1;
    layer->composedAsChild = 0;
    if (layer->dirtyCount == 0) {
      layer->dirty[0] = {0, 0, r.right, r.bottom};
      layer->dirtyUsed[0] = 1;
      layer->dirtyCount = 1;
      continue;
    }
    DirtyRect& d = layer->dirty[0];
    if (layer->dirtyUsed[0]) d.Unite(r);
    else d = r;
    layer->dirtyUsed[0] = 1;
    ++layer->dirtyCount;
  }
}

int64_t ClampedOp(int op, int64_t current, int64_t operand, int64_t min, int64_t max) {
  // Wrapping arithmetic: a script may hand any 64-bit operand.
  const auto wrap = [](uint64_t v) { return static_cast<int64_t>(v); };
  int64_t v = current;
  switch (op) {
    case 0: return operand;
    case 1: return std::min(wrap(static_cast<uint64_t>(current) + static_cast<uint64_t>(operand)), max);
    case 2: return std::max(wrap(static_cast<uint64_t>(current) - static_cast<uint64_t>(operand)), min);
    case 3: v = wrap(static_cast<uint64_t>(current) * static_cast<uint64_t>(operand)); break;
    case 4:
      if (operand == 0) return current;
      if (operand == -1) {
        v = wrap(0 - static_cast<uint64_t>(current));
      } else {
        v = current / operand;
      }
      break;
    default: return current;
  }
  return std::clamp(v, min, max);
}

namespace {

// Clears every reference the engine keeps to the layer of `node`.
void DropReferences(Engine& engine, script::NameNode& node, const Layer& layer) {
  if (layer.isWindowRoot) {
    for (shell::WindowRecord& w : engine.windows) {
      if (w.rootLayer == &node) w.rootLayer = nullptr;
    }
  }
  if (layer.isTextTarget && engine.graphics.textTarget == &node) engine.graphics.textTarget = nullptr;
}

}  // namespace

void FreeLayer(Engine& engine, script::NameNode& node) {
  if (const Layer* layer = LayerOf(&node)) DropReferences(engine, node, *layer);
  // The detached node owns its record (pixels, frames, names); dropping
  // it frees them all.
  script::DetachNode(node).reset();
}

void DeleteLayerTree(Engine& engine, script::NameNode& node) {
  while (node.lastChild != nullptr) DeleteLayerTree(engine, *node.lastChild);
  FreeLayer(engine, node);
}

void ResetDirtyState(script::NameNode& root) {
  if (Layer* layer = LayerOf(&root)) {
    layer->dirtyCount = 0;
    layer->changed = 0;
    layer->composedAsChild = 0;
    layer->dirtyUsed.fill(0);
    layer->presentRect = {kEmptyRectLow, kEmptyRectLow, kEmptyRectHigh, kEmptyRectHigh};
  }
  for (script::NameNode* c = root.firstChild; c != nullptr; c = c->next) ResetDirtyState(*c);
}

std::array<uint8_t, kStoredLayerBytes> EncodeStoredLayer(const Layer& l) {
  std::array<uint8_t, kStoredLayerBytes> out{};
  uint8_t* p = out.data();
  const auto i8 = [&](size_t at, int8_t v) { p[at] = static_cast<uint8_t>(v); };
  const auto i16 = [&](size_t at, int16_t v) { common::StoreU16(p + at, static_cast<uint16_t>(v)); };
  const auto i32 = [&](size_t at, int32_t v) { common::StoreU32(p + at, static_cast<uint32_t>(v)); };
  const auto i64 = [&](size_t at, int64_t v) { common::StoreU64(p + at, static_cast<uint64_t>(v)); };
  // Pointer fields (node, mask path, pixels, file name, frames, movie
  // handles) mean nothing on disk and stay zero.
  i8(4, l.isWindowRoot);
  i8(5, l.isTextTarget);
  i32(8, l.dirtyCount);
  i64(16, l.presentRect.left);
  i64(24, l.presentRect.top);
  i64(32, l.presentRect.right);
  i64(40, l.presentRect.bottom);
  for (int s = 0; s < kDirtySlots; ++s) {
    i64(48 + 8 * s, l.dirty[s].left);
    i64(176 + 8 * s, l.dirty[s].top);
    i64(304 + 8 * s, l.dirty[s].right);
    i64(432 + 8 * s, l.dirty[s].bottom);
    i8(560 + s, l.dirtyUsed[s]);
  }
  i8(576, l.wholeDirty);
  i64(584, l.x);
  i64(592, l.y);
  i32(600, l.image.width);
  i32(604, l.image.height);
  i16(608, l.opacity);
  i16(610, l.maskLevel);
  i16(612, l.maskVague);
  i8(614, l.image.hasAlpha);
  i8(615, l.blendOp);
  i8(617, l.visible);
  i32(620, l.image.frame);
  i32(624, static_cast<int32_t>(l.image.frameCount));
  i8(628, l.bitsPerPixel);
  i8(652, l.image.imageKind);
  i8(653, l.image.effectTouched);
  i8(654, l.changed);
  return out;
}

bool DecodeStoredLayer(std::span<const uint8_t> stored, StoredLayerHeader& out) {
  if (stored.size() < kStoredLayerBytes) return false;
  out.width = static_cast<int32_t>(common::LoadU32(stored.data() + 600));
  out.height = static_cast<int32_t>(common::LoadU32(stored.data() + 604));
  out.bitsPerPixel = static_cast<int8_t>(stored[628]);
  return true;
}

}  // namespace vv::graphics
