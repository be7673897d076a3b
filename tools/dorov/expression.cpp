#include "dorov/expression.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vv::dorov {

namespace {

struct BinaryOp {
  std::string_view token;
  uint8_t opcode;
  int prec;
};

constexpr BinaryOp kBinaryOps[] = {
    {"||", op::kOr, kPrecOr},          {"&&", op::kAnd, kPrecAnd},          {"|", op::kBitOr, kPrecBitOr},
    {"^", op::kBitXor, kPrecBitXor},   {"&", op::kBitAnd, kPrecBitAnd},     {"==", op::kEqual, kPrecEquality},
    {"!=", op::kNotEqual, kPrecEquality}, {"<", op::kLess, kPrecCompare},   {">", op::kGreater, kPrecCompare},
    {"<=", op::kLessEqual, kPrecCompare}, {">=", op::kGreaterEqual, kPrecCompare}, {"+", op::kAdd, kPrecAdd},
    {"-", op::kSub, kPrecAdd},         {"*", op::kMul, kPrecMul},           {"/", op::kDiv, kPrecMul},
    {"%", op::kRem, kPrecMul},
};

const BinaryOp* FindBinary(const Token& t) {
  if (t.kind != Token::kOp) return nullptr;
  for (const auto& b : kBinaryOps)
    if (b.token == t.text) return &b;
  return nullptr;
}

bool IsNumeric(ValueType t) { return t == ValueType::kInt || t == ValueType::kFloat; }

bool IsLeaf(const Expr& e) { return e.kind == Expr::kVar || e.kind == Expr::kFloat || e.kind == Expr::kInt; }

ExprPtr Make(Expr::Kind kind, ValueType type, size_t offset) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->type = type;
  e->offset = offset;
  return e;
}

ExprPtr Wrap(Expr::Kind kind, ValueType type, ExprPtr child) {
  auto e = Make(kind, type, child->offset);
  e->kids.push_back(std::move(child));
  return e;
}

// A Float node inside integer arithmetic (a subscript) would be truncated
// at every step; only a float variable or literal read straight into
// int() or text() keeps its meaning there.
bool IntegerArithmeticOk(const Expr& e, bool directlyConverted, size_t& badOffset) {
  if (e.type == ValueType::kFloat && !(directlyConverted && IsLeaf(e))) {
    badOffset = e.offset;
    return false;
  }
  if (e.kind == Expr::kVar) return true;  // its own subscripts were checked when it was read
  const bool converts = e.kind == Expr::kToInt || e.kind == Expr::kToText;
  for (const auto& k : e.kids)
    if (!IntegerArithmeticOk(*k, converts, badOffset)) return false;
  return true;
}

// printf("%f") as the engine formats floats.
std::string FormatFixed(double v) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%f", v);
  return buf;
}

// Truncation toward zero, saturating where a double leaves the int64 range.
int64_t Truncate(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return INT64_MAX;
  if (d <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(d);
}

// The engine's text to integer rule: leading white space, a sign, digits.
int64_t TextToInteger(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' || s[i] == '\v' || s[i] == '\f'))
    ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  uint64_t v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + static_cast<uint64_t>(s[i++] - '0');
  return static_cast<int64_t>(negative ? 0 - v : v);
}

}  // namespace

ExprPtr MakeTextLiteral(std::string sjis, size_t offset) {
  auto e = Make(Expr::kText, ValueType::kText, offset);
  e->text = std::move(sjis);
  return e;
}

ExprPtr MakeIntLiteral(int64_t value, size_t offset) {
  auto e = Make(Expr::kInt, ValueType::kInt, offset);
  e->intValue = value;
  return e;
}

ExprPtr MakeVariableRead(const VariableInfo& info, size_t offset) {
  auto e = Make(Expr::kVar, info.type, offset);
  e->variable = info.number;
  if (info.fixedElement) e->kids.push_back(MakeIntLiteral(info.element, offset));
  return e;
}

