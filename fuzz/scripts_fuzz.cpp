// Fuzz target: a whole compiled game from one input, then the script
// start-up and up to 300 interpreter passes.
//
// Input: records of [file id: u8][length: u32 little-endian][bytes]; ids 0
// to 5 are nvc, nvt, nvt_list, nvv, nvl and nve.nbn, id 6 + k is code file
// k (k < 8). The seeds are compiled test scripts; the fuzzer damages them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "common/bytes.h"
#include "fuzz/memory_files.h"
#include "platform/headless/virtual_clock.h"
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace {

constexpr int kPasses = 300;
constexpr const char* kFixedNames[] = {"nvbin\\nvc.nbn", "nvbin\\nvt.nbn", "nvbin\\nvt_list.nbn",
                                       "nvbin\\nvv.nbn", "nvbin\\nvl.nbn", "nvbin\\nve.nbn"};

// The in-memory files and a virtual clock (waits and timers need one).
class ScriptPlatform final : public vv::platform::Platform {
 public:
  explicit ScriptPlatform(std::unique_ptr<vv::fuzz::MemoryFileSystem> fs) {
    files = std::move(fs);
    clock = std::make_unique<vv::platform::VirtualClock>();
  }
  const char* Name() const override { return "fuzz"; }
  bool IsHeadless() const override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vv;
  auto fs = std::make_unique<fuzz::MemoryFileSystem>();
  common::ByteReader r(data, size);
  while (r.ok() && r.remaining() > 0) {
    const uint8_t id = r.U8();
    const uint32_t length = r.U32();
    const auto bytes = r.Bytes(length);
    if (!r.ok() || id >= 6 + 8) break;
    char name[32];
    if (id < 6) std::snprintf(name, sizeof name, "%s", kFixedNames[id]);
    else std::snprintf(name, sizeof name, "nvbin\\nvt%05d.nbn", id - 6);
    fs->Add(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  ScriptPlatform platform(std::move(fs));
  Engine engine(platform);
  script::CreateContextTree(engine);
  script::BindScriptCommands(engine.script.interp.handlers);
  if (script::LoadScriptSystem(engine) != 0) return 0;
  // A script may loop without yielding; the fuzzer wants every input to end.
  engine.script.interp.passCommandLimit = 100000;
  for (int i = 0; i < kPasses && !engine.shell.flags.halted; ++i) {
    ++engine.shell.clock.passCounter;
    script::RunInterpreterPass(engine);
  }
  return 0;
}
