// Tokens of statement lines (the lines that start with '@').
//
// Identifiers may hold ASCII letters, digits, '_', two-byte Shift-JIS
// characters and inner dots (sys.timer); numbers are decimal, 0x hex or
// floats; texts are "..." with \" \\ \n \t. A '*' directly followed by a
// name, where an operand is expected, is a label name; ';' starts a
// comment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vv::dorov {

struct Token {
  enum Kind : uint8_t { kEnd, kIdent, kInt, kFloat, kText, kLabel, kVarNumber, kOp };
  Kind kind = kEnd;
  std::string text;  // identifier, operator spelling, text bytes, label name
  int64_t intValue = 0;
  double floatValue = 0;
  size_t offset = 0;  // byte offset in the statement text
  size_t end = 0;     // one past the token's last byte
};

struct LexError {
  size_t offset;
  std::string message;
};

// Splits one statement (without its '@') into tokens; the last token is
// kEnd at the offset where the statement ends. In a statement the first
// word is a command or keyword, so a value may follow it; `statement`
// false reads a bare expression (a value inside dialogue).
std::vector<Token> Tokenize(const std::string& text, std::vector<LexError>& errors, bool statement = true);

// True for a byte that may start an identifier (letters, '_', lead bytes).
bool IsIdentifierStart(uint8_t byte);

}  // namespace vv::dorov
