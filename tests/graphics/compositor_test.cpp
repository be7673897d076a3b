// Composition and presentation: which children are drawn into which dirty
// rectangles, with which rows, and what reaches the window (headless
// framebuffer and SDL's offscreen driver).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "graphics/compositor.h"
#include "graphics/layer.h"
#include "platform/headless/headless_platform.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_platform.h"
#include "shell/engine.h"
#include "shell/main_window.h"
#include "support/temp_game.h"

namespace vv::graphics {
namespace {

constexpr int kW = 64, kH = 48;

// An engine with window 0 open at kW x kH and its root layer "W0".
class Scene {
 public:
  explicit Scene(std::unique_ptr<platform::Platform> p) : platform_(std::move(p)), engine_(*platform_) {
    platform::WindowDesc desc;
    desc.client = {kW, kH};
    shell::WindowRecord& w = engine_.windows[0];
    w.created = platform_->display->CreateWindow(0, desc);
    w.open = true;
    w.clientWidth = kW;
    w.clientHeight = kH;
    Layer* root = CreateGroupLayer(engine_, "W0", kW, kH, 0);
    root->isWindowRoot = 1;
    w.rootLayer = root->node;
    w.showsLayers = true;
  }

  Engine& engine() { return engine_; }
  platform::Platform& platform() { return *platform_; }
  Layer& Root() { return *LayerOf(engine_.windows[0].rootLayer); }

  // An image layer at `path` filled with 0xAARRGGBB, its area dirtied as
  // loading a picture does.
  Layer& Image(const std::string& path, int64_t priority, int w, int h, uint32_t argb, int64_t x = 0,
               int64_t y = 0, int8_t hasAlpha = 0) {
    script::NameNode* node = script::NewNodeFromPath(engine_, path, script::kLeafNode, priority,
                                                     LayerRoot(engine_), nullptr);
    Layer& l = AttachNewLayer(*node);
    EXPECT_TRUE(AllocatePixels(*engine_.graphics.pixels, l.image, w, h));
    engine_.graphics.pixels->FillPixels(l.image.pixels.get(), w * h * 4, argb);
    l.image.hasAlpha = hasAlpha;
    l.x = x;
    l.y = y;
    MarkAreaDirty(*node);
    return l;
  }
  Layer& Group(const std::string& path, int64_t priority, int w, int h, int64_t x = 0, int64_t y = 0) {
    Layer* g = CreateGroupLayer(engine_, path, w, h, priority);
    g->x = x;
    g->y = y;
    MarkAreaDirty(*g->node);
    return *g;
  }

  // One frame's composition and presentation, then the dirty state reset.
  int Frame() {
    const int r = PresentWindow(engine_, 0);
    ResetDirtyState(LayerRoot(engine_));
    return r;
  }

