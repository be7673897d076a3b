// Writing pack archives: from a list of entries or from a folder.
//
// The output is deterministic: the same input gives the same bytes (names
// are written in byte order, deflate runs at one fixed level, the reserved
// header bytes are zero). Entries with identical stored bytes share one
// data area, which keeps archives of many small or empty files small.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resource/pack_format.h"

namespace vv::npf {

struct WriterEntry {
  std::string name;  // Shift-JIS engine name; canonicalised by the writer
  std::vector<uint8_t> data;
  // The type code; nullopt takes it from the name's extension.
  std::optional<uint8_t> fileType;
};

enum class Compression {
  Auto,    // deflate when that makes the entry smaller
  Store,   // never deflate
  Deflate  // always deflate (tests of the inflate path)
};

struct WriterOptions {
  uint32_t version = resource::pack::kVersion;
  Compression compression = Compression::Auto;
  // The pairs of name lengths exchanged; another table writes archives as
  // other packers would.
  resource::pack::LengthTable lengthTable = resource::pack::kLengthTable;
  // Keep the entries in the given order instead of sorting them by name.
  bool keepOrder = false;
};

// The archive bytes, or nullopt with `error` set (a name longer than 255
// bytes, two entries with one canonical name, an archive beyond 4 GiB).
std::optional<std::vector<uint8_t>> BuildArchive(std::vector<WriterEntry> entries,
                                                 const WriterOptions& options, std::string& error);

// Every regular file below the host folder `dir`, named by its path
// relative to `dir` in canonical engine form: Shift-JIS (UTF-8 host names
// are converted, other names are taken as Shift-JIS bytes), ASCII letters
// lowered, `\` separators. Nullopt with `error` when the folder cannot be
// read or a name has no Shift-JIS form.
std::optional<std::vector<WriterEntry>> CollectFolder(const std::string& dir, std::string& error);

// Writes `bytes` to the host file `path` (through a temporary file that is
// renamed over it). False with `error` set on failure.
bool WriteHostFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
// Reads a whole host file. Nullopt with `error` set on failure.
std::optional<std::vector<uint8_t>> ReadHostFile(const std::string& path, std::string& error);

}  // namespace vv::npf
