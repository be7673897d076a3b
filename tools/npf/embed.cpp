#include "npf/embed.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "resource/pack_format.h"
#include "shell/appended_block.h"

namespace vv::npf {

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kLocatorResourceId = 201;
constexpr char kLocatorResourceType[] = "NV_RES";

struct Section {
  uint32_t virtualAddress = 0, virtualSize = 0, rawSize = 0, rawOffset = 0;
};

// File offset of `size` bytes at `rva`, when one section holds them.
std::optional<uint64_t> RvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint32_t size,
                                    size_t fileSize) {
  for (const Section& s : sections) {
    if (rva < s.virtualAddress) continue;
    const uint64_t within = rva - s.virtualAddress;
    if (within + size > s.rawSize) continue;
    const uint64_t offset = s.rawOffset + within;
    if (offset + size > fileSize) return std::nullopt;
    return offset;
  }
  return std::nullopt;
}

// The offset field of the entry of the resource directory at `dir` whose
// name is `type` (letter case ignored) or whose id is `id`.
std::optional<uint32_t> FindResourceEntry(std::span<const uint8_t> res, uint32_t dir, std::string_view type,
                                          int64_t id) {
  common::ByteReader r(res, "resource directory");
  if (!r.Seek(dir) || !r.Skip(12)) return std::nullopt;
  const uint32_t count = static_cast<uint32_t>(r.U16()) + r.U16();
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    const uint32_t nameField = r.U32();
    const uint32_t offset = r.U32();
    if (!r.ok()) return std::nullopt;
    if (!(nameField & kHighBit)) {
      if (id >= 0 && nameField == static_cast<uint32_t>(id)) return offset;
      continue;
    }
    if (type.empty()) continue;
    common::ByteReader name(res, "resource name");
    if (!name.Seek(nameField & ~kHighBit)) continue;
    if (name.U16() != type.size()) continue;
    bool same = true;
    for (char c : type) {
      uint16_t u = name.U16();
      if (u >= 'a' && u <= 'z') u = static_cast<uint16_t>(u - 32);
      same = same && name.ok() && u == static_cast<uint8_t>(c);
    }
    if (same) return offset;
  }
  return std::nullopt;
}

bool HasBlockAt(std::span<const uint8_t> bytes, uint64_t d) {
  return d != 0 && d != shell::kNoBlock && d + shell::kBlockHeaderBytes <= bytes.size() &&
         std::memcmp(bytes.data() + d, shell::kBlockMagic, 4) == 0;
}

void AppendBlockAndArchive(std::vector<uint8_t>& out, std::span<const uint8_t> archive) {
  common::ByteWriter w;
  w.Bytes(std::span(reinterpret_cast<const uint8_t*>(shell::kBlockMagic), 4));
  w.U32(static_cast<uint32_t>(shell::kBlockHeaderBytes));  // A: the archive follows the block
  w.U32(0);                                                  // no preview picture
  w.U32(0);
  const auto& block = w.bytes();
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), archive.begin(), archive.end());
}

}  // namespace

