// The save file layout (all integers little-endian int32):
//
//   offset  size  field
//        0     4  magic "NVSD"
//        4     4  version, 192
//        8     4  number of blocks in the file
//       12     4  1024, the number of directory entries
//       16  4096  directory: entry i = file offset of block number i + 1,
//                 0 when the block is absent
//     4112     …  blocks, one after the other without gaps
//
// A stored block is its number, then its entry: kind (0 variable, 1
// layer), the bytes 1, 0, 0, C (compressed size), U (plain size), and C
// bytes of one zlib stream (level 1). A directory offset points at the
// block's number.
//
// Everything here works on bytes in memory and reports nothing: callers
// turn the results into error reports. Threading: any thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "save/save_state.h"

namespace vv::save {

constexpr uint8_t kMagic[4] = {'N', 'V', 'S', 'D'};
constexpr int32_t kVersion = 192;
constexpr int32_t kDirectoryEntries = 1024;
constexpr size_t kHeaderBytes = 16;
constexpr size_t kFirstBlockOffset = kHeaderBytes + 4 * kDirectoryEntries;  // 4112
constexpr size_t kBlockHeadBytes = 16;  // number, kind, 1, 0, 0, C, U
constexpr uint8_t kKindVariable = 0;
constexpr uint8_t kKindLayer = 1;

// Error codes of damaged or foreign files.
constexpr int32_t kErrNotSaveFile = 108030;
constexpr int32_t kErrWrongSaveVersion = 108040;
constexpr int32_t kErrBadSaveData = 900000;
// ComposeSaveFile: the new file would not fit the format's 32-bit offsets.
constexpr int32_t kFileTooLarge = -1;

// Compresses `payload` (zlib, level 1) into the stored form of block
// `block` (1..1024) of `kind`. False when zlib fails or the compressed
// size does not fit the format (nothing is stored then).
bool BuildStoredBlock(int block, uint8_t kind, std::span<const uint8_t> payload, std::vector<uint8_t>& out);

struct SaveHeader {
  int32_t count = 0;
  int32_t entries = 0;  // the field at offset 12
  std::array<int32_t, kDirectoryEntries> directory{};
};

// The header and directory of a file image: 0, kErrNotSaveFile (magic,
// also for a file shorter than it), kErrWrongSaveVersion, or
// kErrBadSaveData when the directory is cut short.
int32_t ReadSaveHeader(std::span<const uint8_t> file, SaveHeader& out);

// The new content of a save file, as pieces to write one after the other:
// `head` (header and directory), then stored blocks taken from the old
// file and from the pending slots. The pieces point into `head`, the old
// image and the pending slots, which must stay unchanged while they are
// written. Not copyable (the first piece points into the object).
struct ComposedFile {
  ComposedFile() = default;
  ComposedFile(const ComposedFile&) = delete;
  ComposedFile& operator=(const ComposedFile&) = delete;

  std::array<uint8_t, kFirstBlockOffset> head{};
  std::vector<std::span<const uint8_t>> pieces;
  uint64_t size = 0;
  int written = 0;  // pending blocks that went in
};

// Builds the file that saving the pending blocks into `old` gives (`old`
// empty: the file does not exist yet):
// - a new file: header, then every pending block in ascending number order
//   from offset 4112, the directory and the count of them;
// - no pending number in the old directory: the old file with every
//   pending block appended in ascending order, the count raised by their
//   number, the directory entries set, and 1024 at offset 12;
// - otherwise the old header, then the old blocks in file order, each
//   replaced by the pending block of its number when there is one (once),
//   then the remaining pending blocks appended in ascending order; every
//   block that was walked or appended gets its new offset in the
//   directory, and the count grows by the number appended.
// Returns 0, an error code of ReadSaveHeader, kErrBadSaveData when a
// stored block runs past the end of the file or carries a number outside
// 1..1024, or kFileTooLarge.
int32_t ComposeSaveFile(std::span<const uint8_t> old, const PendingBlocks& pending, ComposedFile& out);

}  // namespace vv::save
