// The assignment command and the three declaration commands.
#include <cstring>

#include "common/bytes.h"

#include "resource/error_reporter.h"
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_commands.h"
#include "script/script_files.h"
#include "script/system_variables.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

enum AssignOp : uint8_t {
  kOpSet = 0, kOpAdd, kOpSubtract, kOpMultiply, kOpDivide, kOpRemainder, kOpAnd, kOpOr, kOpXor,
};

// Applies `op` to an integer element; false for an operator integers do
// not have. A zero divisor leaves the element as it is.
bool ApplyInteger(int64_t& element, uint8_t op, int64_t v) {
  switch (op) {
    case kOpSet: element = v; return true;
    case kOpAdd: element = WrapAdd(element, v); return true;
    case kOpSubtract: element = WrapSub(element, v); return true;
    case kOpMultiply: element = WrapMul(element, v); return true;
    case kOpDivide: if (v != 0) element = SafeDiv(element, v); return true;
    case kOpRemainder: if (v != 0) element = SafeRem(element, v); return true;
    case kOpAnd: element &= v; return true;
    case kOpOr: element |= v; return true;
    case kOpXor: element ^= v; return true;
    default: return false;
  }
}

// The float operators; remainder and the bitwise ones work on both sides
// truncated to integers.
bool ApplyFloat(double& element, uint8_t op, double v) {
  switch (op) {
    case kOpSet: element = v; return true;
    case kOpAdd: element += v; return true;
    case kOpSubtract: element -= v; return true;
    case kOpMultiply: element *= v; return true;
    case kOpDivide: if (v != 0.0) element /= v; return true;
    case kOpRemainder:
      if (v != 0.0) element = static_cast<double>(SafeRem(TruncateToInteger(element), TruncateToInteger(v)));
      return true;
    case kOpAnd: element = static_cast<double>(TruncateToInteger(element) & TruncateToInteger(v)); return true;
    case kOpOr: element = static_cast<double>(TruncateToInteger(element) | TruncateToInteger(v)); return true;
    case kOpXor: element = static_cast<double>(TruncateToInteger(element) ^ TruncateToInteger(v)); return true;
    default: return false;
  }
}

int8_t AssignText(Engine& engine, VariableSlot& slot, int64_t index, uint8_t op, const ArgRecord& source,
                  std::span<const uint8_t> code) {
  if (op != kOpSet && op != kOpAdd) return static_cast<int8_t>(resource::ReportError(engine, kErrWrongVariableType, true));
  if (!EvalTextByType(engine, source.exprType, code)) return -1;
  if (index < 0 || index >= slot.elementCount) return 0;
  std::string& element = slot.texts[static_cast<size_t>(index)];
  const std::string_view text = LastTextResult(engine);
  if (op == kOpSet) {
    element.assign(text.substr(0, std::min(text.size(), kMaxTextElement)));
    return 0;
  }
  // Appending builds the result in one evaluator-sized buffer.
  if (element.size() + text.size() >= kEvalTextBytes) {
    return static_cast<int8_t>(resource::ReportError(engine, kErrTextTooLong, true));
  }
  element.append(text);
  return 0;
}

int8_t DeclareCommand(Engine& engine, uint8_t type) {
  if (PrepareArgs(engine) != 0) return -1;
  ScriptState& s = engine.script;
  const CommandArgs& a = s.interp.args;
  if (a.count < 1) return static_cast<int8_t>(ReportDamagedCode(engine));
  auto expressionOfSlot = [&](int slotIndex, bool& ok) {
    const ArgSlot& slot = a.slots[static_cast<size_t>(slotIndex)];
    ArgRecord r;
    r.length = slot.exprLength;
    r.offset = slot.exprOffset;
    return ExpressionOf(engine, r, ok);
  };

  // The first record names the variable and its sizes; in declaration mode
  // the evaluator only records them.
  bool ok = true;
  const std::span<const uint8_t> target = expressionOfSlot(1, ok);
  if (!ok) return -1;
  s.eval.declarationMode = true;
  RunExpression(engine, target, kModeInteger);
  s.eval.declarationMode = false;
  if (s.eval.failed) return -1;
  const LastReference last = s.eval.last;
  VariableSlot* slot = FindSlot(engine, last.variable);
  if (slot == nullptr) return static_cast<int8_t>(resource::ReportError(engine, kErrBadDeclaration, true));
  slot->dimensionCount = static_cast<uint8_t>(last.subscriptCount);
  slot->sizes.fill(0);
  for (int32_t j = 0; j < last.subscriptCount; ++j) slot->sizes[static_cast<size_t>(j)] = static_cast<int32_t>(last.subscripts[j]);

  const bool hasInitial = a.count >= 2;
  std::span<const uint8_t> initial;
  if (hasInitial) {
    initial = expressionOfSlot(2, ok);
    if (!ok) return -1;
  }
  const uint8_t initialType = static_cast<uint8_t>(a.slots[2].exprType);
  int rc;
  if (type == kTypeFloat) {
    rc = DeclareFloat(engine, static_cast<int32_t>(last.variable), hasInitial ? EvalFloatByType(engine, initialType, initial) : 0.0);
  } else if (type == kTypeInteger) {
    rc = DeclareInteger(engine, static_cast<int32_t>(last.variable), hasInitial ? EvalIntegerByType(engine, initialType, initial) : 0);
  } else {
    if (!s.declarationText) s.declarationText = std::make_unique<char[]>(kEvalTextBytes);
    const int32_t length = hasInitial ? EvalText(engine, initial, s.declarationText.get()) : 0;
    rc = DeclareText(engine, static_cast<int32_t>(last.variable), std::string_view(s.declarationText.get(), static_cast<size_t>(length)));
  }
  return rc == 0 ? 0 : -1;
}

}  // namespace