std::optional<std::string> ConvertTo(ExprPtr& e, ValueType to) {
  if (e->type == to) return std::nullopt;
  if (to == ValueType::kText) {
    if (e->kind == Expr::kFloat) {  // a literal becomes its text at once
      auto t = MakeTextLiteral(FormatFixed(e->floatValue), e->offset);
      e = std::move(t);
    } else {
      e = Wrap(Expr::kToText, ValueType::kText, std::move(e));
    }
    return std::nullopt;
  }
  if (e->type == ValueType::kText) return std::string("a text cannot be used as a number here; convert it with int() or float()");
  if (to == ValueType::kFloat) e = Wrap(Expr::kToFloat, ValueType::kFloat, std::move(e));
  // A float given where an integer is wanted stays a float; the engine
  // truncates it toward zero when it takes the value.
  return std::nullopt;
}

void ExprParser::Error(size_t offset, std::string message) {
  if (!failed_) errors_.push_back({offset, std::move(message)});
  failed_ = true;
}

ExprPtr ExprParser::Parse() {
  failed_ = false;
  auto e = ParseBinary(kPrecOr);
  if (failed_) return nullptr;
  return e;
}

ExprPtr ExprParser::MakeBinary(uint8_t opcode, ExprPtr a, ExprPtr b, size_t offset) {
  const bool textA = a->type == ValueType::kText, textB = b->type == ValueType::kText;
  ValueType type = ValueType::kInt;
  switch (opcode) {
    case op::kAdd:
      if (textA || textB) {
        ConvertTo(a, ValueType::kText);
        ConvertTo(b, ValueType::kText);
        type = ValueType::kText;
      } else {
        type = (a->type == ValueType::kFloat || b->type == ValueType::kFloat) ? ValueType::kFloat : ValueType::kInt;
      }
      break;
    case op::kEqual:
    case op::kNotEqual:
      if (textA != textB) {
        Error(offset, "a text can only be compared with a text; convert with text() or int()");
        return nullptr;
      }
      break;
    case op::kSub:
    case op::kMul:
    case op::kDiv:
    case op::kRem:
      if (textA || textB) {
        Error(offset, "texts can only be joined with + and compared with == and !=");
        return nullptr;
      }
      type = (a->type == ValueType::kFloat || b->type == ValueType::kFloat) ? ValueType::kFloat : ValueType::kInt;
      break;
    default:
      if (textA || textB) {
        Error(offset, "texts can only be joined with + and compared with == and !=");
        return nullptr;
      }
      break;
  }
  auto e = Make(Expr::kBinary, type, a->offset);
  e->opcode = opcode;
  e->kids.push_back(std::move(a));
  e->kids.push_back(std::move(b));
  return e;
}

ExprPtr ExprParser::ParseBinary(int minPrec) {
  auto left = ParseUnary();
  if (!left) return nullptr;
  while (true) {
    const BinaryOp* b = FindBinary(Peek());
    if (!b || b->prec < minPrec) return left;
    const size_t at = Peek().offset;
    ++pos_;
    auto right = ParseBinary(b->prec + 1);
    if (!right) return nullptr;
    left = MakeBinary(b->opcode, std::move(left), std::move(right), at);
    if (!left) return nullptr;
  }
}

ExprPtr ExprParser::ParseUnary() {
  const Token& t = Peek();
  if (t.kind == Token::kOp && (t.text == "-" || t.text == "!" || t.text == "~" || t.text == "+")) {
    const std::string opText = t.text;
    const size_t at = t.offset;
    ++pos_;
    auto operand = ParseUnary();
    if (!operand) return nullptr;
    if (!IsNumeric(operand->type)) {
      Error(at, "'" + opText + "' needs a number");
      return nullptr;
    }
    if (opText == "+") return operand;
    if (opText == "-") {
      const ValueType type = operand->type;
      auto e = Wrap(Expr::kNeg, type, std::move(operand));
      e->offset = at;
      return e;
    }
    if (opText == "~" && operand->type == ValueType::kFloat) {
      Error(at, "'~' needs an integer");
      return nullptr;
    }
    auto e = Wrap(opText == "!" ? Expr::kNot : Expr::kBitNot, ValueType::kInt, std::move(operand));
    e->offset = at;
    return e;
  }
  return ParsePrimary();
}

