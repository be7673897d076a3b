// Writes the seed inputs of the save fuzz target into the folder given on
// the command line: for every target a save file holding four blocks of
// that target's kind, as whole files and as bare payloads (see
// fuzz/save_fuzz.cpp for the input layout).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/save_fuzz_game.h"
#include "platform/platform.h"
#include "save/save_payloads.h"

namespace {

void WriteSeed(const std::filesystem::path& path, uint8_t which, uint8_t block, const std::vector<uint8_t>& rest) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.put(static_cast<char>(which));
  out.put(static_cast<char>(block));
  out.write(reinterpret_cast<const char*>(rest.data()), static_cast<std::streamsize>(rest.size()));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vv;
  if (argc != 2) {
    std::fprintf(stderr, "usage: save_fuzz_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path outDir = argv[1];
  std::filesystem::create_directories(outDir);
  const std::filesystem::path game = std::filesystem::temp_directory_path() / "vavevo-save-seeds";
  std::filesystem::remove_all(game);
  std::filesystem::create_directories(game);

  platform::HeadlessOptions options;
  options.gameDir = game.string();
  std::string error;
  auto p = platform::CreateHeadlessPlatform(options, error);
  if (!p) {
    std::fprintf(stderr, "save_fuzz_seeds: %s\n", error.c_str());
    return 1;
  }
  Engine engine(*p);
  fuzz::DeclareSaveTargets(engine);
  auto& vars = engine.script.variables;
  for (size_t i = 0; i < vars[1001].integers.size(); ++i) vars[1001].integers[i] = static_cast<int64_t>(i * 1000003);
  for (size_t i = 0; i < vars[1002].floats.size(); ++i) vars[1002].floats[i] = 0.5 * static_cast<double>(i);
  vars[1000].integers[0] = -7;
  vars[1003].texts = {"a", "\x83\x65\x83\x58\x83\x67", ""};

  for (int which = 0; which < fuzz::kSaveTargets; ++which) {
    const save::BlockTarget target = fuzz::SaveTarget(engine, which);
    for (int block = 1; block <= 4; ++block) save::PutPendingBlock(engine, block, target);
    const save::SaveFileName name{"seed", "seed.sd"};
    std::filesystem::remove(game / "save" / "seed.sd");
    engine.platform.files->Invalidate();
    if (save::WritePendingBlocks(engine, name) != 0) {
      std::fprintf(stderr, "save_fuzz_seeds: cannot write the save file\n");
      return 1;
    }
    std::ifstream in(game / "save" / "seed.sd", std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const std::string stem = "target" + std::to_string(which);
    WriteSeed(outDir / (stem + "-file"), static_cast<uint8_t>(which), static_cast<uint8_t>(which % 4), file);
    const graphics::Layer* layer = graphics::LayerOf(target.layer);
    const auto payload = layer ? save::LayerPayload(*layer)
                               : save::VariablePayload(engine, target.variable, target.element, target.whole);
    WriteSeed(outDir / (stem + "-payload"), static_cast<uint8_t>(0x80 | which), layer ? 1 : 0, payload);
  }
  std::filesystem::remove_all(game);
  return 0;
}
