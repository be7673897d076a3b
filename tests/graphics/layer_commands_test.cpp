// The layer commands run from compiled scripts on the headless backend:
// creation rules, operators and their limits, sibling order, dirty
// rectangles, crop and pad, alpha layers, deletion and the queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "dorov/compiler.h"
#include "graphics/image_fixtures.h"
#include "graphics/layer.h"
#include "graphics/layer_commands.h"
#include "script/script_test_support.h"
#include "script/variables.h"

namespace vv::graphics {
namespace {

using testing::Picture;
using testing::Rgba;

Picture Solid(int w, int h, Rgba c) {
  Picture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<size_t>(w) * h, c);
  return p;
}

std::vector<uint8_t> Bmp(const Picture& p) {
  testing::BmpOptions o;
  o.bits = 24;
  return testing::MakeBmp(p, o);
}

class LayerCommands : public script::testing::ScriptTest {
 protected:
  // The pictures every script may name.
  void WritePictures() {
    Write("dot.bmp", Bmp(Solid(1, 1, {255, 0, 0, 255})));
    Write("white.bmp", Bmp(Solid(4, 4, {255, 255, 255, 255})));
    Write("pattern.bmp", Bmp(pattern_));
    Write("clear.png", testing::MakePng(Solid(3, 3, {10, 20, 30, 0}), true));
    Picture shaped = Solid(6, 5, {1, 2, 3, 0});
    shaped.at(1, 2).a = 9;
    shaped.at(4, 3).a = 255;
    Write("shaped.png", testing::MakePng(shaped, true));
  }

  // Compiles `source`, starts it over the main window's root layer "W0"
  // (640 x 480) and runs up to `passes` passes. `patch` may change the
  // compiled files first.
  void Run(const std::string& source, int passes = 10,
           void (*patch)(std::map<std::string, std::vector<uint8_t>>&) = nullptr) {
    dorov::CompileResult r = dorov::CompileSource(source);
    ASSERT_TRUE(r.ok()) << r.ErrorText();
    if (patch != nullptr) patch(r.files);
    for (const auto& [name, bytes] : r.files) Write("nvbin/" + name, bytes);
    WritePictures();
    Engine& e = engine();
    script::CreateContextTree(e);
    script::BindScriptCommands(e.script.interp.handlers);
    BindLayerCommands(e.script.interp.handlers);
    e.errors.scriptLocation = [this] { return script::CurrentLocation(engine()); };
    Layer* root = CreateGroupLayer(e, "W0", 640, 480, 0);
    ASSERT_NE(root, nullptr);
    root->isWindowRoot = 1;
    e.windows[0].rootLayer = root->node;
    ASSERT_EQ(script::LoadScriptSystem(e), 0);
    ResetDirtyState(LayerRoot(e));
    Passes(passes);
  }

  // Runs one more pass after forgetting the dirty rectangles so far.
  void FreshPass() {
    ResetDirtyState(LayerRoot(engine()));
    Passes(1);
  }

  const Layer* Find(const std::string& path, int kind = script::kFindLeaf) {
    return LayerOf(script::FindNode(engine(), LayerRoot(engine()), path, kind));
  }
  std::vector<std::string> Children(const std::string& folder) {
    std::vector<std::string> names;
    const script::NameNode* f = script::FindNode(engine(), LayerRoot(engine()), folder, script::kFindFolder);
    if (f == nullptr) return names;
    for (const script::NameNode* c = f->firstChild; c != nullptr; c = c->next) {
      names.push_back(c->name + (c->kind == script::kFolderNode ? "/" : ""));
    }
    return names;
  }
  // The used dirty slots as left, top, right, bottom.
  using Rect = std::array<int64_t, 4>;
  std::vector<Rect> Dirty(const Layer& l) {
    std::vector<Rect> out;
    for (int s = 0; s < kDirtySlots; ++s) {
      if (l.dirtyUsed[s]) out.push_back({l.dirty[s].left, l.dirty[s].top, l.dirty[s].right, l.dirty[s].bottom});
    }
    return out;
  }
  // B, G, R, A of top-down pixel (x, y).
  static std::array<uint8_t, 4> Bgra(const Layer& l, int x, int y) {
    const uint8_t* p = l.image.pixels.get() + (static_cast<size_t>(l.Height() - 1 - y) * l.Width() + x) * 4;
    return {p[0], p[1], p[2], p[3]};
  }
  int64_t Global(int n, int64_t index = 0) { return Int(script::kFirstScriptVariable + n, index); }
  std::string Dialogs() {
    std::string all;
    for (const auto& d : headless().DialogRecorder().Records()) all += d.kind + ": " + d.text + "\n";
    return all;
  }

