// The archive format's own pieces: the name-length table, the recovery
// record and its repair, and recovering another packer's length table.
#include <gtest/gtest.h>

#include <set>

#include "npf/archive_reader.h"
#include "common/checksum.h"
#include "resource/pack_format.h"
#include "resource/resource_test_support.h"

namespace vv::resource::pack {
namespace {

using testing::NoiseBytes;

TEST(LengthTableTest, ExchangesExactlyTheTenDocumentedPairs) {
  EXPECT_TRUE(IsSelfInverse(kLengthTable));
  std::set<int> moved;
  for (int i = 0; i < 256; ++i) {
    if (kLengthTable[i] != i) moved.insert(i);
  }
  const std::set<int> expected = {1, 48, 2, 47, 3, 41, 4, 46, 5, 29, 7, 43, 11, 31, 13, 37, 17, 23, 19, 50};
  EXPECT_EQ(moved, expected);
  for (int length = 0; length < 256; ++length) {
    const auto l = static_cast<uint8_t>(length);
    EXPECT_EQ(DecodeNameLength(kLengthTable, EncodeNameLength(kLengthTable, l)), l);
  }
  EXPECT_EQ(EncodeNameLength(kLengthTable, 1), 255 - 48);
}

// Damage to apply to a buffer and its recovery record before the repair.
struct RepairCase {
  const char* label;
  size_t size;
  std::vector<size_t> dataBytes;    // positions to flip in the data
  std::vector<size_t> recordBytes;  // positions to flip in the record
  RepairResult expected;
};

class RepairTest : public ::testing::TestWithParam<RepairCase> {};

TEST_P(RepairTest, RebuildsOneDamagedBlockExactly) {
  const RepairCase& c = GetParam();
  const std::vector<uint8_t> original = NoiseBytes(c.size, 5);
  std::vector<uint8_t> record = BuildRecoveryRecord(original);
  ASSERT_EQ(record.size(), RecoveryRecordBytes(c.size));
  std::vector<uint8_t> data = original;
  for (size_t p : c.dataBytes) data[p] ^= 0x5A;
  for (size_t p : c.recordBytes) record[p] ^= 0x33;
  const uint32_t checksum = common::Adler32(original);
  EXPECT_EQ(VerifyAndRepairBuffer(data, checksum, record), c.expected);
  if (c.expected != kBeyondRepair) {
    EXPECT_TRUE(data == original);
  }
}

// The check of block 1 sits at record offset 8 + 2; the parity starts at
// 8 + 2 * N.
INSTANTIATE_TEST_SUITE_P(
    Damage, RepairTest,
    ::testing::Values(RepairCase{"Intact", 5000, {}, {}, kIntact},
                      RepairCase{"FirstBlock", 5000, {0, 1, 1023}, {}, kRepaired},
                      RepairCase{"ShortLastBlock", 5000, {4096, 4999}, {}, kRepaired},
                      RepairCase{"OnlyBlock", 700, {3, 699}, {}, kRepaired},
                      // A wrong check on an intact block after the damaged
                      // one: it is rebuilt from the repaired bytes, so it
                      // keeps its own.
                      RepairCase{"DamagedBlockThenWrongCheck", 5000, {10}, {8 + 4}, kRepaired},
                      // Before the damaged one it is rebuilt from the
                      // damaged bytes: both blocks end up wrong.
                      RepairCase{"WrongCheckThenDamagedBlock", 5000, {2050}, {8 + 2}, kBeyondRepair},
                      RepairCase{"TwoBlocks", 5000, {10, 2000}, {}, kBeyondRepair},
                      RepairCase{"DamagedParity", 5000, {10}, {8 + 10 + 10}, kBeyondRepair},
                      RepairCase{"WrongBlockCount", 5000, {10}, {4}, kBeyondRepair},
                      RepairCase{"WrongParityLength", 5000, {10}, {1}, kBeyondRepair}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RepairTest, ACutOffRecordIsNoRepair) {
  const std::vector<uint8_t> original = NoiseBytes(3000, 1);
  std::vector<uint8_t> data = original;
  data[5] ^= 1;
  std::vector<uint8_t> record = BuildRecoveryRecord(original);
  record.resize(record.size() - 1);
  EXPECT_EQ(VerifyAndRepairBuffer(data, common::Adler32(original), record), kBeyondRepair);
}

TEST(DeriveLengthTableTest, RecoversTheUsedPairsAndRefusesContradictions) {
  LengthTable other = MakeLengthTable();
  for (const auto& [a, b] : kLengthPairs) {
    other[a] = a;
    other[b] = b;
  }
  other[9] = 40;
  other[40] = 9;
  npf::WriterOptions options;
  options.lengthTable = other;
  const std::vector<npf::WriterEntry> entries = {
      {std::string(5, 'a') + ".txt", {1}, std::nullopt},   // length 9
      {std::string(36, 'b') + ".txt", {2}, std::nullopt},  // length 40
      {std::string(44, 'c') + ".txt", {3}, std::nullopt},  // length 48: ours would read 1
  };
  const std::vector<uint8_t> archive = testing::Archive(entries, options);
  const auto table = std::span(archive).subspan(kHeaderBytes, common::LoadU32(archive.data() + 12));
  EXPECT_FALSE(ParseEntryTable(table, 3, kLengthTable, true));
  auto derived = DeriveLengthTable(table, 3);
  ASSERT_TRUE(derived);
  EXPECT_TRUE(IsSelfInverse(*derived));
  EXPECT_EQ((*derived)[9], 40);
  EXPECT_EQ((*derived)[48], 48);
  EXPECT_TRUE(ParseEntryTable(table, 3, *derived, true));

  std::string error;
  auto view = npf::OpenArchive(archive, error);
  ASSERT_TRUE(view) << error;
  EXPECT_TRUE(view->derivedTable);
  EXPECT_EQ(view->entries[2].Name(), entries[2].name);
}

TEST(InflateTest, SizesMustMatchExactly) {
  std::string error;
  npf::WriterOptions options;
  options.compression = npf::Compression::Deflate;
  const std::vector<uint8_t> content = testing::TextBytes(5000, 2);
  const std::vector<uint8_t> archive = testing::Archive({{"a.txt", content, std::nullopt}}, options);
  auto view = npf::OpenArchive(archive, error);
  ASSERT_TRUE(view) << error;
  const Descriptor& d = view->entries[0].descriptor;
  const auto stored = std::span(archive).subspan(d.dataOffset, d.storedSize);
  std::vector<uint8_t> exact(content.size()), small(content.size() - 1), large(content.size() + 1);
  EXPECT_EQ(Inflate(stored, exact), InflateResult::Ok);
  EXPECT_TRUE(exact == content);
  EXPECT_EQ(Inflate(stored, small), InflateResult::BufferError);
  EXPECT_EQ(Inflate(stored, large), InflateResult::DataError);
  EXPECT_EQ(Inflate(stored.first(stored.size() / 2), exact), InflateResult::DataError);
}

}  // namespace
}  // namespace vv::resource::pack
