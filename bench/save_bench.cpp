// Saving and loading the two largest things games save: a full-HD layer
// (1920 x 1080, the picture a save screen keeps) and an integer array of
// 1,000,000 elements. "Block" runs build the compressed block in memory
// only; "Save" runs add the file write (temporary file, flush to the
// device, rename, folder flush); "Load" runs read, inflate and copy back.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

#include "graphics/layer.h"
#include "platform/platform.h"
#include "save/save_commands.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace {

using namespace vv;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int32_t kArray = 1000;
constexpr int64_t kElements = 1000000;
constexpr char kLayerPath[] = "W0/shot";

// A game folder with an engine, the layer and the array, made once.
class Game {
 public:
  Game() {
    char pattern[] = "/tmp/vv-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir_ = pattern;
    platform::HeadlessOptions o;
    o.gameDir = dir_;
    std::string error;
    platform_ = platform::CreateHeadlessPlatform(o, error);
    if (!platform_) std::abort();
    engine_ = std::make_unique<Engine>(*platform_);
    Engine& e = *engine_;

    // Game flags and counters: small numbers, many of them repeated.
    e.script.variables.resize(kArray + 1);
    script::VariableSlot& slot = e.script.variables[kArray];
    slot.dimensionCount = 1;
    slot.sizes[0] = static_cast<int32_t>(kElements);
    script::DeclareInteger(e, kArray, 0);
    std::mt19937 random(1);
    for (int64_t& v : slot.integers) v = random() % 1000;

    // A photograph-like picture: smooth gradients with a little noise.
    graphics::CreateGroupLayer(e, "W0", kWidth, kHeight, 0);
    script::NameNode* node =
        script::NewNodeFromPath(e, kLayerPath, script::kLeafNode, 1, graphics::LayerRoot(e), nullptr);
    graphics::Layer& layer = graphics::AttachNewLayer(*node);
    if (!graphics::ResizeCleared(e, layer, kWidth, kHeight)) std::abort();
    uint8_t* p = layer.image.pixels.get();
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x, p += 4) {
        const int noise = static_cast<int>(random() % 8);
        p[0] = static_cast<uint8_t>(x * 255 / kWidth + noise);
        p[1] = static_cast<uint8_t>(y * 255 / kHeight + noise);
        p[2] = static_cast<uint8_t>((x + y) / 12 + noise);
        p[3] = 255;
      }
    }
  }
  ~Game() {
    engine_.reset();
    platform_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  Engine& engine() { return *engine_; }

  save::BlockTarget Layer() {
    save::BlockTarget t;
    t.layer = script::FindNode(*engine_, graphics::LayerRoot(*engine_), kLayerPath, script::kFindLeaf);
    t.layerPath = kLayerPath;
    return t;
  }
  static save::BlockTarget Array() {
    save::BlockTarget t;
    t.variable = kArray;
    t.whole = true;
    return t;
  }

 private:
  std::string dir_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<Engine> engine_;
};

Game& TheGame() {
  static Game game;
  return game;
}

void Block(benchmark::State& state, save::BlockTarget (*target)(), int64_t bytes) {
  Engine& e = TheGame().engine();
  for (auto _ : state) {
    if (save::PutPendingBlock(e, 1, target()) != 0) state.SkipWithError("block failed");
    benchmark::DoNotOptimize(e.save.pending[0].data());
    save::ClearPendingBlocks(e);
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

void Save(benchmark::State& state, save::BlockTarget (*target)(), const char* file, int64_t bytes) {
  Engine& e = TheGame().engine();
  const save::SaveFileName name{file, std::string(file) + ".sd"};
  for (auto _ : state) {
    if (save::PutPendingBlock(e, 1, target()) != 0 || save::WritePendingBlocks(e, name) != 0) {
      state.SkipWithError("save failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["stored_bytes"] = static_cast<double>(std::filesystem::file_size(
      std::filesystem::path(e.platform.files->BaseDir()) / "save" / name.file));
}

void Load(benchmark::State& state, save::BlockTarget (*target)(), const char* file, int64_t bytes) {
  Engine& e = TheGame().engine();
  const save::SaveFileName name{file, std::string(file) + ".sd"};
  if (save::PutPendingBlock(e, 1, target()) != 0 || save::WritePendingBlocks(e, name) != 0) {
    state.SkipWithError("save failed");
  }
  for (auto _ : state) {
    if (save::LoadBlock(e, name, 1, target()) != 0) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}

save::BlockTarget LayerTarget() { return TheGame().Layer(); }
save::BlockTarget ArrayTarget() { return Game::Array(); }

constexpr int64_t kLayerBytes = int64_t{kWidth} * kHeight * 4;
constexpr int64_t kArrayBytes = kElements * 8;

void BM_BlockLayer1080p(benchmark::State& s) { Block(s, LayerTarget, kLayerBytes); }
void BM_SaveLayer1080p(benchmark::State& s) { Save(s, LayerTarget, "layer", kLayerBytes); }
void BM_LoadLayer1080p(benchmark::State& s) { Load(s, LayerTarget, "layer", kLayerBytes); }
void BM_BlockIntArray1M(benchmark::State& s) { Block(s, ArrayTarget, kArrayBytes); }
void BM_SaveIntArray1M(benchmark::State& s) { Save(s, ArrayTarget, "array", kArrayBytes); }
void BM_LoadIntArray1M(benchmark::State& s) { Load(s, ArrayTarget, "array", kArrayBytes); }

BENCHMARK(BM_BlockLayer1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLayer1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLayer1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockIntArray1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveIntArray1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadIntArray1M)->Unit(benchmark::kMillisecond);

}  // namespace
