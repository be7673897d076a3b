// Fuzz target: LoadCommand's reading of a save file, into variables of
// every type and shape and into a layer.
//
// Input: [target: u8][block: u8][rest]. Without the top bit of the target
// byte the rest is a whole save file; block (1 + block % 4) of it is
// loaded into target (target % 6, see save_fuzz_game.h). With the top bit
// the rest is one block's payload, which the target compresses into a
// well-formed file first, so that the payload parsers behind zlib's
// checksum are reached too (block byte bit 0: the kind). Seeds: the files
// tests/save/save_fuzz_seeds writes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/memory_files.h"
#include "fuzz/save_fuzz_game.h"
#include "save/save_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv;
  if (size < 2) return 0;
  const uint8_t which = data[0];
  const uint8_t block = data[1];
  const std::span<const uint8_t> rest(data + 2, size - 2);

  std::vector<uint8_t> file;
  if (which & 0x80) {
    save::PendingBlocks pending;
    const uint8_t kind = (block & 1) ? save::kKindLayer : save::kKindVariable;
    if (!save::BuildStoredBlock(1 + block % 4, kind, rest, pending[static_cast<size_t>(block % 4)])) return 0;
    save::ComposedFile composed;
    if (save::ComposeSaveFile({}, pending, composed) != 0) return 0;
    for (const auto& piece : composed.pieces) file.insert(file.end(), piece.begin(), piece.end());
  } else {
    file.assign(rest.begin(), rest.end());
  }

  auto fs = std::make_unique<fuzz::MemoryFileSystem>();
  fs->Add("save\\f.sd", std::move(file));
  fuzz::FilesOnlyPlatform platform(std::move(fs));
  Engine engine(platform);
  fuzz::DeclareSaveTargets(engine);
  const save::SaveFileName name{"f", "f.sd"};
  save::LoadBlock(engine, name, 1 + block % 4, fuzz::SaveTarget(engine, (which & 0x7F) % fuzz::kSaveTargets));
  return 0;
}
