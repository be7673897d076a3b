#include "script/evaluator.h"

#include <cstring>
#include <new>

#include "common/bytes.h"
#include "common/sjis.h"
#include "resource/error_reporter.h"
#include "script/interpreter.h"
#include "script/system_variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr uint8_t kMarkerPlain = 0;
constexpr uint8_t kMarkerTextAsNumber = 1;  // "`"
constexpr uint8_t kMarkerNumberAsText = 2;  // "#"

// 1 for the marker bytes that read a variable plainly.
constexpr auto kPlainMarker = [] {
  std::array<uint8_t, 256> t{};
  t.fill(1);
  t['`'] = 0;
  t['#'] = 0;
  return t;
}();

uint8_t MarkerOf(uint8_t byte) {
  return byte == '`' ? kMarkerTextAsNumber : byte == '#' ? kMarkerNumberAsText : kMarkerPlain;
}

bool Fail(Engine& engine, int32_t code) {
  engine.script.eval.failed = true;
  resource::ReportError(engine, code, true);
  return false;
}

bool FailDamaged(Engine& engine) {
  engine.script.eval.failed = true;
  ReportDamagedCode(engine);
  return false;
}

// Takes the next text buffer and fills it with `content`; 0 after a report.
uint16_t NewText(Engine& engine, std::string_view content) {
  EvaluatorState& e = engine.script.eval;
  if (e.nextText > kEvalTextBuffers) return Fail(engine, kErrTooManyTexts), 0;
  if (content.size() >= kEvalTextBytes) return Fail(engine, kErrTextTooLong), 0;
  std::unique_ptr<char[]>& buffer = e.texts[e.nextText];
  if (!buffer) {
    buffer.reset(new (std::nothrow) char[kEvalTextBytes]);
    if (!buffer) return Fail(engine, resource::kOutOfMemory), 0;
  }
  // An empty view may carry a null pointer, which memcpy must never see.
  if (!content.empty()) std::memcpy(buffer.get(), content.data(), content.size());
  buffer[content.size()] = '\0';
  e.textLengths[e.nextText] = static_cast<uint16_t>(content.size());
  return static_cast<uint16_t>(e.nextText++);
}

std::string_view TextOf(const EvaluatorState& e, uint16_t text) {
  return std::string_view(e.texts[text].get(), e.textLengths[text]);
}

bool PushText(Engine& engine, std::string_view content) {
  EvaluatorState& e = engine.script.eval;
  if (e.sp >= kEvalStackSize) return Fail(engine, kErrEvalStackOverflow);
  const uint16_t text = NewText(engine, content);
  if (text == 0) return false;
  ScriptValue& v = e.stack[e.sp++];
  v.integer = 0;
  v.real = 0.0;
  v.text = text;
  return true;
}

inline bool PushInteger(Engine& engine, int64_t value, bool intArith) {
  EvaluatorState& e = engine.script.eval;
  if (e.sp >= kEvalStackSize) return Fail(engine, kErrEvalStackOverflow);
  ScriptValue& v = e.stack[e.sp++];
  if (intArith) v.integer = value;
  else v.real = static_cast<double>(value);
  v.text = 0;
  return true;
}

inline bool PushReal(Engine& engine, double value, bool intArith) {
  EvaluatorState& e = engine.script.eval;
  if (e.sp >= kEvalStackSize) return Fail(engine, kErrEvalStackOverflow);
  ScriptValue& v = e.stack[e.sp++];
  if (intArith) v.integer = TruncateToInteger(value);
  else v.real = value;
  v.text = 0;
  return true;
}

