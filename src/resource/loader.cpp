#include "resource/loader.h"

#include <limits>
#include <new>

#include "resource/archive_stream.h"
#include "resource/archives.h"
#include "resource/error_reporter.h"
#include "shell/engine.h"

namespace vv::resource {

namespace {

constexpr ErrorCode kCannotRead = 104010;
constexpr ErrorCode kNoMemory = 104030;
constexpr ErrorCode kNotFound = 104060;
constexpr ErrorCode kDamagedEntry = 104100;
constexpr ErrorCode kInflateFailed = 106010;
constexpr ErrorCode kInflateOverflow = 900040;
constexpr ErrorCode kArchiveNotOpened = 901040;

// Sizes a LoadedFile can hold.
constexpr uint64_t kMaxFileBytes = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

// Resizes `buffer`, reporting 104030 when the memory is not there.
bool Allocate(Engine& engine, std::vector<uint8_t>& buffer, uint64_t bytes, std::string_view name) {
  try {
    if (bytes > kMaxFileBytes) throw std::bad_alloc();
    buffer.resize(static_cast<size_t>(bytes));
    return true;
  } catch (const std::bad_alloc&) {
    buffer.clear();
    ReportSystemError(engine, kNoMemory, true, {name});
    return false;
  }
}

int FindByName(const std::vector<MemoryFile>& table, std::string_view name) {
  for (size_t i = 0; i < table.size(); ++i) {
    if (NamesEqualIgnoringCase(table[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int LoadLoose(Engine& engine, LoadedFile& file, std::string_view name) {
  auto f = engine.platform.files->Open(name, platform::OpenMode::Read);
  if (!f) {
    ReportSystemError(engine, kCannotRead, true, {name});
    return -3;
  }
  const int64_t size = f->Size();
  if (size < 0) {
    ReportSystemError(engine, kCannotRead, true, {name});
    return -3;
  }
  if (!Allocate(engine, file.data, static_cast<uint64_t>(size), name)) return -3;
  if (!f->Seek(0)) return -3;
  size_t done = 0;
  while (done < file.data.size()) {
    const size_t got = f->Read(file.data.data() + done, file.data.size() - done);
    if (got == 0) break;
    done += got;
  }
  // A file that shrank while it was read; nothing to report, the caller
  // sees the failure.
  return done == file.data.size() ? 0 : -3;
}

int LoadPackEntry(Engine& engine, LoadedFile& file, std::string_view name) {
  const ArchiveSet& set = engine.archives;
  const std::string archivePath =
      (file.archiveIndex >= 0 && static_cast<size_t>(file.archiveIndex) < set.archives.size())
          ? set.archives[static_cast<size_t>(file.archiveIndex)].path
          : std::string();
  ArchiveStream stream;
  if (!stream.Open(engine, file.archiveIndex)) {
    ReportSystemError(engine, kArchiveNotOpened, true, {archivePath});
    return -3;
  }
  uint8_t raw[pack::kDescriptorBytes];
  if (file.descriptorOffset < 0 || !stream.Seek(static_cast<uint64_t>(file.descriptorOffset)) ||
      !stream.ReadBlock(raw)) {
    ReportSystemError(engine, kArchiveNotOpened, true, {archivePath});
    return -3;
  }
  common::ByteReader r(raw, sizeof raw);
  const pack::Descriptor d = pack::ReadDescriptor(r);
  if (d.compression != pack::kStored && d.compression != pack::kDeflated) {
    ReportSystemError(engine, kArchiveNotOpened, true, {archivePath});
    return -3;
  }
  auto damaged = [&] {
    ReportSystemError(engine, kDamagedEntry, true, {archivePath, name});
    return -2;
  };
  // The stored bytes and their recovery record must lie inside the
  // archive, and the unpacked size must be one the stored bytes can give,
  // before anything is allocated from them.
  const uint64_t end = static_cast<uint64_t>(d.dataOffset) + d.storedSize;
  if (end > stream.Length()) return damaged();
  if (d.compression == pack::kStored ? d.unpackedSize != d.storedSize
                                     : d.unpackedSize > d.storedSize * pack::kMaxDeflateRatio + 64) {
    return damaged();
  }
  if (!stream.Seek(d.dataOffset)) return damaged();

  if (!Allocate(engine, file.data, d.unpackedSize, name)) return -3;
  if (d.compression == pack::kStored) {
    if (!stream.ReadBlock(file.data)) return damaged();
    if (VerifyAndRepair(engine, stream, file.data, d.checksum) < 0) return damaged();
    return 0;
  }

  std::vector<uint8_t> stored;
  if (!Allocate(engine, stored, d.storedSize, name)) return -3;
  if (!stream.ReadBlock(stored)) return damaged();
  pack::InflateResult result = pack::Inflate(stored, file.data);
  if (result != pack::InflateResult::Ok) {
    // Damage in the stored bytes can show as any decoder failure (a broken
    // length code overruns the buffer as easily as it breaks the data), so
    // every failure first tries the repair; only intact stored bytes leave
    // the decoder's own verdict.
    const int repair = VerifyAndRepair(engine, stream, stored, d.checksum);
    if (repair < 0) return damaged();
    if (repair > 0) result = pack::Inflate(stored, file.data);
  }
  switch (result) {
    case pack::InflateResult::Ok:
      return 0;
    case pack::InflateResult::DataError:
      return damaged();
    case pack::InflateResult::BufferError:
      ReportSystemError(engine, kInflateOverflow, true, {name});
      return -2;
    case pack::InflateResult::OtherError:
      break;
  }
  ReportSystemError(engine, kInflateFailed, true, {name});
  return -2;
}

int CopyMemoryFile(Engine& engine, LoadedFile& file, const std::vector<MemoryFile>& table, int32_t index,
                   std::string_view name) {
  if (index < 0 || static_cast<size_t>(index) >= table.size()) return -3;
  const MemoryFile& m = table[static_cast<size_t>(index)];
  if (!Allocate(engine, file.data, m.data.size(), name)) return -3;
  std::copy(m.data.begin(), m.data.end(), file.data.begin());
  return 0;
}

}  // namespace

int FindInPreloads(Engine& engine, LoadedFile& file, std::string_view name) {
  const int i = FindByName(engine.loader.preloads, name);
  if (i < 0) return 0;
  file.source = kSourcePreload;
  file.fileType = engine.loader.preloads[static_cast<size_t>(i)].fileType;
  file.preloadIndex = i;
  return kSourcePreload;
}

int FindInCompilerFiles(Engine& engine, LoadedFile& file, std::string_view name) {
  const int i = FindByName(engine.loader.compilerFiles, name);
  if (i < 0) return 0;
  file.source = kSourceCompiler;
  file.fileType = kTypeUnknown;
  file.memoryFileIndex = i;
  return kSourceCompiler;
}

int FindInFolder(Engine& engine, LoadedFile& file, std::string_view name, bool wantType) {
  if (name.empty() || !engine.platform.files) return 0;
  if (!engine.platform.files->Open(name, platform::OpenMode::Read)) return 0;
  file.source = kSourceLoose;
  if (wantType) file.fileType = FileTypeFromName(name);
  return kSourceLoose;
}

int FindInPacks(Engine& engine, LoadedFile& file, std::string_view name) {
  return FindEntry(engine, file, name);
}

int LookupFile(Engine& engine, LoadedFile& file, std::string_view name) {
  if (int rc = FindInPreloads(engine, file, name)) return rc;
  if (int rc = FindInCompilerFiles(engine, file, name)) return rc;
  if (engine.shell.flags.embeddedArchive) {
    if (int rc = FindInPacks(engine, file, name)) return rc;
    return FindInFolder(engine, file, name, true);
  }
  if (int rc = FindInFolder(engine, file, name, true)) return rc;
  return FindInPacks(engine, file, name);
}

int LoadFile(Engine& engine, LoadedFile& file, std::string_view name, bool report, bool resolve) {
  if (resolve) {
    file.source = kSourceNone;
    file.fileType = kTypeUnknown;
    const int found = LookupFile(engine, file, name);
    if (found < 1) {
      if (report) {
        const ErrorCode code = found == 0 ? kNotFound : found == -1 ? kCannotRead : kArchiveNotOpened;
        ReportSystemError(engine, code, true, {name});
      }
      return -1;
    }
  }
  switch (file.source) {
    case kSourceLoose:
      return LoadLoose(engine, file, name);
    case kSourcePack:
      return LoadPackEntry(engine, file, name);
    case kSourceCompiler:
      return CopyMemoryFile(engine, file, engine.loader.compilerFiles, file.memoryFileIndex, name);
    case kSourcePreload:
      return CopyMemoryFile(engine, file, engine.loader.preloads, file.preloadIndex, name);
    default:
      return -3;
  }
}

}  // namespace vv::resource
