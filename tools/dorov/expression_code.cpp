#include "dorov/expression_code.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/sjis.h"

namespace vv::dorov {

namespace {

struct Item {
  std::string text;
  int prec = kPrecPrimary;
};

// Bytes that can quote a text literal, in order of preference. The
// literal ends at the first single-byte quote, even after a backslash, so
// a quote is chosen that the text does not hold.
constexpr uint8_t kQuoteChoices[] = {'"', '\'', '`', '|', '~', '^', 1, 2, 3, 4, 5, 6, 7, 8,
                                     11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                     25, 26, 27, 28, 29, 30, 31};

}  // namespace

bool BinaryOperatorInfo(uint8_t opcode, std::string_view& spelling, int& precedence) {
  switch (opcode) {
    case op::kOr: spelling = "||"; precedence = kPrecOr; return true;
    case op::kAnd: spelling = "&&"; precedence = kPrecAnd; return true;
    case op::kBitOr: spelling = "|"; precedence = kPrecBitOr; return true;
    case op::kBitXor: spelling = "^"; precedence = kPrecBitXor; return true;
    case op::kBitAnd: spelling = "&"; precedence = kPrecBitAnd; return true;
    case op::kEqual: spelling = "=="; precedence = kPrecEquality; return true;
    case op::kNotEqual: spelling = "!="; precedence = kPrecEquality; return true;
    case op::kLess: spelling = "<"; precedence = kPrecCompare; return true;
    case op::kGreater: spelling = ">"; precedence = kPrecCompare; return true;
    case op::kLessEqual: spelling = "<="; precedence = kPrecCompare; return true;
    case op::kGreaterEqual: spelling = ">="; precedence = kPrecCompare; return true;
    case op::kAdd: spelling = "+"; precedence = kPrecAdd; return true;
    case op::kSub: spelling = "-"; precedence = kPrecAdd; return true;
    case op::kMul: spelling = "*"; precedence = kPrecMul; return true;
    case op::kDiv: spelling = "/"; precedence = kPrecMul; return true;
    case op::kRem: spelling = "%"; precedence = kPrecMul; return true;
    default: return false;
  }
}

std::string FormatBinary(const std::string& left, int leftPrec, std::string_view op, int opPrec,
                         const std::string& right, int rightPrec) {
  std::string out = leftPrec < opPrec ? "(" + left + ")" : left;
  out += " ";
  out += op;
  out += " ";
  out += rightPrec <= opPrec ? "(" + right + ")" : right;
  return out;
}

std::string FormatNegate(const std::string& operand, int operandPrec) {
  if (operandPrec < kPrecUnary || (!operand.empty() && operand[0] == '-')) return "-(" + operand + ")";
  return "-" + operand;
}

std::string FormatTextLiteral(std::string_view sjis) {
  std::string out = "\"";
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = common::SjisCharLength(sjis, i);
    const auto b = static_cast<uint8_t>(sjis[i]);
    if (n == 2) {
      out.append(sjis.substr(i, 2));
    } else if (b == '\\' || b == '"') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
    i += n;
  }
  return out + "\"";
}

std::string FormatFloat(double value) {
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, ec == std::errc() ? p : buf);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

void ExprWriter::Head(uint8_t opcode, size_t operandLength) {
  bytes_.push_back(opcode);
  bytes_.push_back(static_cast<uint8_t>(operandLength));
  bytes_.push_back(static_cast<uint8_t>(operandLength >> 8));
}

void ExprWriter::Op(uint8_t opcode) { Head(opcode, 0); }