// Pushes element `index` of `variable` under the marker rules.
bool PushVariable(Engine& engine, uint16_t variable, uint8_t marker, int64_t index, bool intArith) {
  if (variable >= kFirstScriptVariable) {
    VariableSlot* slot = FindSlot(engine, variable);
    if (slot == nullptr || slot->type == kTypeNone) return Fail(engine, kErrUndeclaredVariable);
    const bool inRange = index >= 0 && index < slot->elementCount;
    const size_t at = static_cast<size_t>(index);
    switch (slot->type) {
      case kTypeInteger: {
        const int64_t v = inRange ? slot->integers[at] : 0;
        if (marker == kMarkerPlain) return PushInteger(engine, v, intArith);
        if (marker == kMarkerNumberAsText) {
          char digits[24];
          return PushText(engine, std::string_view(digits, FormatInteger(v, digits)));
        }
        return Fail(engine, kErrBrokenExpression);
      }
      case kTypeFloat: {
        const double v = inRange ? slot->floats[at] : 0.0;
        if (marker == kMarkerPlain) return PushReal(engine, v, intArith);
        if (marker == kMarkerNumberAsText) return PushText(engine, FloatToText(v));
        return Fail(engine, kErrBrokenExpression);
      }
      default: {
        const std::string_view v = inRange ? std::string_view(slot->texts[at]) : std::string_view();
        if (marker == kMarkerPlain) return PushText(engine, v);
        if (marker == kMarkerTextAsNumber) {
          return intArith ? PushInteger(engine, TextToInteger(v), true) : PushReal(engine, TextToFloat(v), false);
        }
        return Fail(engine, kErrBrokenExpression);
      }
    }
  }
  // System variables: the engine's values, by the slot's type.
  switch (VariableTypeOf(engine, variable)) {
    case kTypeFloat: {
      const double v = ReadSystemFloat(engine, variable, index);
      if (marker == kMarkerPlain) return PushReal(engine, v, intArith);
      if (marker == kMarkerNumberAsText) return PushText(engine, FloatToText(v));
      return Fail(engine, kErrBrokenExpression);
    }
    case kTypeText: {
      const std::string_view v = ReadSystemText(engine, variable, index);
      if (marker == kMarkerPlain) return PushText(engine, v);
      if (marker == kMarkerTextAsNumber) {
        return intArith ? PushInteger(engine, TextToInteger(v), true) : PushReal(engine, TextToFloat(v), false);
      }
      return Fail(engine, kErrBrokenExpression);
    }
    default: {
      const int64_t v = ReadSystemInteger(engine, variable, index);
      if (marker == kMarkerPlain) return PushInteger(engine, v, intArith);
      if (marker == kMarkerNumberAsText) return PushText(engine, IntegerToText(v));
      return Fail(engine, kErrBrokenExpression);
    }
  }
}

// "M": the literal after the quote byte, up to the next quote (never past
// the operand), with the escapes and two-byte characters.
bool PushLiteral(Engine& engine, const uint8_t* operand, size_t length) {
  EvaluatorState& e = engine.script.eval;
  if (e.sp >= kEvalStackSize) return Fail(engine, kErrEvalStackOverflow);
  const uint16_t text = NewText(engine, {});
  if (text == 0) return false;
  char* out = e.texts[text].get();
  size_t n = 0;
  const uint8_t quote = length > 0 ? operand[0] : 0;
  for (size_t i = 1; i < length;) {
    uint8_t c = operand[i];
    if (common::IsSjisLead(c)) {
      if (n + 2 >= kEvalTextBytes) return Fail(engine, kErrTextTooLong);
      out[n++] = static_cast<char>(c);
      if (i + 1 < length) out[n++] = static_cast<char>(operand[i + 1]);
      i += 2;
      continue;
    }
    if (c == '\\') {
      if (++i >= length) break;
      c = operand[i];
      if (c == 'n') c = '\n';
      else if (c == 't') c = '\t';
      else if (c != '\\') continue;  // the backslash is dropped; the character is taken as it is
    } else if (c == quote) {
      break;
    }
    if (n + 1 >= kEvalTextBytes) return Fail(engine, kErrTextTooLong);
    out[n++] = static_cast<char>(c);
    ++i;
  }
  out[n] = '\0';
  e.textLengths[text] = static_cast<uint16_t>(n);
  ScriptValue& v = e.stack[e.sp++];
  v.integer = 0;
  v.real = 0.0;
  v.text = text;
  return true;
}

