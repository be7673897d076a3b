#include "common/bytes.h"

#include <gtest/gtest.h>

namespace vv::common {
namespace {

TEST(Bytes, WriterAndReaderAgreeOnEveryType) {
  ByteWriter w;
  w.U8(0xAB);
  w.I16(-2);
  w.U32(0xDEADBEEF);
  w.I64(-1234567890123LL);
  w.F64(3.5);
  w.CString("name");
  w.Text("xyz");
  const auto bytes = w.Take();
  EXPECT_EQ(bytes[3], 0xEF);  // little-endian

  ByteReader r(bytes, "test.bin");
  EXPECT_EQ(r.U8(), 0xAB);
  EXPECT_EQ(r.I16(), -2);
  EXPECT_EQ(r.U32(), 0xDEADBEEFu);
  EXPECT_EQ(r.I64(), -1234567890123LL);
  EXPECT_EQ(r.F64(), 3.5);
  EXPECT_EQ(r.CString(), "name");
  EXPECT_EQ(r.Text(3), "xyz");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.remaining(), 0u);
}

TEST(Bytes, ReadingPastTheEndFailsForGoodAndNamesTheOffset) {
  const uint8_t data[6] = {1, 0, 0, 0, 2, 0};
  ByteReader r(data, sizeof data, "nvbin\\nvt.nbn");
  EXPECT_EQ(r.U32(), 1u);
  EXPECT_EQ(r.U32(), 0u);  // only 2 bytes left
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.errorOffset(), 4u);
  EXPECT_NE(r.error().find("nvbin\\nvt.nbn: offset 4"), std::string::npos) << r.error();
  // Sticky: even a read that would fit now fails.
  EXPECT_EQ(r.U8(), 0u);
  EXPECT_EQ(r.errorOffset(), 4u);
}

TEST(Bytes, TextWithoutTerminatorAndHugeCountsFail) {
  const uint8_t data[3] = {'a', 'b', 'c'};
  ByteReader r(data, sizeof data);
  EXPECT_TRUE(r.CString().empty());
  EXPECT_FALSE(r.ok());

  ByteReader big(data, sizeof data);
  EXPECT_TRUE(big.Bytes(SIZE_MAX).empty());
  EXPECT_FALSE(big.ok());
  ByteReader seek(data, sizeof data);
  EXPECT_TRUE(seek.Seek(3));
  EXPECT_FALSE(seek.Seek(4));
}

TEST(Bytes, PatchOverwritesAnEarlierValue) {
  ByteWriter w;
  w.U32(0);
  w.Text("body");
  w.PatchU32(0, static_cast<uint32_t>(w.size()));
  ByteReader r(w.bytes());
  EXPECT_EQ(r.U32(), 8u);
}

}  // namespace
}  // namespace vv::common