 private:
  std::unique_ptr<platform::Platform> platform_;
  Engine engine_;
};

// 0xAARRGGBB of layer pixel (x, y), top-down coordinates.
uint32_t PixelOf(const Layer& l, int x, int y) {
  const uint8_t* p = l.image.pixels.get() + (static_cast<size_t>(l.Height() - 1 - y) * l.Width() + x) * 4;
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

void SetPixel(Layer& l, int x, int y, uint32_t argb) {
  uint8_t* p = l.image.pixels.get() + (static_cast<size_t>(l.Height() - 1 - y) * l.Width() + x) * 4;
  p[0] = argb & 0xFF;
  p[1] = (argb >> 8) & 0xFF;
  p[2] = (argb >> 16) & 0xFF;
  p[3] = argb >> 24;
}

class CompositorTest : public ::testing::Test {
 protected:
  CompositorTest() : scene_(game_.Headless()) {}
  platform::HeadlessPlatform& headless() { return static_cast<platform::HeadlessPlatform&>(scene_.platform()); }
  // 0xRRGGBB the window shows at (x, y).
  uint32_t Shown(int x, int y) {
    const platform::MemoryWindow* w = headless().Framebuffers().Window(0);
    const uint8_t* p = w->pixels.data() + (static_cast<size_t>(y) * w->client.width + x) * 4;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }
  uint64_t Presents() { return headless().Framebuffers().Window(0)->presents; }
  Engine& engine() { return scene_.engine(); }

  testing::TempGame game_;
  Scene scene_;
};

TEST_F(CompositorTest, OnlyAHidingChildCutsOffTheChildrenBelow) {
  // A group below the covering layer is composed only when the drawing
  // reaches it: that is what tells whether the search stopped above it.
  struct Case {
    int8_t visible;
    int16_t opacity;
    int8_t hasAlpha;
    int8_t blend;
    bool masked;
    bool belowReached;
  };
  const Case cases[] = {
      {1, 256, 0, 0, false, false},  // opaque, unmasked, normal: hides
      {2, 256, 0, 0, false, true},   // drawn, but visible 2 never hides
      {1, 255, 0, 0, false, true},   {1, 256, 1, 0, false, true},
      {1, 256, 0, 1, false, true},   {1, 256, 0, 0, true, true},
  };
  for (const Case& c : cases) {
    testing::TempGame game;
    Scene s(game.Headless());
    Layer& below = s.Group("W0/below", 1, kW, kH);
    Layer& top = s.Image("W0/top", 2, kW, kH, 0xFF0000FF);
    top.visible = c.visible;
    top.opacity = c.opacity;
    top.image.hasAlpha = c.hasAlpha;
    top.blendOp = c.blend;
    if (c.masked) {
      s.Image("W0/mask", 0, kW, kH, 0xFFFFFFFF).visible = 0;
      top.maskPath = "mask";
      top.maskLevel = 128;
    }
    ASSERT_EQ(s.Frame(), 0);
    // A composed group has its picture out of date no more.
    EXPECT_EQ(below.wholeDirty == 0, c.belowReached) << int(c.visible) << " " << c.opacity << " "
                                                     << int(c.hasAlpha) << " " << int(c.blend) << " "
                                                     << c.masked;
  }
}

TEST_F(CompositorTest, GroupDrawnIntoItsParentIgnoresItsAlpha) {
  scene_.Image("W0/red", 1, kW, kH, 0xFFFF0000);
  scene_.Group("W0/group", 2, 20, 20, 10, 10);
  scene_.Image("W0/group/dot", 1, 4, 4, 0xFF00FF00, 2, 2);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Shown(0, 0), 0xFF0000u);   // outside the group
  EXPECT_EQ(Shown(12, 12), 0x00FF00u);  // the group's child
  EXPECT_EQ(Shown(25, 25), 0x000000u);  // group area where nothing drew: black, not red
}

TEST_F(CompositorTest, GroupIsComposedAgainOnlyAfterItsAreaChanged) {
  Layer& g = scene_.Group("W0/g", 1, 16, 16);
  Layer& dot = scene_.Image("W0/g/dot", 1, 4, 4, 0xFF0000FF);
  // Two separate rectangles of the root reach the group; the group's own
  // rectangle is composed once and then drawn into both.
  AddDirtyRect(scene_.Root(), {0, 0, 1, 1});
  AddDirtyRect(scene_.Root(), {10, 10, 12, 12});
  ASSERT_EQ(PresentWindow(scene_.engine(), 0), 0);
  EXPECT_EQ(Shown(1, 1), 0x0000FFu);
  // A change in the same frame, before the reset, is still picked up.
  engine().graphics.pixels->FillPixels(dot.image.pixels.get(), 4 * 4 * 4, 0xFF00FF00);
  MarkAreaDirty(*dot.node);
  EXPECT_EQ(g.composedAsChild, 0);
  ASSERT_EQ(PresentWindow(scene_.engine(), 0), 0);
  EXPECT_EQ(Shown(1, 1), 0x00FF00u);
  EXPECT_EQ(g.composedAsChild, 1);
  ResetDirtyState(LayerRoot(scene_.engine()));
  EXPECT_EQ(g.composedAsChild, 0);
}

TEST_F(CompositorTest, MaskLevelsAndTheHardEdge) {
  scene_.Image("W0/black", 1, kW, kH, 0xFF000000);
  // Mask values 0..63 across the row, times 4: 0, 4, ..., 252.
  Layer& mask = scene_.Image("W0/m", 0, kW, 1, 0);
  mask.visible = 0;
  for (int x = 0; x < kW; ++x) SetPixel(mask, x, 0, 0xFF000000u | static_cast<uint32_t>(x * 4));
  Layer& white = scene_.Image("W0/white", 2, kW, 1, 0xFFFFFFFF);
  white.maskPath = "m";
  white.maskVague = 256;

  struct Case {
    int16_t level;
    int firstShown;  // first column drawn white; kW: none
  };
  // Level 128, hard edge: mask values 128..255 show the layer, the rest not.
  const Case cases[] = {{256, 0}, {0, kW}, {128, 32}, {255, 1}};
  for (const Case& c : cases) {
    white.maskLevel = c.level;
    MarkAreaDirty(*white.node);
    ASSERT_EQ(scene_.Frame(), 0);
    for (int x = 0; x < kW; ++x) {
      EXPECT_EQ(Shown(x, 0), x >= c.firstShown ? 0xFFFFFFu : 0u) << "level " << c.level << " x " << x;
    }
  }
}

TEST_F(CompositorTest, MaskOfAnotherSizeStopsTheComposition) {
  scene_.Image("W0/m", 0, 8, 8, 0xFFFFFFFF).visible = 0;
  Layer& l = scene_.Image("W0/l", 1, 9, 8, 0xFFFFFFFF);
  l.maskPath = "m";
  l.maskLevel = 100;
  EXPECT_EQ(PresentWindow(scene_.engine(), 0), -1);
  ASSERT_FALSE(scene_.engine().errors.reports.empty());
  EXPECT_EQ(scene_.engine().errors.reports.back().code, kErrMaskSize);
  EXPECT_TRUE(scene_.engine().shell.flags.halted);
}

TEST_F(CompositorTest, OpacityPicksTheFullOrThePartialRow) {
  Layer& white = scene_.Image("W0/white", 1, kW, kH, 0xFFFFFFFF);
  for (int16_t opacity : {256, 255}) {
    white.opacity = opacity;
    MarkAreaDirty(*white.node);
    ASSERT_EQ(scene_.Frame(), 0);
    // Over the cleared root: 255 at full opacity, 0 + (255 * 255 >> 8) = 254 at 255.
    EXPECT_EQ(PixelOf(scene_.Root(), 5, 5) & 0xFF, opacity == 256 ? 255u : 254u);
  }
}

TEST_F(CompositorTest, OnlyDirtyRectanglesAreRecomposedAndPresented) {
  Layer& bg = scene_.Image("W0/bg", 1, kW, kH, 0xFF102030);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Shown(40, 40), 0x102030u);

