#include "resource/archives.h"

#include <algorithm>
#include <deque>

#include "common/checksum.h"
#include "common/sjis.h"
#include "resource/archive_stream.h"
#include "resource/error_reporter.h"
#include "resource/loader.h"
#include "shell/engine.h"

namespace vv::resource {

namespace {

constexpr ErrorCode kTooManyFolders = 104110;
constexpr ErrorCode kFoldersTooDeep = 104111;
constexpr ErrorCode kVersionMismatch = 104120;
constexpr ErrorCode kTooManyArchives = 104130;
constexpr ErrorCode kTooManyEntries = 104140;
constexpr ErrorCode kDuplicateEntry = 104150;
constexpr ErrorCode kArchiveNotOpened = 901040;

// The folder scan: the program folder and its `pac` subfolder.
constexpr size_t kMaxQueuedFolders = 1000;
constexpr int kMaxFolderDepth = 32;
constexpr int kScanDepth = 1;

constexpr char kReleaseMarker[] = "nvbin\\nvcfg.nbn";

struct ScanFolder {
  std::string path;  // ".", ".\pac"
  int depth = 1;
};

// The engine path a folder of the scan is listed by (the program folder is
// the current directory).
std::string ListingPath(const std::string& folder) {
  std::string_view p = folder;
  while (p.size() >= 2 && p[0] == '.' && p[1] == '\\') p.remove_prefix(2);
  return p.empty() || p == "." ? std::string(".") : std::string(p);
}

// Every archive in the program folder and its `pac` subfolder, in mount
// order, or -1 after a reported folder limit.
struct FoundArchive {
  std::string path;      // lowered, as mounted
  std::string openPath;  // as listed
};

int ScanFolders(Engine& engine, std::vector<FoundArchive>& found) {
  platform::FileSystem& fs = *engine.platform.files;
  std::deque<ScanFolder> queue;
  size_t queued = 1;
  queue.push_back({".", 1});
  while (!queue.empty()) {
    const ScanFolder folder = std::move(queue.front());
    queue.pop_front();
    auto listing = fs.List(ListingPath(folder.path));
    if (!listing) continue;
    // A listing's order depends on the host file system; names in byte
    // order make the mount order, and so every lookup, the same on every
    // machine.
    std::sort(listing->begin(), listing->end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.nameSjis < b.nameSjis; });
    for (const platform::DirEntry& e : *listing) {
      if (e.nameSjis == "." || e.nameSjis == "..") continue;
      if (e.isDirectory) {
        if (!NamesEqualIgnoringCase(e.nameSjis, "pac") || folder.depth > kScanDepth) continue;
        if (queued >= kMaxQueuedFolders) return ReportSystemError(engine, kTooManyFolders, true);
        if (folder.depth >= kMaxFolderDepth) return ReportSystemError(engine, kFoldersTooDeep, true);
        queue.push_back({folder.path + "\\" + e.nameSjis, folder.depth + 1});
        ++queued;
        continue;
      }
      if (e.nameSjis.size() < 4 || !HasExtension(e.nameSjis, ".npf")) continue;
      FoundArchive archive;
      archive.openPath = folder.path + "\\" + e.nameSjis;
      archive.path = archive.openPath;
      common::SjisLowerAscii(archive.path);
      found.push_back(std::move(archive));
    }
  }
  return 0;
}

// Reads and checks the archive in the last slot of the set and indexes its
// entries. Same results as MountArchive.
int MountLastSlot(Engine& engine) {
  ArchiveSet& set = engine.archives;
  const int32_t index = static_cast<int32_t>(set.archives.size() - 1);
  auto drop = [&set](int rc) {
    set.archives.pop_back();
    return rc;
  };
  const std::string path = set.archives.back().path;

  ArchiveStream stream;
  if (!stream.Open(engine, index)) {
    drop(0);
    ReportSystemError(engine, kArchiveNotOpened, true, {path});
    return -2;
  }
  uint8_t header[pack::kHeaderBytes];
  const size_t headerBytes = static_cast<size_t>(std::min<uint64_t>(stream.Length(), sizeof header));
  if (!stream.ReadBlock(std::span(header, headerBytes))) {
    drop(0);
    ReportSystemError(engine, kArchiveNotOpened, true, {path});
    return -2;
  }
  // Another magic: not one of ours, and not worth a message.
  if (headerBytes < 4 || !std::equal(header, header + 4, pack::kMagic)) return drop(0);

  common::ByteReader r(header, headerBytes, path);
  r.Skip(4);
  const uint32_t version = r.U32();
  const uint32_t count = r.U32();
  const uint32_t tableBytes = r.U32();
  if (!r.ok() || headerBytes < pack::kHeaderBytes || version < pack::kMinVersion) {
    drop(0);
    return ReportSystemError(engine, kVersionMismatch, true, {path});
  }
  if (count > pack::kMaxEntries - set.totalEntries) {
    drop(0);
    return ReportSystemError(engine, kTooManyEntries, true, {static_cast<int>(pack::kMaxEntries)});
  }
  if (set.archives.size() > pack::kMaxArchives) {
    drop(0);
    return ReportSystemError(engine, kTooManyArchives, true, {static_cast<int>(pack::kMaxArchives)});
  }

  // The entry table must lie inside the file and hold its entries; only
  // then is it read.
  if (tableBytes > stream.Length() - pack::kHeaderBytes || tableBytes / pack::kEntryFixedBytes < count) {
    drop(0);
    return ReportSystemError(engine, kVersionMismatch, true, {path});
  }
  std::vector<uint8_t> table(tableBytes);
  if (!stream.ReadBlock(table)) {
    drop(0);
    ReportSystemError(engine, kArchiveNotOpened, true, {path});
    return -2;
  }
  stream.Close();

  // Every name must hash to its entry's CRC-32 through the length table.
  // When it does not with ours, the archive's packer used other pairs:
  // recover its table from the archive, and refuse only when none fits.
  MountedArchive& archive = set.archives.back();
  const bool verify = ChecksumsVerified(engine);
  auto entries = pack::ParseEntryTable(table, count, pack::kLengthTable, verify);
  if (!entries && verify) {
    if (auto derived = pack::DeriveLengthTable(table, count)) {
      entries = pack::ParseEntryTable(table, count, *derived, true);
      archive.lengthTable = *derived;
      archive.derivedTable = true;
    }
  }
  if (!entries) {
    drop(0);
    return ReportSystemError(engine, kVersionMismatch, true, {path});
  }

  archive.entryCount = count;
  set.totalEntries += count;
  for (const pack::Entry& e : *entries) {
    set.hashes.push_back(e.hash);
    set.archiveOf.push_back(static_cast<uint8_t>(index));
    set.lengthPos.push_back(e.lengthPos);
    if (e.storedName.size() == sizeof kReleaseMarker - 1 && NamesEqualIgnoringCase(e.Name(), kReleaseMarker)) {
      engine.shell.flags.releaseMode = true;
    }
  }
  set.pendingTables.push_back(std::move(table));
  return 0;
}

// The stored name of entry `entry` from the entry tables still in memory.
std::string PendingName(const ArchiveSet& set, uint32_t entry) {
  const uint8_t archive = set.archiveOf[entry];
  const std::vector<uint8_t>& table = set.pendingTables[archive];
  const size_t pos = set.lengthPos[entry] - pack::kHeaderBytes;
  const uint8_t length = pack::DecodeNameLength(set.archives[archive].lengthTable, table[pos]);
  std::string name(length, '\0');
  pack::ComplementName(std::span(table).subspan(pos + 1, length), name.data());
  return name;
}

// Sorts the index by hash and finds the first entry, in mount order, whose
// name an earlier entry already has. -1 after reporting it.
int IndexAndCheckDuplicates(Engine& engine) {
  ArchiveSet& set = engine.archives;
  const size_t n = set.hashes.size();
  set.byHash.resize(n);
  for (size_t i = 0; i < n; ++i) set.byHash[i] = (static_cast<uint64_t>(set.hashes[i]) << 32) | i;
  std::sort(set.byHash.begin(), set.byHash.end());

  // Only entries that share a hash can share a name. Within one hash the
  // names are sorted (letter case folded), so each name's copies lie side
  // by side; a name's second copy in mount order is where it became a
  // duplicate.
  uint32_t firstDuplicate = UINT32_MAX;
  std::vector<std::pair<std::string, uint32_t>> group;
  for (size_t i = 0; i < n;) {
    size_t j = i + 1;
    while (j < n && (set.byHash[j] >> 32) == (set.byHash[i] >> 32)) ++j;
    if (j - i > 1) {
      group.clear();
      for (size_t k = i; k < j; ++k) {
        const auto entry = static_cast<uint32_t>(set.byHash[k]);
        std::string folded = PendingName(set, entry);
        common::SjisLowerAscii(folded);
        group.emplace_back(std::move(folded), entry);
      }
      std::sort(group.begin(), group.end());
      for (size_t k = 1; k < group.size(); ++k) {
        // Sorted by name, then by entry: the element after a name's first
        // is its second copy in mount order.
        if (group[k].first == group[k - 1].first && (k < 2 || group[k - 2].first != group[k].first)) {
          firstDuplicate = std::min(firstDuplicate, group[k].second);
        }
      }
    }
    i = j;
  }
  if (firstDuplicate != UINT32_MAX) {
    const std::string name = PendingName(set, firstDuplicate);
    return ReportSystemError(engine, kDuplicateEntry, false, {name});
  }
  return 0;
}

// Reads entry `entry` back from its archive: its stored name, type code and
// descriptor position. False when the archive cannot be opened or read.
bool ReadIndexedEntry(Engine& engine, uint32_t entry, std::string& name, uint8_t& type,
                      uint32_t& descriptorOffset) {
  const ArchiveSet& set = engine.archives;
  const uint8_t archive = set.archiveOf[entry];
  ArchiveStream stream;
  if (!stream.Open(engine, archive)) return false;
  uint8_t encoded = 0;
  if (!stream.Seek(set.lengthPos[entry]) || !stream.ReadByte(encoded)) return false;
  const uint8_t length = pack::DecodeNameLength(set.archives[archive].lengthTable, encoded);
  uint8_t stored[pack::kMaxNameBytes + 1];
  if (!stream.ReadBlock(std::span(stored, length + 1u))) return false;
  name.resize(length);
  pack::ComplementName(std::span(stored, length), name.data());
  type = stored[length];
  descriptorOffset = static_cast<uint32_t>(stream.Tell());
  return true;
}

void FillLocator(LoadedFile& file, const ArchiveSet& set, uint32_t entry, uint8_t type,
                 uint32_t descriptorOffset) {
  file.source = kSourcePack;
  file.fileType = type;
  file.entryIndex = static_cast<int32_t>(entry);
  file.archiveIndex = set.archiveOf[entry];
  file.descriptorOffset = static_cast<int32_t>(descriptorOffset);
}

}  // namespace

