// A read-only view of one pack archive with a base offset.
//
// An archive file of its own has base 0; the archive embedded in the
// program starts at the appended block's offset plus the archive offset,
// and the stream opens the program file. Every position of the stream is
// relative to the base. The file is read unbuffered, straight through the
// platform's File, and closed when the stream closes or is destroyed.
// Not shared between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/filesystem.h"

namespace vv {
struct Engine;
}

namespace vv::resource {

class ArchiveStream {
 public:
  // Opens `enginePath` and moves to `base`. False when the file cannot be
  // opened or is shorter than `base`.
  bool Open(platform::FileSystem& files, std::string_view enginePath, uint64_t base);
  // Opens the mounted archive `archiveIndex` of the engine's archive set:
  // the program file for the embedded archive, otherwise the archive's
  // path (below ProgramDir unless the game runs in release mode).
  bool Open(Engine& engine, int32_t archiveIndex);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Bytes from the base to the end of the file.
  uint64_t Length() const { return length_; }
  // Positions relative to the base; a position beyond the end fails.
  bool Seek(uint64_t pos);
  uint64_t Tell() const { return pos_; }

  // Exact reads: false (and nothing consumed for certain) when the file
  // ends first or the read fails.
  bool ReadByte(uint8_t& out);
  bool ReadU32(uint32_t& out);
  bool ReadBlock(std::span<uint8_t> out);

 private:
  std::unique_ptr<platform::File> file_;
  uint64_t base_ = 0;
  uint64_t length_ = 0;
  uint64_t pos_ = 0;
};

// The engine path the archive `archiveIndex` is opened by, and its base.
struct ArchiveLocation {
  std::string enginePath;
  uint64_t base = 0;
};
ArchiveLocation LocateArchive(const Engine& engine, int32_t archiveIndex);

}  // namespace vv::resource
