#include "graphics/compositor.h"

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/blend.h"
#include "graphics/layer.h"
#include "graphics/mask_weight.h"
#include "resource/error_reporter.h"
#include "shell/engine.h"

namespace vv::graphics {

namespace {

// Whether child `c` covers rectangle r completely with opaque pixels, so
// nothing below it needs drawing there. Only visible 1 counts: other
// non-zero values draw the layer without letting it hide anything.
bool Hides(const Layer& c, const DirtyRect& r) {
  if (c.visible != 1 || c.blendOp != kBlendNormal || c.opacity != 256 || c.image.hasAlpha != 0) return false;
  if (!c.maskPath.empty() && c.maskLevel != 256) return false;
  if (!c.image.pixels) return false;
  return c.x <= r.left && c.y <= r.top && c.x + c.Width() - 1 >= r.right && c.y + c.Height() - 1 >= r.bottom;
}

uint8_t* PixelAt(Layer& l, int64_t column, int64_t memoryRow) {
  return l.image.pixels.get() + (memoryRow * l.Width() + column) * 4;
}

// The mask layer a child names, or null for none. -1 in `status` after a
// reported path error.
const Layer* FindMask(Engine& engine, const Layer& c, int& status) {
  status = 0;
  if (c.maskPath.empty()) return nullptr;
  std::string path;
  script::NameTree& tree = engine.script.trees[script::TreeId::kLayers];
  if (script::ComposePath(engine, path, c.maskPath, tree.currentFolder, false) < 0) {
    status = -1;
    return nullptr;
  }
  // A missing folder on the way is reported by the lookup and stops the
  // composition; a missing mask layer only means no mask.
  const size_t reportsBefore = engine.errors.reports.size();
  const Layer* mask = LayerOf(script::FindNode(engine, *tree.root, path, script::kFindLeaf));
  if (engine.errors.reports.size() != reportsBefore) status = -1;
  return mask;
}

// Draws the part of child `c` inside rectangle r into `l`. 0 or -1.
int DrawChild(Engine& engine, Layer& l, Layer& c, const DirtyRect& r) {
  if (c.visible == 0 || c.opacity == 0) return 0;
  if (!c.maskPath.empty() && c.maskLevel == 0) return 0;
  const int64_t ix0 = std::max(c.x, r.left);
  const int64_t iy0 = std::max(c.y, r.top);
  const int64_t ix1 = std::min(c.x + c.Width() - 1, r.right);
  const int64_t iy1 = std::min(c.y + c.Height() - 1, r.bottom);
  if (ix0 > ix1 || iy0 > iy1) return 0;

  int status = 0;
  const Layer* mask = FindMask(engine, c, status);
  if (status < 0) return -1;
  if (!c.image.pixels) return 0;

  const int width = static_cast<int>(ix1 - ix0 + 1);
  const int rows = static_cast<int>(iy1 - iy0 + 1);
  const int bytes = width * 4;
  const int64_t srcColumn = ix0 - c.x;
  int64_t dstRow = l.Height() - 1 - iy1;
  int64_t srcRow = c.Height() - 1 - (iy1 - c.y);
  const int index = BlendRowIndex(c.blendOp, c.opacity);
  if (index < 0) return 0;  // the command table keeps such values out
  const BlendRowTables& tables = *engine.graphics.blendRows;

  if (mask != nullptr && c.maskLevel < 256) {
    if (mask->Width() != c.Width() || mask->Height() != c.Height()) {
      return resource::ReportError(engine, kErrMaskSize, true,
                                   {c.node->name, c.Width(), c.Height(), mask->node->name, mask->Width(),
                                    mask->Height()});
    }
    if (!mask->image.pixels) return 0;
    BuildMaskWeight(engine.graphics.maskWeight, c.maskLevel, c.maskVague, c.opacity);
    const MaskedRowFn row = c.image.hasAlpha == 1 ? tables.maskedAlpha[index] : tables.masked[index];
    if (row == nullptr) return 0;
    const uint8_t* maskPixels = mask->image.pixels.get();
    for (int i = 0; i < rows; ++i, ++dstRow, ++srcRow) {
      const int64_t at = (srcRow * c.Width() + srcColumn) * 4;
      row(PixelAt(l, ix0, dstRow), c.image.pixels.get() + at, maskPixels + at, engine.graphics.maskWeight,
          c.opacity, c.maskLevel, c.maskVague, bytes);
    }
    return 0;
  }

  const BlendRowFn row = c.image.hasAlpha == 1 ? tables.alpha[index] : tables.plain[index];
  if (row == nullptr) return 0;
  for (int i = 0; i < rows; ++i, ++dstRow, ++srcRow) {
    row(PixelAt(l, ix0, dstRow), PixelAt(c, srcColumn, srcRow), c.opacity, bytes);
  }
  return 0;
}

}  // namespace

int ComposeLayer(Engine& engine, script::NameNode& node, bool asChild) {
  Layer* l = LayerOf(&node);
  if (l == nullptr) return 0;
  // A group drawn into its parent is opaque: where none of its children
  // drew, it shows black.
  l->image.hasAlpha = asChild ? 0 : 1;
  if (!l->image.pixels) return 0;
  const int64_t maxX = l->Width() - 1, maxY = l->Height() - 1;
  const PixelOps& ops = *engine.graphics.pixels;

  for (int i = 0; i < kDirtySlots; ++i) {
    if (!l->dirtyUsed[i]) continue;
    DirtyRect r = l->dirty[i];
    r.left = std::clamp<int64_t>(r.left, 0, maxX);
    r.right = std::clamp<int64_t>(r.right, 0, maxX);
    r.top = std::clamp<int64_t>(r.top, 0, maxY);
    r.bottom = std::clamp<int64_t>(r.bottom, 0, maxY);
    if (r.left > r.right || r.top > r.bottom) continue;

    l->presentRect.Unite(r);
    if (l->wholeDirty) {
      l->presentRect = {0, 0, maxX, maxY};
      l->wholeDirty = 0;
    }

    script::NameNode* start = nullptr;
    for (script::NameNode* c = node.lastChild; c != nullptr; c = c->previous) {
      const Layer* child = LayerOf(c);
      if (child != nullptr && Hides(*child, r)) {
        start = c;
        break;
      }
    }
    if (start == nullptr) {
      const int bytes = static_cast<int>((r.right - r.left + 1) * 4);
      for (int64_t y = r.top; y <= r.bottom; ++y) ops.ZeroFill(PixelAt(*l, r.left, maxY - y), bytes);
      start = node.firstChild;
    }

    for (script::NameNode* c = start; c != nullptr; c = c->next) {
      Layer* child = LayerOf(c);
      if (child == nullptr) continue;
      // A group is brought up to date before it is drawn; once per frame
      // is enough, however many of this layer's rectangles reach it.
      if (c->kind == script::kFolderNode && !child->composedAsChild) {
        if (ComposeLayer(engine, *c, true) != 0) return -1;
        child->composedAsChild = 1;
      }
      if (DrawChild(engine, *l, *child, r) != 0) return -1;
    }
  }
  return 0;
}

void PresentLayer(Engine& engine, int slot, script::NameNode& root) {
  Layer* r = LayerOf(&root);
  if (r == nullptr || !r->image.pixels) return;
  const DirtyRect& p = r->presentRect;
  const int64_t l = std::max<int64_t>(p.left, 0), t = std::max<int64_t>(p.top, 0);
  const int64_t rt = std::min<int64_t>(p.right, r->Width() - 1), b = std::min<int64_t>(p.bottom, r->Height() - 1);
  if (l > rt || t > b) return;
  const platform::FrameView frame{r->image.pixels.get(), r->Width(), r->Height(), r->Width() * 4};
  const platform::Rect area{static_cast<int>(l), static_cast<int>(t), static_cast<int>(rt + 1),
                            static_cast<int>(b + 1)};
  engine.platform.display->Present(slot, frame, area);
}

int PresentWindow(Engine& engine, int slot) {
  shell::WindowRecord& w = engine.windows[slot];
  if (!w.open || !w.created) return engine.shell.flags.halted ? 1 : 0;
  Layer* root = LayerOf(w.rootLayer);
  if (w.showsLayers && root != nullptr && root->visible != 0) {
    w.layersShown = true;
    if (root->changed && ComposeLayer(engine, *w.rootLayer, false) != 0) return -1;
    if (root->changed || w.needsPresent) {
      // A display that lost its picture (a new window, a mode change) gets
      // the whole root again, composed or not.
      if (w.needsPresent) root->presentRect = {0, 0, root->Width() - 1, root->Height() - 1};
      w.needsPresent = false;
      PresentLayer(engine, slot, *w.rootLayer);
    }
  } else if (w.layersShown || w.needsPresent) {
    w.layersShown = false;
    w.needsPresent = false;
    const std::vector<uint8_t> black(static_cast<size_t>(std::max(w.clientWidth, 1)) * 4 *
                                         static_cast<size_t>(std::max(w.clientHeight, 1)),
                                     0);
    const platform::FrameView frame{black.data(), w.clientWidth, w.clientHeight, w.clientWidth * 4};
    engine.platform.display->Present(slot, frame, {0, 0, w.clientWidth, w.clientHeight});
  }
  return engine.shell.flags.halted ? 1 : 0;
}

}  // namespace vv::graphics
