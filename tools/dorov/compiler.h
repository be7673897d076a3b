// The script compiler: project sources in, the engine's nvbin files out.
//
// CompileProject never touches the disk, so tests can compile a script
// held in memory and hand the files straight to the engine. Every error is
// collected (file, line, column, excerpt); when there is any, `files` is
// left empty.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dorov/diagnostics.h"
#include "shell/configuration.h"

namespace vv::dorov {

struct CompileOptions {
  int32_t build = 0;  // reported to scripts as sys.build
};

// What one command record holds, in the form the disassembler prints it;
// the round-trip tests compare the two.
struct ListingArgument {
  int id = 0;
  std::string name;     // from the command table ("#id" for a low-level command)
  uint8_t assignOp = 0;
  std::string value;    // infix (Shift-JIS), or "@0x0040" for a code position
};

struct ListingCommand {
  uint16_t file = 0;
  int32_t position = 0;
  int32_t line = 0;
  uint8_t index = 0;
  std::vector<ListingArgument> args;
  bool hasOperand = false;  // command 56
  int32_t operand = 0;
};

struct CompileResult {
  std::map<std::string, std::vector<uint8_t>> files;  // "nvc.nbn", "nvt00000.nbn", ...
  std::vector<Diagnostic> diagnostics;
  std::vector<ListingCommand> listing;
  bool ok() const { return diagnostics.empty(); }
  // All diagnostics, formatted, one after the other.
  std::string ErrorText() const;
};

// Compiles the sources (script file numbers follow their order) with the
// project's settings into every file of nvbin.
CompileResult CompileProject(std::span<const SourceFile> sources, const shell::ConfigurationFile& settings,
                             const CompileOptions& options = {});

// One source with default settings, for tests and quick checks.
CompileResult CompileSource(std::string_view text, std::string_view name = "main.vvs");

}  // namespace vv::dorov