  Picture pattern_ = testing::Pattern(3, 2, 7);
};

TEST_F(LayerCommands, PrioritiesAndSiblingOrder) {
  Run(R"(@global int key[6] = 0
*SYSTEM_START
@layer "n", 3, file="dot.bmp"
@layer "s", file="dot.bmp", priority=5
@layer "s", priority-=10
@layer "t", file="dot.bmp", priority=5
@layer "t", priority+=-10
@layer "m", file="dot.bmp", priority=4
@layer "m", priority*=0
@layer "e1", file="dot.bmp", priority=7
@layer "e2", file="dot.bmp", priority=7
@layer "e1", priority=7
@layerGet "n", 3, priority, target=key[0]
@layerGet "s", priority, target=key[1]
@layerGet "t", priority, target=key[2]
@layerGet "m", priority, target=key[3]
@layerGet "e1", priority, target=key[4]
@quit
)");
  EXPECT_TRUE(engine().errors.reports.empty()) << Dialogs();
  EXPECT_EQ(Global(0, 0), 3);
  EXPECT_EQ(Global(0, 1), 1);   // subtracting stops at 1
  EXPECT_EQ(Global(0, 2), -5);  // adding is not limited
  EXPECT_EQ(Global(0, 3), 1);   // nor is multiplying allowed below 1
  EXPECT_EQ(Global(0, 4), 7);
  // Equal keys: the later layer (or the later re-keyed one, "m") below;
  // re-setting a key a layer already has does not move it.
  EXPECT_EQ(Children("W0"), (std::vector<std::string>{"t", "m", "s", "n.3", "e2", "e1"}));
}

TEST_F(LayerCommands, OpacityOperatorsClampOnlyWhenRelative) {
  Run(R"(@global int o[3] = 0
*SYSTEM_START
@layer "a", file="dot.bmp", priority=1, opacity=200
@layer "a", opacity+=100
@layerGet "a", opacity, target=o[0]
@layer "a", opacity=200
@layer "a", opacity-=300
@layerGet "a", opacity, target=o[1]
@layer "a", opacity=300
@layerGet "a", opacity, target=o[2]
@quit
)");
  EXPECT_TRUE(engine().errors.reports.empty()) << Dialogs();
  EXPECT_EQ(Global(0, 0), 256);
  EXPECT_EQ(Global(0, 1), 0);
  EXPECT_EQ(Global(0, 2), 300);
}

TEST_F(LayerCommands, MovingDirtiesOldAndNewAreaUpToTheRoot) {
  Run(R"(*SYSTEM_START
@layer "g/", width=100, height=50, priority=1, x=200, y=100
@layer "g/a", file="white.bmp", priority=1, x=10, y=10
@wait frames=1
@layer "g/a", x=50
@wait frames=1
@layer "g/a", x=500
@wait frames=1
)",
      1);
  FreshPass();
  const Layer* g = Find("W0/g", script::kFindFolder);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(Dirty(*g), (std::vector<Rect>{{10, 10, 13, 13}, {50, 10, 53, 13}}));
  EXPECT_EQ(Dirty(*Find("W0", script::kFindFolder)), (std::vector<Rect>{{200, 100, 299, 149}}));

  // Moved out of its parent: the new area adds nothing there, but the
  // ancestors still learn of the old one.
  FreshPass();
  EXPECT_EQ(Dirty(*g), (std::vector<Rect>{{50, 10, 53, 13}}));
  EXPECT_EQ(Dirty(*Find("W0", script::kFindFolder)), (std::vector<Rect>{{200, 100, 299, 149}}));
  EXPECT_TRUE(engine().errors.reports.empty()) << Dialogs();
}

TEST_F(LayerCommands, SeventeenthSeparateRectangleMergesIntoSlotZero) {
  Run(R"(*SYSTEM_START
@layer "g/", width=100, height=10, priority=1
@loop 17
  @layer "g/p", sys.loop, file="dot.bmp", x=sys.loop * 3
@end
@wait frames=1
@loop 17
  @layer "g/p", sys.loop, visible=0
@end
@wait frames=1
)",
      1);
  FreshPass();
  ASSERT_TRUE(engine().errors.reports.empty()) << Dialogs();
  const Layer* g = Find("W0/g", script::kFindFolder);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->dirtyCount, kDirtySlots);
  const std::vector<Rect> d = Dirty(*g);
  ASSERT_EQ(d.size(), static_cast<size_t>(kDirtySlots));
  EXPECT_EQ(d[0], (Rect{3, 0, 51, 0}));  // the first and the 17th
  for (int s = 1; s < kDirtySlots; ++s) EXPECT_EQ(d[s], (Rect{3 * (s + 1), 0, 3 * (s + 1), 0})) << s;
}

