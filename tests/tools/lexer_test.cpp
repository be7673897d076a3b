#include "dorov/lexer.h"

#include <gtest/gtest.h>

namespace vv::dorov {
namespace {

// Kinds and spellings of the tokens of one statement, as one string.
std::string Describe(const std::string& text, std::vector<LexError>& errors) {
  std::string out;
  for (const auto& t : Tokenize(text, errors)) {
    if (!out.empty()) out += ' ';
    switch (t.kind) {
      case Token::kEnd: out += "END"; break;
      case Token::kIdent: out += "id:" + t.text; break;
      case Token::kInt: out += "int:" + std::to_string(t.intValue); break;
      case Token::kFloat: out += "float:" + std::to_string(t.floatValue); break;
      case Token::kText: out += "text:" + t.text; break;
      case Token::kLabel: out += "label:" + t.text; break;
      case Token::kVarNumber: out += "var:" + std::to_string(t.intValue); break;
      case Token::kOp: out += t.text; break;
    }
  }
  return out;
}

TEST(Lexer, TokensOfStatements) {
  struct Case {
    std::string text;
    std::string tokens;
  } cases[] = {
      {"x += 0x1F*2", "id:x += int:31 * int:2 END"},
      {"a<=b&&c!=d||!e", "id:a <= id:b && id:c != id:d || ! id:e END"},
      {"f = 1.5e2 + .5 + 2.", "id:f = float:150.000000 + float:0.500000 + float:2.000000 END"},
      {"t = \"a\\\"b\\\\c\\n\"", "id:t = text:a\"b\\c\n END"},
      {"sys.timer[1] ; comment", "id:sys.timer [ int:1 ] END"},
      // '*' starts a label name only where a value is expected
      {"goto *start", "id:goto label:start END"},
      {"call *sub(1)", "id:call label:sub ( int:1 ) END"},
      {"x = a *b", "id:x = id:a * id:b END"},
      {"x = 2 * *lbl", "id:x = int:2 * label:lbl END"},
      {"$1000 = 9223372036854775808", "var:1000 = int:-9223372036854775808 END"},
      // two-byte characters belong to names and texts; 0x5C trail bytes are no escapes
      {"\x8D\x44\x8A\xB4\x93\x78 = \"\x95\x5C\"", "id:\x8D\x44\x8A\xB4\x93\x78 = text:\x95\x5C END"},
  };
  for (const auto& c : cases) {
    std::vector<LexError> errors;
    EXPECT_EQ(Describe(c.text, errors), c.tokens) << c.text;
    EXPECT_TRUE(errors.empty()) << c.text;
  }
}

TEST(Lexer, ABareExpressionHasNoCommandWordFirst) {
  std::vector<LexError> errors;
  const auto tokens = Tokenize("a *b", errors, false);
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[1].kind, Token::kOp);  // a multiplication, not the label *b
  EXPECT_EQ(Tokenize("a *b", errors)[1].kind, Token::kLabel);  // after a command word: a label
}

TEST(Lexer, ErrorsPointAtTheirPlace) {
  struct Case {
    std::string text;
    size_t offset;
    std::string message;
  } cases[] = {
      {"t = \"open", 4, "no closing quote"},
      {"x = 12ab", 6, "may not run into a name"},
      {"x = 99999999999999999999", 4, "does not fit in 64 bits"},
      {"x = 0x", 4, "needs digits"},
      {"t = \"\\q\"", 5, "unknown escape"},
      {"x = 1 ? 2", 6, "unexpected character"},
  };
  for (const auto& c : cases) {
    std::vector<LexError> errors;
    Tokenize(c.text, errors);
    ASSERT_FALSE(errors.empty()) << c.text;
    EXPECT_EQ(errors[0].offset, c.offset) << c.text;
    EXPECT_NE(errors[0].message.find(c.message), std::string::npos) << errors[0].message;
  }
}

}  // namespace
}  // namespace vv::dorov