ExprPtr ExprParser::ParsePrimary() {
  const Token t = Peek();
  switch (t.kind) {
    case Token::kInt: {
      ++pos_;
      return MakeIntLiteral(t.intValue, t.offset);
    }
    case Token::kFloat: {
      ++pos_;
      auto e = Make(Expr::kFloat, ValueType::kFloat, t.offset);
      e->floatValue = t.floatValue;
      return e;
    }
    case Token::kText:
      ++pos_;
      return MakeTextLiteral(t.text, t.offset);
    case Token::kLabel: {
      ++pos_;
      labels_.emplace_back(t.text, t.offset);
      auto e = MakeTextLiteral(t.text, t.offset);
      e->label = true;
      return e;
    }
    case Token::kVarNumber: {
      ++pos_;
      if (t.intValue > 65535) {
        Error(t.offset, "variable numbers go up to 65535");
        return nullptr;
      }
      VariableInfo info;
      info.number = static_cast<uint16_t>(t.intValue);
      info.dimensions = -1;
      return ParseVariable("$" + std::to_string(t.intValue), info, t.offset);
    }
    case Token::kIdent: {
      ++pos_;
      if ((t.text == "int" || t.text == "float" || t.text == "text") && IsOp("(")) {
        ++pos_;
        auto inner = ParseBinary(kPrecOr);
        if (!inner) return nullptr;
        if (!IsOp(")")) {
          Error(Peek().offset, "expected ')' to close " + t.text + "(");
          return nullptr;
        }
        ++pos_;
        if (t.text == "text") {
          ConvertTo(inner, ValueType::kText);
          inner->offset = t.offset;
          return inner;
        }
        if (t.text == "int") {
          if (inner->type == ValueType::kInt) return inner;
          return Wrap(Expr::kToInt, ValueType::kInt, std::move(inner));
        }
        if (inner->type == ValueType::kText && inner->kind != Expr::kVar) {
          Error(t.offset, "float() of a text works on a text variable; store the text in one first");
          return nullptr;
        }
        if (inner->type == ValueType::kFloat) return inner;
        return Wrap(Expr::kToFloat, ValueType::kFloat, std::move(inner));
      }
      if (t.text.rfind("key.", 0) == 0) {
        if (auto code = FindKeyCode(std::string_view(t.text).substr(4))) return MakeIntLiteral(*code, t.offset);
        Error(t.offset, "unknown key name '" + t.text + "'");
        return nullptr;
      }
      if (t.text == "true" || t.text == "false") return MakeIntLiteral(t.text == "true" ? 1 : 0, t.offset);
      if (auto info = resolve_(t.text)) return ParseVariable(t.text, *info, t.offset);
      Error(t.offset, "unknown name '" + t.text + "'");
      return nullptr;
    }
    case Token::kOp:
      if (t.text == "(") {
        ++pos_;
        auto inner = ParseBinary(kPrecOr);
        if (!inner) return nullptr;
        if (!IsOp(")")) {
          Error(Peek().offset, "expected ')'");
          return nullptr;
        }
        ++pos_;
        return inner;
      }
      if (t.text == "&") {
        Error(t.offset, "&name (a whole variable) is only for arguments that take a variable");
        return nullptr;
      }
      break;
    default:
      break;
  }
  Error(t.offset, t.kind == Token::kEnd ? "expected a value at the end of the line" : "expected a value");
  return nullptr;
}