TEST_F(LayerCommands, ImageResizePadsWithOpaqueBlackAndCrops) {
  Run(R"(*SYSTEM_START
@layer "big", file="pattern.bmp", priority=1, width=5, height=4
@layer "small", file="pattern.bmp", priority=1, width=2, height=1
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << Dialogs();
  const Layer* big = Find("W0/big");
  const Layer* small = Find("W0/small");
  ASSERT_TRUE(big && small);
  ASSERT_EQ(big->Width(), 5);
  ASSERT_EQ(big->Height(), 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      std::array<uint8_t, 4> want{0, 0, 0, 255};
      if (x < 3 && y < 2) {
        const Rgba& c = pattern_.at(x, y);
        want = {c.b, c.g, c.r, 255};
      }
      EXPECT_EQ(Bgra(*big, x, y), want) << x << "," << y;
    }
  }
  // The spare row beyond the picture is opaque black as well.
  const uint8_t* spare = big->image.pixels.get() + 5 * 4 * 4;
  for (int x = 0; x < 5; ++x) EXPECT_EQ(spare[x * 4 + 3], 255);

  ASSERT_EQ(small->Width(), 2);
  ASSERT_EQ(small->Height(), 1);
  for (int x = 0; x < 2; ++x) {
    const Rgba& c = pattern_.at(x, 0);
    EXPECT_EQ(Bgra(*small, x, 0), (std::array<uint8_t, 4>{c.b, c.g, c.r, 255}));
  }
}

TEST_F(LayerCommands, GroupResizeComposesChildrenAtOnce) {
  Run(R"(*SYSTEM_START
@layer "g/", width=2, height=2, priority=1
@layer "g/w", file="white.bmp", priority=1, x=3, y=3
@layer "g/", width=8, height=8
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << Dialogs();
  const Layer* g = Find("W0/g", script::kFindFolder);
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(g->Width(), 8);
  ASSERT_EQ(g->Height(), 8);
  EXPECT_EQ(Bgra(*g, 4, 4), (std::array<uint8_t, 4>{255, 255, 255, 255}));
  EXPECT_EQ(Bgra(*g, 1, 1)[0], 0);
}

TEST_F(LayerCommands, DeletingAGroupTakesEverythingBelowIt) {
  Run(R"(*SYSTEM_START
@layer "g/", width=10, height=10, priority=1
@layer "g/h/", width=5, height=5, priority=1
@layer "g/h/a", file="dot.bmp", priority=1
@layer "g/b", file="dot.bmp", priority=2
@layer "g", file="dot.bmp", priority=3
@layer "other", file="dot.bmp", priority=4
@wait frames=1
@layerDelete "g/"
@layerDelete "g/"
@layerDelete "nothing"
@layerDelete "nothing", 3
@quit
)",
      1);
  EXPECT_EQ(Children("W0"), (std::vector<std::string>{"g/", "g", "other"}));
  FreshPass();
  EXPECT_TRUE(engine().errors.reports.empty()) << Dialogs();
  // The image layer "g" is not the group "g/".
  EXPECT_EQ(Children("W0"), (std::vector<std::string>{"g", "other"}));
  EXPECT_EQ(Dirty(*Find("W0", script::kFindFolder)), (std::vector<Rect>{{0, 0, 9, 9}}));
}

