#include "common/encoding.h"

#include <gtest/gtest.h>

namespace vv::common {
namespace {

TEST(Encoding, RoundTripsJapaneseText) {
  const std::string utf8 = "終了します。よろしいですか？ ABC ｱｲｳ 表";
  auto sjis = Utf8ToSjis(utf8);
  ASSERT_TRUE(sjis.has_value());
  EXPECT_EQ(sjis->substr(0, 2), "\x8F\x49");  // 終
  EXPECT_EQ(SjisToUtf8(*sjis), utf8);
}

TEST(Encoding, CodePage932Extensions) {
  // NEC special characters and IBM extensions exist only in CP932, not in
  // plain Shift-JIS: ① is 0x87 0x40, ～ (full-width tilde) is 0x81 0x60.
  EXPECT_EQ(SjisToUtf8("\x87\x40"), "①");
  EXPECT_EQ(SjisToUtf8("\x81\x60"), "～");
}

TEST(Encoding, BadBytesAndUnmappableCharacters) {
  // A lone lead byte at the end, and an invalid pair, still convert.
  EXPECT_EQ(SjisToUtf8("a\x81"), "a\xEF\xBF\xBD");
  EXPECT_FALSE(Utf8ToSjis("emoji \xF0\x9F\x98\x80").has_value());
  EXPECT_EQ(Utf8ToSjisLossy("a\xF0\x9F\x98\x80" "b表"), "a?b\x95\x5C");
  EXPECT_FALSE(Utf8ToSjis("\xC3").has_value());
}

TEST(Encoding, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
  EXPECT_TRUE(IsValidUtf8("日本語"));
  EXPECT_FALSE(IsValidUtf8("\x95\x5C"));   // Shift-JIS bytes
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));   // overlong
  EXPECT_FALSE(IsValidUtf8("\xE6\x97"));   // cut short
}

}  // namespace
}  // namespace vv::common