ExprPtr ExprParser::ParseVariable(const std::string& name, const VariableInfo& info, size_t offset) {
  auto e = MakeVariableRead(info, offset);
  if (info.fixedElement) {
    if (IsOp("[")) {
      Error(Peek().offset, "'" + name + "' is one value, not an array");
      return nullptr;
    }
    return e;
  }
  while (IsOp("[")) {
    ++pos_;
    while (true) {
      auto sub = ParseBinary(kPrecOr);
      if (!sub) return nullptr;
      if (!IsNumeric(sub->type)) {
        Error(sub->offset, "a subscript must be a number");
        return nullptr;
      }
      size_t bad = 0;
      if (!IntegerArithmeticOk(*sub, false, bad)) {
        Error(bad, "subscripts are computed with integers; a float calculation cannot be used here (use int())");
        return nullptr;
      }
      e->kids.push_back(std::move(sub));
      if (IsOp(",")) {
        ++pos_;
        continue;
      }
      break;
    }
    if (!IsOp("]")) {
      Error(Peek().offset, "expected ']'");
      return nullptr;
    }
    ++pos_;
  }
  const int given = static_cast<int>(e->kids.size());
  if (info.dimensions >= 0 && given != info.dimensions) {
    if (info.dimensions == 0) Error(offset, "'" + name + "' is not an array");
    else
      Error(offset, "'" + name + "' needs " + std::to_string(info.dimensions) + " subscript" +
                        (info.dimensions > 1 ? "s" : "") + ", not " + std::to_string(given));
    return nullptr;
  }
  if (given > 8) {
    Error(offset, "at most 8 subscripts");
    return nullptr;
  }
  return e;
}

ExprPtr ExprParser::ParseTarget(bool allowWhole) {
  failed_ = false;
  const Token t = Peek();
  if (t.kind == Token::kOp && t.text == "&") {
    ++pos_;
    if (!allowWhole) {
      Error(t.offset, "&name (a whole variable) is not taken here");
      return nullptr;
    }
    const Token n = Peek();
    VariableInfo info;
    if (n.kind == Token::kIdent) {
      auto r = resolve_(n.text);
      if (!r) {
        Error(n.offset, "unknown name '" + n.text + "'");
        return nullptr;
      }
      info = *r;
    } else if (n.kind == Token::kVarNumber && n.intValue <= 65535) {
      info.number = static_cast<uint16_t>(n.intValue);
    } else {
      Error(n.offset, "expected a variable name after &");
      return nullptr;
    }
    ++pos_;
    if (info.fixedElement) {
      Error(n.offset, "'" + n.text + "' is one value, not a whole variable");
      return nullptr;
    }
    auto e = Make(Expr::kRef, info.type, t.offset);
    e->variable = info.number;
    return e;
  }
  if (t.kind != Token::kIdent && t.kind != Token::kVarNumber) {
    Error(t.offset, "expected a variable");
    return nullptr;
  }
  auto e = ParsePrimary();
  if (!e) return nullptr;
  if (e->kind != Expr::kVar) {
    Error(t.offset, "expected a variable");
    return nullptr;
  }
  return e;
}

bool NeedsFloat(const Expr& e) {
  switch (e.kind) {
    case Expr::kVar:
    case Expr::kRef:
      return e.type == ValueType::kFloat && e.kind == Expr::kVar;
    case Expr::kToInt:
    case Expr::kToText:
      // A float variable or literal read straight into int() or text()
      // needs no float arithmetic: the read truncates, the marker formats.
      if (e.kids[0]->type == ValueType::kFloat && IsLeaf(*e.kids[0])) return false;
      return NeedsFloat(*e.kids[0]);
    default:
      if (e.type == ValueType::kFloat) return true;
      for (const auto& k : e.kids)
        if (NeedsFloat(*k)) return true;
      return false;
  }
}

uint8_t ExprTypeOf(const Expr& e) {
  const bool f = NeedsFloat(e);
  if (e.type == ValueType::kText) return f ? 4 : 3;
  return f ? 2 : 1;
}

namespace {

struct Emitter {
  bool floatMode;
  ExprWriter& out;
  std::string& error;

  void Variable(const Expr& e, uint8_t marker) {
    if (e.kids.empty()) {
      out.Variable(op::kVariable, marker, e.variable);
      return;
    }
    out.Variable(op::kElement, marker, e.variable);
    for (const auto& s : e.kids) Subscript(*s);
    out.Op(op::kClose);
  }

  // Subscripts are computed with integers whatever the expression's mode.
  void Subscript(const Expr& e) {
    const bool saved = floatMode;
    floatMode = false;
    Emit(e);
    floatMode = saved;
  }

