// Fuzz target: composition and presentation of a layer tree the input
// describes, with any positions, sizes, opacities, blend values, masks and
// dirty rectangles, over two frames.
//
// Input, read until it runs out: root width and height (u8 each, 1..64),
// then up to 12 layer records of 17 bytes:
//   parent u8 (0 the root, k the k-th earlier group), group u8 (bit 0),
//   width u8, height u8, x i16, y i16, opacity i16, blend u8, visible u8,
//   hasAlpha u8, mask u8 (0 none, k the k-th earlier image layer),
//   maskLevel u8 (times 2), maskVague u8 (times 2), fill u8;
// then dirty rectangles of 17 bytes: layer u8 (0 the root), and left,
// top, right, bottom as i32.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "graphics/compositor.h"
#include "graphics/layer.h"
#include "platform/platform.h"
#include "shell/engine.h"

namespace {

constexpr int kMaxLayers = 12;

struct Made {
  vv::script::NameNode* node = nullptr;
  std::string path;  // relative to the layer tree's current folder "W0"
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv;
  common::ByteReader r(data, size);
  const int rootW = 1 + r.U8() % 64, rootH = 1 + r.U8() % 64;
  if (!r.ok()) return 0;

  platform::HeadlessOptions options;
  options.gameDir = "/nonexistent-vavevo-fuzz";
  std::string error;
  auto p = platform::CreateHeadlessPlatform(options, error);
  if (!p) return 0;
  Engine engine(*p);
  platform::WindowDesc desc;
  desc.client = {rootW, rootH};
  shell::WindowRecord& w = engine.windows[0];
  w.created = p->display->CreateWindow(0, desc);
  w.open = true;
  w.clientWidth = rootW;
  w.clientHeight = rootH;
  graphics::Layer* root = graphics::CreateGroupLayer(engine, "W0", rootW, rootH, 0);
  if (root == nullptr) return 0;
  w.rootLayer = root->node;
  w.showsLayers = true;

  std::vector<Made> groups{{root->node, ""}};
  std::vector<Made> images;
  std::vector<graphics::Layer*> all{root};
  for (int i = 0; i < kMaxLayers && r.remaining() >= 17; ++i) {
    const Made& parent = groups[r.U8() % groups.size()];
    const bool group = r.U8() & 1;
    const int lw = 1 + r.U8() % 64, lh = 1 + r.U8() % 64;
    const int16_t x = static_cast<int16_t>(r.U16()), y = static_cast<int16_t>(r.U16());
    const int16_t opacity = static_cast<int16_t>(r.U16());
    const int8_t blend = static_cast<int8_t>(r.U8() % 21);  // 19 and 20 have no rows
    const int8_t visible = static_cast<int8_t>(r.U8() % 3);
    const int8_t hasAlpha = static_cast<int8_t>(r.U8() & 1);
    const int mask = r.U8();
    const int16_t maskLevel = static_cast<int16_t>(r.U8() * 2), maskVague = static_cast<int16_t>(r.U8() * 2);
    const uint8_t fill = r.U8();

    const std::string name = (group ? "g" : "l") + std::to_string(i);
    const std::string path = parent.path.empty() ? name : parent.path + "/" + name;
    graphics::Layer* l = nullptr;
    if (group) {
      l = graphics::CreateGroupLayer(engine, "W0/" + path, lw, lh, i);
      if (l == nullptr) return 0;
      groups.push_back({l->node, path});
    } else {
      script::NameNode* node = script::NewNodeFromPath(engine, "W0/" + path, script::kLeafNode, i,
                                                       graphics::LayerRoot(engine), nullptr);
      if (node == nullptr) return 0;
      l = &graphics::AttachNewLayer(*node);
      if (!graphics::AllocatePixels(*engine.graphics.pixels, l->image, lw, lh)) return 0;
      uint8_t* px = l->image.pixels.get();
      for (size_t b = 0; b < static_cast<size_t>(lw) * lh * 4; ++b) px[b] = static_cast<uint8_t>(fill * 31 + b * 7);
      l->image.hasAlpha = hasAlpha;
      images.push_back({node, path});
    }
    l->x = x;
    l->y = y;
    l->opacity = opacity;
    l->blendOp = blend;
    l->visible = visible;
    l->maskLevel = maskLevel;
    l->maskVague = maskVague;
    if (mask != 0 && !images.empty()) l->maskPath = images[(mask - 1) % images.size()].path;
    graphics::MarkAreaDirty(*l->node);
    all.push_back(l);
  }
  while (r.remaining() >= 17) {
    graphics::Layer* l = all[r.U8() % all.size()];
    graphics::DirtyRect d;
    d.left = static_cast<int32_t>(r.U32());
    d.top = static_cast<int32_t>(r.U32());
    d.right = static_cast<int32_t>(r.U32());
    d.bottom = static_cast<int32_t>(r.U32());
    graphics::AddDirtyRect(*l, d);
    graphics::MarkLayerDirty(*l->node);
  }

  for (int frame = 0; frame < 2 && !engine.shell.flags.halted; ++frame) {
    graphics::PresentWindow(engine, 0);
    graphics::ResetDirtyState(graphics::LayerRoot(engine));
    graphics::MarkAreaDirty(*all.back()->node);
  }
  return 0;
}
