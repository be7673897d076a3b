// The layer commands: layer (create or change), layerDelete and layerGet.
//
// LayerSet applies its arguments in a fixed order, and a failure part-way
// leaves the layer with whatever was applied before it: scripts and saved
// games depend on that order (a file is loaded before a crop reads its
// size, an alpha layer is taken after the file it belongs to).
#include "graphics/layer_commands.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "common/sjis.h"
#include "graphics/compositor.h"
#include "graphics/image.h"
#include "graphics/image_loader.h"
#include "graphics/layer.h"
#include "platform/dialogs.h"
#include "resource/error_reporter.h"
#include "resource/file_types.h"
#include "script/command_results.h"
#include "script/interpreter.h"
#include "script/name_tree.h"
#include "script/script_files.h"
#include "script/values.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::graphics {

namespace {

using script::ArgSlot;
using script::CommandArgs;
using script::NameNode;

enum SetArg : int {
  kSetName = 0, kSetNumber = 1, kSetVisible = 2, kSetOpacity = 3, kSetX = 4, kSetY = 5, kSetWidth = 6,
  kSetHeight = 7, kSetPriority = 8, kSetFile = 9, kSetAlphaLayer = 10, kSetAlphaNumber = 11,
  kSetMaskLevel = 13, kSetMask = 14, kSetMaskNumber = 15, kSetMaskVague = 16, kSetBlend = 17, kSetFrame = 18,
};

enum GetArg : int {
  kGetName = 0, kGetNumber = 1, kGetExists = 2, kGetVisible = 3, kGetOpacity = 4, kGetX = 5, kGetY = 6,
  kGetPriority = 7, kGetMaskLevel = 9, kGetMask = 10, kGetMaskVague = 11, kGetBlend = 12, kGetFrame = 13,
  kGetFrameCount = 14, kGetWidth = 15, kGetHeight = 16, kGetFrameLoops = 17, kGetFrameDelay = 18,
  kGetScreenColor = 19, kGetScreenAlpha = 20, kGetScreenArgb = 21, kGetPixelColor = 22, kGetOpaqueBound = 23,
  kGetTarget = 24, kGetPx = 25, kGetPy = 26,
};

// The selectors of layerGet in the order they are honoured: only the first
// one present counts.
constexpr std::array<int, 21> kSelectorOrder = {
    kGetExists,     kGetVisible,    kGetOpacity,     kGetMask,        kGetMaskLevel,  kGetMaskVague,
    kGetX,          kGetY,          kGetPriority,    kGetBlend,       kGetFrame,      kGetFrameCount,
    kGetWidth,      kGetHeight,     kGetFrameLoops,  kGetFrameDelay,  kGetScreenColor, kGetScreenAlpha,
    kGetScreenArgb, kGetPixelColor, kGetOpaqueBound,
};

// A new layer's priority when neither `priority` nor `number` gives one.
// A priority that comes out as exactly this value counts as none too.
constexpr int64_t kNoPriority = -1;

constexpr int kMaxBlendOp = 18;
constexpr int64_t kFullOpacity = 256;

// "The layer image and the mask layer image differ in size", Shift-JIS.
constexpr std::string_view kAlphaSizeMismatch =
    "\x83\x8c\x83\x43\x83\x84\x89\xe6\x91\x9c\x82\xc6\x83\x7d\x83\x58\x83\x4e\x83\x8c\x83\x43\x83\x84"
    "\x89\xe6\x91\x9c\x82\xcc\x83\x54\x83\x43\x83\x59\x82\xaa\x88\xd9\x82\xc8\x82\xe8\x82\xdc\x82\xb7\x81\x42";

// The low 32 bits, sign-extended: positions and frames are 32-bit fields.
int64_t Low32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// The setting after an argument's operator, without limits: set, add,
// subtract, multiply or divide (a divisor of 0 keeps the setting), in
// wrapping 64-bit arithmetic; other operator codes keep it.
int64_t ApplyOperator(int op, int64_t current, int64_t operand) {
  switch (op) {
    case 0: return operand;
    case 1: return script::WrapAdd(current, operand);
    case 2: return script::WrapSub(current, operand);
    case 3: return script::WrapMul(current, operand);
    case 4: return operand == 0 ? current : script::SafeDiv(current, operand);
    default: return current;
  }
}

// A priority after its operator. Subtracting, multiplying and dividing
// stop at 1, so relative moves never carry a layer below the keys scripts
// give their lowest layers; set and add are not limited.
int64_t ApplyPriority(int op, int64_t current, int64_t operand) {
  if (op < 0 || op > 4 || (op == 4 && operand == 0)) return current;
  const int64_t v = ApplyOperator(op, current, operand);
  return op >= 2 && v < 1 ? 1 : v;
}

// The layer tree's path of a name argument with its number appended as
// "." and the decimal value. -1 after a report, else 1 when the path names
// a group layer, 0 an image layer.
int LayerPath(Engine& engine, int nameId, int numberId, std::string& path) {
  return script::ComposeArgumentPath(engine, path, nameId, numberId, script::TreeId::kLayers);
}

// Looks `path` up as a layer of `kind` (1 group, 0 image). -1 when a
// folder on the way is missing (reported); else 0 with `node` the layer's
// node or null.
int FindLayer(Engine& engine, std::string_view path, int kind, NameNode*& node) {
  NameNode& root = LayerRoot(engine);
  node = nullptr;
  if (script::ResolveFolder(engine, path, root) == nullptr) return -1;
  NameNode* found = script::FindNode(engine, root, path, kind);
  node = LayerOf(found) != nullptr ? found : nullptr;
  return 0;
}

// The declared ranges of `blend`, `width` and `height` guard the
// compositor and the allocator; a game's own command table may lack them,
// so they are enforced here as well, before anything is applied.
int CheckGuardedArgs(Engine& engine, const CommandArgs& a, uint8_t command) {
  struct Guard {
    int id;
    int64_t min, max;
  };
  static constexpr Guard kGuards[] = {
      {kSetWidth, 1, kMaxImageSide}, {kSetHeight, 1, kMaxImageSide}, {kSetBlend, 0, kMaxBlendOp}};
  for (const Guard& g : kGuards) {
    if (!a.Has(g.id)) continue;
    const int64_t v = a.Number(g.id);
    if (v >= g.min && v <= g.max) continue;
    return resource::ReportError(engine, script::kErrOutOfRange, true,
                                 {script::CommandName(engine, command), script::ArgumentName(engine, command, g.id),
                                  static_cast<long long>(v), static_cast<long long>(g.min),
                                  static_cast<long long>(g.max)});
  }
  return 0;
}

int ReportPixelsOutOfMemory(Engine& engine) {
  return resource::ReportSystemError(engine, kErrPixelsOutOfMemory, true, {std::string()});
}

// Copies the blue byte of every pixel of `from` into the alpha byte of the
// same pixel of `to` (both of one size).
void CopyBlueToAlpha(const Layer& from, Layer& to) {
  const size_t pixels = static_cast<size_t>(to.Width()) * static_cast<size_t>(to.Height());
  const uint8_t* src = from.image.pixels.get();
  uint8_t* dst = to.image.pixels.get();
  for (size_t i = 0; i < pixels; ++i) dst[i * 4 + 3] = src[i * 4];
}

// Gives an image layer a w x h picture: opaque black (the spare row too),
// with the old picture kept at the top-left corner. False when the memory
// is not there (the layer is unchanged).
bool CropOrPad(Engine& engine, Layer& layer, int32_t w, int32_t h) {
  LayerImage& image = layer.image;
  ZeroedBytes fresh = AllocZeroed(*engine.graphics.pixels, PixelBufferBytes(w, h));
  if (!fresh) return false;
  const size_t rowBytes = static_cast<size_t>(w) * 4;
  uint8_t* out = fresh.get();
  for (size_t i = 0; i < static_cast<size_t>(w) * static_cast<size_t>(h + 1); ++i) out[i * 4 + 3] = 255;
  if (image.pixels) {
    const int32_t copyW = std::min(image.width, w);
    const int32_t copyH = std::min(image.height, h);
    const size_t oldRowBytes = static_cast<size_t>(image.width) * 4;
    // Rows are stored bottom-up: top row y lives in memory row height-1-y.
    for (int32_t y = 0; y < copyH; ++y) {
      const uint8_t* from = image.pixels.get() + static_cast<size_t>(image.height - 1 - y) * oldRowBytes;
      std::memcpy(out + static_cast<size_t>(h - 1 - y) * rowBytes, from, static_cast<size_t>(copyW) * 4);
    }
  }
  image.pixels = std::move(fresh);
  image.width = w;
  image.height = h;
  // The pixels are no longer the file's: naming the same file again must
  // load it afresh rather than keep the cropped or padded picture.
  image.effectTouched = 1;
  return true;
}

// Shows the notice of an alpha layer whose size differs and stops the game.
int StopForAlphaSize(Engine& engine) {
  platform::Platform& p = engine.platform;
  if (p.input) p.input->ShowCursor(true);
  if (p.dialogs) {
    platform::MessageBoxDesc desc;
    desc.textSjis = std::string(kAlphaSizeMismatch);
    desc.buttons = platform::DialogButtons::Ok;
    p.dialogs->ShowMessage(desc);
  }
  engine.shell.flags.halted = true;
  return -1;
}

// Stores an integer 16 or 8 bits wide and tells whether it changed.
template <typename Field>
bool StoreChanged(Field& field, int64_t value) {
  const Field v = static_cast<Field>(value);
  if (v == field) return false;
  field = v;
  return true;
}

// The pixel of `layer` at top-down (x, y) of its own picture, or null
// outside it or before the first picture.
const uint8_t* PixelAt(const Layer& layer, int64_t x, int64_t y) {
  const LayerImage& image = layer.image;
  if (!image.pixels || x < 0 || y < 0 || x >= image.width || y >= image.height) return nullptr;
  return image.pixels.get() +
         (static_cast<size_t>(image.height - 1 - y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
}

int64_t Rgb(const uint8_t* p) { return (int64_t{p[2]} << 16) | (int64_t{p[1]} << 8) | p[0]; }

// The pixel of the layer of `node` under the main window's point (px, py):
// the layer's rectangle is carried up to the window's root, cut at every
// level to the parent's picture. Null when the point is outside the window
// or outside what is left of the layer.
const uint8_t* PixelUnderPoint(Engine& engine, const NameNode& node, const Layer& layer, int64_t px, int64_t py) {
  const shell::WindowRecord& window = engine.windows[0];
  if (px < 0 || py < 0 || px >= window.clientWidth || py >= window.clientHeight) return nullptr;
  int64_t left = 0, top = 0, right = layer.Width() - 1, bottom = layer.Height() - 1;
  int64_t originX = 0, originY = 0;
  for (const NameNode* n = &node; n->parent != nullptr; n = n->parent) {
    const Layer* self = LayerOf(n);
    const Layer* parent = LayerOf(n->parent);
    // The window's root layer is the window: its parent is the tree's root.
    if (self == nullptr || parent == nullptr) break;
    left = std::max<int64_t>(left + self->x, 0);
    top = std::max<int64_t>(top + self->y, 0);
    right = std::min<int64_t>(right + self->x, parent->Width() - 1);
    bottom = std::min<int64_t>(bottom + self->y, parent->Height() - 1);
    originX += self->x;
    originY += self->y;
  }
  if (px < left || px > right || py < top || py > bottom) return nullptr;
  return PixelAt(layer, px - originX, py - originY);
}

// One edge of the box of pixels whose alpha is not 0 (edge 1 top, 2
// bottom, 3 left, 4 right, top-down coordinates); -1 when there is no such
// pixel, 0 for any other edge number.
int64_t OpaqueBound(const Layer& layer, int64_t edge) {
  const LayerImage& image = layer.image;
  if (!image.pixels) return -1;
  int64_t top = -1, bottom = -1, left = image.width, right = -1;
  for (int32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = PixelAt(layer, 0, y);
    for (int32_t x = 0; x < image.width; ++x) {
      if (row[static_cast<size_t>(x) * 4 + 3] == 0) continue;
      if (top < 0) top = y;
      bottom = y;
      left = std::min<int64_t>(left, x);
      right = std::max<int64_t>(right, x);
    }
  }
  if (top < 0) return -1;
  switch (edge) {
    case 1: return top;
    case 2: return bottom;
    case 3: return left;
    case 4: return right;
    default: return 0;
  }
}

// The GIF frame the layer shows, or null for other pictures.
const GifFrame* CurrentGifFrame(const Layer& layer) {
  const LayerImage& image = layer.image;
  if (image.imageKind != resource::kTypeGif || image.frame < 0 ||
      static_cast<size_t>(image.frame) >= image.frames.size()) {
    return nullptr;
  }
  return image.frames[static_cast<size_t>(image.frame)].get();
}

// What the window-point selectors read of one pixel (null: none).
int64_t ScreenValue(int selector, const uint8_t* p) {
  if (p == nullptr) return -1;
  switch (selector) {
    case kGetScreenColor: return Rgb(p);
    case kGetScreenAlpha: return p[3];
    default: return static_cast<int32_t>((uint32_t{p[3]} << 24) | static_cast<uint32_t>(Rgb(p)));
  }
}

}  // namespace

int8_t LayerSetCommand(Engine& engine) {
  if (script::PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  const uint8_t command = engine.script.interp.current.index;
  const std::string_view cmd = script::CommandName(engine, command);
  if (CheckGuardedArgs(engine, a, command) != 0) return -1;

  std::string path;
  const int kind = LayerPath(engine, kSetName, kSetNumber, path);
  if (kind < 0) return -1;
  const bool group = kind == 1;
  NameNode* node = nullptr;
  if (FindLayer(engine, path, kind, node) != 0) return -1;
  Layer* layer = LayerOf(node);
  bool changed = false;

  // 1. Priority: an existing layer moves among its siblings at once.
  int64_t priority = a.Has(kSetNumber) ? a.Number(kSetNumber) : kNoPriority;
  if (a.Has(kSetPriority)) {
    const ArgSlot& p = a.Get(kSetPriority);
    priority = ApplyPriority(p.assignOp, layer != nullptr ? node->key : 1, p.number);
    if (layer != nullptr && script::ReKey(*node, priority) != 0) changed = true;
  }

  // 2. A layer that does not exist yet.
  if (layer == nullptr) {
    if (!group) {
      if (!a.Has(kSetFile)) {
        if (engine.script.interp.optionFlags[0] == 0) return 0;
        return static_cast<int8_t>(resource::ReportError(engine, kErrMissingImageLayer, true, {cmd, path}));
      }
      if (priority == kNoPriority) return static_cast<int8_t>(resource::ReportError(engine, kErrNoPriority, true, {cmd}));
      node = script::NewNodeFromPath(engine, path, script::kLeafNode, priority, LayerRoot(engine), nullptr);
      if (node == nullptr) return -1;
      layer = &AttachNewLayer(*node);
    } else {
      if (a.Has(kSetFile)) return static_cast<int8_t>(resource::ReportError(engine, kErrFileForGroup, true, {cmd}));
      if (!a.Has(kSetWidth) || !a.Has(kSetHeight)) {
        return static_cast<int8_t>(resource::ReportError(engine, kErrGroupWithoutSize, true, {cmd}));
      }
      if (priority == kNoPriority) return static_cast<int8_t>(resource::ReportError(engine, kErrNoPriority, true, {cmd}));
      layer = CreateGroupLayer(engine, path, static_cast<int32_t>(a.Number(kSetWidth)),
                               static_cast<int32_t>(a.Number(kSetHeight)), priority);
      if (layer == nullptr) return -1;
      node = layer->node;
    }
  }

  // 3. The picture. A picture that cannot be loaded ends the game.
  if (a.Has(kSetFile)) {
    if (group) return static_cast<int8_t>(resource::ReportError(engine, kErrFileForGroup, true, {cmd}));
    MarkAreaDirty(*node);
    const std::string file(a.Get(kSetFile).Text());
    if (LoadImageIntoLayer(engine, layer->image, file, cmd) != 0) {
      engine.shell.flags.halted = true;
      return -1;
    }
    changed = true;
  }

  // 4. Alpha from another image layer's blue bytes; a path that names no
  // image layer is ignored.
  if (a.Has(kSetAlphaLayer) || a.Has(kSetAlphaNumber)) {
    std::string alphaPath;
    const int alphaKind = LayerPath(engine, kSetAlphaLayer, kSetAlphaNumber, alphaPath);
    if (alphaKind < 0) return -1;
    NameNode* source = nullptr;
    if (alphaKind == 0 && FindLayer(engine, alphaPath, script::kFindLeaf, source) != 0) return -1;
    if (const Layer* from = LayerOf(source)) {
      if (from->Width() != layer->Width() || from->Height() != layer->Height()) {
        return static_cast<int8_t>(StopForAlphaSize(engine));
      }
      if (from->image.pixels && layer->image.pixels) {
        CopyBlueToAlpha(*from, *layer);
        layer->image.hasAlpha = 1;
        // The pixels changed: the area must be drawn again.
        changed = true;
      }
    }
  }

  // 5. The transition mask's path (no change by itself: the mask layer's
  // level decides what is drawn).
  if (a.Has(kSetMask) || a.Has(kSetMaskNumber)) {
    std::string mask(a.Get(kSetMask).Text());
    if (a.Has(kSetMaskNumber)) {
      mask += '.';
      mask += script::IntegerToText(a.Number(kSetMaskNumber));
    }
    mask.resize(common::SjisPrefixLength(mask, kMaxMaskPath));
    layer->maskPath = std::move(mask);
  }

  // 6, 7. Visibility and opacity.
  if (a.Has(kSetVisible)) changed |= StoreChanged(layer->visible, a.Number(kSetVisible));
  if (a.Has(kSetOpacity)) {
    const ArgSlot& s = a.Get(kSetOpacity);
    changed |= StoreChanged(layer->opacity, ClampedOp(s.assignOp, layer->opacity, s.number, 0, kFullOpacity));
  }

  // 8. Position: the old area is marked before the layer leaves it; the
  // new one is marked at the end.
  for (const int id : {kSetX, kSetY}) {
    if (!a.Has(id)) continue;
    int64_t& field = id == kSetX ? layer->x : layer->y;
    const ArgSlot& s = a.Get(id);
    const int64_t v = Low32(ApplyOperator(s.assignOp, field, s.number));
    if (v == field) continue;
    if (group) {
      MarkLayerDirty(*node);
    } else {
      MarkAreaDirty(*node);
    }
    field = v;
    changed = true;
  }

  // 9. A group layer's new size: cleared and composed from its children
  // at once, so that the next frame does not show it empty.
  if (group && (a.Has(kSetWidth) || a.Has(kSetHeight))) {
    for (const int id : {kSetWidth, kSetHeight}) {
      if (!a.Has(id)) continue;
      MarkLayerDirty(*node);
      const int32_t w = id == kSetWidth ? static_cast<int32_t>(a.Number(id)) : layer->Width();
      const int32_t h = id == kSetHeight ? static_cast<int32_t>(a.Number(id)) : layer->Height();
      if (!ResizeCleared(engine, *layer, w, h)) return static_cast<int8_t>(ReportPixelsOutOfMemory(engine));
      MarkWholeDirty(*layer);
      MarkLayerDirty(*node);
    }
    // Composing once after both sides gives the same pixels as after each.
    if (ComposeLayer(engine, *node, true) != 0) return -1;
  }

  // 10. An image layer cropped or padded to a size, right after its file.
  if (!group && (a.Has(kSetWidth) || a.Has(kSetHeight))) {
    if (!a.Has(kSetFile)) return static_cast<int8_t>(resource::ReportError(engine, kErrResizeWithoutFile, true, {cmd}));
    if (!a.Has(kSetWidth) || !a.Has(kSetHeight)) {
      return static_cast<int8_t>(resource::ReportError(engine, kErrResizeWithoutBothSides, true, {cmd}));
    }
    MarkAreaDirty(*node);
    if (!CropOrPad(engine, *layer, static_cast<int32_t>(a.Number(kSetWidth)), static_cast<int32_t>(a.Number(kSetHeight)))) {
      return static_cast<int8_t>(ReportPixelsOutOfMemory(engine));
    }
    MarkAreaDirty(*node);
  }

  // 11-13. Mask level, mask edge and blend operation.
  if (a.Has(kSetMaskLevel)) {
    const ArgSlot& s = a.Get(kSetMaskLevel);
    changed |= StoreChanged(layer->maskLevel, ClampedOp(s.assignOp, layer->maskLevel, s.number, 0, kFullOpacity));
  }
  if (a.Has(kSetMaskVague)) changed |= StoreChanged(layer->maskVague, a.Number(kSetMaskVague));
  if (a.Has(kSetBlend)) changed |= StoreChanged(layer->blendOp, a.Number(kSetBlend));

  // 14. The frame of an animated picture.
  if (a.Has(kSetFrame)) {
    LayerImage& image = layer->image;
    const ArgSlot& s = a.Get(kSetFrame);
    const int32_t frame = static_cast<int32_t>(Low32(ApplyOperator(s.assignOp, image.frame, s.number)));
    if (frame < 0 || static_cast<uint32_t>(frame) >= image.frameCount) {
      return static_cast<int8_t>(resource::ReportError(
          engine, kErrFrameOutOfRange, true,
          {cmd, script::ArgumentName(engine, command, kSetFrame), static_cast<long long>(frame),
           static_cast<long long>(image.frameCount) - 1}));
    }
    if (image.imageKind == resource::kTypeGif) {
      image.frame = frame;
      ShowGifFrame(image, frame);
      changed = true;
    } else {
      changed |= frame != image.frame;
      image.frame = frame;
    }
  }

  // 15. Whatever changed is drawn again in the next frame.
  if (changed) MarkAreaDirty(*node);
  return 0;
}

int8_t LayerDeleteCommand(Engine& engine) {
  if (script::PrepareArgs(engine) != 0) return -1;
  std::string path;
  const int kind = LayerPath(engine, kSetName, kSetNumber, path);
  if (kind < 0) return -1;
  NameNode* node = nullptr;
  if (FindLayer(engine, path, kind, node) != 0) return -1;
  if (node == nullptr) return 0;
  MarkAreaDirty(*node);
  DeleteLayerTree(engine, *node);
  return 0;
}

int8_t LayerGetCommand(Engine& engine) {
  if (script::PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  const uint8_t command = engine.script.interp.current.index;
  const ArgSlot& out = a.Get(kGetTarget);

  std::string path;
  const int kind = LayerPath(engine, kGetName, kGetNumber, path);
  if (kind < 0) return -1;
  NameNode* node = nullptr;
  if (FindLayer(engine, path, kind, node) != 0) return -1;
  const Layer* layer = LayerOf(node);
  if (layer == nullptr) {
    // Whatever the query, a missing layer reads as nothing.
    switch (script::VariableTypeOf(engine, out.variable)) {
      case script::kTypeText: return static_cast<int8_t>(script::StoreTextTo(engine, out, {}));
      case script::kTypeFloat: return static_cast<int8_t>(script::StoreFloatTo(engine, out, 0.0));
      default: return static_cast<int8_t>(script::StoreIntegerTo(engine, out, 0));
    }
  }

  const auto selector = std::find_if(kSelectorOrder.begin(), kSelectorOrder.end(), [&](int id) { return a.Has(id); });
  if (selector == kSelectorOrder.end()) return 0;
  if (*selector == kGetMask) return static_cast<int8_t>(script::StoreTextTo(engine, out, layer->maskPath));

  const GifFrame* gif = CurrentGifFrame(*layer);
  int64_t value = 0;
  switch (*selector) {
    case kGetExists: value = 1; break;
    case kGetVisible: value = layer->visible; break;
    case kGetOpacity: value = layer->opacity; break;
    case kGetMaskLevel: value = layer->maskLevel; break;
    case kGetMaskVague: value = layer->maskVague; break;
    case kGetX: value = layer->x; break;
    case kGetY: value = layer->y; break;
    case kGetPriority: value = node->key; break;
    case kGetBlend: value = layer->blendOp; break;
    case kGetFrame: value = layer->image.frame; break;
    case kGetFrameCount: value = layer->image.frameCount; break;
    case kGetWidth: value = layer->Width(); break;
    case kGetHeight: value = layer->Height(); break;
    case kGetFrameLoops: value = gif != nullptr ? gif->loopCount : 0; break;
    case kGetFrameDelay: value = gif != nullptr ? gif->delay : 0; break;
    case kGetScreenColor:
    case kGetScreenAlpha:
    case kGetScreenArgb: {
      const shell::WindowRecord& window = engine.windows[0];
      const int64_t px = a.Has(kGetPx) ? a.Number(kGetPx) : window.mouseX;
      const int64_t py = a.Has(kGetPy) ? a.Number(kGetPy) : window.mouseY;
      value = ScreenValue(*selector, PixelUnderPoint(engine, *node, *layer, px, py));
      break;
    }
    case kGetPixelColor: {
      if (!a.Has(kGetPx) || !a.Has(kGetPy)) {
        return static_cast<int8_t>(resource::ReportError(
            engine, kErrPixelWithoutPoint, true,
            {script::CommandName(engine, command), script::ArgumentName(engine, command, kGetPixelColor)}));
      }
      const uint8_t* p = PixelAt(*layer, a.Number(kGetPx), a.Number(kGetPy));
      value = p != nullptr ? Rgb(p) : -1;
      break;
    }
    default: value = OpaqueBound(*layer, a.Number(kGetPx)); break;
  }
  return static_cast<int8_t>(script::StoreIntegerTo(engine, out, value));
}

void BindLayerCommands(script::HandlerTable& table) {
  script::BindCommand(table, 0, LayerSetCommand);
  script::BindCommand(table, 2, LayerDeleteCommand);
  script::BindCommand(table, 3, LayerGetCommand);
}

}  // namespace vv::graphics
