// Script sources as the compiler sees them, and the errors it reports.
//
// A source file may be written in UTF-8 (with or without a byte-order
// mark) or in Shift-JIS; every line is turned into Shift-JIS, the form the
// engine keeps texts in. Errors name the file, the line and the column
// (counted in characters, from 1) and carry the line with a caret under
// the column, so that several errors of one run can be read at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vv::dorov {

// One script source: `name` is its path relative to the project folder
// with "/" between folders (UTF-8); `bytes` is the file's content.
struct SourceFile {
  std::string name;
  std::string bytes;
};

struct Diagnostic {
  std::string file;     // the source's name
  int line = 0;         // from 1; 0 when the error concerns the whole project
  int column = 0;       // from 1, in characters; 0 when not known
  std::string message;  // UTF-8
  std::string excerpt;  // the line and a caret line (UTF-8), or empty

  // "file:line:col: message" followed by the excerpt.
  std::string Format() const;
};

// The lines of one source in Shift-JIS, with what is needed to point at a
// place in them.
struct SourceLines {
  std::string name;
  std::vector<std::string> lines;     // Shift-JIS, without line ends
  std::vector<std::string> display;   // the same lines in UTF-8, for excerpts
};

// Splits and converts a source. Characters that cannot be converted are
// reported (and replaced by '?', so that compiling can go on).
SourceLines DecodeSource(const SourceFile& file, std::vector<Diagnostic>& diagnostics);

// Column (from 1, in characters) of Shift-JIS byte `offset` of `line`.
int ColumnOf(std::string_view line, size_t offset);

// A diagnostic at byte `offset` of line `lineIndex` (0-based) of `source`.
Diagnostic MakeDiagnostic(const SourceLines& source, size_t lineIndex, size_t offset, std::string message);

}  // namespace vv::dorov
