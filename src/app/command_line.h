// The command line of the vavevo program.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/program.h"

namespace vv::app {

enum class Backend { Auto, Sdl, Headless };

struct Options {
  Backend backend = Backend::Auto;
  bool help = false;
  std::string gameDir;          // empty: the executable's folder
  uint64_t frames = 0;
  std::string screenshotDir;
  std::string inputScript;
  std::string dialogLog;
  std::string answers;
  std::string dumpState;        // write the state as JSON when the run ends
  std::string presentPath;      // "texture" or "surface": skip the speed trial
  std::optional<uint32_t> seed;
  std::vector<std::string> scriptArgs;
};

// Parses argv[1..]. Returns nullopt and fills `error` (one line) on a usage
// error.
std::optional<Options> ParseCommandLine(int argc, const char* const* argv, std::string& error);

// The --help text.
std::string UsageText();

}  // namespace vv::app
