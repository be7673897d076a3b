#include "resource/pack_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/checksum.h"
#include "common/sjis.h"
#include "resource/file_types.h"

namespace vv::resource {

namespace {
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
}  // namespace

bool HasExtension(std::string_view name, std::string_view extension) {
  if (extension.size() > name.size()) return false;
  const std::string_view tail = name.substr(name.size() - extension.size());
  for (size_t i = 0; i < extension.size(); ++i) {
    if (LowerAscii(tail[i]) != LowerAscii(extension[i])) return false;
  }
  return true;
}

uint8_t FileTypeFromName(std::string_view name) {
  struct Ext {
    const char* ext;
    uint8_t type;
  };
  static constexpr Ext kTable[] = {
      {".bmp", kTypeBmp}, {".png", kTypePng}, {".jpg", kTypeJpeg}, {".jpeg", kTypeJpeg},
      {".jpe", kTypeJpeg}, {".gif", kTypeGif}, {".avi", kTypeAvi}, {".wav", kTypeWav},
      {".ogg", kTypeOgg}, {".psd", kTypePsd},
  };
  for (const Ext& e : kTable) {
    if (HasExtension(name, e.ext)) return e.type;
  }
  return kTypeUnknown;
}

bool NamesEqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    if (common::IsSjisLead(static_cast<uint8_t>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
      continue;
    }
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    ++i;
  }
  return true;
}

}  // namespace vv::resource

namespace vv::resource::pack {

bool IsSelfInverse(const LengthTable& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[t[i]] != i) return false;
  }
  return true;
}

void ComplementName(std::span<const uint8_t> in, char* out) {
  for (size_t i = 0; i < in.size(); ++i) out[i] = static_cast<char>(~in[i]);
}

bool NameMatchesHash(std::string_view name, uint32_t hash) {
  if (common::Crc32(name) == hash) return true;
  const std::string canonical = common::CanonicalPath(name);
  return canonical != name && common::Crc32(canonical) == hash;
}

std::string Entry::Name() const {
  std::string name(storedName.size(), '\0');
  ComplementName(storedName, name.data());
  return name;
}

Descriptor ReadDescriptor(common::ByteReader& r) {
  Descriptor d;
  d.compression = r.U8();
  d.unpackedSize = r.U32();
  d.storedSize = r.U32();
  d.dataOffset = r.U32();
  d.checksum = r.U32();
  return d;
}

bool ReadEntry(common::ByteReader& r, const LengthTable& t, uint32_t tableBase, Entry& out) {
  out.hash = r.U32();
  out.lengthPos = static_cast<uint32_t>(tableBase + r.pos());
  out.encodedLength = r.U8();
  out.storedName = r.Bytes(DecodeNameLength(t, out.encodedLength));
  out.fileType = r.U8();
  out.descriptorPos = static_cast<uint32_t>(tableBase + r.pos());
  out.descriptor = ReadDescriptor(r);
  return r.ok();
}

namespace {

// The restored name of `stored` in a stack buffer (names are short).
std::string_view RestoreInto(std::span<const uint8_t> stored, char (&buffer)[kMaxNameBytes + 1]) {
  ComplementName(stored, buffer);
  return std::string_view(buffer, stored.size());
}

}  // namespace

std::optional<std::vector<Entry>> ParseEntryTable(std::span<const uint8_t> table, uint32_t count,
                                                  const LengthTable& t, bool checkHashes) {
  if (table.size() / kEntryFixedBytes < count) return std::nullopt;
  std::vector<Entry> entries(count);
  common::ByteReader r(table, "entry table");
  char buffer[kMaxNameBytes + 1];
  for (uint32_t i = 0; i < count; ++i) {
    if (!ReadEntry(r, t, static_cast<uint32_t>(kHeaderBytes), entries[i])) return std::nullopt;
    if (checkHashes && !NameMatchesHash(RestoreInto(entries[i].storedName, buffer), entries[i].hash)) {
      return std::nullopt;
    }
  }
  return entries;
}

std::optional<LengthTable> DeriveLengthTable(std::span<const uint8_t> table, uint32_t count) {
  if (table.size() / kEntryFixedBytes < count) return std::nullopt;
  // known[x] is the proven length for the encoded value 255 - x, or -1.
  std::array<int, 256> known;
  known.fill(-1);
  char buffer[kMaxNameBytes + 1];
  size_t pos = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (table.size() - pos < kEntryFixedBytes) return std::nullopt;
    const uint32_t hash = common::LoadU32(table.data() + pos);
    const int x = 255 - table[pos + 4];
    const size_t room = table.size() - pos - kEntryFixedBytes;
    auto fits = [&](int length) {
      if (static_cast<size_t>(length) > room) return false;
      const auto name = table.subspan(pos + 5, static_cast<size_t>(length));
      return NameMatchesHash(RestoreInto(name, buffer), hash);
    };
    int length = known[x];
    if (length >= 0) {
      if (!fits(length)) return std::nullopt;
    } else {
      // Try the unexchanged length first, then every length that keeps
      // the mapping an involution: x -> L needs L unused or mapped to x.
      auto consistent = [&](int l) { return known[l] == -1 || known[l] == x; };
      if (consistent(x) && fits(x)) {
        length = x;
      } else {
        for (int l = 0; l < 256; ++l) {
          if (l != x && consistent(l) && fits(l)) {
            length = l;
            break;
          }
        }
      }
      if (length < 0) return std::nullopt;
      known[x] = length;
      known[length] = x;
    }
    pos += kEntryFixedBytes + static_cast<size_t>(length);
  }
  LengthTable t;
  for (size_t i = 0; i < t.size(); ++i) {
    t[i] = static_cast<uint8_t>(known[i] >= 0 ? known[i] : static_cast<int>(i));
  }
  if (!IsSelfInverse(t)) return std::nullopt;
  return t;
}

