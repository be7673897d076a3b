// Mounting archives and finding entries in them, at the largest index the
// engine allows (100000 entries).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "npf/archive_writer.h"
#include "platform/platform.h"
#include "resource/archives.h"
#include "resource/loader.h"
#include "shell/engine.h"

namespace {

using namespace vv;

constexpr int kEntries = 100000;

std::string EntryName(int i) {
  char name[64];
  std::snprintf(name, sizeof name, "bg\\chapter%02d\\cg%05d.png", i % 40, i);
  return name;
}

// A game folder with one archive of kEntries small entries, made once.
class Game {
 public:
  Game() {
    char pattern[] = "/tmp/vv-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir_ = pattern;
    std::vector<npf::WriterEntry> entries;
    entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
      // A few hundred distinct contents: real games repeat little, but the
      // mount never reads entry data, only the table.
      std::vector<uint8_t> data(static_cast<size_t>(16 + i % 300), static_cast<uint8_t>(i));
      entries.push_back({EntryName(i), std::move(data), std::nullopt});
    }
    npf::WriterOptions options;
    options.compression = npf::Compression::Store;
    std::string error;
    auto bytes = npf::BuildArchive(std::move(entries), options, error);
    if (!bytes) std::abort();
    std::ofstream(dir_ + "/data.npf", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    platform::HeadlessOptions o;
    o.gameDir = dir_;
    platform_ = platform::CreateHeadlessPlatform(o, error);
    if (!platform_) std::abort();
  }
  ~Game() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  platform::Platform& platform() { return *platform_; }

 private:
  std::string dir_;
  std::unique_ptr<platform::Platform> platform_;
};

Game& TheGame() {
  static Game game;
  return game;
}

void BM_Mount100000Entries(benchmark::State& state) {
  Engine engine(TheGame().platform());
  for (auto _ : state) {
    if (resource::MountArchives(engine) != 0) state.SkipWithError("mount failed");
    benchmark::DoNotOptimize(engine.archives.byHash.data());
  }
  state.counters["entries"] = static_cast<double>(engine.archives.totalEntries);
}
BENCHMARK(BM_Mount100000Entries)->Unit(benchmark::kMillisecond);

void BM_LookupHit(benchmark::State& state) {
  Engine engine(TheGame().platform());
  if (resource::MountArchives(engine) != 0) state.SkipWithError("mount failed");
  int i = 0;
  for (auto _ : state) {
    resource::LoadedFile file;
    const int rc = resource::LookupFile(engine, file, EntryName(i));
    if (rc != resource::kSourcePack) state.SkipWithError("lookup missed");
    i = (i + 7919) % kEntries;
  }
}
BENCHMARK(BM_LookupHit)->Unit(benchmark::kMicrosecond);

void BM_LoadHit(benchmark::State& state) {
  Engine engine(TheGame().platform());
  if (resource::MountArchives(engine) != 0) state.SkipWithError("mount failed");
  int i = 0;
  for (auto _ : state) {
    resource::LoadedFile file;
    if (resource::LoadFile(engine, file, EntryName(i)) != 0) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(file.data.data());
    i = (i + 7919) % kEntries;
  }
}
BENCHMARK(BM_LoadHit)->Unit(benchmark::kMicrosecond);

}  // namespace