void ExprWriter::Int(int64_t value) {
  if (value >= INT8_MIN && value <= INT8_MAX) {
    Head(op::kInt8, 1);
    bytes_.push_back(static_cast<uint8_t>(value));
  } else if (value >= INT16_MIN && value <= INT16_MAX) {
    Head(op::kInt16, 2);
    for (int i = 0; i < 2; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  } else if (value >= INT32_MIN && value <= INT32_MAX) {
    Head(op::kInt32, 4);
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  } else {
    Head(op::kInt64, 8);
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
  }
}

void ExprWriter::Float(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Head(op::kFloat, 8);
  for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

bool ExprWriter::Text(std::string_view sjis) {
  // The escaped body first: backslashes doubled, line feeds and tabs as
  // escapes, two-byte characters as they are.
  std::string body;
  bool singleBytes[256] = {};
  for (size_t i = 0; i < sjis.size();) {
    const size_t n = common::SjisCharLength(sjis, i);
    const auto b = static_cast<uint8_t>(sjis[i]);
    if (n == 2) {
      body.append(sjis.substr(i, 2));
    } else {
      if (b == '\\') body += "\\\\";
      else if (b == '\n') body += "\\n";
      else if (b == '\t') body += "\\t";
      else body += static_cast<char>(b);
      singleBytes[b] = true;
    }
    i += n;
  }
  for (uint8_t quote : kQuoteChoices) {
    if (singleBytes[quote]) continue;
    Head(op::kText, body.size() + 2);
    bytes_.push_back(quote);
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    bytes_.push_back(quote);
    return true;
  }
  return false;
}

void ExprWriter::Variable(uint8_t opcode, uint8_t marker, uint16_t variable) {
  Head(opcode, 3);
  bytes_.push_back(marker);
  bytes_.push_back(static_cast<uint8_t>(variable));
  bytes_.push_back(static_cast<uint8_t>(variable >> 8));
}

DecodedExpression DecodeExpression(std::span<const uint8_t> code, bool floatArithmetic,
                                   const std::function<std::string(uint16_t)>& name) {
  DecodedExpression out;
  std::vector<Item> stack;
  struct Frame {
    size_t start;
    uint8_t marker;
    uint16_t variable;
  };
  std::vector<Frame> frames;
  auto fail = [&](std::string why) {
    out.ok = false;
    out.error = std::move(why);
  };
  auto marked = [&](std::string text, uint8_t marker) -> Item {
    if (marker == op::kMarkText) return {"text(" + text + ")", kPrecPrimary};
    if (marker == op::kMarkNumber) return {(floatArithmetic ? "float(" : "int(") + text + ")", kPrecPrimary};
    return {std::move(text), kPrecPrimary};
  };
  size_t pos = 0;
  while (pos < code.size() && out.ok) {
    if (code.size() - pos < 3) {
      fail("an instruction is cut short at byte " + std::to_string(pos));
      break;
    }
    const uint8_t opcode = code[pos];
    const size_t len = common::LoadU16(code.data() + pos + 1);
    if (code.size() - pos - 3 < len) {
      fail("the operand of an instruction runs past the end at byte " + std::to_string(pos));
      break;
    }
    const uint8_t* operand = code.data() + pos + 3;
    pos += 3 + len;
    auto need = [&](size_t count, size_t size) {
      if (len < size) {
        fail(std::string("the operand of '") + static_cast<char>(opcode) + "' is too short");
        return false;
      }
      if (stack.size() < count + (frames.empty() ? 0 : frames.back().start)) {
        fail(std::string("'") + static_cast<char>(opcode) + "' finds too few values");
        return false;
      }
      return true;
    };
    std::string_view spelling;
    int prec = 0;
    switch (opcode) {
      case op::kInt8:
        if (need(0, 1)) stack.push_back({std::to_string(static_cast<int8_t>(operand[0])), kPrecPrimary});
        break;
      case op::kInt16:
        if (need(0, 2)) stack.push_back({std::to_string(static_cast<int16_t>(common::LoadU16(operand))), kPrecPrimary});
        break;
      case op::kInt32:
        if (need(0, 4)) stack.push_back({std::to_string(static_cast<int32_t>(common::LoadU32(operand))), kPrecPrimary});
        break;
      case op::kInt64:
        if (need(0, 8)) stack.push_back({std::to_string(static_cast<int64_t>(common::LoadU64(operand))), kPrecPrimary});
        break;
      case op::kFloat:
        if (need(0, 8)) {
          const uint64_t bits = common::LoadU64(operand);
          double v;
          std::memcpy(&v, &bits, sizeof v);
          stack.push_back({FormatFloat(v), kPrecPrimary});
        }
        break;
      case op::kText: {
        if (!need(0, 1)) break;
        // The literal runs to the next quote byte, as the engine reads it.
        const uint8_t quote = operand[0];
        std::string value;
        size_t i = 1;
        bool closed = false;
        while (i < len) {
          const uint8_t b = operand[i];
          if (common::IsSjisLead(b) && i + 1 < len) {
            value += static_cast<char>(b);
            value += static_cast<char>(operand[i + 1]);
            i += 2;
          } else if (b == quote) {
            closed = true;
            break;
          } else if (b == '\\' && i + 1 < len) {
            const uint8_t e = operand[i + 1];
            if (e == '\\') value += '\\';
            else if (e == 'n') value += '\n';
            else if (e == 't') value += '\t';
            else {
              i += 1;  // the backslash is dropped; the byte after it counts normally
              continue;
            }
            i += 2;
          } else {
            value += static_cast<char>(b);
            ++i;
          }
        }
        if (!closed) fail("a text literal has no closing quote");
        stack.push_back({FormatTextLiteral(value), kPrecPrimary});
        break;
      }
      case op::kVariable:
        if (need(0, 3)) stack.push_back(marked(name(common::LoadU16(operand + 1)), operand[0]));
        break;
      case op::kReference:
        if (need(0, 3)) stack.push_back({"&" + name(common::LoadU16(operand + 1)), kPrecPrimary});
        break;
      case op::kElement:
        if (need(0, 3)) frames.push_back({stack.size(), operand[0], common::LoadU16(operand + 1)});
        break;
      case op::kClose: {
        if (frames.empty()) {
          fail("')' without an open element reference");
          break;
        }
        const Frame f = frames.back();
        frames.pop_back();
        std::string text = name(f.variable) + "[";
        for (size_t i = f.start; i < stack.size(); ++i) {
          if (i > f.start) text += ", ";
          text += stack[i].text;
        }
        text += "]";
        stack.resize(f.start);
        stack.push_back(marked(std::move(text), f.marker));
        break;
      }
      case op::kSeparator:
        break;
      case op::kNegate:
        if (need(1, 0)) stack.back() = {FormatNegate(stack.back().text, stack.back().prec), kPrecUnary};
        break;
      case op::kToText:
        if (need(1, 0)) stack.back() = {"text(" + stack.back().text + ")", kPrecPrimary};
        break;
      case op::kToInteger:
        if (need(1, 0)) {
          // int() of a float inside float arithmetic is written as text
          // then integer; show it as the int() it came from.
          std::string inner = stack.back().text;
          if (inner.rfind("text(", 0) == 0 && inner.back() == ')') {
            int depth = 0;
            bool whole = true;
            for (size_t i = 4; i < inner.size(); ++i) {
              if (inner[i] == '(') ++depth;
              else if (inner[i] == ')' && --depth == 0 && i + 1 != inner.size()) whole = false;
            }
            if (whole) inner = inner.substr(5, inner.size() - 6);
          }
          stack.back() = {"int(" + inner + ")", kPrecPrimary};
        }
        break;
      default:
        if (BinaryOperatorInfo(opcode, spelling, prec)) {
          if (!need(2, 0)) break;
          Item right = std::move(stack.back());
          stack.pop_back();
          Item& left = stack.back();
          left = {FormatBinary(left.text, left.prec, spelling, prec, right.text, right.prec), prec};
        } else {
          char buf[48];
          std::snprintf(buf, sizeof buf, "unknown opcode 0x%02x at byte %zu", opcode, pos - 3 - len);
          fail(buf);
        }
        break;
    }
  }
  if (out.ok && !frames.empty()) fail("an element reference is not closed");
  if (out.ok && stack.size() > 1) fail(std::to_string(stack.size()) + " values are left on the stack");
  for (size_t i = 0; i < stack.size(); ++i) {
    if (i > 0) out.infix += " ; ";
    out.infix += stack[i].text;
  }
  return out;
}

}  // namespace vv::dorov