bool ChecksumsVerified([[maybe_unused]] const Engine& engine) {
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  return !engine.archives.skipChecksums;
#else
  return true;
#endif
}

int MountArchive(Engine& engine, std::string path) {
  std::string openPath = path;
  return MountArchive(engine, std::move(path), std::move(openPath));
}

int MountArchive(Engine& engine, std::string path, std::string openPath) {
  MountedArchive archive;
  archive.path = std::move(path);
  archive.openPath = std::move(openPath);
  engine.archives.archives.push_back(std::move(archive));
  return MountLastSlot(engine);
}

int MountArchives(Engine& engine) {
  ArchiveSet& set = engine.archives;
  {
    ArchiveSet fresh;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    fresh.skipChecksums = set.skipChecksums;
#endif
    set = std::move(fresh);
  }
  int rc = 0;
  if (engine.shell.flags.embeddedArchive) {
    MountedArchive archive;
    archive.path = engine.shell.paths.programPath;
    archive.embedded = true;
    set.archives.push_back(std::move(archive));
    rc = MountLastSlot(engine);
  } else {
    std::vector<FoundArchive> found;
    rc = ScanFolders(engine, found);
    for (size_t i = 0; rc == 0 && i < found.size(); ++i) {
      rc = MountArchive(engine, std::move(found[i].path), std::move(found[i].openPath));
    }
  }
  if (rc == 0) rc = IndexAndCheckDuplicates(engine);
  set.pendingTables.clear();
  set.pendingTables.shrink_to_fit();
  return rc == 0 ? 0 : -1;
}

