#include "dorov/lexer.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "common/sjis.h"

namespace vv::dorov {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsIdentifierChar(uint8_t b) {
  return IsIdentifierStart(b) || IsDigit(static_cast<char>(b));
}

// Characters that end a label name written in a statement.
bool EndsLabelName(char c) {
  return c == ' ' || c == '\t' || c == '(' || c == ')' || c == ',' || c == ';' || c == '=' || c == '[' ||
         c == ']' || c == '"';
}

constexpr std::string_view kOperators[] = {
    "&&", "||", "==", "!=", "<=", ">=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=",
    "+",  "-",  "*",  "/",  "%",  "&",  "|",  "^",  "~",  "!",  "<",  ">",  "=",  "(",
    ")",  "[",  "]",  ",",
};

// Whether an operand may follow the tokens read so far, which makes a '*'
// the start of a label name rather than a multiplication.
bool OperandExpected(const std::vector<Token>& tokens, bool statement) {
  if (tokens.empty()) return true;
  const Token& last = tokens.back();
  if (last.kind == Token::kOp) return last.text != ")" && last.text != "]";
  if (last.kind == Token::kIdent)
    return (statement && tokens.size() == 1) || last.text == "call" || last.text == "goto";
  return false;
}

}  // namespace

bool IsIdentifierStart(uint8_t b) { return IsAsciiLetter(static_cast<char>(b)) || b == '_' || common::IsSjisLead(b); }

std::vector<Token> Tokenize(const std::string& text, std::vector<LexError>& errors, bool statement) {
  std::vector<Token> tokens;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    const auto u = static_cast<uint8_t>(c);
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    if (c == ';') break;
    Token t;
    t.offset = i;
    if (IsIdentifierStart(u)) {
      size_t j = i;
      while (j < n) {
        const auto b = static_cast<uint8_t>(text[j]);
        if (common::IsSjisLead(b) && j + 1 < n) {
          j += 2;
        } else if (IsIdentifierChar(b)) {
          ++j;
        } else if (b == '.' && j + 1 < n && IsIdentifierChar(static_cast<uint8_t>(text[j + 1]))) {
          ++j;
        } else {
          break;
        }
      }
      t.kind = Token::kIdent;
      t.text = text.substr(i, j - i);
      i = j;
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(text[i + 1]))) {
      size_t j = i;
      bool isFloat = false;
      if (c == '0' && j + 1 < n && (text[j + 1] == 'x' || text[j + 1] == 'X')) {
        j += 2;
        const size_t start = j;
        uint64_t v = 0;
        bool overflow = false;
        while (j < n && std::isxdigit(static_cast<unsigned char>(text[j]))) {
          if (v >> 60) overflow = true;
          const char d = text[j];
          v = v * 16 + static_cast<uint64_t>(IsDigit(d) ? d - '0' : (d | 0x20) - 'a' + 10);
          ++j;
        }
        if (j == start) errors.push_back({i, "a hexadecimal number needs digits after 0x"});
        if (overflow) errors.push_back({i, "the number does not fit in 64 bits"});
        t.kind = Token::kInt;
        t.intValue = static_cast<int64_t>(v);
      } else {
        while (j < n && IsDigit(text[j])) ++j;
        if (j < n && text[j] == '.' && j + 1 < n && IsDigit(text[j + 1])) {
          isFloat = true;
          ++j;
          while (j < n && IsDigit(text[j])) ++j;
        } else if (j < n && text[j] == '.' && !(j + 1 < n && IsIdentifierStart(static_cast<uint8_t>(text[j + 1])))) {
          isFloat = true;  // "2." is a float
          ++j;
        }
        if (j < n && (text[j] == 'e' || text[j] == 'E')) {
          size_t k = j + 1;
          if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
          if (k < n && IsDigit(text[k])) {
            isFloat = true;
            j = k;
            while (j < n && IsDigit(text[j])) ++j;
          }
        }
        const std::string digits = text.substr(i, j - i);
        if (isFloat) {
          t.kind = Token::kFloat;
          t.floatValue = std::strtod(digits.c_str(), nullptr);
          if (!std::isfinite(t.floatValue)) errors.push_back({i, "the number is too large for a float"});
        } else {
          t.kind = Token::kInt;
          uint64_t v = 0;
          auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
          (void)p;
          // 9223372036854775808 is allowed so that its negation is the
          // smallest integer.
          if (ec != std::errc() || v > (uint64_t{1} << 63)) errors.push_back({i, "the number does not fit in 64 bits"});
          t.intValue = static_cast<int64_t>(v);
        }
      }
      if (j < n && IsIdentifierStart(static_cast<uint8_t>(text[j])))
        errors.push_back({j, "a number may not run into a name; put a space or an operator between them"});
      i = j;
    } else if (c == '"') {
      size_t j = i + 1;
      std::string value;
      bool closed = false;
      while (j < n) {
        const auto b = static_cast<uint8_t>(text[j]);
        if (common::IsSjisLead(b) && j + 1 < n) {
          value.append(text, j, 2);
          j += 2;
        } else if (b == '"') {
          closed = true;
          ++j;
          break;
        } else if (b == '\\') {
          if (j + 1 >= n) {
            ++j;
            break;
          }
          const char e = text[j + 1];
          if (e == 'n') value += '\n';
          else if (e == 't') value += '\t';
          else if (e == '\\' || e == '"') value += e;
          else errors.push_back({j, std::string("unknown escape \\") + e + " (use \\\\ \\\" \\n or \\t)"});
          j += 2;
        } else {
          value += text[j];
          ++j;
        }
      }
      if (!closed) errors.push_back({i, "the text has no closing quote"});
      t.kind = Token::kText;
      t.text = std::move(value);
      i = j;
    } else if (c == '$' && i + 1 < n && IsDigit(text[i + 1])) {
      size_t j = i + 1;
      int64_t v = 0;
      while (j < n && IsDigit(text[j])) {
        if (v < 100000000) v = v * 10 + (text[j] - '0');
        ++j;
      }
      t.kind = Token::kVarNumber;
      t.intValue = v;
      i = j;
    } else if (c == '*' && i + 1 < n && !EndsLabelName(text[i + 1]) && OperandExpected(tokens, statement)) {
      size_t j = i + 1;
      while (j < n && !EndsLabelName(text[j])) j += common::SjisCharLength(text, j);
      t.kind = Token::kLabel;
      t.text = text.substr(i + 1, j - i - 1);
      i = j;
    } else {
      bool matched = false;
      for (auto op : kOperators) {
        if (text.compare(i, op.size(), op) == 0) {
          t.kind = Token::kOp;
          t.text = op;
          i += op.size();
          matched = true;
          break;
        }
      }
      if (!matched) {
        const size_t len = common::SjisCharLength(text, i);
        errors.push_back({i, "unexpected character '" + text.substr(i, len) + "'"});
        i += len;
        continue;
      }
    }
    t.end = i;
    tokens.push_back(std::move(t));
  }
  Token end;
  end.kind = Token::kEnd;
  end.offset = end.end = std::min(i, n);
  // Point at the end of the text proper, before a comment.
  size_t e = end.offset;
  while (e > 0 && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  end.offset = end.end = e;
  tokens.push_back(end);
  return tokens;
}

}  // namespace vv::dorov
