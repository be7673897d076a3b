// Pack archives: mounting, the global entry index, entry lookup and the
// repair of damaged entry data.
//
// At start-up MountArchives finds every archive (the program folder and
// its `pac` subfolder, or the one archive embedded in the program), checks
// it and indexes all entries in mount order. The set is read-only
// afterwards; archives are opened only for one lookup or one read. All
// functions run on the thread that starts the engine or runs the frames.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "resource/pack_format.h"

namespace vv {
struct Engine;
}

namespace vv::resource {

struct LoadedFile;
class ArchiveStream;

struct MountedArchive {
  // The path as mounted (".\pac\bg.npf", ASCII letters lowered) and shown
  // in messages; the program's path for the embedded archive.
  std::string path;
  // The path spelt as the folder listing gave it, which opens the file
  // even when the host has folders that differ only in letter case.
  std::string openPath;
  bool embedded = false;
  uint32_t entryCount = 0;
  // The name-length table the archive was written with: ours, or the one
  // recovered from the archive when its packer used other pairs.
  pack::LengthTable lengthTable = pack::kLengthTable;
  bool derivedTable = false;
};

struct ArchiveSet {
  std::vector<MountedArchive> archives;  // mount order, at most 100
  uint32_t totalEntries = 0;             // at most 100000

  // The global entry index: parallel arrays over every entry of every
  // archive in mount order.
  std::vector<uint32_t> hashes;
  std::vector<uint8_t> archiveOf;
  std::vector<uint32_t> lengthPos;  // position of the entry's length byte

  // (hash << 32 | entry index), sorted: the entries with one hash, in
  // mount order, by binary search.
  std::vector<uint64_t> byHash;

  // Entry tables read by MountArchive, indexed by MountArchives and then
  // dropped; only the index arrays are kept.
  std::vector<std::vector<uint8_t>> pendingTables;

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Fuzz builds only: skip the CRC-32 and Adler-32 checks so that the
  // fuzzer reaches the code behind them.
  bool skipChecksums = false;
#endif
};

// Whether checksums are verified (always, outside fuzz builds).
bool ChecksumsVerified(const Engine& engine);

// Mounts every archive and builds the index. 0, or -1 after a reported
// error (folder limits, archive limits, version, a damaged entry table,
// a duplicate name, an archive that cannot be opened). Sets ReleaseMode
// when an entry is named `nvbin\nvcfg.nbn`.
int MountArchives(Engine& engine);

// Checks the archive at `path` (an engine path relative to the program
// folder; ignored by the embedded mount) and adds it to the set. 0 when
// mounted or silently skipped (another magic), -1 after a reported limit,
// version or format error, -2 when the file cannot be opened (reported).
int MountArchive(Engine& engine, std::string path);
// The same with the host's spelling of the path, used to open it.
int MountArchive(Engine& engine, std::string path, std::string openPath);

// Entry lookup by canonical name: 2 and the locator fields of `file` set
// when found, 0 when no entry has that name, -2 when an archive that
// should hold it cannot be opened.
int FindEntry(Engine& engine, LoadedFile& file, std::string_view name);

// Fills `file` for the entry `entryIndex` of the global index and returns
// its stored name in `name`. 2, or -2 when its archive cannot be read.
int LocateEntry(Engine& engine, int32_t entryIndex, LoadedFile& file, std::string& name);

// Checks `buffer` (the entry's stored bytes) against `checksum` and
// rebuilds one damaged block from the recovery record, which `stream`
// stands at. 0 intact, 1 repaired, -1 damaged beyond repair.
int VerifyAndRepair(const Engine& engine, ArchiveStream& stream, std::span<uint8_t> buffer,
                    uint32_t checksum);

}  // namespace vv::resource
