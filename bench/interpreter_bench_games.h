// The scripts the interpreter benchmarks run, compiled by dorov, and an
// engine over the headless platform that has started them.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "dorov/compiler.h"
#include "platform/headless/headless_platform.h"
#include "platform/host_paths.h"
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::bench {

// Commands a pass of each script runs are counted by the interpreter
// (InterpreterState::commandCount); these shapes only make a pass long.
//
// Arithmetic: 1000 rounds of 100 assignments `x = x + i`.
inline std::string ArithmeticScript() {
  std::string s = "@global int x = 0\n@global int i = 1\n*SYSTEM_START\n@loop 1000\n";
  for (int n = 0; n < 100; ++n) s += "@x = x + i\n";
  s += "@end\n@wait frames=1\n@goto *SYSTEM_START\n";
  return s;
}

// A message-free mix of layer-free commands: assignments, a conditional
// chain, a condition loop, a call with a parameter and a return value,
// texts and an evaluate-only command.
inline std::string MixedScript() {
  return R"(@global int x = 0
@global int n = 0
@global int total = 0
@global float f = 0.5
@global text t = ""
*twice(int v)
@return v * 2
*SYSTEM_START
@loop 1000
  @x = x + 1
  @if x % 3 == 0
    @total += 3
  @elif x % 3 == 1
    @total -= 1
  @else
    @f = f * 1.5 + 0.25
  @end
  @n = 0
  @while n < 4
    @n += 1
  @end
  @total = call *twice(n)
  @t = "abc" + text(n)
  @check value=total
@end
@wait frames=1
@goto *SYSTEM_START
)";
}

// A game folder with the compiled script and an engine that has started it.
class ScriptRun {
 public:
  explicit ScriptRun(const std::string& script) {
    const dorov::CompileResult compiled = dorov::CompileSource(script);
    if (!compiled.ok()) throw std::runtime_error(compiled.ErrorText());
    char pattern[] = "/tmp/vv-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no temporary folder");
    root_ = pattern;
    std::filesystem::create_directories(root_ + "/nvbin");
    for (const auto& [name, bytes] : compiled.files) {
      std::ofstream out(root_ + "/nvbin/" + name, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    platform::HeadlessOptions options;
    options.gameDir = root_;
    std::string error;
    platform_ = platform::CreateHeadlessPlatform(options, error);
    if (!platform_) throw std::runtime_error(error);
    engine_ = std::make_unique<Engine>(*platform_);
    engine_->shell.paths.programDir = platform::HostToEnginePath(root_) + "\\";
    engine_->shell.paths.projectDir = engine_->shell.paths.programDir;
    script::CreateContextTree(*engine_);
    script::BindScriptCommands(engine_->script.interp.handlers);
    if (script::LoadScriptSystem(*engine_) != 0) throw std::runtime_error("the script did not start");
  }
  ~ScriptRun() {
    engine_.reset();
    platform_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // One interpreter pass, as a frame runs it.
  void Pass() {
    ++engine_->shell.clock.passCounter;
    script::RunInterpreterPass(*engine_);
    if (engine_->shell.flags.halted) throw std::runtime_error("the script stopped");
  }
  uint64_t Commands() const { return engine_->script.interp.commandCount; }
  Engine& engine() { return *engine_; }

 private:
  std::string root_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace vv::bench
