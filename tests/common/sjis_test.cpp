#include "common/sjis.h"

#include <gtest/gtest.h>

namespace vv::common {
namespace {

TEST(Sjis, LeadByteTableMatchesTheCodePageRanges) {
  for (int b = 0; b < 256; ++b) {
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsSjisLead(static_cast<uint8_t>(b)), lead) << "byte " << b;
  }
}

// "表" is 0x95 0x5C and "ソ" is 0x83 0x5C: their trail byte is a backslash.
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";

TEST(Sjis, CanonicalPathKeepsTwoByteCharactersWhole) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"NVBIN/NVCFG.NBN", "nvbin\\nvcfg.nbn"},
      {"Data/" + kHyou + "/A.PNG", "data\\" + kHyou + "\\a.png"},
      // 0x82 0x60 is full-width "Ａ": its trail byte 0x60 stays, and a
      // trail byte in A..Z (0x83 0x41 "ア") is not lowered.
      {"\x83\x41" "B", "\x83\x41" "b"},
      {kSo + "/", kSo + "\\"},
      // A lead byte at the very end is one byte; nothing is read past it.
      {"A\x81", "a\x81"},
  };
  for (const auto& c : cases) EXPECT_EQ(CanonicalPath(c.in), c.out) << c.in;
}

TEST(Sjis, FindLastSeparatorSkipsTrailBytes) {
  EXPECT_EQ(SjisFindLastSeparator("a\\" + kHyou), 1u);
  EXPECT_EQ(SjisFindLastSeparator(kHyou + kSo), std::string::npos);
  EXPECT_EQ(SjisFindLastSeparator("x/y\\z"), 3u);
}

TEST(Sjis, ReplaceAndLowerOnlyOutsideTwoByteCharacters) {
  std::string s = "C:\\" + kHyou + "\\ABC";
  SjisReplaceByte(s, '\\', ':');
  EXPECT_EQ(s, "C::" + kHyou + ":ABC");
  SjisLowerAscii(s);
  EXPECT_EQ(s, "c::" + kHyou + ":abc");
}

TEST(Sjis, PrefixLengthNeverCutsACharacter) {
  const std::string s = "ab" + kHyou + "c";
  EXPECT_EQ(SjisPrefixLength(s, 2), 2u);
  EXPECT_EQ(SjisPrefixLength(s, 3), 2u);  // would split 表
  EXPECT_EQ(SjisPrefixLength(s, 4), 4u);
  EXPECT_EQ(SjisPrefixLength(s, 99), 5u);
}

}  // namespace
}  // namespace vv::common