int LocateEntry(Engine& engine, int32_t entryIndex, LoadedFile& file, std::string& name) {
  const ArchiveSet& set = engine.archives;
  if (entryIndex < 0 || static_cast<size_t>(entryIndex) >= set.hashes.size()) return -2;
  uint8_t type = 0;
  uint32_t descriptorOffset = 0;
  const auto entry = static_cast<uint32_t>(entryIndex);
  if (!ReadIndexedEntry(engine, entry, name, type, descriptorOffset)) return -2;
  FillLocator(file, set, entry, type, descriptorOffset);
  return kSourcePack;
}

int FindEntry(Engine& engine, LoadedFile& file, std::string_view name) {
  const ArchiveSet& set = engine.archives;
  const uint64_t hash = common::Crc32(name);
  auto it = std::lower_bound(set.byHash.begin(), set.byHash.end(), hash << 32);
  std::string stored;
  for (; it != set.byHash.end() && (*it >> 32) == hash; ++it) {
    const auto entry = static_cast<uint32_t>(*it);
    uint8_t type = 0;
    uint32_t descriptorOffset = 0;
    if (!ReadIndexedEntry(engine, entry, stored, type, descriptorOffset)) return -2;
    if (NamesEqualIgnoringCase(stored, name)) {
      FillLocator(file, set, entry, type, descriptorOffset);
      return kSourcePack;
    }
  }
  return 0;
}

int VerifyAndRepair(const Engine& engine, ArchiveStream& stream, std::span<uint8_t> buffer,
                    uint32_t checksum) {
  const bool verify = ChecksumsVerified(engine);
  if (!verify || common::Adler32(buffer) == checksum) return pack::kIntact;
  // The record is read only as far as this format defines it: a parity of
  // one block and one check per block of the buffer.
  std::vector<uint8_t> record(8);
  if (!stream.ReadBlock(record)) return pack::kBeyondRepair;
  const uint32_t parityBytes = common::LoadU32(record.data());
  const uint32_t blocks = common::LoadU32(record.data() + 4);
  if (parityBytes != pack::kBlockBytes || blocks != pack::BlockCount(buffer.size())) return pack::kBeyondRepair;
  record.resize(pack::RecoveryRecordBytes(buffer.size()));
  if (!stream.ReadBlock(std::span(record).subspan(8))) return pack::kBeyondRepair;
  return pack::VerifyAndRepairBuffer(buffer, checksum, record, true);
}

}  // namespace vv::resource