// ")": closes the innermost reference and pushes its element.
bool CloseReference(Engine& engine) {
  EvaluatorState& e = engine.script.eval;
  if (e.frameDepth == 0) return Fail(engine, kErrBrokenExpression);
  const SubscriptFrame frame = e.frames[--e.frameDepth];
  const int32_t count = e.sp - frame.start - 1;
  if (count < 0 || count > kMaxDimensions) return Fail(engine, kErrBrokenExpression);
  LastReference& last = e.last;
  for (int32_t j = 0; j < count; ++j) {
    const ScriptValue& s = e.stack[frame.start + 1 + j];
    if (s.text != 0) return Fail(engine, kErrTextNumberMix);
    last.subscripts[j] = s.integer;
  }
  last.subscriptCount = count;
  last.variable = frame.variable;
  last.marker = frame.marker;
  last.element = 0;
  e.sp = frame.start;
  const bool intArith = (e.mode & 1) != 0 || e.frameDepth > 0;
  if (e.declarationMode && e.frameDepth == 0) return true;  // the declaring command reads the list

  VariableSlot* slot = FindSlot(engine, frame.variable);
  if (frame.variable < kFirstScriptVariable && (slot == nullptr || slot->dimensionCount == 0)) {
    // A system variable without declared dimensions: the subscript selects
    // the sub-value directly.
    last.element = count > 0 ? last.subscripts[0] : 0;
  } else {
    if (slot == nullptr || slot->type == kTypeNone) return Fail(engine, kErrUndeclaredVariable);
    if (count > slot->dimensionCount) return Fail(engine, kErrSubscriptRange);
    for (int32_t j = 0; j < count; ++j) {
      if (static_cast<uint32_t>(last.subscripts[j]) > static_cast<uint32_t>(slot->sizes[j] - 1)) {
        return Fail(engine, kErrSubscriptRange);
      }
    }
    last.element = ElementIndex(*slot, last.subscripts.data(), count);
  }
  return PushVariable(engine, frame.variable, frame.marker, last.element, intArith);
}

bool TextsEqual(const EvaluatorState& e, uint16_t a, uint16_t b) { return TextOf(e, a) == TextOf(e, b); }

// The fast run: integer mode, no declaration mode or variable access off,
// and only numbers, plain integer script variables and the arithmetic,
// comparison and logical operators. It only reads, so when it meets
// anything else (or anything wrong) it gives up and the full run starts
// over from the beginning: same result, same reports.
bool FastIntegerRun(EvaluatorState& e, const VariableSlot* slots, uint32_t scriptSlots, const uint8_t* p,
                    size_t length) {
  ScriptValue* const stack = e.stack.data();
  int32_t sp = 0;
  uint16_t lastVariable = 0;
  bool referenced = false;
  for (size_t pc = 0; pc < length;) {
    if (length - pc < 3) return false;
    const uint8_t op = p[pc];
    const size_t operandLength = common::LoadU16(p + pc + 1);
    const uint8_t* operand = p + pc + 3;
    if (operandLength > length - pc - 3) return false;
    pc += 3 + operandLength;
    if (op == 'H') {
      if (operandLength < 3 || !kPlainMarker[operand[0]] || sp >= kEvalStackSize) return false;
      const uint16_t variable = common::LoadU16(operand + 1);
      if (static_cast<uint32_t>(variable - kFirstScriptVariable) >= scriptSlots) return false;
      const VariableSlot& slot = slots[variable];
      if (slot.type != kTypeInteger) return false;
      stack[sp++].integer = slot.integers[0];
      lastVariable = variable;
      referenced = true;
      continue;
    }
    int64_t v;
    switch (op) {
      case 'B':
        if (operandLength < 1 || sp >= kEvalStackSize) return false;
        stack[sp++].integer = static_cast<int8_t>(operand[0]);
        continue;
      case 'W':
        if (operandLength < 2 || sp >= kEvalStackSize) return false;
        stack[sp++].integer = static_cast<int16_t>(common::LoadU16(operand));
        continue;
      case 'I':
        if (operandLength < 4 || sp >= kEvalStackSize) return false;
        stack[sp++].integer = static_cast<int32_t>(common::LoadU32(operand));
        continue;
      case 'L':
        if (operandLength < 8 || sp >= kEvalStackSize) return false;
        stack[sp++].integer = static_cast<int64_t>(common::LoadU64(operand));
        continue;
      case 'R':
        if (sp < 1) return false;
        stack[sp - 1].integer = WrapNeg(stack[sp - 1].integer);
        continue;
      default:
        break;
    }
    if (sp < 2) return false;
    const int64_t a = stack[sp - 2].integer, b = stack[sp - 1].integer;
    switch (op) {
      case '+': v = WrapAdd(a, b); break;
      case '-': v = WrapSub(a, b); break;
      case '*': v = WrapMul(a, b); break;
      case '/': v = SafeDiv(a, b); break;
      case '%': v = SafeRem(a, b); break;
      case 'A': v = a & b; break;
      case 'O': v = a | b; break;
      case '^': v = a ^ b; break;
      case '&': v = a != 0 && b != 0; break;
      case '|': v = a != 0 || b != 0; break;
      case '=': v = a == b; break;
      case '!': v = a != b; break;
      case '<': v = a < b; break;
      case '>': v = a > b; break;
      case 'S': v = a <= b; break;
      case 'Z': v = a >= b; break;
      default: return false;
    }
    stack[sp - 2].integer = v;
    --sp;
  }
  // Numbers never carry a text; entry 0 was cleared before the run.
  e.sp = sp;
  if (referenced) e.last.variable = lastVariable;
  return true;
}

}  // namespace

