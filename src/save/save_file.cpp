#include "save/save_file.h"

#include <zlib.h>

#include <climits>
#include <cstring>

#include "common/bytes.h"

namespace vv::save {

namespace {

// Offsets in the file are int32.
constexpr uint64_t kMaxFileBytes = INT32_MAX;

void PutHeader(ComposedFile& out, std::span<const uint8_t> oldHeader, int32_t count, int32_t entries,
               const std::array<int32_t, kDirectoryEntries>& directory) {
  uint8_t* p = out.head.data();
  if (oldHeader.size() >= kHeaderBytes) {
    std::memcpy(p, oldHeader.data(), kHeaderBytes);
  } else {
    std::memcpy(p, kMagic, 4);
    common::StoreU32(p + 4, static_cast<uint32_t>(kVersion));
  }
  common::StoreU32(p + 8, static_cast<uint32_t>(count));
  common::StoreU32(p + 12, static_cast<uint32_t>(entries));
  for (int i = 0; i < kDirectoryEntries; ++i) {
    common::StoreU32(p + kHeaderBytes + 4 * static_cast<size_t>(i), static_cast<uint32_t>(directory[i]));
  }
}

// Appends the pending blocks not yet used, in ascending number order,
// from offset `at`; false when an offset would leave the format's range.
bool AppendPending(const PendingBlocks& pending, std::array<bool, kBlockSlots>& used,
                   std::array<int32_t, kDirectoryEntries>& directory, ComposedFile& out) {
  for (int i = 0; i < kBlockSlots; ++i) {
    const std::vector<uint8_t>& block = pending[static_cast<size_t>(i)];
    if (block.empty() || used[static_cast<size_t>(i)]) continue;
    if (out.size + block.size() > kMaxFileBytes) return false;
    directory[static_cast<size_t>(i)] = static_cast<int32_t>(out.size);
    out.pieces.emplace_back(block);
    out.size += block.size();
    used[static_cast<size_t>(i)] = true;
    ++out.written;
  }
  return true;
}

}  // namespace

bool BuildStoredBlock(int block, uint8_t kind, std::span<const uint8_t> payload, std::vector<uint8_t>& out) {
  if (block < 1 || block > kBlockSlots || payload.size() > INT32_MAX) return false;
  uLongf bound = compressBound(static_cast<uLong>(payload.size()));
  std::vector<uint8_t> stored;
  try {
    stored.resize(kBlockHeadBytes + bound);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (compress2(stored.data() + kBlockHeadBytes, &bound, payload.data(), static_cast<uLong>(payload.size()), 1) !=
          Z_OK ||
      bound > INT32_MAX - kBlockHeadBytes) {
    return false;
  }
  stored.resize(kBlockHeadBytes + bound);
  uint8_t* p = stored.data();
  common::StoreU32(p, static_cast<uint32_t>(block));
  p[4] = kind;
  p[5] = 1;
  p[6] = 0;
  p[7] = 0;
  common::StoreU32(p + 8, static_cast<uint32_t>(bound));
  common::StoreU32(p + 12, static_cast<uint32_t>(payload.size()));
  stored.shrink_to_fit();
  out = std::move(stored);
  return true;
}

int32_t ReadSaveHeader(std::span<const uint8_t> file, SaveHeader& out) {
  common::ByteReader r(file);
  const auto magic = r.Bytes(4);
  if (!r.ok() || std::memcmp(magic.data(), kMagic, 4) != 0) return kErrNotSaveFile;
  if (r.I32() != kVersion || !r.ok()) return kErrWrongSaveVersion;
  out.count = r.I32();
  out.entries = r.I32();
  for (int32_t& entry : out.directory) entry = r.I32();
  return r.ok() ? 0 : kErrBadSaveData;
}

int32_t ComposeSaveFile(std::span<const uint8_t> old, const PendingBlocks& pending, ComposedFile& out) {
  out.pieces.clear();
  out.pieces.emplace_back(out.head);
  out.size = kFirstBlockOffset;
  out.written = 0;
  std::array<bool, kBlockSlots> used{};

  if (old.empty()) {
    std::array<int32_t, kDirectoryEntries> directory{};
    if (!AppendPending(pending, used, directory, out)) return kFileTooLarge;
    PutHeader(out, {}, out.written, kDirectoryEntries, directory);
    return 0;
  }

  SaveHeader header;
  if (const int32_t code = ReadSaveHeader(old, header); code != 0) return code;
  bool replaces = false;
  for (int i = 0; i < kBlockSlots; ++i) {
    if (!pending[static_cast<size_t>(i)].empty() && header.directory[static_cast<size_t>(i)] != 0) replaces = true;
  }

  if (!replaces) {
    // Append: the old file stays as it is up to its end.
    if (old.size() > kMaxFileBytes) return kFileTooLarge;
    out.size = old.size();
    if (old.size() > kFirstBlockOffset) out.pieces.emplace_back(old.subspan(kFirstBlockOffset));
    if (!AppendPending(pending, used, header.directory, out)) return kFileTooLarge;
    PutHeader(out, old, header.count + out.written, kDirectoryEntries, header.directory);
    return 0;
  }

  // Rewrite: walk the old blocks in file order.
  size_t at = kFirstBlockOffset;
  while (at < old.size()) {
    common::ByteReader r(old.subspan(at));
    const int32_t number = r.I32();
    r.Skip(4);
    const int32_t compressed = r.I32();
    r.Skip(4);
    if (!r.ok() || number < 1 || number > kBlockSlots || compressed < 0 ||
        static_cast<uint64_t>(compressed) > r.remaining()) {
      return kErrBadSaveData;
    }
    const size_t length = kBlockHeadBytes + static_cast<size_t>(compressed);
    const size_t slot = static_cast<size_t>(number - 1);
    std::span<const uint8_t> piece = old.subspan(at, length);
    if (!pending[slot].empty() && !used[slot]) {
      piece = pending[slot];
      used[slot] = true;
    }
    if (out.size + piece.size() > kMaxFileBytes) return kFileTooLarge;
    header.directory[slot] = static_cast<int32_t>(out.size);
    out.pieces.push_back(piece);
    out.size += piece.size();
    at += length;
  }
  for (bool u : used) out.written += u ? 1 : 0;  // the blocks replaced in place
  const int replaced = out.written;
  if (!AppendPending(pending, used, header.directory, out)) return kFileTooLarge;
  const int appended = out.written - replaced;
  PutHeader(out, old, header.count + appended, header.entries, header.directory);
  return 0;
}

}  // namespace vv::save
