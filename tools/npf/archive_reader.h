// Reading pack archives held in memory: listing, checking and extracting
// entries, with the same rules the engine applies (our length table, or the
// one recovered from the archive; repair of one damaged block per entry).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "resource/pack_format.h"

namespace vv::npf {

struct ArchiveView {
  std::span<const uint8_t> bytes;  // the whole archive; not owned
  uint32_t version = 0;
  resource::pack::LengthTable lengthTable = resource::pack::kLengthTable;
  bool derivedTable = false;       // the packer used other length pairs
  std::vector<resource::pack::Entry> entries;
};

// Parses the header and entry table. Nullopt with `error` when the bytes
// are no archive of ours or the table is damaged.
std::optional<ArchiveView> OpenArchive(std::span<const uint8_t> bytes, std::string& error);

enum class EntryState {
  Intact,
  Repairable,      // the data is damaged; the recovery record rebuilds it
  RecordDamaged,   // the data is intact but its recovery record is not
  Damaged,         // the data cannot be recovered
};

struct EntryCheck {
  EntryState state = EntryState::Intact;
  std::string problem;  // empty when intact
};

// Checks an entry's stored bytes, its recovery record and, for deflated
// entries, that they inflate to the stated size.
EntryCheck CheckEntry(const ArchiveView& archive, const resource::pack::Entry& entry);

// The entry's content, repaired when one block is damaged. Nullopt with
// `error` when it cannot be recovered.
std::optional<std::vector<uint8_t>> ReadEntry(const ArchiveView& archive, const resource::pack::Entry& entry,
                                              std::string& error);

}  // namespace vv::npf