TEST_F(LayerCommands, QueriesReadWhatTheLayerHolds) {
  engine().windows[0].mouseX = 6;
  engine().windows[0].mouseY = 7;
  Run(R"(@global int v[13] = 7
@global float f[2] = 7.0
@global text t[2] = "x"
*SYSTEM_START
@layer "clear", file="clear.png", priority=1
@layer "shaped", file="shaped.png", priority=1
@layer "g/", width=20, height=20, priority=1, x=4, y=4
@layer "g/white", file="white.bmp", priority=1, x=1, y=1, mask="m", maskNumber=2
@layerGet "clear", opaqueBound, px=1, target=v[0]
@layerGet "shaped", opaqueBound, px=1, target=v[1]
@layerGet "shaped", opaqueBound, px=2, target=v[2]
@layerGet "shaped", opaqueBound, px=3, target=v[3]
@layerGet "shaped", opaqueBound, px=4, target=v[4]
@layerGet "g/white", screenArgb, target=v[5]
@layerGet "g/white", screenColor, px=8, target=v[6]
@layerGet "g/white", screenAlpha, px=10, target=v[7]
@layerGet "g/white", pixelColor, px=4, py=0, target=v[8]
@layerGet "missing", width, target=v[9]
@layerGet "g/white", frameLoops, target=v[10]
@layerGet "g/white", width, exists, target=v[11]
@layerGet "g/white", screenAlpha, target=v[12]
@layerGet "shaped", exists, target=f[0]
@layerGet "missing", exists, target=f[1]
@layerGet "g/white", mask, target=t[0]
@layerGet "missing", mask, target=t[1]
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << Dialogs();
  EXPECT_EQ(Global(0, 0), -1);  // nothing opaque
  EXPECT_EQ(Global(0, 1), 2);
  EXPECT_EQ(Global(0, 2), 3);
  EXPECT_EQ(Global(0, 3), 1);
  EXPECT_EQ(Global(0, 4), 4);
  EXPECT_EQ(Global(0, 5), -1);        // opaque white under the mouse (6, 7) as signed
  EXPECT_EQ(Global(0, 6), 0xFFFFFF);  // x from px, y from the mouse
  EXPECT_EQ(Global(0, 7), -1);        // (10, 7) is right of the layer
  EXPECT_EQ(Global(0, 8), -1);        // outside the 4 x 4 picture
  EXPECT_EQ(Global(0, 9), 0);
  EXPECT_EQ(Global(0, 10), 0);  // no animation
  EXPECT_EQ(Global(0, 11), 1);  // exists is honoured before width
  EXPECT_EQ(Global(0, 12), 255);
  EXPECT_DOUBLE_EQ(Float(script::kFirstScriptVariable + 1, 0), 1.0);
  EXPECT_DOUBLE_EQ(Float(script::kFirstScriptVariable + 1, 1), 0.0);
  EXPECT_EQ(Text(script::kFirstScriptVariable + 2, 0), "m.2");
  EXPECT_EQ(Text(script::kFirstScriptVariable + 2, 1), "");
}

TEST_F(LayerCommands, WindowPointsFollowTheLayerUpToTheWindow) {
  // A pattern layer half outside its group: the part cut off reads as
  // none, the rest reads the picture's own pixel.
  Run(R"(@global int v[4] = 0
*SYSTEM_START
@layer "g/", width=10, height=10, priority=1, x=100, y=50
@layer "g/p", file="pattern.bmp", priority=1, x=-1, y=9
@layerGet "g/p", screenColor, px=101, py=59, target=v[0]
@layerGet "g/p", screenColor, px=99, py=59, target=v[1]
@layerGet "g/p", screenColor, px=101, py=60, target=v[2]
@layerGet "g/p", pixelColor, px=1, py=1, target=v[3]
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << Dialogs();
  const Rgba& c = pattern_.at(2, 0);
  EXPECT_EQ(Global(0, 0), (int64_t{c.r} << 16) | (c.g << 8) | c.b);
  EXPECT_EQ(Global(0, 1), -1);
  EXPECT_EQ(Global(0, 2), -1);
  const Rgba& d = pattern_.at(1, 1);
  EXPECT_EQ(Global(0, 3), (int64_t{d.r} << 16) | (d.g << 8) | d.b);
}

TEST_F(LayerCommands, AlphaLayerGivesItsBlueBytes) {
  Run(R"(*SYSTEM_START
@layer "mask", file="pattern.bmp", priority=1
@layer "a", file="white.bmp", priority=1
@layer "a", file="pattern.bmp", alphaLayer="mask"
@layer "b", file="white.bmp", priority=1, alphaLayer="nothing"
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << Dialogs();
  const Layer* a = Find("W0/a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->image.hasAlpha, 1);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Bgra(*a, x, y)[3], pattern_.at(x, y).b) << x << "," << y;
  }
  EXPECT_EQ(Find("W0/b")->image.hasAlpha, 0);
}

TEST_F(LayerCommands, AlphaLayerOfAnotherSizeStopsWithTheNotice) {
  Run(R"(@global int after = 0
*SYSTEM_START
@layer "mask", file="pattern.bmp", priority=1
@layer "a", file="white.bmp", priority=1, alphaLayer="mask"
@after = 1
)");
  EXPECT_TRUE(engine().shell.flags.halted);
  EXPECT_EQ(Global(0), 0);
  EXPECT_TRUE(engine().errors.reports.empty());
  const auto& records = headless().DialogRecorder().Records();
  ASSERT_EQ(records.size(), 1u) << Dialogs();
  EXPECT_EQ(records[0].kind, "message");
  EXPECT_EQ(records[0].caption, "");
  EXPECT_EQ(records[0].text, "レイヤ画像とマスクレイヤ画像のサイズが異なります。");
}

TEST_F(LayerCommands, MissingImageLayerIsIgnoredWithOptionFlagZeroOff) {
  Run(R"(@global int v = 5
*SYSTEM_START
@options flag0=0
@layer "ghost", x=3
@layerGet "ghost", exists, target=v
@quit
)");
  EXPECT_TRUE(engine().errors.reports.empty()) << Dialogs();
  EXPECT_EQ(Global(0), 0);
  EXPECT_TRUE(Children("W0").empty());
}

// The 19th blend operation is kept out even when a game's command table
// declares no range for the argument.
void DropBlendCheck(std::map<std::string, std::vector<uint8_t>>& files) {
  std::vector<uint8_t>& table = files.at("nvc.nbn");
  static constexpr char kBlend[] = "blend";
  const auto at = std::search(table.begin(), table.end(), kBlend, kBlend + sizeof kBlend);
  ASSERT_NE(at, table.end());
  uint8_t& check = *(at + sizeof kBlend + 1);
  ASSERT_EQ(check, 10);
  check = 0;
}

TEST_F(LayerCommands, FailuresReportTheirCodes) {
  struct Case {
    const char* lines;
    int32_t code;
    bool patchTable = false;
  };
  const Case cases[] = {
      {"@layer \"a\", file=\"dot.bmp\"", kErrNoPriority},
      {"@layer \"a\", file=\"dot.bmp\", priority=-1", kErrNoPriority},
      {"@layer \"g/\", width=4, height=4", kErrNoPriority},
      {"@layer \"g/\", width=4, priority=1", kErrGroupWithoutSize},
      {"@layer \"a\", file=\"dot.bmp\", priority=1, width=2", kErrResizeWithoutBothSides},
      {"@layer \"a\", file=\"dot.bmp\", priority=1\n@layer \"a\", width=2, height=2", kErrResizeWithoutFile},
      {"@layer \"a\", x=3", kErrMissingImageLayer},
      {"@layer \"g/\", file=\"dot.bmp\", width=4, height=4, priority=1", kErrFileForGroup},
      {"@layer \"g/\", width=4, height=4, priority=1\n@layer \"g/\", file=\"dot.bmp\"", kErrFileForGroup},
      {"@layer \"a\", file=\"dot.bmp\", priority=1, frame=1", kErrFrameOutOfRange},
      {"@layer \"a\", file=\"dot.bmp\", priority=1, frame-=1", kErrFrameOutOfRange},
      {"@layer \"a\", file=\"dot.bmp\", priority=1\n@layerGet \"a\", exists, target=s", script::kErrWrongVariableType},
      {"@layer \"a\", file=\"dot.bmp\", priority=1\n@layerGet \"a\", width, target=s", script::kErrWrongVariableType},
      {"@layer \"a\", file=\"dot.bmp\", priority=1\n@layerGet \"a\", pixelColor, px=0, target=n",
       kErrPixelWithoutPoint},
      {"@layer \"a\", file=\"nofile.bmp\", priority=1", 100100},
      {"@layer \"a\", file=\"dot.bmp\", priority=1, blend=19", script::kErrOutOfRange},
      {"@layer \"a\", file=\"dot.bmp\", priority=1, blend=19", script::kErrOutOfRange, true},
      {"@layer \"a\", file=\"dot.bmp\", priority=1, blend=256", script::kErrOutOfRange, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    MakeEngine();
    Run(std::string("@global text s = \"\"\n@global int n = 0\n*SYSTEM_START\n") + c.lines + "\n@n = 9\n", 10,
        c.patchTable ? DropBlendCheck : nullptr);
    ASSERT_FALSE(engine().errors.reports.empty());
    EXPECT_EQ(FirstCode(), c.code);
    EXPECT_TRUE(engine().shell.flags.halted);
    EXPECT_EQ(Global(1), 0);  // the script went no further
  }
  // A rejected blend value is caught before anything is applied.
  EXPECT_EQ(Find("W0/a"), nullptr);
}

}  // namespace
}  // namespace vv::graphics