  void Emit(const Expr& e) {
    switch (e.kind) {
      case Expr::kInt: out.Int(e.intValue); break;
      case Expr::kFloat: out.Float(e.floatValue); break;
      case Expr::kText:
        if (!out.Text(e.text)) error = "the text holds every byte that could quote it";
        break;
      case Expr::kVar: Variable(e, op::kMarkNone); break;
      case Expr::kRef: out.Variable(op::kReference, op::kMarkNone, e.variable); break;
      case Expr::kNeg: {
        const Expr& k = *e.kids[0];
        if (k.kind == Expr::kInt) out.Int(static_cast<int64_t>(0 - static_cast<uint64_t>(k.intValue)));
        else if (k.kind == Expr::kFloat) out.Float(-k.floatValue);
        else {
          Emit(k);
          out.Op(op::kNegate);
        }
        break;
      }
      case Expr::kNot:
        Emit(*e.kids[0]);
        out.Int(0);
        out.Op(op::kEqual);
        break;
      case Expr::kBitNot:
        Emit(*e.kids[0]);
        out.Int(-1);
        out.Op(op::kBitXor);
        break;
      case Expr::kBinary:
        Emit(*e.kids[0]);
        Emit(*e.kids[1]);
        out.Op(e.opcode);
        break;
      case Expr::kToText: {
        const Expr& k = *e.kids[0];
        if (k.kind == Expr::kVar && IsNumeric(k.type)) {
          Variable(k, op::kMarkText);
        } else {
          Emit(k);
          if (k.type != ValueType::kText) out.Op(op::kToText);
        }
        break;
      }
      case Expr::kToInt: {
        const Expr& k = *e.kids[0];
        if (k.type == ValueType::kText) {
          if (k.kind == Expr::kVar && !floatMode) {
            Variable(k, op::kMarkNumber);
          } else {
            Emit(k);
            out.Op(op::kToInteger);
          }
        } else if (k.type == ValueType::kFloat && floatMode) {
          // No truncation opcode: through "%f" text and the integer rule.
          Emit(k);
          out.Op(op::kToText);
          out.Op(op::kToInteger);
        } else {
          Emit(k);  // integer arithmetic truncates the float as it reads it
        }
        break;
      }
      case Expr::kToFloat: {
        const Expr& k = *e.kids[0];
        if (k.type == ValueType::kText) Variable(k, op::kMarkNumber);
        else Emit(k);
        break;
      }
    }
  }
};

struct Printer {
  bool floatMode;

  struct Out {
    std::string text;
    int prec;
  };

  std::string Variable(const Expr& e) {
    std::string s = VariableDisplayName(e.variable);
    if (e.kids.empty()) return s;
    s += "[";
    for (size_t i = 0; i < e.kids.size(); ++i) {
      if (i) s += ", ";
      const bool saved = floatMode;
      floatMode = false;
      s += Print(*e.kids[i]).text;
      floatMode = saved;
    }
    return s + "]";
  }