bool RunExpression(Engine& engine, std::span<const uint8_t> code, uint8_t mode) {
  EvaluatorState& e = engine.script.eval;
  e.mode = mode;
  e.frameDepth = 0;
  e.nextText = 1;
  e.failed = false;
  LastReference& last = e.last;
  last.variable = 0;
  last.element = 0;
  last.referenceFlag = 0;
  last.marker = 0;
  last.subscriptCount = 0;
  ScriptValue* const stack = e.stack.data();
  stack[0] = ScriptValue{};

  // The hot path keeps the stack pointer in a local; the out-of-line
  // helpers work on e.sp, so it is handed over around every call to them.
  int32_t sp = 0;
  const auto call = [&](auto&& helper) {
    e.sp = sp;
    const bool ok = helper();
    sp = e.sp;
    return ok;
  };
  const auto fail = [&](int32_t errorCode) {
    e.sp = sp;
    return Fail(engine, errorCode);
  };
  const auto damaged = [&] {
    e.sp = sp;
    return FailDamaged(engine);
  };

  const VariableSlot* const slots = engine.script.variables.data();
  const size_t slotCount = engine.script.variables.size();
  const uint32_t scriptSlots = slotCount > kFirstScriptVariable ? static_cast<uint32_t>(slotCount - kFirstScriptVariable) : 0;
  const bool plainRun = !e.declarationMode && !e.variableAccessOff;
  if (mode == kModeInteger && plainRun) {
    if (FastIntegerRun(e, slots, scriptSlots, code.data(), code.size())) return true;
    // Start over: the full run reports what the fast one gave up on.
    last.variable = 0;
    stack[0] = ScriptValue{};
  }
  const bool modeInteger = (mode & 1) != 0;
  bool intArith = modeInteger;
  bool fastIntegers = plainRun && intArith;
  const uint8_t* p = code.data();
  const size_t length = code.size();

  for (size_t pc = 0; pc < length;) {
    if (length - pc < 3) return damaged();
    const uint8_t op = p[pc];
    const size_t operandLength = common::LoadU16(p + pc + 1);
    const uint8_t* operand = p + pc + 3;
    if (operandLength > length - pc - 3) return damaged();
    pc += 3 + operandLength;

    if (op == 'H') {
      if (operandLength < 3) return damaged();
      const uint16_t variable = common::LoadU16(operand + 1);
      const uint8_t markerByte = operand[0];
      // The common case first and inline: a declared integer script
      // variable read plainly in integer arithmetic.
      if (fastIntegers && static_cast<uint32_t>(variable - kFirstScriptVariable) < scriptSlots &&
          kPlainMarker[markerByte] && sp < kEvalStackSize && slots[variable].type == kTypeInteger) {
        last.variable = variable;
        last.element = 0;
        last.marker = kMarkerPlain;
        ScriptValue& top = stack[sp++];
        top.integer = slots[variable].integers[0];
        top.text = 0;
        continue;
      }
      if (e.variableAccessOff) return e.failed = true, false;
      const uint8_t marker = MarkerOf(markerByte);
      last.variable = variable;
      last.element = 0;
      last.marker = marker;
      if (e.declarationMode && e.frameDepth == 0) continue;
      if (!call([&] { return PushVariable(engine, variable, marker, 0, intArith); })) return false;
      continue;
    }

    switch (op) {
      case 'B':
      case 'W':
      case 'I':
      case 'L': {
        const size_t need = op == 'B' ? 1 : op == 'W' ? 2 : op == 'I' ? 4 : 8;
        if (operandLength < need) return damaged();
        if (sp >= kEvalStackSize) return fail(kErrEvalStackOverflow);
        const int64_t v = op == 'B'   ? static_cast<int8_t>(operand[0])
                          : op == 'W' ? static_cast<int16_t>(common::LoadU16(operand))
                          : op == 'I' ? static_cast<int32_t>(common::LoadU32(operand))
                                      : static_cast<int64_t>(common::LoadU64(operand));
        ScriptValue& top = stack[sp++];
        if (intArith) top.integer = v;
        else top.real = static_cast<double>(v);
        top.text = 0;
        break;
      }
      case 'F': {
        if (operandLength < 8) return damaged();
        if (sp >= kEvalStackSize) return fail(kErrEvalStackOverflow);
        const uint64_t bits = common::LoadU64(operand);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        ScriptValue& top = stack[sp++];
        if (intArith) top.integer = TruncateToInteger(d);
        else top.real = d;
        top.text = 0;
        break;
      }
      case 'M':
        if (operandLength < 1) return damaged();
        if (!call([&] { return PushLiteral(engine, operand, operandLength); })) return false;
        break;
      case 'V': {
        if (operandLength < 3) return damaged();
        if (e.variableAccessOff) return e.failed = true, false;
        const uint16_t variable = common::LoadU16(operand + 1);
        const uint8_t marker = MarkerOf(operand[0]);
        last.variable = variable;
        last.element = 0;
        last.marker = marker;
        if (variable >= kFirstScriptVariable && !(e.declarationMode && e.frameDepth == 0)) {
          if (variable >= slotCount || slots[variable].type == kTypeNone) return fail(kErrUndeclaredVariable);
        }
        if (e.frameDepth >= kMaxSubscriptFrames || sp > kMaxFrameStart) return fail(kErrBrokenExpression);
        e.frames[e.frameDepth++] = SubscriptFrame{variable, marker, static_cast<uint8_t>(sp)};
        intArith = true;
        fastIntegers = plainRun;
        if (sp >= kEvalStackSize) return fail(kErrEvalStackOverflow);
        ScriptValue& top = stack[sp++];
        top.integer = 0;
        top.text = 0;
        break;
      }
      case ')':
        if (!call([&] { return CloseReference(engine); })) return false;
        intArith = modeInteger || e.frameDepth > 0;
        fastIntegers = plainRun && intArith;
        break;
      case 'v': {
        if (operandLength < 3) return damaged();
        if (e.variableAccessOff) return e.failed = true, false;
        last.variable = common::LoadU16(operand + 1);
        last.element = 0;
        last.referenceFlag = 1;
        last.marker = MarkerOf(operand[0]);
        if (sp >= kEvalStackSize) return fail(kErrEvalStackOverflow);
        ScriptValue& top = stack[sp++];
        top.integer = 0;
        top.real = 0.0;
        top.text = 0;
        break;
      }
      case ',':
        break;
      case '+': {
        // Operators take their operands from the top of the stack; too few
        // is a broken expression, never a read below the stack.
        if (sp < 2) return fail(kErrBrokenExpression);
        ScriptValue& l = stack[sp - 2];
        ScriptValue& r = stack[sp - 1];
        if ((l.text | r.text) != 0) {
          if (l.text == 0 || r.text == 0) return fail(kErrTextNumberMix);
          const size_t ll = e.textLengths[l.text], rl = e.textLengths[r.text];
          if (ll + rl >= kEvalTextBytes) return fail(kErrTextTooLong);
          char* left = e.texts[l.text].get();
          std::memcpy(left + ll, e.texts[r.text].get(), rl);
          left[ll + rl] = '\0';
          e.textLengths[l.text] = static_cast<uint16_t>(ll + rl);
          r.text = 0;
        } else if (intArith) {
          l.integer = WrapAdd(l.integer, r.integer);
        } else {
          l.real += r.real;
        }
        --sp;
        break;
      }
      case '-':
      case '*':
      case '/': {
        if (sp < 2) return fail(kErrBrokenExpression);
        ScriptValue& l = stack[sp - 2];
        const ScriptValue& r = stack[sp - 1];
        if (intArith) {
          l.integer = op == '-' ? WrapSub(l.integer, r.integer)
                    : op == '*' ? WrapMul(l.integer, r.integer)
                                : SafeDiv(l.integer, r.integer);
        } else {
          l.real = op == '-' ? l.real - r.real : op == '*' ? l.real * r.real : r.real == 0.0 ? 0.0 : l.real / r.real;
        }
        --sp;
        break;
      }
      case '%':
      case 'A':
      case 'O':
      case '^': {
        if (sp < 2) return fail(kErrBrokenExpression);
        ScriptValue& l = stack[sp - 2];
        const ScriptValue& r = stack[sp - 1];
        // In float arithmetic both operands are truncated to integers, as the
        // float assignment operators do.
        const int64_t a = intArith ? l.integer : TruncateToInteger(l.real);
        const int64_t b = intArith ? r.integer : TruncateToInteger(r.real);
        const int64_t v = op == '%' ? SafeRem(a, b) : op == 'A' ? (a & b) : op == 'O' ? (a | b) : (a ^ b);
        if (intArith) l.integer = v;
        else l.real = static_cast<double>(v);
        --sp;
        break;
      }
      case '&':
      case '|': {
        if (sp < 2) return fail(kErrBrokenExpression);
        ScriptValue& l = stack[sp - 2];
        const ScriptValue& r = stack[sp - 1];
        const bool a = intArith ? l.integer != 0 : l.real != 0.0;
        const bool b = intArith ? r.integer != 0 : r.real != 0.0;
        const bool v = op == '&' ? (a && b) : (a || b);
        if (intArith) l.integer = v;
        else l.real = v;
        --sp;
        break;
      }
      case '=':
      case '!': {
        if (sp < 2) return fail(kErrBrokenExpression);
        ScriptValue& l = stack[sp - 2];
        ScriptValue& r = stack[sp - 1];
        if ((l.text | r.text) != 0) {
          if (l.text == 0 || r.text == 0) return fail(kErrTextNumberMix);
          const bool equal = TextsEqual(e, l.text, r.text);
          l.text = r.text = 0;
          const int64_t v = (op == '=') == equal;
          l.integer = v;
          l.real = static_cast<double>(v);
        } else if (intArith) {
          l.integer = (op == '=') == (l.integer == r.integer);
        } else {
          l.real = (op == '=') == (l.real == r.real);
        }
        --sp;
        break;
      }
      case '<':
      case '>':
      case 'S':
      case 'Z': {
        if (sp < 2) return fail(kErrBrokenExpression);
        ScriptValue& l = stack[sp - 2];
        const ScriptValue& r = stack[sp - 1];
        if (intArith) {
          l.integer = op == '<' ? l.integer < r.integer : op == '>' ? l.integer > r.integer
                    : op == 'S' ? l.integer <= r.integer : l.integer >= r.integer;
        } else {
          l.real = op == '<' ? l.real < r.real : op == '>' ? l.real > r.real : op == 'S' ? l.real <= r.real : l.real >= r.real;
        }
        --sp;
        break;
      }
      case 'R': {
        if (sp < 1) return fail(kErrBrokenExpression);
        ScriptValue& t = stack[sp - 1];
        if (intArith) t.integer = WrapNeg(t.integer);
        else t.real = -t.real;
        break;
      }
      case 's': {
        if (sp < 1) return fail(kErrBrokenExpression);
        const ScriptValue t = stack[sp - 1];
        if (t.text != 0) break;
        --sp;
        if (intArith) {
          char digits[24];
          const std::string_view text(digits, FormatInteger(t.integer, digits));
          if (!call([&] { return PushText(engine, text); })) return false;
        } else if (!call([&] { return PushText(engine, FloatToText(t.real)); })) {
          return false;
        }
        break;
      }
      case 'i': {
        if (sp < 1) return fail(kErrBrokenExpression);
        ScriptValue& t = stack[sp - 1];
        if (t.text == 0) break;
        t.integer = TextToInteger(TextOf(e, t.text));
        t.real = static_cast<double>(t.integer);
        t.text = 0;
        break;
      }
      default:
        return fail(kErrUnknownOpcode);
    }
  }
  e.sp = sp;
  return true;
}

