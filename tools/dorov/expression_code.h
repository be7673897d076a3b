// The postfix code of compiled expressions: writing it, and reading it
// back as infix text for the disassembler.
//
// An instruction is one opcode byte, a uint16 operand length L and L
// operand bytes. Operators take their operands from the value stack;
// conversions and variable reads carry a marker byte that asks for the
// value as a number ('`') or as text ('#').
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vv::dorov {

namespace op {
inline constexpr uint8_t kInt8 = 'B', kInt16 = 'W', kInt32 = 'I', kInt64 = 'L', kFloat = 'F', kText = 'M';
inline constexpr uint8_t kVariable = 'H', kElement = 'V', kClose = ')', kReference = 'v', kSeparator = ',';
inline constexpr uint8_t kAdd = '+', kSub = '-', kMul = '*', kDiv = '/', kRem = '%';
inline constexpr uint8_t kBitAnd = 'A', kBitOr = 'O', kBitXor = '^', kAnd = '&', kOr = '|';
inline constexpr uint8_t kEqual = '=', kNotEqual = '!', kLess = '<', kGreater = '>', kLessEqual = 'S',
                         kGreaterEqual = 'Z';
inline constexpr uint8_t kNegate = 'R', kToText = 's', kToInteger = 'i';
// Markers of variable reads.
inline constexpr uint8_t kMarkNone = 0, kMarkNumber = '`', kMarkText = '#';
}  // namespace op

// Precedence of infix operators, shared by everything that prints
// expressions so that they all parenthesise alike. Higher binds tighter.
inline constexpr int kPrecOr = 1, kPrecAnd = 2, kPrecBitOr = 3, kPrecBitXor = 4, kPrecBitAnd = 5, kPrecEquality = 6,
                     kPrecCompare = 7, kPrecAdd = 8, kPrecMul = 9, kPrecUnary = 10, kPrecPrimary = 11;

// Infix spelling and precedence of a binary opcode; false for other bytes.
bool BinaryOperatorInfo(uint8_t opcode, std::string_view& spelling, int& precedence);

// "left op right" with the parentheses that precedence asks for (left
// associative: an equal precedence on the right is parenthesised).
std::string FormatBinary(const std::string& left, int leftPrec, std::string_view op, int opPrec,
                         const std::string& right, int rightPrec);
// "-x" (with parentheses when x binds looser or starts with '-').
std::string FormatNegate(const std::string& operand, int operandPrec);
// A text literal as the language writes it: "..." with \\ \" \n \t.
std::string FormatTextLiteral(std::string_view sjis);
// A float that reads back as the same double, always with a '.' or 'e'.
std::string FormatFloat(double value);

class ExprWriter {
 public:
  void Op(uint8_t opcode);
  // The shortest of the four integer pushes that holds the value.
  void Int(int64_t value);
  void Float(double value);
  // A text literal. False when the text holds every byte that could quote
  // it (nothing is written then).
  bool Text(std::string_view sjis);
  void Variable(uint8_t opcode, uint8_t marker, uint16_t variable);
  void Append(std::span<const uint8_t> code) { bytes_.insert(bytes_.end(), code.begin(), code.end()); }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void Head(uint8_t opcode, size_t operandLength);
  std::vector<uint8_t> bytes_;
};

struct DecodedExpression {
  bool ok = true;
  std::string infix;  // Shift-JIS; what could be read when !ok
  std::string error;
};

// Reads an expression back as infix. `floatArithmetic` tells how a
// number-marked variable read is converted (float or int). `name` gives a
// variable's display name. Never reads past `code`.
DecodedExpression DecodeExpression(std::span<const uint8_t> code, bool floatArithmetic,
                                   const std::function<std::string(uint16_t)>& name);

}  // namespace vv::dorov
