// The pack archive format, shared by the engine's reader and the `npf`
// archive tool so that both always agree on every byte.
//
// Archive (little-endian; offsets from the archive's first byte):
//
//   0   4  magic "NPF" and a zero byte
//   4   4  format version (readers accept 234 and later; we write 288)
//   8   4  entry count
//   12  4  entry table size in bytes
//   16  16 reserved (written as zeros, never read)
//   32  .. entry table: the entries back to back
//   ..  .. data areas at the offsets the entries give
//
// Entry (23 + L bytes):
//
//   0      4  CRC-32 of the canonical name
//   4      1  encoded name length E; L = T[255 - E]
//   5      L  the name, every byte complemented
//   5+L    1  file type code
//   6+L    1  compression: 0 stored, 1 deflated (zlib stream)
//   7+L    4  unpacked size U
//   11+L   4  stored size S
//   15+L   4  data offset O
//   19+L   4  Adler-32 of the S stored bytes
//
// The bytes from 6+L on are the entry's data descriptor.
//
// Data area: the S stored bytes, then the recovery record:
//
//   4      parity length P (1024)
//   4      block count N (the stored bytes in 1024-byte blocks)
//   2*N    low 16 bits of the CRC-32 of each block
//   P      XOR of all blocks, each padded with zeros to 1024 bytes
//
// One damaged block per entry can be rebuilt from the parity.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/bytes.h"

namespace vv::resource::pack {

constexpr uint8_t kMagic[4] = {'N', 'P', 'F', 0};
constexpr uint32_t kVersion = 288;
constexpr uint32_t kMinVersion = 234;
constexpr size_t kHeaderBytes = 32;
constexpr size_t kEntryFixedBytes = 23;  // an entry without its name
constexpr size_t kDescriptorBytes = 17;  // flag, U, S, O, checksum
constexpr size_t kMaxNameBytes = 255;
constexpr uint32_t kBlockBytes = 1024;   // block and parity length
constexpr size_t kMaxArchives = 100;
constexpr size_t kMaxEntries = 100000;
constexpr uint8_t kStored = 0;
constexpr uint8_t kDeflated = 1;
// Deflate cannot expand data by more than this factor; a stated unpacked
// size beyond it marks a damaged descriptor before anything is allocated.
constexpr uint64_t kMaxDeflateRatio = 1032;

// The name-length table T: a permutation of 0..255 that is its own
// inverse. Ours exchanges ten pairs of values below 51 and keeps every
// other value; archives written by other packers may use other pairs
// (see DeriveLengthTable).
using LengthTable = std::array<uint8_t, 256>;

constexpr std::array<std::pair<uint8_t, uint8_t>, 10> kLengthPairs = {{
    {1, 48}, {2, 47}, {3, 41}, {4, 46}, {5, 29},
    {7, 43}, {11, 31}, {13, 37}, {17, 23}, {19, 50},
}};

constexpr LengthTable MakeLengthTable() {
  LengthTable t{};
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint8_t>(i);
  for (const auto& [a, b] : kLengthPairs) {
    t[a] = b;
    t[b] = a;
  }
  return t;
}

inline constexpr LengthTable kLengthTable = MakeLengthTable();

inline uint8_t EncodeNameLength(const LengthTable& t, uint8_t length) {
  return static_cast<uint8_t>(255 - t[length]);
}
inline uint8_t DecodeNameLength(const LengthTable& t, uint8_t encoded) {
  return t[255 - encoded];
}

// True when the table is a permutation that is its own inverse.
bool IsSelfInverse(const LengthTable& t);

// The complemented stored bytes back to the name (and the other way).
void ComplementName(std::span<const uint8_t> in, char* out);

// The entry's hash matches its name: the name's bytes as stored, or their
// canonical form (a packer may store names as the author spelled them).
bool NameMatchesHash(std::string_view name, uint32_t hash);

struct Descriptor {
  uint8_t compression = kStored;
  uint32_t unpackedSize = 0;
  uint32_t storedSize = 0;
  uint32_t dataOffset = 0;
  uint32_t checksum = 0;
};

// One parsed entry of a table in memory.
struct Entry {
  uint32_t hash = 0;
  uint32_t lengthPos = 0;      // archive position of the length byte
  uint8_t encodedLength = 0;
  std::span<const uint8_t> storedName;  // complemented bytes
  uint8_t fileType = 0;
  uint32_t descriptorPos = 0;  // archive position of the compression flag
  Descriptor descriptor;
  std::string Name() const;
};

// Reads the descriptor fields (17 bytes) from `r`.
Descriptor ReadDescriptor(common::ByteReader& r);

// Reads one entry at the reader's position; the table starts at archive
// position `tableBase`. False (and the reader failed) when it does not fit.
bool ReadEntry(common::ByteReader& r, const LengthTable& t, uint32_t tableBase, Entry& out);

// Parses `count` entries of a table. With `checkHashes` every name must
// match its hash. Nullopt when the table does not hold them.
std::optional<std::vector<Entry>> ParseEntryTable(std::span<const uint8_t> table, uint32_t count,
                                                  const LengthTable& t, bool checkHashes);

// Recovers the length table of an archive written with other exchanged
// pairs: every entry's true name length is the one whose name hashes to the
// entry's CRC-32. The lengths found must form a consistent, self-inverse
// mapping; lengths the archive never uses map to themselves. Nullopt when
// no such table explains the whole entry table.
std::optional<LengthTable> DeriveLengthTable(std::span<const uint8_t> table, uint32_t count);

// --- The recovery record ---------------------------------------------------

inline uint32_t BlockCount(size_t storedBytes) {
  return static_cast<uint32_t>((storedBytes + kBlockBytes - 1) / kBlockBytes);
}
inline size_t RecoveryRecordBytes(size_t storedBytes) {
  return 8 + 2 * static_cast<size_t>(BlockCount(storedBytes)) + kBlockBytes;
}

// The recovery record of `stored`, ready to be written after it.
std::vector<uint8_t> BuildRecoveryRecord(std::span<const uint8_t> stored);

enum RepairResult : int { kIntact = 0, kRepaired = 1, kBeyondRepair = -1 };

// Checks `data` against its Adler-32 and, when it differs, rebuilds the
// damaged block from the recovery record (`record` holds at least the
// record's bytes: P, N, the checks and the parity). With `verifyChecksum`
// false (fuzz builds only) the data counts as intact.
RepairResult VerifyAndRepairBuffer(std::span<uint8_t> data, uint32_t checksum,
                                   std::span<const uint8_t> record, bool verifyChecksum = true);

// One-shot inflate of a zlib stream into exactly `out.size()` bytes.
// DataError: the stream is broken, ends early or gives fewer bytes;
// BufferError: it gives more; OtherError: the decoder failed otherwise.
enum class InflateResult { Ok, DataError, BufferError, OtherError };
InflateResult Inflate(std::span<const uint8_t> in, std::span<uint8_t> out);

}  // namespace vv::resource::pack