  // Pixels changed behind the compositor's back stay until their area is
  // dirtied; a 4 x 4 area is recomposed and only it reaches the window.
  SetPixel(bg, 1, 1, 0xFFFFFFFF);
  SetPixel(bg, 40, 40, 0xFFFFFFFF);
  Layer& glyph = scene_.Image("W0/glyph", 2, 4, 4, 0xFF00FF00, 38, 38);
  const uint64_t before = Presents();
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Presents(), before + 1);
  EXPECT_EQ(Shown(39, 39), 0x00FF00u);
  EXPECT_EQ(Shown(1, 1), 0x102030u);
  EXPECT_EQ(glyph.presentRect.left, kEmptyRectLow);  // an image layer is never composed

  // Nothing changed: nothing is composed or presented.
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Presents(), before + 1);

  // A dirty rectangle right of the root clamps to its last column.
  scene_.Root().changed = 1;
  AddDirtyRect(scene_.Root(), {kW + 5, 0, kW + 9, kH - 1});
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(scene_.Root().presentRect.left, kEmptyRectLow);  // reset after the frame
  EXPECT_EQ(Shown(1, 1), 0x102030u);
}

TEST_F(CompositorTest, HidingTheRootPaintsTheWindowBlackOnce) {
  scene_.Image("W0/bg", 1, kW, kH, 0xFFFFFFFF);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Shown(3, 3), 0xFFFFFFu);
  scene_.Root().visible = 0;
  const uint64_t before = Presents();
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Presents(), before + 1);
  EXPECT_EQ(Shown(3, 3), 0u);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Presents(), before + 1);
}