int64_t EvalInteger(Engine& engine, std::span<const uint8_t> code) {
  RunExpression(engine, code, kModeInteger);
  return engine.script.eval.stack[0].integer;
}

int64_t EvalFloatAsInteger(Engine& engine, std::span<const uint8_t> code) {
  RunExpression(engine, code, kModeFloat);
  return TruncateToInteger(engine.script.eval.stack[0].real);
}

double EvalIntegerAsFloat(Engine& engine, std::span<const uint8_t> code) {
  RunExpression(engine, code, kModeInteger);
  return static_cast<double>(engine.script.eval.stack[0].integer);
}

double EvalFloat(Engine& engine, std::span<const uint8_t> code) {
  RunExpression(engine, code, kModeFloat);
  return engine.script.eval.stack[0].real;
}

std::string_view LastTextResult(const Engine& engine) {
  const EvaluatorState& e = engine.script.eval;
  const uint16_t text = e.stack[0].text;
  return text != 0 ? TextOf(e, text) : std::string_view();
}

namespace {
int32_t CopyTextResult(const Engine& engine, char* out) {
  const std::string_view text = LastTextResult(engine);
  if (engine.script.eval.stack[0].text == 0) return 0;
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return static_cast<int32_t>(text.size());
}
}  // namespace

int32_t EvalText(Engine& engine, std::span<const uint8_t> code, char* out) {
  RunExpression(engine, code, kModeText);
  return CopyTextResult(engine, out);
}

