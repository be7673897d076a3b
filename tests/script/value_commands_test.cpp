// The math, text and variable-information commands end to end, the random
// generator and the code page 932 width tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "common/encoding.h"
#include "compiled_script_test.h"
#include "script/script_random.h"
#include "script/text_width_tables.h"

namespace vv::script {
namespace {

using namespace testing;

constexpr int32_t kR = 1001, kI = 1002;

TEST(ScriptRandom, MatchesTheReferenceGenerator) {
  for (const uint32_t seed : {5489u, 0u, 12345u, 0xFFFFFFFFu}) {
    ScriptRandom r;
    SeedRandom(r, seed);
    std::mt19937 reference(seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(NextRandom(r), reference()) << seed << " draw " << i;
  }
  ScriptRandom unseeded;
  EXPECT_EQ(NextRandom(unseeded), std::mt19937()());
}

TEST(ScriptRandom, BetweenCoversTheRangeIncludingExtremes) {
  EXPECT_EQ(RandomBetween(5, 1, 0), 1);
  EXPECT_EQ(RandomBetween(5, 1, 4), 5);
  EXPECT_EQ(RandomBetween(5, 1, 5), 1);
  EXPECT_EQ(RandomBetween(7, 7, 123456), 7);
  EXPECT_EQ(RandomBetween(-3, 3, 0xFFFFFFFFu), -3 + static_cast<int64_t>(0xFFFFFFFFu % 7));
  // Spans beyond 2^32 reach only lo .. lo + 2^32 - 1; the whole int64 range
  // does not overflow.
  EXPECT_EQ(RandomBetween(0, int64_t{1} << 40, 0xFFFFFFFFu), 0xFFFFFFFFll);
  EXPECT_EQ(RandomBetween(INT64_MAX, INT64_MIN, 17), INT64_MIN + 17);
}

TEST(WidthTables, RoundTripsAndKnownForms) {
  for (int b = 0x20; b <= 0x7E; ++b) {
    const uint16_t w = FullWidthOf(static_cast<uint8_t>(b));
    EXPECT_TRUE(common::IsSjisLead(static_cast<uint8_t>(w >> 8))) << b;
    EXPECT_EQ(HalfWidthOf(w), b) << b;
  }
  for (int b = 0xA1; b <= 0xDF; ++b) {
    const uint16_t w = FullWidthOf(static_cast<uint8_t>(b));
    EXPECT_NE(w, b);
    EXPECT_EQ(HalfWidthOf(w), b) << b;
  }
  // Every full-width form is a different character.
  std::vector<uint16_t> all;
  for (int b = 0; b < 256; ++b) if (FullWidthOf(static_cast<uint8_t>(b)) != b) all.push_back(FullWidthOf(static_cast<uint8_t>(b)));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(all.size(), 95u + 63u);

  const auto code = [](const char* utf8) {
    const std::string s = common::Sjis(utf8);
    return static_cast<uint16_t>(static_cast<uint8_t>(s[0]) << 8 | static_cast<uint8_t>(s[1]));
  };
  EXPECT_EQ(FullWidthOf('A'), code("Ａ"));
  EXPECT_EQ(FullWidthOf(' '), code("　"));
  EXPECT_EQ(FullWidthOf('\\'), code("￥"));
  EXPECT_EQ(FullWidthOf(0xB1), code("ア"));
  EXPECT_EQ(FullWidthOf(0xDE), code("゛"));
  EXPECT_EQ(HalfWidthOf(code("ガ")), 0xB6);  // the voiced mark is lost
  EXPECT_EQ(HalfWidthOf(code("ポ")), 0xCE);
  EXPECT_EQ(HalfWidthOf(code("ン")), 0xDD);
  EXPECT_EQ(HalfWidthOf(code("あ")), code("あ"));
  EXPECT_EQ(HalfWidthOf(code("～")), code("～"));
  EXPECT_EQ(FullWidthOf(0x80), 0x80);
  EXPECT_EQ(FullWidthOf(0xE0), 0xE0);
}

class MathCommandTest : public CompiledScriptTest {};

TEST_F(MathCommandTest, OperationsOperandsAndResults) {
  ASSERT_TRUE(StartScript(
      "@global int a = 7\n"
      "@global float r[8] = 0.0\n"
      "@global int i[8] = 9\n"
      "*SYSTEM_START\n"
      "@math r[0], x=a / 2, sin\n"
      "@math r[1], x=a / 2, tan\n"
      "@math r[2], x=a / 2, tan, sin\n"
      "@math r[3], x=a / 2, cos\n"
      "@math r[4], x=1.0, y=-1.0, atan2\n"
      "@math r[5], x=2, y=10, pow\n"
      "@math r[6], x=-2.5, abs\n"
      "@math i[0], text=\"abc\", crc\n"
      "@math i[1], x=-a, abs\n"
      "@math i[2], x=a / 2, sqrt\n"
      "@math i[3], x=5, y=1, random\n"
      "@math i[4], x=4, y=4, random\n"
      "@math i[5], x=0, y=1000000, random\n"
      "@math i[6], sin\n"
      "@math i[7], x=1\n"
      "@wait frames=1\n"));
  Frames(1);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  EXPECT_DOUBLE_EQ(Float(kR, 0), std::sin(3.5));  // float arithmetic: 7 / 2 = 3.5
  EXPECT_DOUBLE_EQ(Float(kR, 1), std::tan(3.0));  // the operand's own: 3
  EXPECT_DOUBLE_EQ(Float(kR, 2), std::sin(3.5));  // sine comes first
  EXPECT_DOUBLE_EQ(Float(kR, 3), std::cos(3.5));
  EXPECT_DOUBLE_EQ(Float(kR, 4), std::atan2(1.0, -1.0));
  EXPECT_DOUBLE_EQ(Float(kR, 5), 1024.0);
  EXPECT_DOUBLE_EQ(Float(kR, 6), 2.5);
  EXPECT_EQ(Int(kI, 0), 891568578);
  EXPECT_EQ(Int(kI, 1), 7);
  EXPECT_EQ(Int(kI, 2), 1);  // sqrt(3) truncated into an integer
  // The headless seed; X = Y still draws once.
  std::mt19937 reference(shell::kHeadlessSeed);
  EXPECT_EQ(Int(kI, 3), 1 + static_cast<int64_t>(reference() % 5));
  EXPECT_EQ(Int(kI, 4), 4);
  reference();
  EXPECT_EQ(Int(kI, 5), static_cast<int64_t>(reference() % 1000001));
  EXPECT_EQ(Int(kI, 6), 0);   // sine of an absent operand
  EXPECT_EQ(Int(kI, 7), 9);  // no selector: nothing stored
}

TEST_F(MathCommandTest, RandomIntegersStayInRange) {
  ASSERT_TRUE(StartScript(
      "@global int lo = 5\n"
      "@global int v[200] = 0\n"
      "*SYSTEM_START\n"
      "@loop 200\n"
      "  @math v[sys.loop - 1], x=lo, y=1, random\n"
      "@end\n"
      "@wait frames=1\n"));
  Frames(1);
  std::vector<int> seen(6, 0);
  for (int k = 0; k < 200; ++k) {
    const int64_t v = Int(1001, k);
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 5);
    ++seen[static_cast<size_t>(v)];
  }
  for (int v = 1; v <= 5; ++v) EXPECT_GT(seen[static_cast<size_t>(v)], 0) << v;
}

TEST_F(MathCommandTest, ATextTargetIsRefused) {
  ASSERT_TRUE(StartScript("@global text t = \"\"\n*SYSTEM_START\n@math t, x=1, sin\n@wait frames=1\n"));
  Frames(1);
  EXPECT_EQ(FirstCode(), 101140);
}

class TextCommandTest : public CompiledScriptTest {
 protected:
  std::string S(const char* utf8) { return common::Sjis(utf8); }
};

constexpr int32_t kT = 1000, kK = 1001, kF = 1002;
constexpr char kTextDecl[] =
    "@global text t[16] = \"\"\n"
    "@global int k[8] = 7\n"
    "@global float f = 1.5\n";

TEST_F(TextCommandTest, Conversions) {
  ASSERT_TRUE(StartScript(std::string(kTextDecl) +
                          "*SYSTEM_START\n"
                          "@t[0] = \"12abc\"\n"
                          "@textEdit t[0], k[0], convert\n"
                          "@t[1] = \"1.5\"\n"
                          "@textEdit t[1], k[1], convert\n"
                          "@textEdit t[2], k[2], convert\n"
                          "@k[3] = -42\n"
                          "@textEdit k[3], t[3], convert\n"
                          "@textEdit f, t[4], convert\n"
                          "@t[5] = \"2.25\"\n"
                          "@textEdit t[5], f, convert\n"
                          "@f = 1e200\n"
                          "@textEdit f, t[6], convert\n"
                          "@wait frames=1\n"));
  Frames(1);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  EXPECT_EQ(Int(kK, 0), 12);
  EXPECT_EQ(Int(kK, 1), 1);
  EXPECT_EQ(Int(kK, 2), 0);  // the empty text
  EXPECT_EQ(Text(kT, 3), "-42");
  EXPECT_EQ(Text(kT, 4), "1.500000");
  char big[400];
  std::snprintf(big, sizeof big, "%f", 1e200);
  EXPECT_EQ(Text(kT, 6), big);  // far beyond any small work buffer
  EXPECT_EQ(Float(kF), 1e200);
  EXPECT_EQ(Text(kT, 5), "2.25");
}

TEST_F(TextCommandTest, ExtractAndRemoveCountCharacters) {
  ASSERT_TRUE(StartScript(std::string(kTextDecl) +
                          "*SYSTEM_START\n"
                          "@t[0] = \"abcde\"\n"
                          "@textEdit t[0], t[1], extract, start=2, count=3\n"
                          "@textEdit t[0], t[2], extract, start=0, count=2\n"
                          "@textEdit t[0], t[3], extract, start=1, count=2\n"
                          "@textEdit t[0], t[4], extract, start=5, count=1\n"
                          "@t[5] = \"x\"\n"
                          "@textEdit t[0], t[5], extract, start=3\n"
                          "@t[6] = \"abcde\"\n"
                          "@textEdit t[6], remove, start=2, count=3\n"
                          "@t[7] = \"あいうx\"\n"
                          "@textEdit t[7], t[8], extract, start=2, count=2\n"
                          "@textEdit t[7], t[9], remove, start=1, count=1\n"
                          "@wait frames=1\n"));
  Frames(1);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  EXPECT_EQ(Text(kT, 1), "bcd");
  EXPECT_EQ(Text(kT, 2), "ab");
  EXPECT_EQ(Text(kT, 3), "ab");
  EXPECT_EQ(Text(kT, 4), "e");
  EXPECT_EQ(Text(kT, 5), "");  // count 0
  EXPECT_EQ(Text(kT, 6), "ae");
  EXPECT_EQ(Text(kT, 8), S("いう"));
  EXPECT_EQ(Text(kT, 9), S("いうx"));
}

TEST_F(TextCommandTest, WidthAndCase) {
  ASSERT_TRUE(StartScript(std::string(kTextDecl) +
                          "*SYSTEM_START\n"
                          "@textEdit t[0], t[1], fullWidth\n"
                          "@textEdit t[1], t[2], halfWidth\n"
                          "@textEdit t[3], t[4], fullWidth\n"
                          "@t[5] = \"abcアZガ\"\n"
                          "@textEdit t[5], t[6], upper\n"
                          "@textEdit t[5], t[7], lower\n"
                          "@textEdit t[5], t[8], halfWidth, upper\n"
                          "@textEdit t[5], t[9], fullWidth, halfWidth\n"
                          "@wait frames=1\n"));
  std::string printable;
  for (int b = 0x20; b <= 0x7E; ++b) printable += static_cast<char>(b);
  for (int b = 0xA1; b <= 0xDF; ++b) printable += static_cast<char>(b);
  ASSERT_EQ(StoreText(engine(), kT, 0, printable), 0);
  ASSERT_EQ(StoreText(engine(), kT, 3, std::string(3000, 'a')), 0);
  Frames(1);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  const std::string full = Text(kT, 1);
  ASSERT_EQ(full.size(), 2 * printable.size());
  EXPECT_EQ(full.substr(0, 4), S("　！"));
  EXPECT_EQ(full.substr(2 * ('A' - 0x20), 2), S("Ａ"));
  EXPECT_EQ(Text(kT, 2), printable);
  // A result of 6000 bytes is kept whole.
  EXPECT_EQ(Text(kT, 4).size(), 6000u);
  EXPECT_EQ(Text(kT, 4).substr(0, 2), S("ａ"));
  // Letters change, two-byte characters never (the trail byte of ア is 'A').
  EXPECT_EQ(Text(kT, 6), S("ABCアZガ"));
  EXPECT_EQ(Text(kT, 7), S("abcアzガ"));
  // Several width and case selectors each read the source afresh: the
  // last one decides.
  EXPECT_EQ(Text(kT, 8), S("ABCアZガ"));
  EXPECT_EQ(Text(kT, 9), S("abc") + "\xB1Z\xB6");
}

TEST_F(TextCommandTest, VariableInfo) {
  ASSERT_TRUE(StartScript(
      "@global int v[8] = -1\n"
      "@global int grid[3, 4] = 0\n"
      "@global float g = 0.0\n"
      "@global text s[2] = \"あab\"\n"
      "*SYSTEM_START\n"
      "@varInfo g, v[0], type\n"
      "@varInfo g, v[1], dimensions\n"
      "@varInfo grid[0, 0], v[2], size1\n"
      "@varInfo grid[1, 2], v[3], size2\n"
      "@varInfo grid[2, 3], v[4], size3\n"
      "@varInfo s[1], v[5], length\n"
      "@varInfo s[1], v[6], charWidth\n"
      "@s[0] = \"b\"\n"
      "@varInfo s[0], v[7], charWidth\n"
      "@wait frames=1\n"));
  Frames(1);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  EXPECT_EQ(Ints(1000, 8), (std::vector<int64_t>{2, 0, 3, 4, 0, 3, 2, 1}));
}

// Each case runs one statement and expects its error.
TEST_F(TextCommandTest, Errors) {
  const struct {
    const char* statement;
    int32_t code;
  } kCases[] = {
      {"@t[0] = \"-5\"\n@textEdit t[0], k[0], convert", 108210},
      {"@t[0] = \"1 \"\n@textEdit t[0], k[0], convert", 108210},
      {"@t[0] = \"あ\"\n@textEdit t[0], k[0], convert", 108210},
      {"@textEdit k[0], k[1], convert", 108200},
      {"@textEdit t[0], t[1], convert", 108200},
      {"@textEdit k[0], f, convert", 108200},
      {"@t[0] = \"abcde\"\n@textEdit t[0], t[1], extract, start=6", 120010},
      {"@t[0] = \"abcde\"\n@textEdit t[0], t[1], extract, start=4, count=3", 120020},
      {"@t[0] = \"abcde\"\n@textEdit t[0], remove, start=6", 120110},
      {"@t[0] = \"あい\"\n@textEdit t[0], remove, start=2, count=2", 120120},
      {"@textEdit k[0], t[1], extract, count=1", 108220},
      {"@textEdit t[0], k[1], upper", 108220},
      {"@varInfo k[0], k[1], length", 108220},
      {"@varInfo t[0], k[1], charWidth", 101450},
      {"@varInfo t[0], t[1], type", 101140},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.statement);
    MakeEngine();
    ASSERT_TRUE(StartScript(std::string(kTextDecl) + "*SYSTEM_START\n" + c.statement + "\n@wait frames=1\n"));
    Frames(1);
    EXPECT_EQ(FirstCode(), c.code);
  }
}

}  // namespace
}  // namespace vv::script