TEST_F(CompositorTest, FullScreenSwitchPresentsTheWholePictureAgain) {
  Engine& e = scene_.engine();
  scene_.Image("W0/bg", 1, kW, kH, 0xFF336699);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(shell::SetFullScreen(e, 1), 1);
  EXPECT_TRUE(headless().Framebuffers().Window(0)->fullScreen);
  EXPECT_EQ(shell::SetFullScreen(e, 1), 0);
  const uint64_t before = Presents();
  ASSERT_EQ(scene_.Frame(), 0);  // nothing changed, yet the picture goes out whole
  EXPECT_EQ(Presents(), before + 1);
  EXPECT_EQ(Shown(kW - 1, kH - 1), 0x336699u);
  // Any state but 1 is windowed.
  EXPECT_EQ(shell::SetFullScreen(e, 2), 1);
  EXPECT_FALSE(headless().Framebuffers().Window(0)->fullScreen);

  // A display without the mode: reported without halting, still windowed.
  EXPECT_EQ(shell::SetFullScreen(e, 0), 1);
  headless().Framebuffers().refuseFullScreen = true;
  EXPECT_EQ(shell::SetFullScreen(e, 1), 1);
  ASSERT_FALSE(e.errors.reports.empty());
  EXPECT_EQ(e.errors.reports.back().code, shell::kErrNoDisplayMode);
  EXPECT_FALSE(e.shell.flags.halted);
  EXPECT_EQ(e.shell.flags.fullScreenState, 0);
  EXPECT_FALSE(headless().Framebuffers().Window(0)->fullScreen);
}

TEST_F(CompositorTest, DeletingTheRootLeavesTheWindowBlackAndNothingDangling) {
  scene_.Image("W0/bg", 1, kW, kH, 0xFFFFFFFF);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Shown(3, 3), 0xFFFFFFu);
  Engine& e = scene_.engine();
  e.graphics.textTarget = script::FindNode(e, LayerRoot(e), "W0/bg", script::kFindLeaf);
  LayerOf(e.graphics.textTarget)->isTextTarget = 1;
  DeleteLayerTree(e, *e.windows[0].rootLayer);
  EXPECT_EQ(e.windows[0].rootLayer, nullptr);
  EXPECT_EQ(e.graphics.textTarget, nullptr);
  EXPECT_EQ(LayerRoot(e).firstChild, nullptr);
  ASSERT_EQ(scene_.Frame(), 0);
  EXPECT_EQ(Shown(3, 3), 0u);
}

TEST(DirtyRects, SeventeenthSeparateRectangleMergesIntoSlotZero) {
  Layer l;
  for (int i = 0; i < 17; ++i) AddDirtyRect(l, {i * 10, 0, i * 10 + 2, 2});
  EXPECT_EQ(l.dirtyCount, 16);
  EXPECT_EQ(l.dirty[0].left, 0);
  EXPECT_EQ(l.dirty[0].right, 162);  // widened to the 17th
  EXPECT_EQ(l.dirty[15].left, 150);
  // Touching on the left or top side joins the slot.
  Layer t;
  AddDirtyRect(t, {10, 10, 19, 19});
  AddDirtyRect(t, {0, 10, 9, 19});
  AddDirtyRect(t, {10, 0, 19, 9});
  EXPECT_EQ(t.dirtyCount, 1);
  EXPECT_EQ(t.dirty[0].left, 0);
  EXPECT_EQ(t.dirty[0].top, 0);
}

TEST(StoredLayer, FieldsLandAtTheirOffsets) {
  Layer l;
  l.image.width = 0x1234;
  l.image.height = 0x0567;
  l.x = -2;
  l.y = 0x0102030405060708;
  l.opacity = 200;
  l.maskLevel = 7;
  l.blendOp = 18;
  l.visible = 2;
  l.image.frameCount = 3;
  l.dirty[15].bottom = 99;
  l.dirtyUsed[15] = 1;
  const auto s = EncodeStoredLayer(l);
  const auto u32 = [&](size_t at) { return uint32_t{s[at]} | uint32_t{s[at + 1]} << 8 | uint32_t{s[at + 2]} << 16 |
                                           uint32_t{s[at + 3]} << 24; };
  EXPECT_EQ(u32(600), 0x1234u);
  EXPECT_EQ(u32(604), 0x0567u);
  EXPECT_EQ(s[628], 32);
  EXPECT_EQ(u32(584), 0xFFFFFFFEu);
  EXPECT_EQ(u32(588), 0xFFFFFFFFu);
  EXPECT_EQ(u32(592), 0x05060708u);
  EXPECT_EQ(u32(596), 0x01020304u);
  EXPECT_EQ(s[608], 200);
  EXPECT_EQ(s[610], 7);
  EXPECT_EQ(s[612], 0);  // mask vague
  EXPECT_EQ(s[615], 18);
  EXPECT_EQ(s[617], 2);
  EXPECT_EQ(u32(624), 3u);
  EXPECT_EQ(u32(432 + 15 * 8), 99u);
  EXPECT_EQ(s[560 + 15], 1);
  EXPECT_EQ(u32(16), static_cast<uint32_t>(kEmptyRectLow));
  for (size_t at : {0, 580, 640, 648, 656, 672, 680}) EXPECT_EQ(u32(at), 0u) << "pointer field at " << at;
  StoredLayerHeader h;
  ASSERT_TRUE(DecodeStoredLayer(s, h));
  EXPECT_EQ(h.width, 0x1234);
  EXPECT_EQ(h.height, 0x0567);
  EXPECT_EQ(h.bitsPerPixel, 32);
  EXPECT_FALSE(DecodeStoredLayer(std::span(s).first(687), h));
}

