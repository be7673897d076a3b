#include "npf/archive_reader.h"

#include <algorithm>

#include "common/bytes.h"
#include "common/checksum.h"

namespace vv::npf {

namespace pack = resource::pack;

std::optional<ArchiveView> OpenArchive(std::span<const uint8_t> bytes, std::string& error) {
  common::ByteReader r(bytes, "archive");
  const auto magic = r.Bytes(4);
  if (!r.ok() || !std::equal(magic.begin(), magic.end(), pack::kMagic)) {
    error = "not a pack archive (the file does not start with \"NPF\")";
    return std::nullopt;
  }
  ArchiveView view;
  view.bytes = bytes;
  view.version = r.U32();
  const uint32_t count = r.U32();
  const uint32_t tableBytes = r.U32();
  if (!r.ok() || bytes.size() < pack::kHeaderBytes) {
    error = "the archive header is cut off";
    return std::nullopt;
  }
  if (view.version < pack::kMinVersion) {
    error = "format version " + std::to_string(view.version) + " is older than " +
            std::to_string(pack::kMinVersion);
    return std::nullopt;
  }
  if (tableBytes > bytes.size() - pack::kHeaderBytes || tableBytes / pack::kEntryFixedBytes < count) {
    error = "the entry table (" + std::to_string(count) + " entries, " + std::to_string(tableBytes) +
            " bytes) does not fit the archive";
    return std::nullopt;
  }
  const auto table = bytes.subspan(pack::kHeaderBytes, tableBytes);
  auto entries = pack::ParseEntryTable(table, count, pack::kLengthTable, true);
  if (!entries) {
    if (auto derived = pack::DeriveLengthTable(table, count)) {
      view.lengthTable = *derived;
      view.derivedTable = true;
      entries = pack::ParseEntryTable(table, count, *derived, true);
    }
  }
  if (!entries) {
    error = "the entry table is damaged: its names do not match their hashes";
    return std::nullopt;
  }
  view.entries = std::move(*entries);
  return view;
}

namespace {

struct Located {
  std::span<const uint8_t> stored;
  std::span<const uint8_t> record;  // may be shorter than a full record
};

std::optional<Located> Locate(const ArchiveView& archive, const pack::Entry& entry, std::string& error) {
  const pack::Descriptor& d = entry.descriptor;
  if (d.compression != pack::kStored && d.compression != pack::kDeflated) {
    error = "unknown compression " + std::to_string(d.compression);
    return std::nullopt;
  }
  const uint64_t end = static_cast<uint64_t>(d.dataOffset) + d.storedSize;
  if (end > archive.bytes.size()) {
    error = "the data lies beyond the end of the archive";
    return std::nullopt;
  }
  if (d.compression == pack::kStored ? d.unpackedSize != d.storedSize
                                     : d.unpackedSize > d.storedSize * pack::kMaxDeflateRatio + 64) {
    error = "the stated sizes do not fit together";
    return std::nullopt;
  }
  Located l;
  l.stored = archive.bytes.subspan(d.dataOffset, d.storedSize);
  const size_t recordBytes = std::min<uint64_t>(pack::RecoveryRecordBytes(d.storedSize), archive.bytes.size() - end);
  l.record = archive.bytes.subspan(static_cast<size_t>(end), recordBytes);
  return l;
}

// The content from intact stored bytes.
std::optional<std::vector<uint8_t>> Unpack(const pack::Entry& entry, std::span<const uint8_t> stored,
                                           std::string& error) {
  if (entry.descriptor.compression == pack::kStored) return std::vector<uint8_t>(stored.begin(), stored.end());
  std::vector<uint8_t> out(entry.descriptor.unpackedSize);
  switch (pack::Inflate(stored, out)) {
    case pack::InflateResult::Ok:
      return out;
    case pack::InflateResult::BufferError:
      error = "the data inflates to more than " + std::to_string(out.size()) + " bytes";
      return std::nullopt;
    default:
      error = "the data does not inflate to " + std::to_string(out.size()) + " bytes";
      return std::nullopt;
  }
}

}  // namespace

EntryCheck CheckEntry(const ArchiveView& archive, const pack::Entry& entry) {
  EntryCheck check;
  std::string error;
  auto where = Locate(archive, entry, error);
  if (!where) return {EntryState::Damaged, error};

  const bool intact = common::Adler32(where->stored) == entry.descriptor.checksum;
  if (intact) {
    if (!Unpack(entry, where->stored, error)) return {EntryState::Damaged, error};
    if (!std::ranges::equal(pack::BuildRecoveryRecord(where->stored), where->record)) {
      return {EntryState::RecordDamaged, "the recovery record is damaged or missing"};
    }
    return check;
  }
  std::vector<uint8_t> copy(where->stored.begin(), where->stored.end());
  if (pack::VerifyAndRepairBuffer(copy, entry.descriptor.checksum, where->record) != pack::kRepaired) {
    return {EntryState::Damaged, "the data is damaged in more than one block, or its recovery record is"};
  }
  if (!Unpack(entry, copy, error)) return {EntryState::Damaged, error};
  return {EntryState::Repairable, "one block of the data is damaged; the recovery record rebuilds it"};
}

std::optional<std::vector<uint8_t>> ReadEntry(const ArchiveView& archive, const pack::Entry& entry,
                                              std::string& error) {
  auto where = Locate(archive, entry, error);
  if (!where) return std::nullopt;
  std::vector<uint8_t> stored(where->stored.begin(), where->stored.end());
  if (pack::VerifyAndRepairBuffer(stored, entry.descriptor.checksum, where->record) == pack::kBeyondRepair) {
    error = "the data is damaged beyond repair";
    return std::nullopt;
  }
  return Unpack(entry, stored, error);
}

}  // namespace vv::npf