int32_t EvalTextFloat(Engine& engine, std::span<const uint8_t> code, char* out) {
  RunExpression(engine, code, kModeTextFloat);
  return CopyTextResult(engine, out);
}

int64_t EvalIntegerByType(Engine& engine, uint8_t exprType, std::span<const uint8_t> code) {
  switch (exprType) {
    case 1:
    case 3: return EvalInteger(engine, code);
    case 2:
    case 4: return EvalFloatAsInteger(engine, code);
    default:
      resource::ReportError(engine, kErrBadExprType, true, {static_cast<int>(exprType)});
      return 0;
  }
}

double EvalFloatByType(Engine& engine, uint8_t exprType, std::span<const uint8_t> code) {
  switch (exprType) {
    case 1:
    case 3: return EvalIntegerAsFloat(engine, code);
    case 2:
    case 4: return EvalFloat(engine, code);
    default:
      resource::ReportError(engine, kErrBadExprType, true, {static_cast<int>(exprType)});
      return 0.0;
  }
}

bool EvalTextByType(Engine& engine, uint8_t exprType, std::span<const uint8_t> code) {
  EvaluatorState& e = engine.script.eval;
  switch (exprType) {
    case 1:
    case 2:
    case 3: return RunExpression(engine, code, kModeText);
    case 4: return RunExpression(engine, code, kModeTextFloat);
    default:
      e.stack[0] = ScriptValue{};
      resource::ReportError(engine, kErrBadExprType, true, {static_cast<int>(exprType)});
      return false;
  }
}

}  // namespace vv::script