std::vector<uint8_t> BuildRecoveryRecord(std::span<const uint8_t> stored) {
  const uint32_t blocks = BlockCount(stored.size());
  common::ByteWriter w;
  w.U32(kBlockBytes);
  w.U32(blocks);
  std::array<uint8_t, kBlockBytes> parity{};
  for (uint32_t j = 0; j < blocks; ++j) {
    const auto block = stored.subspan(static_cast<size_t>(j) * kBlockBytes,
                                      std::min<size_t>(kBlockBytes, stored.size() - static_cast<size_t>(j) * kBlockBytes));
    w.U16(static_cast<uint16_t>(common::Crc32(block)));
    for (size_t k = 0; k < block.size(); ++k) parity[k] ^= block[k];
  }
  w.Bytes(parity);
  return w.Take();
}

RepairResult VerifyAndRepairBuffer(std::span<uint8_t> data, uint32_t checksum,
                                   std::span<const uint8_t> record, bool verifyChecksum) {
  if (!verifyChecksum || common::Adler32(data) == checksum) return kIntact;
  common::ByteReader r(record, "recovery record");
  const uint32_t parityBytes = r.U32();
  const uint32_t blocks = r.U32();
  // Only the record this format writes can rebuild a block: a parity of
  // one block length and one check per block of the data.
  if (!r.ok() || parityBytes != kBlockBytes || blocks != BlockCount(data.size())) return kBeyondRepair;
  const auto checks = r.Bytes(2 * static_cast<size_t>(blocks));
  const auto parity = r.Bytes(parityBytes);
  if (!r.ok()) return kBeyondRepair;

  const size_t length = data.size();
  auto blockOf = [&](uint32_t j) {
    const size_t start = static_cast<size_t>(j) * kBlockBytes;
    return data.subspan(start, std::min<size_t>(kBlockBytes, length - start));
  };
  // x: the XOR of every block as it was found; it decides which positions
  // are rebuilt. current: the XOR as the buffer stands now, kept up to date
  // as bytes change, so "every other block" always means their present
  // bytes (a block repaired before counts with its repaired bytes).
  std::array<uint8_t, kBlockBytes> x{};
  for (uint32_t j = 0; j < blocks; ++j) {
    const auto block = blockOf(j);
    for (size_t k = 0; k < block.size(); ++k) x[k] ^= block[k];
  }
  std::array<uint8_t, kBlockBytes> current = x;
  for (uint32_t j = 0; j < blocks; ++j) {
    const auto block = blockOf(j);
    if (static_cast<uint16_t>(common::Crc32(block)) == common::LoadU16(checks.data() + 2 * j)) continue;
    for (size_t k = 0; k < block.size(); ++k) {
      if (parity[k] == x[k]) continue;
      const uint8_t others = static_cast<uint8_t>(current[k] ^ block[k]);
      const uint8_t rebuilt = static_cast<uint8_t>(parity[k] ^ others);
      current[k] = static_cast<uint8_t>(others ^ rebuilt);
      block[k] = rebuilt;
    }
  }
  return common::Adler32(data) == checksum ? kRepaired : kBeyondRepair;
}

InflateResult Inflate(std::span<const uint8_t> in, std::span<uint8_t> out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return InflateResult::OtherError;
  InflateResult result = InflateResult::Ok;
  size_t inDone = 0, outDone = 0;
  // zlib refuses a null output pointer even when no output is wanted.
  uint8_t none = 0;
  uint8_t* const outBase = out.empty() ? &none : out.data();
  for (;;) {
    // zlib counts in uInt; feed and drain in pieces it can take.
    constexpr size_t kStep = std::numeric_limits<uInt>::max();
    z.next_in = const_cast<Bytef*>(in.data() + inDone);
    z.avail_in = static_cast<uInt>(std::min(kStep, in.size() - inDone));
    z.next_out = outBase + outDone;
    z.avail_out = static_cast<uInt>(std::min(kStep, out.size() - outDone));
    const uInt inBefore = z.avail_in, outBefore = z.avail_out;
    const int rc = inflate(&z, Z_FINISH);
    inDone += inBefore - z.avail_in;
    outDone += outBefore - z.avail_out;
    if (rc == Z_STREAM_END) {
      // A stream that ends short of the stated size is damaged, too.
      if (outDone != out.size()) result = InflateResult::DataError;
      break;
    }
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
      result = InflateResult::DataError;
      break;
    }
    if (rc == Z_BUF_ERROR || rc == Z_OK) {
      if (outDone == out.size() && z.avail_out == 0) {
        // Output full and the stream wants more room.
        result = InflateResult::BufferError;
        break;
      }
      if (inDone == in.size() || (inBefore == z.avail_in && outBefore == z.avail_out)) {
        // Input used up before the stream's end.
        result = InflateResult::DataError;
        break;
      }
      continue;
    }
    result = InflateResult::OtherError;
    break;
  }
  inflateEnd(&z);
  return result;
}

}  // namespace vv::resource::pack