TEST(ClampedOp, OperatorsAndTheirLimits) {
  struct Case {
    int op;
    int64_t current, operand, want;
  };
  const Case cases[] = {
      {0, 200, 300, 300}, {1, 200, 100, 256}, {2, 200, 300, 0}, {3, 100, 3, 256},
      {4, 100, 0, 100},   {4, 100, -2, 0},    {7, 100, 5, 100}, {1, 200, -300, -100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClampedOp(c.op, c.current, c.operand, 0, 256), c.want) << c.op << " " << c.current << " " << c.operand;
  }
}

// The same scene on the headless framebuffer and on SDL's offscreen
// driver: both windows show the same pixels.
void BuildScene(Scene& s) {
  s.Image("W0/bg", 1, kW, kH, 0xFF204060);
  Layer& sprite = s.Image("W0/sprite", 2, 16, 16, 0x80FF0000, 8, 8, 1);
  for (int x = 0; x < 16; ++x) SetPixel(sprite, x, 0, 0x00000000);  // a transparent row
  Layer& half = s.Image("W0/strip", 3, kW, 8, 0xFFFFFFFF, 0, 30);
  half.opacity = 128;
  s.Image("W0/add", 4, 10, 10, 0xFF101010, 50, 2).blendOp = 1;
}

TEST(CompositorPresent, HeadlessAndSdlShowTheSamePixels) {
  testing::TempGame game;
  Scene headless(game.Headless());
  BuildScene(headless);
  ASSERT_EQ(headless.Frame(), 0);
  std::vector<uint8_t> expected;
  platform::Size size;
  ASSERT_TRUE(headless.platform().display->ReadPixels(0, expected, size));

  // The headless screenshot holds the same picture.
  std::string error;
  auto& hp = static_cast<platform::HeadlessPlatform&>(headless.platform());
  ASSERT_TRUE(hp.WriteScreenshot(0, game.dir() + "/shot.png", error)) << error;

  for (const char* path : {"texture", "surface"}) {
    std::string sdlError;
    platform::SdlOptions options;
    options.presentPath = path;
    auto sdl = platform::sdl::CreateSdlServices(options, sdlError);
    if (!sdl) GTEST_SKIP() << "SDL video is not available: " << sdlError;
    Scene real(std::move(sdl));
    BuildScene(real);
    ASSERT_EQ(real.Frame(), 0);
    std::vector<uint8_t> shown;
    platform::Size shownSize;
    ASSERT_TRUE(real.platform().display->ReadPixels(0, shown, shownSize));
    ASSERT_EQ(shownSize.width, size.width);
    ASSERT_EQ(shownSize.height, size.height);
    int differing = 0;
    for (size_t i = 0; i < expected.size(); i += 4) {
      for (int c = 0; c < 3; ++c) differing += expected[i + c] != shown[i + c];
    }
    EXPECT_EQ(differing, 0) << path;
  }
  // Spot checks of the composed values themselves.
  const auto at = [&](int x, int y) {
    const uint8_t* p = expected.data() + (static_cast<size_t>(y) * kW + x) * 4;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  };
  EXPECT_EQ(at(0, 0), 0x204060u);
  EXPECT_EQ(at(10, 8), 0x204060u);  // the sprite's transparent top row
  EXPECT_EQ(at(55, 5), 0x305070u);  // add: 0x20+0x10, 0x40+0x10, 0x60+0x10
}

}  // namespace
}  // namespace vv::graphics
