// Speed of frame composition on a 1920 x 1080 window: the whole frame
// composed from scratch, and a frame where one 40 x 40 glyph area changed,
// for every pixel set the processor runs; beside glibc memcpy of one frame
// of the same size, hot (the same two frames every time) and cold (cycling
// over 256 MiB of frames), as the yardstick.
//
// The scene is a typical dialogue screen in the middle of a transition:
// an opaque background, four character sprites with per-pixel alpha, a
// half-transparent text strip, and the next background cross-faded in over
// all of it through a soft-edged mask.
//
// bench/compose_bench_report.py runs this and prints each time relative
// to memcpy's and the glyph frame relative to the full one.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "graphics/compositor.h"
#include "graphics/graphics_state.h"
#include "graphics/layer.h"
#include "platform/platform.h"
#include "script/name_tree.h"
#include "shell/engine.h"

namespace vv::graphics {
namespace {

constexpr int kFrameW = 1920, kFrameH = 1080;
constexpr size_t kFrameBytes = size_t{kFrameW} * kFrameH * 4;
constexpr int kSpriteSize = 512;
constexpr int kStripW = kFrameW, kStripH = 200;
constexpr int kGlyph = 40;
// Cold memcpy cycles its source and destination frames over this much.
constexpr size_t kColdBytes = size_t{256} << 20;

void Put(uint8_t* p, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  p[0] = b;
  p[1] = g;
  p[2] = r;
  p[3] = a;
}

// A photograph-like opaque picture: smooth gradients with a little noise.
void PaintPicture(Layer& l, std::mt19937& rng, int tint) {
  uint8_t* px = l.image.pixels.get();
  for (int y = 0; y < l.Height(); ++y) {
    for (int x = 0; x < l.Width(); ++x) {
      const int noise = static_cast<int>(rng() % 16);
      Put(px, static_cast<uint8_t>((x / 8 + tint + noise) & 0xFF), static_cast<uint8_t>((y / 5 + noise) & 0xFF),
          static_cast<uint8_t>((x / 16 + y / 9 + tint) & 0xFF), 0xFF);
      px += 4;
    }
  }
}

// A character sprite: a body and a head, opaque inside, transparent
// outside, with an anti-aliased edge about three pixels wide. Rows then
// hold long runs of alpha 0 and 255 and a few partial pixels between.
void PaintSprite(Layer& l, std::mt19937& rng) {
  const double w = l.Width(), h = l.Height();
  const double bodyCx = w / 2 + static_cast<double>(rng() % 40) - 20, bodyCy = h * 0.68;
  const double bodyRx = w * 0.30, bodyRy = h * 0.36;
  const double headCx = bodyCx + static_cast<double>(rng() % 20) - 10, headCy = h * 0.24, headR = w * 0.16;
  uint8_t* px = l.image.pixels.get();
  for (int my = 0; my < l.Height(); ++my) {
    const double y = h - 1 - my;  // rows are stored bottom-up
    for (int x = 0; x < l.Width(); ++x) {
      // Distance inside the nearer outline, in pixels (negative outside).
      const double bx = (x - bodyCx) / bodyRx, by = (y - bodyCy) / bodyRy;
      const double body = (1.0 - std::sqrt(bx * bx + by * by)) * std::min(bodyRx, bodyRy);
      const double head = headR - std::hypot(x - headCx, y - headCy);
      const double inside = std::max(body, head);
      const int a = std::clamp(static_cast<int>(std::lround(127.5 + inside * 85.0)), 0, 255);
      if (a == 0) {
        Put(px, 0, 0, 0, 0);
      } else {
        const int shade = static_cast<int>(rng() % 24);
        Put(px, static_cast<uint8_t>(120 + shade), static_cast<uint8_t>(140 + shade), static_cast<uint8_t>(200 + shade / 2),
            static_cast<uint8_t>(a));
      }
      px += 4;
    }
  }
}

// Three lines of 40-pixel glyph cells, each glyph a few opaque strokes
// with soft edges on a transparent strip.
void PaintTextStrip(Layer& l, std::mt19937& rng) {
  std::memset(l.image.pixels.get(), 0, static_cast<size_t>(l.Width()) * l.Height() * 4);
  for (int line = 0; line < 3; ++line) {
    const int top = 30 + line * 56;
    for (int cell = 1; cell + 1 < l.Width() / kGlyph; ++cell) {
      const int left = cell * kGlyph;
      const int strokes = 2 + static_cast<int>(rng() % 4);
      for (int s = 0; s < strokes; ++s) {
        const bool across = rng() % 2 != 0;
        const int at = 4 + static_cast<int>(rng() % 28);
        for (int k = 4; k < 36; ++k) {
          for (int t = -2; t <= 2; ++t) {
            const int x = left + (across ? k : at + t), y = top + (across ? at + t : k);
            uint8_t* p = l.image.pixels.get() + (static_cast<size_t>(l.Height() - 1 - y) * l.Width() + x) * 4;
            const uint8_t a = t == -2 || t == 2 ? 96 : 255;
            Put(p, 255, 255, 255, std::max(p[3], a));
          }
        }
      }
    }
  }
}

// A transition mask: a diagonal wipe with a noisy edge; byte 0 of each
// pixel is the mask value.
void PaintMask(Layer& l, std::mt19937& rng) {
  uint8_t* px = l.image.pixels.get();
  for (int y = 0; y < l.Height(); ++y) {
    for (int x = 0; x < l.Width(); ++x) {
      const int v = std::clamp((x + y) * 255 / (kFrameW + kFrameH) + static_cast<int>(rng() % 33) - 16, 0, 255);
      const auto b = static_cast<uint8_t>(v);
      Put(px, b, b, b, 0xFF);
      px += 4;
    }
  }
}

// An engine over a headless platform with the dialogue screen under the
// root group layer "W0". Built once and shared by every benchmark; each
// benchmark binds its pixel set first.
class ComposeScene {
 public:
  ComposeScene() {
    char pattern[] = "/tmp/vv-compose-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir_ = pattern;
    platform::HeadlessOptions options;
    options.gameDir = dir_;
    std::string error;
    platform_ = platform::CreateHeadlessPlatform(options, error);
    if (!platform_) std::abort();
    engine_ = std::make_unique<Engine>(*platform_);

    Layer* root = CreateGroupLayer(*engine_, "W0", kFrameW, kFrameH, 0);
    if (root == nullptr) std::abort();
    root->isWindowRoot = 1;
    root_ = root->node;

    std::mt19937 rng(2024);
    Layer& mask = Image("W0/fade_mask", 0, kFrameW, kFrameH, 0, 0);
    mask.visible = 0;
    PaintMask(mask, rng);
    PaintPicture(Image("W0/bg", 1, kFrameW, kFrameH, 0, 0), rng, 0);
    const int spriteX[] = {40, 520, 900, 1368};
    for (int i = 0; i < 4; ++i) {
      Layer& sprite = Image("W0/sprite" + std::to_string(i), 2 + i, kSpriteSize, kSpriteSize, spriteX[i], 380);
      sprite.image.hasAlpha = 1;
      PaintSprite(sprite, rng);
    }
    Layer& strip = Image("W0/text", 6, kStripW, kStripH, 0, kFrameH - kStripH);
    strip.image.hasAlpha = 1;
    strip.opacity = 128;
    PaintTextStrip(strip, rng);
    Layer& next = Image("W0/next_bg", 7, kFrameW, kFrameH, 0, 0);
    PaintPicture(next, rng, 96);
    next.maskPath = "fade_mask";
    next.maskLevel = 128;
    next.maskVague = 64;
    ResetDirtyState(*root_);
  }
  ~ComposeScene() {
    engine_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  Engine& engine() { return *engine_; }
  script::NameNode& rootNode() { return *root_; }
  Layer& root() { return *LayerOf(root_); }

 private:
  Layer& Image(const std::string& path, int64_t priority, int w, int h, int64_t x, int64_t y) {
    script::NameNode* node =
        script::NewNodeFromPath(*engine_, path, script::kLeafNode, priority, LayerRoot(*engine_), nullptr);
    if (node == nullptr) std::abort();
    Layer& l = AttachNewLayer(*node);
    if (!AllocatePixels(*engine_->graphics.pixels, l.image, w, h)) std::abort();
    l.x = x;
    l.y = y;
    MarkAreaDirty(*node);
    return l;
  }

  std::string dir_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<Engine> engine_;
  script::NameNode* root_ = nullptr;
};

ComposeScene& Scene() {
  static ComposeScene scene;
  return scene;
}

// FNV-1a over the root's pixels: every set must compose the same frame,
// and the report compares these.
uint32_t FrameHash(const Layer& root) {
  uint32_t h = 2166136261u;
  const uint8_t* p = root.image.pixels.get();
  for (size_t i = 0; i < static_cast<size_t>(root.Width()) * root.Height() * 4; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

// One frame: mark, compose, reset, as the frame step does for a changed
// root (without the copy to the window).
template <typename Mark>
bool ComposeFrame(ComposeScene& scene, Mark mark) {
  mark(scene.root());
  const int r = ComposeLayer(scene.engine(), scene.rootNode(), false);
  ResetDirtyState(scene.rootNode());
  return r == 0;
}

template <typename Mark>
void RunCompose(benchmark::State& state, const char* set, Mark mark) {
  ComposeScene& scene = Scene();
  if (!ForcePixelSet(scene.engine().graphics, set)) {
    state.SkipWithError("pixel set not available");
    return;
  }
  // The frame every iteration recomposes, whole, as the reference picture.
  if (!ComposeFrame(scene, [](Layer& root) {
        MarkWholeDirty(root);
        root.changed = 1;
      })) {
    state.SkipWithError("composition failed");
    return;
  }
  for (auto _ : state) {
    if (!ComposeFrame(scene, mark)) {
      state.SkipWithError("composition failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  state.counters["frameHash"] = static_cast<double>(FrameHash(scene.root()));
}

void RegisterCompose() {
  const CpuFeatures cpu = DetectCpuFeatures();
  for (PixelSet set : {PixelSet::kPortable, PixelSet::kSse2, PixelSet::kAvx2}) {
    if (!PixelSetSupported(set, cpu)) continue;
    const char* name = PixelSetName(set);
    benchmark::RegisterBenchmark((std::string("ComposeFull/") + name).c_str(),
                                 [name](benchmark::State& s) {
                                   RunCompose(s, name, [](Layer& root) {
                                     MarkWholeDirty(root);
                                     root.changed = 1;
                                   });
                                   s.SetItemsProcessed(static_cast<int64_t>(s.iterations()) * kFrameW * kFrameH);
                                 })
        ->Unit(benchmark::kMillisecond);
    // One glyph typed into the text strip: its cell is the only dirty area.
    benchmark::RegisterBenchmark((std::string("ComposeGlyph/") + name).c_str(),
                                 [name](benchmark::State& s) {
                                   RunCompose(s, name, [](Layer& root) {
                                     const int64_t left = 17 * kGlyph, top = kFrameH - kStripH + 30;
                                     AddDirtyRect(root, {left, top, left + kGlyph - 1, top + kGlyph - 1});
                                   });
                                   s.SetItemsProcessed(static_cast<int64_t>(s.iterations()) * kGlyph * kGlyph);
                                 })
        ->Unit(benchmark::kMicrosecond);
  }
}

// Frames for memcpy: hot copies one frame into another again and again,
// cold walks pools of frames too large for any cache.
struct Frames {
  explicit Frames(bool cold) : count(cold ? (kColdBytes / 2) / kFrameBytes : 1) {
    // Filled, so that every page is in memory before the timing starts.
    src.assign(count * kFrameBytes, 0x5A);
    dst.assign(count * kFrameBytes, 0x01);
  }
  size_t count;
  std::vector<uint8_t> src, dst;
};

// Built once per temperature: the benchmark body runs several times while
// its iteration count is found.
Frames& SharedFrames(bool cold) {
  if (!cold) {
    static Frames hot(false);
    return hot;
  }
  static Frames coldFrames(true);
  return coldFrames;
}

void RegisterMemcpy() {
  for (bool cold : {false, true}) {
    benchmark::RegisterBenchmark(cold ? "memcpyFrame/cold" : "memcpyFrame/hot",
                                 [cold](benchmark::State& s) {
                                   Frames& frames = SharedFrames(cold);
                                   size_t f = 0;
                                   for (auto _ : s) {
                                     std::memcpy(frames.dst.data() + f * kFrameBytes,
                                                 frames.src.data() + f * kFrameBytes, kFrameBytes);
                                     benchmark::ClobberMemory();
                                     if (++f == frames.count) f = 0;
                                   }
                                   s.SetBytesProcessed(static_cast<int64_t>(s.iterations()) *
                                                       static_cast<int64_t>(kFrameBytes));
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

const bool kRegistered = [] {
  RegisterMemcpy();
  RegisterCompose();
  return true;
}();

}  // namespace
}  // namespace vv::graphics
