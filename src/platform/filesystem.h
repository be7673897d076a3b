// Files and folders, addressed by engine paths.
//
// An engine path is Shift-JIS with `\` (or `/`) separators. A relative path
// starts at the base folder (the game folder the engine works in); a path
// that starts with a separator is absolute. Each component is matched
// against the host folder's entries ignoring ASCII letter case, the exact
// spelling winning when several match; host names may be stored as UTF-8
// or as raw Shift-JIS bytes. Folder listings are cached and dropped again
// whenever this interface changes the folder.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vv::platform {

struct DirEntry {
  std::string nameSjis;   // the host name as the engine sees it
  std::string hostName;   // the name's bytes on the host
  bool isDirectory = false;
  uint64_t size = 0;
};

enum class OpenMode {
  Read,       // existing file, read only
  Write,      // create or truncate, write only
  ReadWrite,  // existing file, read and write
  Append,     // create when missing, writes go to the end
};

// A test hook of the file layer: once armed, the writes of this file system
// (through Files and ReplaceFile) fail with `error` when they reach byte
// `atByte` counted from the arming: that write stores the bytes before it
// and reports a short write. When every byte before it got through, the
// next durable flush fails instead. The fault fires once and disarms.
struct WriteFault {
  uint64_t atByte = 0;
  int error = 28;  // ENOSPC
};

// An open file; closed when destroyed. Not shared between threads.
class File {
 public:
  virtual ~File() = default;
  virtual int64_t Size() = 0;                       // -1 on failure
  virtual bool Seek(uint64_t offset) = 0;
  virtual int64_t Tell() = 0;
  virtual size_t Read(void* out, size_t bytes) = 0;  // short at the end
  virtual size_t Write(const void* in, size_t bytes) = 0;
  // Flushes to the device (fsync) when `durable`.
  virtual bool Flush(bool durable) = 0;
  // errno of the last failed call on this file, 0 when none failed.
  virtual int LastError() const = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The host folder relative engine paths start from.
  virtual void SetBaseDir(std::string hostDir) = 0;
  virtual const std::string& BaseDir() const = 0;

  // Host path of an existing entry, or nullopt when no entry matches.
  virtual std::optional<std::string> Resolve(std::string_view enginePath) = 0;
  // Host path for an entry that may not exist yet: the existing folders of
  // the path are resolved, the missing rest is converted to UTF-8.
  virtual std::string ResolveForCreate(std::string_view enginePath) = 0;

  // nullptr when the file cannot be opened; LastError() tells why.
  virtual std::unique_ptr<File> Open(std::string_view enginePath, OpenMode mode) = 0;
  virtual std::optional<std::vector<DirEntry>> List(std::string_view enginePath) = 0;

  virtual bool Exists(std::string_view enginePath) = 0;
  virtual bool IsDirectory(std::string_view enginePath) = 0;
  virtual bool CreateDirectory(std::string_view enginePath) = 0;
  virtual bool Remove(std::string_view enginePath) = 0;           // a file
  virtual bool RemoveDirectory(std::string_view enginePath) = 0;  // an empty folder
  // Moves `from` over `to` in one step, replacing `to` (same folder tree).
  virtual bool Rename(std::string_view from, std::string_view to) = 0;
  virtual bool Copy(std::string_view from, std::string_view to) = 0;
  // Makes the folder's entries durable (after a rename into it).
  virtual bool SyncDirectory(std::string_view enginePath) = 0;
  // Drops the cached folder listings (the folder changed behind our back).
  virtual void Invalidate() = 0;

  // Makes the file at `enginePath` (created when missing; its folder must
  // exist) hold exactly the concatenation of `pieces`, such that a crash,
  // a power cut or a failed write at any moment leaves either the complete
  // old file or the complete new one under that name: the bytes go to a new
  // file in the same folder, which is flushed to the device and renamed over
  // the old one, and then the folder itself is flushed. The new file keeps
  // the old file's permission bits. False when any step failed
  // (LastError() tells why): the old file is then as it was and no
  // temporary file is left behind. A file system that cannot do this
  // durably refuses (the default).
  virtual bool ReplaceFile(std::string_view enginePath, std::span<const std::span<const uint8_t>> pieces);

  // Arms (or, with nullopt, disarms) the write fault above. The default
  // file system of a backend without the hook ignores it.
  virtual void SetWriteFault(std::optional<WriteFault> fault);

  // errno of the last failed call, 0 when none failed.
  virtual int LastError() const = 0;
};

// The host's own description of an errno value (English, ASCII).
std::string ErrorNumberText(int error);

// Host path (UTF-8 or raw bytes) to engine form: Shift-JIS, `\` separators.
std::string HostToEnginePath(std::string_view hostPath);

// The POSIX file system both backends use.
std::unique_ptr<FileSystem> CreatePosixFileSystem(std::string baseDir);

}  // namespace vv::platform
