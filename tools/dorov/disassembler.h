// Prints the compiled files of a game readably: the command table, the
// variable table, the file list, declarations, labels and every code
// file with its commands, argument names and expressions in infix form.
//
// It reads whatever it is given defensively: a damaged or truncated file
// is described (what was read, then the problem), never read past its
// end. Command and argument names come from the game's own command table
// file, so a table written by another tool is shown as it is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vv::dorov {

struct DisassembledArgument {
  std::string name;
  uint8_t assignOp = 0;
  std::string value;
};

// "name arg=value, arg+=value" (Shift-JIS in, Shift-JIS out).
std::string FormatCommandLine(std::string_view name, const std::vector<DisassembledArgument>& args);

struct Disassembly {
  std::string text;                   // UTF-8
  std::vector<std::string> problems;  // damaged or inconsistent data found
};

// `files` maps nvbin file names ("nvc.nbn", "nvt00000.nbn") to contents.
Disassembly Disassemble(const std::map<std::string, std::vector<uint8_t>>& files);

// Reads every *.nbn file of a folder. False (with `error`) when the folder
// cannot be read.
bool ReadNvbinFolder(const std::string& folder, std::map<std::string, std::vector<uint8_t>>& files,
                     std::string& error);

}  // namespace vv::dorov