int8_t AssignCommand(Engine& engine) {
  ScriptState& s = engine.script;
  InterpreterState& in = s.interp;
  ScriptContext& c = *in.current.context;
  const int32_t start = in.current.recordStart + static_cast<int32_t>(kCommandHeader);
  const int32_t bytes = in.current.argCount * static_cast<int32_t>(kArgRecordSize);
  if (in.current.argCount < 2 || bytes > c.codeSize - start) return static_cast<int8_t>(ReportDamagedCode(engine));
  c.position = start + bytes;
  const ArgRecord target = ReadArgRecord(c.code + start);
  const ArgRecord source = ReadArgRecord(c.code + start + kArgRecordSize);
  std::span<const uint8_t> targetCode, sourceCode;
  if (!RecordExpression(c, target, targetCode) || !RecordExpression(c, source, sourceCode)) {
    return static_cast<int8_t>(ReportDamagedCode(engine));
  }

  // The target leaves its variable and element behind as the last
  // reference. A plain script variable (one "H") is resolved here without
  // a run: it is most assignments.
  int32_t number;
  int64_t index = 0;
  VariableSlot* slot = nullptr;
  const uint8_t* t = targetCode.data();
  if (targetCode.size() == 6 && t[0] == 'H' && t[1] == 3 && t[2] == 0 && t[3] != '`' && t[3] != '#' &&
      !s.eval.variableAccessOff && !s.eval.declarationMode) {
    number = common::LoadU16(t + 4);
    slot = FindSlotIn(s.variables, number);
    if (number < kFirstScriptVariable || slot == nullptr || slot->type == kTypeNone) slot = nullptr;
  }
  if (slot == nullptr) {
    EvalIntegerByType(engine, target.exprType, targetCode);
    if (s.eval.failed) return -1;
    number = static_cast<int32_t>(s.eval.last.variable);
    index = s.eval.last.element;
    slot = FindSlotIn(s.variables, number);
  }
  const uint8_t op = target.assignOp;

  if (number >= kFirstScriptVariable) {
    const uint8_t type = slot != nullptr ? slot->type : kTypeNone;
    const bool inRange = slot != nullptr && index >= 0 && index < slot->elementCount;
    if (type == kTypeInteger) {
      int64_t v;
      if (source.exprType == 1 || source.exprType == 3) {
        RunExpression(engine, sourceCode, kModeInteger);
        v = s.eval.stack[0].integer;
      } else {
        v = EvalIntegerByType(engine, source.exprType, sourceCode);
      }
      if (s.eval.failed) return -1;
      int64_t scratch = 0;
      if (!ApplyInteger(inRange ? slot->integers[static_cast<size_t>(index)] : scratch, op, v)) {
        return static_cast<int8_t>(resource::ReportError(engine, kErrWrongVariableType, true));
      }
      return 0;
    }
    if (type == kTypeFloat) {
      const double v = EvalFloatByType(engine, source.exprType, sourceCode);
      if (s.eval.failed) return -1;
      double scratch = 0.0;
      if (!ApplyFloat(inRange ? slot->floats[static_cast<size_t>(index)] : scratch, op, v)) {
        return static_cast<int8_t>(resource::ReportError(engine, kErrWrongVariableType, true));
      }
      return 0;
    }
    if (type == kTypeText) return AssignText(engine, *slot, index, op, source, sourceCode);
    return static_cast<int8_t>(resource::ReportError(engine, kErrWrongVariableType, true));
  }

  // System variables ignore the operator.
  switch (VariableTypeOf(engine, number)) {
    case kTypeInteger: {
      const int64_t v = EvalIntegerByType(engine, source.exprType, sourceCode);
      if (s.eval.failed) return -1;
      return WriteSystemInteger(engine, number, index, v) == 0 ? 0 : -1;
    }
    case kTypeText:
      if (!EvalTextByType(engine, source.exprType, sourceCode)) return -1;
      return WriteSystemText(engine, number, index, LastTextResult(engine)) == 0 ? 0 : -1;
    default:
      return 0;  // float system variables take no writes and say nothing
  }
}

int8_t DeclareFloatCommand(Engine& engine) { return DeclareCommand(engine, kTypeFloat); }
int8_t DeclareIntegerCommand(Engine& engine) { return DeclareCommand(engine, kTypeInteger); }
int8_t DeclareTextCommand(Engine& engine) { return DeclareCommand(engine, kTypeText); }

}  // namespace vv::script