  Out Print(const Expr& e) {
    switch (e.kind) {
      case Expr::kInt: return {std::to_string(e.intValue), kPrecPrimary};
      case Expr::kFloat: return {FormatFloat(e.floatValue), kPrecPrimary};
      case Expr::kText: return {FormatTextLiteral(e.text), kPrecPrimary};
      case Expr::kVar: return {Variable(e), kPrecPrimary};
      case Expr::kRef: return {"&" + VariableDisplayName(e.variable), kPrecPrimary};
      case Expr::kNeg: {
        const Expr& k = *e.kids[0];
        if (k.kind == Expr::kInt) return {std::to_string(static_cast<int64_t>(0 - static_cast<uint64_t>(k.intValue))), kPrecPrimary};
        if (k.kind == Expr::kFloat) return {FormatFloat(-k.floatValue), kPrecPrimary};
        Out o = Print(k);
        return {FormatNegate(o.text, o.prec), kPrecUnary};
      }
      case Expr::kNot: {
        Out o = Print(*e.kids[0]);
        return {FormatBinary(o.text, o.prec, "==", kPrecEquality, "0", kPrecPrimary), kPrecEquality};
      }
      case Expr::kBitNot: {
        Out o = Print(*e.kids[0]);
        return {FormatBinary(o.text, o.prec, "^", kPrecBitXor, "-1", kPrecPrimary), kPrecBitXor};
      }
      case Expr::kBinary: {
        std::string_view spelling;
        int prec = 0;
        BinaryOperatorInfo(e.opcode, spelling, prec);
        Out a = Print(*e.kids[0]);
        Out b = Print(*e.kids[1]);
        return {FormatBinary(a.text, a.prec, spelling, prec, b.text, b.prec), prec};
      }
      case Expr::kToText: {
        const Expr& k = *e.kids[0];
        if (k.type == ValueType::kText) return Print(k);
        return {"text(" + Print(k).text + ")", kPrecPrimary};
      }
      case Expr::kToInt: {
        const Expr& k = *e.kids[0];
        if (k.type == ValueType::kFloat && !floatMode) return Print(k);
        return {"int(" + Print(k).text + ")", kPrecPrimary};
      }
      case Expr::kToFloat: {
        const Expr& k = *e.kids[0];
        if (k.type == ValueType::kText) return {"float(" + Print(k).text + ")", kPrecPrimary};
        return Print(k);
      }
    }
    return {"", kPrecPrimary};
  }
};

struct Evaluator {
  bool floatMode;

  std::optional<ConstValue> Number(int64_t i, double f) {
    ConstValue v;
    v.intValue = i;
    v.floatValue = f;
    return v;
  }
  std::optional<ConstValue> Truth(bool b) { return Number(b ? 1 : 0, b ? 1.0 : 0.0); }

