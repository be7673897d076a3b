// Fuzz target: a context state text restored into a context. A text that
// is accepted must encode back to itself (apart from the case of its file
// name) and decode again to the same state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/memory_files.h"
#include "script/context.h"
#include "script/context_state.h"
#include "shell/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv;
  fuzz::FilesOnlyPlatform platform(std::make_unique<fuzz::MemoryFileSystem>());
  Engine engine(platform);
  engine.script.compiled.fileNames = {"main.vvs", "sub/scene.vvs"};
  const std::string text(reinterpret_cast<const char*>(data), size);
  script::ScriptContext context;
  if (script::DecodeContextState(engine, text, context) != 0) return 0;
  std::string again;
  script::EncodeContextState(engine, context, again);
  script::ScriptContext copy;
  std::string third;
  if (again.size() != text.size() || script::DecodeContextState(engine, again, copy) != 0) std::abort();
  script::EncodeContextState(engine, copy, third);
  if (third != again) std::abort();
  return 0;
}
