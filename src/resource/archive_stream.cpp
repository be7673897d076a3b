#include "resource/archive_stream.h"

#include "common/bytes.h"
#include "resource/archives.h"
#include "shell/engine.h"

namespace vv::resource {

bool ArchiveStream::Open(platform::FileSystem& files, std::string_view enginePath, uint64_t base) {
  Close();
  auto file = files.Open(enginePath, platform::OpenMode::Read);
  if (!file) return false;
  const int64_t size = file->Size();
  if (size < 0 || static_cast<uint64_t>(size) < base || !file->Seek(base)) return false;
  file_ = std::move(file);
  base_ = base;
  length_ = static_cast<uint64_t>(size) - base;
  pos_ = 0;
  return true;
}

bool ArchiveStream::Open(Engine& engine, int32_t archiveIndex) {
  if (archiveIndex < 0 || static_cast<size_t>(archiveIndex) >= engine.archives.archives.size()) {
    Close();
    return false;
  }
  const ArchiveLocation where = LocateArchive(engine, archiveIndex);
  return Open(*engine.platform.files, where.enginePath, where.base);
}

void ArchiveStream::Close() {
  file_.reset();
  base_ = length_ = pos_ = 0;
}

bool ArchiveStream::Seek(uint64_t pos) {
  if (!file_ || pos > length_) return false;
  if (!file_->Seek(base_ + pos)) return false;
  pos_ = pos;
  return true;
}

bool ArchiveStream::ReadBlock(std::span<uint8_t> out) {
  if (!file_ || out.size() > length_ - pos_) return false;
  size_t done = 0;
  while (done < out.size()) {
    const size_t got = file_->Read(out.data() + done, out.size() - done);
    if (got == 0) break;
    done += got;
  }
  pos_ += done;
  return done == out.size();
}

bool ArchiveStream::ReadByte(uint8_t& out) { return ReadBlock(std::span(&out, 1)); }

bool ArchiveStream::ReadU32(uint32_t& out) {
  uint8_t bytes[4];
  if (!ReadBlock(bytes)) return false;
  out = common::LoadU32(bytes);
  return true;
}

namespace {
// The mounted path without its leading ".\" (the program folder itself).
std::string_view WithoutCurrentFolder(std::string_view path) {
  while (path.size() >= 2 && path[0] == '.' && path[1] == '\\') path.remove_prefix(2);
  return path;
}
}  // namespace

ArchiveLocation LocateArchive(const Engine& engine, int32_t archiveIndex) {
  const MountedArchive& a = engine.archives.archives[static_cast<size_t>(archiveIndex)];
  ArchiveLocation where;
  if (a.embedded) {
    where.enginePath = platform::HostToEnginePath(engine.shell.paths.programHostPath);
    where.base = static_cast<uint64_t>(engine.shell.block.locator) + engine.shell.block.archiveOffset;
    return where;
  }
  // In a development run the engine works in the project folder, so the
  // archives, which live beside the program, are named from its folder.
  const std::string_view relative = WithoutCurrentFolder(a.openPath.empty() ? a.path : a.openPath);
  if (engine.shell.flags.releaseMode || engine.shell.paths.programDir.empty()) {
    where.enginePath = std::string(relative);
  } else {
    where.enginePath = engine.shell.paths.programDir + std::string(relative);
  }
  return where;
}

}  // namespace vv::resource
