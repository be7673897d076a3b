// Fuzz target: one pack archive beside the program. Mounts it, then loads
// every entry of the index, both by its locator and by its name.
//
// Built twice: `archive` skips the CRC-32 and Adler-32 checks so that the
// fuzzer reaches the parsers behind them; `archive_checked` keeps them, so
// that the length-table recovery and the repair of damaged blocks are
// fuzzed too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/memory_files.h"
#include "resource/archives.h"
#include "resource/loader.h"
#include "shell/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv;
  auto fs = std::make_unique<fuzz::MemoryFileSystem>();
  fs->Add("data.npf", std::vector<uint8_t>(data, data + size));
  fuzz::FilesOnlyPlatform platform(std::move(fs));
  Engine engine(platform);
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION) && !defined(VV_FUZZ_KEEP_CHECKSUMS)
  engine.archives.skipChecksums = true;
#endif
  if (resource::MountArchives(engine) != 0) return 0;
  const auto entries = static_cast<int32_t>(engine.archives.hashes.size());
  for (int32_t i = 0; i < entries; ++i) {
    resource::LoadedFile byIndex;
    std::string name;
    if (resource::LocateEntry(engine, i, byIndex, name) != resource::kSourcePack) continue;
    resource::LoadFile(engine, byIndex, name, true, false);
    resource::LoadedFile byName;
    resource::LoadFile(engine, byName, name, false, true);
  }
  return 0;
}
