// Expressions of the script language: parsing with C-like precedence,
// static types, and compiling to the engine's postfix code.
//
// Every expression has one of three types: int, float or text. The engine
// computes a whole expression either with 64-bit integers or with doubles;
// an expression that holds a float anywhere (outside subscripts) is
// computed with doubles throughout, so 7 / 2 + 0.5 is 4.0. Subscripts are
// always computed with integers. Numbers joined to a text with + become
// text; int(), float() and text() convert explicitly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dorov/expression_code.h"
#include "dorov/lexer.h"
#include "dorov/symbols.h"

namespace vv::dorov {

// What a name stands for in an expression.
struct VariableInfo {
  uint16_t number = 0;
  ValueType type = ValueType::kInt;
  int dimensions = 0;     // subscripts a reference must give (0: a scalar)
  bool writable = true;
  // Call parameters are one element of a system array: the reference
  // carries that element without subscripts in the source.
  bool fixedElement = false;
  int64_t element = 0;
};

struct Expr {
  enum Kind : uint8_t {
    kInt, kFloat, kText,  // literals
    kVar,                 // a variable or element read; kids are the subscripts
    kRef,                 // &name: the whole variable (output arguments)
    kNeg, kNot, kBitNot,  // unary -, !, ~
    kBinary,              // kids[0] op kids[1]; `opcode` is the postfix opcode
    kToInt, kToFloat, kToText,
  };
  Kind kind = kInt;
  ValueType type = ValueType::kInt;
  int64_t intValue = 0;
  double floatValue = 0;
  std::string text;  // literal text (Shift-JIS)
  uint16_t variable = 0;
  uint8_t opcode = 0;
  bool label = false;  // a text literal written as *name
  std::vector<std::unique_ptr<Expr>> kids;
  size_t offset = 0;  // where it starts in the statement text
};
using ExprPtr = std::unique_ptr<Expr>;

struct ExprError {
  size_t offset;
  std::string message;
};

// Looks a name up: nullopt when the name is unknown.
using NameResolver = std::function<std::optional<VariableInfo>(std::string_view)>;

class ExprParser {
 public:
  ExprParser(const std::vector<Token>& tokens, size_t& pos, NameResolver resolve, std::vector<ExprError>& errors)
      : tokens_(tokens), pos_(pos), resolve_(std::move(resolve)), errors_(errors) {}

  // One expression; null after an error (reported).
  ExprPtr Parse();
  // A variable or element that can be assigned to or written by a command.
  // `allowWhole` also accepts &name.
  ExprPtr ParseTarget(bool allowWhole);

  // Label names written as *name, with where they stand.
  const std::vector<std::pair<std::string, size_t>>& labels() const { return labels_; }

 private:
  ExprPtr ParseBinary(int minPrec);
  ExprPtr ParseUnary();
  ExprPtr ParsePrimary();
  ExprPtr ParseVariable(const std::string& name, const VariableInfo& info, size_t offset);
  ExprPtr MakeBinary(uint8_t opcode, ExprPtr a, ExprPtr b, size_t offset);
  void Error(size_t offset, std::string message);
  const Token& Peek() const { return tokens_[pos_]; }
  bool IsOp(std::string_view op) const { return Peek().kind == Token::kOp && Peek().text == op; }

  const std::vector<Token>& tokens_;
  size_t& pos_;
  NameResolver resolve_;
  std::vector<ExprError>& errors_;
  std::vector<std::pair<std::string, size_t>> labels_;
  bool failed_ = false;
};

// Wraps `e` so that its value has the type `to` (number to text, int to
// float). Returns an error text when no conversion exists.
std::optional<std::string> ConvertTo(ExprPtr& e, ValueType to);

// A text literal node.
ExprPtr MakeTextLiteral(std::string sjis, size_t offset = 0);
ExprPtr MakeIntLiteral(int64_t value, size_t offset = 0);
// A read of `info` (with its fixed element, if any) and no other subscripts.
ExprPtr MakeVariableRead(const VariableInfo& info, size_t offset = 0);

// Whether the expression must be computed with doubles.
bool NeedsFloat(const Expr& e);
// The ExprType byte of an argument record holding `e`: 1 integer, 2 float,
// 3 text with integer arithmetic, 4 text with float arithmetic.
uint8_t ExprTypeOf(const Expr& e);

// Postfix code of `e`. Fails only for a text that cannot be quoted
// (reported through `error`).
bool EmitExpression(const Expr& e, ExprWriter& out, std::string& error);
// The code of a declaration target: the variable with its sizes as
// subscripts.
void EmitDeclarationTarget(uint16_t variable, const std::vector<const Expr*>& sizes, ExprWriter& out,
                           std::string& error);

// The expression as the disassembler prints its code (listing form).
std::string FormatExpression(const Expr& e);

// Compile-time value of an expression without variables, computed as the
// engine would.
struct ConstValue {
  bool isText = false;
  int64_t intValue = 0;
  double floatValue = 0;
  std::string text;
};
std::optional<ConstValue> EvaluateConstant(const Expr& e);

}  // namespace vv::dorov