  std::optional<ConstValue> Eval(const Expr& e) {
    switch (e.kind) {
      case Expr::kInt: return Number(e.intValue, static_cast<double>(e.intValue));
      case Expr::kFloat: return Number(Truncate(e.floatValue), e.floatValue);
      case Expr::kText: {
        ConstValue v;
        v.isText = true;
        v.text = e.text;
        return v;
      }
      case Expr::kVar:
      case Expr::kRef:
        return std::nullopt;
      case Expr::kNeg: {
        auto a = Eval(*e.kids[0]);
        if (!a) return a;
        return Number(static_cast<int64_t>(0 - static_cast<uint64_t>(a->intValue)), -a->floatValue);
      }
      case Expr::kNot: {
        auto a = Eval(*e.kids[0]);
        if (!a) return a;
        return Truth(floatMode ? a->floatValue == 0 : a->intValue == 0);
      }
      case Expr::kBitNot: {
        auto a = Eval(*e.kids[0]);
        if (!a) return a;
        return Number(~a->intValue, static_cast<double>(~Truncate(a->floatValue)));
      }
      case Expr::kToText: {
        auto a = Eval(*e.kids[0]);
        if (!a || a->isText) return a;
        ConstValue v;
        v.isText = true;
        v.text = floatMode ? FormatFixed(a->floatValue) : std::to_string(a->intValue);
        return v;
      }
      case Expr::kToInt: {
        auto a = Eval(*e.kids[0]);
        if (!a) return a;
        int64_t i = a->isText ? TextToInteger(a->text)
                              : (floatMode ? TextToInteger(FormatFixed(a->floatValue)) : a->intValue);
        return Number(i, static_cast<double>(i));
      }
      case Expr::kToFloat: {
        auto a = Eval(*e.kids[0]);
        if (!a) return a;
        if (a->isText) {
          const double d = std::strtod(a->text.c_str(), nullptr);
          return Number(Truncate(d), d);
        }
        return a;
      }
      case Expr::kBinary: {
        auto a = Eval(*e.kids[0]);
        auto b = Eval(*e.kids[1]);
        if (!a || !b) return std::nullopt;
        if (a->isText || b->isText) {
          if (e.opcode == op::kAdd) {
            ConstValue v;
            v.isText = true;
            v.text = a->text + b->text;
            return v;
          }
          if (e.opcode == op::kEqual) return Truth(a->text == b->text);
          if (e.opcode == op::kNotEqual) return Truth(a->text != b->text);
          return std::nullopt;
        }
        if (!floatMode) {
          const int64_t x = a->intValue, y = b->intValue;
          const auto ux = static_cast<uint64_t>(x), uy = static_cast<uint64_t>(y);
          int64_t r = 0;
          switch (e.opcode) {
            case op::kAdd: r = static_cast<int64_t>(ux + uy); break;
            case op::kSub: r = static_cast<int64_t>(ux - uy); break;
            case op::kMul: r = static_cast<int64_t>(ux * uy); break;
            case op::kDiv: r = y == 0 ? 0 : (y == -1 ? static_cast<int64_t>(0 - ux) : x / y); break;
            case op::kRem: r = (y == 0 || y == -1) ? 0 : x % y; break;
            case op::kBitAnd: r = x & y; break;
            case op::kBitOr: r = x | y; break;
            case op::kBitXor: r = x ^ y; break;
            case op::kAnd: r = (x != 0 && y != 0); break;
            case op::kOr: r = (x != 0 || y != 0); break;
            case op::kEqual: r = x == y; break;
            case op::kNotEqual: r = x != y; break;
            case op::kLess: r = x < y; break;
            case op::kGreater: r = x > y; break;
            case op::kLessEqual: r = x <= y; break;
            case op::kGreaterEqual: r = x >= y; break;
            default: return std::nullopt;
          }
          return Number(r, static_cast<double>(r));
        }
        const double x = a->floatValue, y = b->floatValue;
        const int64_t tx = Truncate(x), ty = Truncate(y);
        switch (e.opcode) {
          case op::kAdd: return Number(0, x + y);
          case op::kSub: return Number(0, x - y);
          case op::kMul: return Number(0, x * y);
          case op::kDiv: return Number(0, y == 0 ? 0.0 : x / y);
          // Remainder and bit operators in float arithmetic work on the
          // operands truncated to integers.
          case op::kRem: return Number(0, static_cast<double>((ty == 0 || ty == -1) ? 0 : tx % ty));
          case op::kBitAnd: return Number(0, static_cast<double>(tx & ty));
          case op::kBitOr: return Number(0, static_cast<double>(tx | ty));
          case op::kBitXor: return Number(0, static_cast<double>(tx ^ ty));
          case op::kAnd: return Truth(x != 0 && y != 0);
          case op::kOr: return Truth(x != 0 || y != 0);
          case op::kEqual: return Truth(x == y);
          case op::kNotEqual: return Truth(x != y);
          case op::kLess: return Truth(x < y);
          case op::kGreater: return Truth(x > y);
          case op::kLessEqual: return Truth(x <= y);
          case op::kGreaterEqual: return Truth(x >= y);
          default: return std::nullopt;
        }
      }
    }
    return std::nullopt;
  }
};

}  // namespace

bool EmitExpression(const Expr& e, ExprWriter& out, std::string& error) {
  Emitter em{NeedsFloat(e), out, error};
  em.Emit(e);
  return error.empty();
}

void EmitDeclarationTarget(uint16_t variable, const std::vector<const Expr*>& sizes, ExprWriter& out,
                           std::string& error) {
  if (sizes.empty()) {
    out.Variable(op::kVariable, op::kMarkNone, variable);
    return;
  }
  out.Variable(op::kElement, op::kMarkNone, variable);
  Emitter em{false, out, error};
  for (const Expr* s : sizes) em.Emit(*s);
  out.Op(op::kClose);
}

std::string FormatExpression(const Expr& e) {
  Printer p{NeedsFloat(e)};
  return p.Print(e).text;
}

std::optional<ConstValue> EvaluateConstant(const Expr& e) {
  Evaluator ev{NeedsFloat(e)};
  auto v = ev.Eval(e);
  if (v && !v->isText) {
    if (ev.floatMode) v->intValue = Truncate(v->floatValue);
    else v->floatValue = static_cast<double>(v->intValue);
  }
  return v;
}

}  // namespace vv::dorov