std::optional<uint64_t> FindPeLocatorOffset(std::span<const uint8_t> program) {
  common::ByteReader r(program, "program");
  if (program.size() < 64 || program[0] != 'M' || program[1] != 'Z') return std::nullopt;
  r.Seek(0x3C);
  const uint32_t pe = r.U32();
  if (!r.Seek(pe)) return std::nullopt;
  const auto signature = r.Bytes(4);
  if (!r.ok() || std::memcmp(signature.data(), "PE\0\0", 4) != 0) return std::nullopt;
  r.Skip(2);
  const uint16_t sectionCount = r.U16();
  r.Skip(12);
  const uint16_t optionalSize = r.U16();
  r.Skip(2);
  const size_t optionalStart = r.pos();
  const uint16_t magic = r.U16();
  if (!r.ok()) return std::nullopt;
  // The data directories follow 96 bytes of PE32 fields or 112 of PE32+;
  // the resource table is directory 2.
  const size_t directories = magic == 0x20B ? 112 : 96;
  if (optionalSize < directories + 3 * 8 || !r.Seek(optionalStart + directories - 4)) return std::nullopt;
  if (r.U32() < 3 || !r.Skip(16)) return std::nullopt;
  const uint32_t resourceRva = r.U32();
  const uint32_t resourceSize = r.U32();
  if (!r.ok() || resourceRva == 0 || !r.Seek(optionalStart + optionalSize)) return std::nullopt;

  std::vector<Section> sections;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    r.Skip(8);
    Section s;
    s.virtualSize = r.U32();
    s.virtualAddress = r.U32();
    s.rawSize = r.U32();
    s.rawOffset = r.U32();
    r.Skip(16);
    if (!r.ok()) return std::nullopt;
    sections.push_back(s);
  }
  // The resource tree, as far as its section holds it in the file.
  std::span<const uint8_t> res;
  for (const Section& s : sections) {
    if (resourceRva < s.virtualAddress || resourceRva - s.virtualAddress >= s.rawSize) continue;
    const uint64_t start = static_cast<uint64_t>(s.rawOffset) + (resourceRva - s.virtualAddress);
    if (start >= program.size()) return std::nullopt;
    uint64_t length = std::min<uint64_t>(s.rawSize - (resourceRva - s.virtualAddress), program.size() - start);
    if (resourceSize != 0) length = std::min<uint64_t>(length, resourceSize);
    res = program.subspan(static_cast<size_t>(start), static_cast<size_t>(length));
    break;
  }
  if (res.empty()) return std::nullopt;

  // Three levels: the type "NV_RES", the id 201, the first language.
  const auto type = FindResourceEntry(res, 0, kLocatorResourceType, -1);
  if (!type || !(*type & kHighBit)) return std::nullopt;
  const auto id = FindResourceEntry(res, *type & ~kHighBit, {}, kLocatorResourceId);
  if (!id || !(*id & kHighBit)) return std::nullopt;
  common::ByteReader lang(res, "resource languages");
  if (!lang.Seek((*id & ~kHighBit) + 12)) return std::nullopt;
  if (static_cast<uint32_t>(lang.U16()) + lang.U16() == 0) return std::nullopt;
  lang.Skip(4);
  const uint32_t dataEntry = lang.U32();
  if (!lang.ok() || (dataEntry & kHighBit) || !lang.Seek(dataEntry)) return std::nullopt;
  const uint32_t dataRva = lang.U32();
  const uint32_t dataSize = lang.U32();
  if (!lang.ok() || dataSize < 4) return std::nullopt;
  return RvaToOffset(sections, dataRva, 4, program.size());
}

std::optional<EmbedResult> EmbedArchive(std::span<const uint8_t> program, std::span<const uint8_t> archive,
                                        std::string& error) {
  if (archive.size() < resource::pack::kHeaderBytes ||
      !std::equal(archive.begin(), archive.begin() + 4, resource::pack::kMagic)) {
    error = "the archive is not a pack archive";
    return std::nullopt;
  }
  EmbedResult result;
  std::span<const uint8_t> base = program;
  std::optional<uint64_t> patchAt;

  if (program.size() >= 2 && program[0] == 'M' && program[1] == 'Z') {
    result.windows = true;
    patchAt = FindPeLocatorOffset(program);
    if (!patchAt) {
      error = "the Windows program has no resource \"NV_RES\" 201 to hold the archive's position";
      return std::nullopt;
    }
    const uint32_t old = common::LoadU32(program.data() + *patchAt);
    if (HasBlockAt(program, old) && old > *patchAt + 4) {
      base = program.first(old);
      result.replacedBlock = true;
    }
  } else if (program.size() >= shell::kLocatorTrailerBytes &&
             std::memcmp(program.data() + program.size() - 8, shell::kLocatorTrailerMagic, 8) == 0) {
    const size_t trailer = program.size() - shell::kLocatorTrailerBytes;
    const uint32_t old = common::LoadU32(program.data() + trailer);
    base = program.first(trailer);
    if (HasBlockAt(base, old)) {
      base = base.first(old);
      result.replacedBlock = true;
    }
  }

  if (base.size() > UINT32_MAX) {
    error = "the program is too large to carry an archive (over 4 GiB)";
    return std::nullopt;
  }
  result.locator = static_cast<uint32_t>(base.size());
  result.bytes.reserve(base.size() + shell::kBlockHeaderBytes + archive.size() + shell::kLocatorTrailerBytes);
  result.bytes.assign(base.begin(), base.end());
  AppendBlockAndArchive(result.bytes, archive);
  if (result.windows) {
    common::StoreU32(result.bytes.data() + *patchAt, result.locator);
  } else {
    uint8_t trailer[shell::kLocatorTrailerBytes];
    common::StoreU32(trailer, result.locator);
    std::memcpy(trailer + 4, shell::kLocatorTrailerMagic, 8);
    result.bytes.insert(result.bytes.end(), trailer, trailer + sizeof trailer);
  }
  return result;
}

}  // namespace vv::npf
