#include "common/checksum.h"

#include <gtest/gtest.h>

#include <vector>

namespace vv::common {
namespace {

TEST(Checksum, KnownValues) {
  EXPECT_EQ(Crc32(""), 0u);
  EXPECT_EQ(Crc32("abc"), 891568578u);
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  const std::string wiki = "Wikipedia";
  EXPECT_EQ(Adler32(std::span(reinterpret_cast<const uint8_t*>(wiki.data()), wiki.size())),
            0x11E60398u);
}

TEST(Checksum, IncrementalEqualsWhole) {
  std::vector<uint8_t> data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  std::span<const uint8_t> all(data);
  EXPECT_EQ(Crc32(all.subspan(500), Crc32(all.first(500))), Crc32(all));
  EXPECT_EQ(Adler32(all.subspan(500), Adler32(all.first(500))), Adler32(all));
}

}  // namespace
}  // namespace vv::common
