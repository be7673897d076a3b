// A script machine test over scripts compiled by dorov: the sources are
// compiled in memory, written into the game folder and started, then the
// test runs interpreter passes and reads variables.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "dorov/compiler.h"
#include "script_test_support.h"

namespace vv::script::testing {

class CompiledScriptTest : public ScriptTest {
 protected:
  // Compiles `sources` (file numbers in their order) and starts the script.
  bool StartSources(const std::vector<dorov::SourceFile>& sources) {
    const dorov::CompileResult r = dorov::CompileProject(std::span(sources), shell::ConfigurationFile{});
    EXPECT_TRUE(r.ok()) << r.ErrorText();
    if (!r.ok()) return false;
    for (const auto& [name, bytes] : r.files) Write("nvbin/" + name, bytes);
    return Start();
  }
  bool StartScript(const std::string& source) { return StartSources({{"main.vvs", source}}); }

  // Passes as a frame runs them, a pass asking for another included.
  void Frames(int n) {
    for (int i = 0; i < n && !engine().shell.flags.halted; ++i) {
      do {
        engine().shell.flags.rerunRequested = false;
        Passes(1);
      } while (engine().shell.flags.rerunRequested && !engine().shell.flags.halted);
    }
  }

  std::vector<int64_t> Ints(int32_t variable, int64_t count) {
    std::vector<int64_t> out;
    for (int64_t i = 0; i < count; ++i) out.push_back(Int(variable, i));
    return out;
  }
};

}  // namespace vv::script::testing
