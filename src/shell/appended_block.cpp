#include "shell/appended_block.h"

#include <cstring>
#include <vector>

#include "common/bytes.h"

namespace vv::shell {

namespace {

// Reads `count` bytes at `offset`, or nothing when the file is shorter.
std::optional<std::vector<uint8_t>> ReadAt(platform::File& file, uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  if (!file.Seek(offset)) return std::nullopt;
  if (file.Read(bytes.data(), count) != count) return std::nullopt;
  return bytes;
}

// A resource section bigger than this is no game program's.
constexpr uint32_t kMaxResourceSection = 64u << 20;
constexpr uint32_t kHighBit = 0x80000000u;

struct Section {
  uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

// The resource directory entry of `dir` that names `type` (a string, upper
// case as the resource compiler stores it) or has the numeric `id`.
// Returns the entry's offset field, or nullopt.
std::optional<uint32_t> FindEntry(common::ByteReader& res, uint32_t dir, std::string_view name,
                                  int id) {
  if (!res.Seek(dir) || !res.Skip(12)) return std::nullopt;
  const uint16_t named = res.U16();
  const uint16_t ids = res.U16();
  for (uint32_t i = 0; i < static_cast<uint32_t>(named) + ids && res.ok(); ++i) {
    const size_t entryPos = dir + 16 + i * 8;
    if (!res.Seek(entryPos)) return std::nullopt;
    const uint32_t nameField = res.U32();
    const uint32_t offset = res.U32();
    if (!res.ok()) return std::nullopt;
    if (id >= 0 && !(nameField & kHighBit) && nameField == static_cast<uint32_t>(id)) return offset;
    if (!name.empty() && (nameField & kHighBit)) {
      common::ByteReader str(res.data(), "resource name");
      if (!str.Seek(nameField & ~kHighBit)) continue;
      const uint16_t length = str.U16();
      if (length != name.size()) continue;
      bool same = true;
      for (char c : name) {
        const uint16_t u = str.U16();
        const uint16_t upper = (u >= 'a' && u <= 'z') ? static_cast<uint16_t>(u - 32) : u;
        if (!str.ok() || upper != static_cast<uint8_t>(c)) same = false;
      }
      if (same) return offset;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<uint32_t> LocatorFromTrailer(platform::File& file) {
  const int64_t size = file.Size();
  if (size < static_cast<int64_t>(kLocatorTrailerBytes)) return std::nullopt;
  auto tail = ReadAt(file, static_cast<uint64_t>(size) - kLocatorTrailerBytes, kLocatorTrailerBytes);
  if (!tail || std::memcmp(tail->data() + 4, kLocatorTrailerMagic, 8) != 0) return std::nullopt;
  return common::LoadU32(tail->data());
}

std::optional<uint32_t> LocatorFromPeResource(platform::File& file) {
  auto dos = ReadAt(file, 0, 64);
  if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
  const uint32_t peOffset = common::LoadU32(dos->data() + 0x3C);

  auto coff = ReadAt(file, peOffset, 24);
  if (!coff || std::memcmp(coff->data(), "PE\0\0", 4) != 0) return std::nullopt;
  const uint16_t sectionCount = common::LoadU16(coff->data() + 6);
  const uint16_t optionalSize = common::LoadU16(coff->data() + 20);
  if (sectionCount == 0 || sectionCount > 96) return std::nullopt;

  auto optional = ReadAt(file, peOffset + 24, optionalSize);
  if (!optional || optionalSize < 2) return std::nullopt;
  common::ByteReader opt(*optional, "optional header");
  const uint16_t magic = opt.U16();
  // The data directories follow the fixed part: 96 bytes in PE32, 112 in
  // PE32+. The resource table is directory 2.
  const size_t dirs = magic == 0x20B ? 112 : 96;
  if (!opt.Seek(dirs - 4)) return std::nullopt;
  const uint32_t dirCount = opt.U32();
  if (dirCount < 3 || !opt.Skip(2 * 8)) return std::nullopt;
  const uint32_t resourceRva = opt.U32();
  if (!opt.ok() || resourceRva == 0) return std::nullopt;

  auto table = ReadAt(file, peOffset + 24 + optionalSize, static_cast<size_t>(sectionCount) * 40);
  if (!table) return std::nullopt;
  std::vector<Section> sections;
  common::ByteReader sec(*table, "section table");
  for (int i = 0; i < sectionCount; ++i) {
    sec.Skip(8);
    Section s{};
    s.virtualSize = sec.U32();
    s.virtualAddress = sec.U32();
    s.rawSize = sec.U32();
    s.rawOffset = sec.U32();
    sec.Skip(16);
    sections.push_back(s);
  }
  const Section* home = nullptr;
  for (const Section& s : sections) {
    const uint32_t span = std::max(s.virtualSize, s.rawSize);
    if (resourceRva >= s.virtualAddress && resourceRva - s.virtualAddress < span) home = &s;
  }
  if (!home || home->rawSize > kMaxResourceSection) return std::nullopt;
  const uint32_t within = resourceRva - home->virtualAddress;
  if (within >= home->rawSize) return std::nullopt;
  auto resBytes = ReadAt(file, static_cast<uint64_t>(home->rawOffset) + within, home->rawSize - within);
  if (!resBytes) return std::nullopt;
  common::ByteReader res(*resBytes, "resource table");

  // Three levels: type "NV_RES", id 201, then the first language.
  auto type = FindEntry(res, 0, "NV_RES", -1);
  if (!type || !(*type & kHighBit)) return std::nullopt;
  auto idEntry = FindEntry(res, *type & ~kHighBit, {}, 201);
  if (!idEntry || !(*idEntry & kHighBit)) return std::nullopt;
  const uint32_t langDir = *idEntry & ~kHighBit;
  if (!res.Seek(langDir) || !res.Skip(12)) return std::nullopt;
  if (res.U16() + res.U16() == 0) return std::nullopt;
  const uint32_t dataEntry = (res.Skip(4), res.U32());
  if (!res.ok() || (dataEntry & kHighBit) || !res.Seek(dataEntry)) return std::nullopt;
  const uint32_t dataRva = res.U32();
  const uint32_t dataSize = res.U32();
  if (!res.ok() || dataSize < 4) return std::nullopt;
  for (const Section& s : sections) {
    if (dataRva >= s.virtualAddress && dataRva - s.virtualAddress + 4 <= s.rawSize) {
      auto value = ReadAt(file, static_cast<uint64_t>(s.rawOffset) + (dataRva - s.virtualAddress), 4);
      if (!value) return std::nullopt;
      return common::LoadU32(value->data());
    }
  }
  return std::nullopt;
}

AppendedBlock ReadAppendedBlock(platform::File& file, bool windowsExecutable) {
  AppendedBlock b;
  const int64_t size = file.Size();
  b.fileSize = size > 0 ? static_cast<uint64_t>(size) : 0;
  if (windowsExecutable) {
    b.locator = LocatorFromPeResource(file).value_or(0);
  } else {
    // Our own program carries no resource table; without a trailer it is an
    // unpacked program, which reads as "no block".
    b.locator = LocatorFromTrailer(file).value_or(kNoBlock);
  }
  if (b.locator == 0 || b.locator == kNoBlock) return b;
  if (static_cast<uint64_t>(b.locator) + 12 > b.fileSize) {
    b.locator = kNoBlock;
    return b;
  }
  auto head = ReadAt(file, b.locator, 12);
  if (!head || std::memcmp(head->data(), kBlockMagic, 4) != 0) return b;
  b.archiveOffset = common::LoadU32(head->data() + 4);
  b.previewSize = common::LoadU32(head->data() + 8);
  b.present = b.fileSize > 0 && b.locator != b.fileSize;
  return b;
}

}  // namespace vv::shell
