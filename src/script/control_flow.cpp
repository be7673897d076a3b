// Control flow: jumps, calls with parameters and returns with values, the
// block commands of conditionals and condition loops, the counted loops and
// the label test.
//
// The compiler stores code positions in the length fields of spare
// argument records (the block's else and end positions, the counted loop's
// end). Every depth is checked before an array is touched: no stack ever
// holds more than 15 open levels.
#include "common/bytes.h"
#include "resource/error_reporter.h"
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_commands.h"
#include "script/script_files.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr uint8_t kCmdElse = 7;
constexpr uint8_t kCmdBlockBreak = 28;
constexpr uint8_t kCmdBlockRepeat = 29;
constexpr uint8_t kCmdBlockEnd = 30;
constexpr uint8_t kCmdBlockBegin = 26;
constexpr uint8_t kCmdLoopBegin = 37;
constexpr uint8_t kCmdLoopBreak = 38;
constexpr uint8_t kCmdLoopNext = 39;
constexpr uint8_t kCmdReturn = 54;
constexpr int kMaxCallParams = 8;

ScriptContext& Running(Engine& engine) { return *engine.script.interp.current.context; }

int8_t DepthLimit(Engine& engine, uint8_t command) {
  const std::string_view name = CommandName(engine, command);
  return static_cast<int8_t>(resource::ReportError(engine, kErrDepthLimit, true, {name, name, kStackLevels}));
}

int8_t NoEnclosing(Engine& engine, uint8_t command, uint8_t enclosing) {
  const std::string_view name = CommandName(engine, command);
  return static_cast<int8_t>(
      resource::ReportError(engine, kErrNoEnclosing, true, {name, name, CommandName(engine, enclosing)}));
}

// Evaluates record `n` of the current command with the integer entry of
// its ExprType; false after a failure (reported).
bool EvalRecordInteger(Engine& engine, const ArgRecord& r, int64_t& out) {
  bool ok = true;
  const std::span<const uint8_t> code = ExpressionOf(engine, r, ok);
  if (!ok) return false;
  out = EvalIntegerByType(engine, r.exprType, code);
  return !engine.script.eval.failed;
}

bool ReadRecords(Engine& engine, int count, ArgRecord* out) {
  for (int i = 0; i < count; ++i) {
    const uint8_t* at = ArgRecordAt(engine, i);
    if (at == nullptr) return false;
    out[i] = ReadArgRecord(at);
  }
  return true;
}

std::span<const uint8_t> RawExpression(const ArgSlot& slot) {
  return {slot.raw, slot.raw != nullptr ? static_cast<size_t>(slot.exprLength) : 0};
}

// Moves the context to label `index`, entering its file.
int8_t GoToLabel(Engine& engine, ScriptContext& c, const LabelEntry& label) {
  c.position = label.position;
  return EnterFile(engine, c, label.file) ? 0 : -1;
}

const LabelEntry* LabelNamed(Engine& engine, std::string_view name) {
  const LabelEntry* label = LabelAt(engine, FindLabel(engine, name));
  if (label == nullptr) resource::ReportError(engine, kErrLabelMissing, true, {name});
  return label;
}

// Fills call values 1..count from the prepared arguments: for value i an
// integer argument with id i + intBase, else a float (raw) one with id
// i + intBase + 8, else a text one with id i + intBase + 16.
void FillCallValues(Engine& engine, CallValues& values, int count, int intBase) {
  const CommandArgs& a = engine.script.interp.args;
  values.Clear(1);
  for (int i = 1; i <= count && i <= kMaxCallParams; ++i) {
    if (a.Has(i + intBase)) {
      values.integers[i] = a.Number(i + intBase);
    } else if (a.Has(i + intBase + 8)) {
      values.floats[i] = EvalFloat(engine, RawExpression(a.Get(i + intBase + 8)));
    } else if (a.Has(i + intBase + 16)) {
      values.texts[i].assign(a.Get(i + intBase + 16).Text());
    }
  }
}

int8_t LeaveLoops(Engine& engine, uint8_t command, bool keepCount) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  ScriptContext& c = Running(engine);
  const int64_t n = a.Has(0) ? a.Number(0) : 1;
  if (n <= 0) return 0;
  const int64_t level = int64_t{c.loopDepth} - n + 1;
  if (level <= 0) return NoEnclosing(engine, command, kCmdLoopBegin);
  const size_t outer = static_cast<size_t>(level - 1);
  c.loopDepth = static_cast<int8_t>(level);
  c.position = c.loopEnd[outer];
  c.blockDepth = static_cast<int8_t>(c.loopSavedBlockDepth[outer]);
  if (!keepCount) c.loopCounter[static_cast<size_t>(level)] = c.loopLimit[static_cast<size_t>(level)] = 0;
  return 0;
}

// n-th enclosing block of a break or repeat: the level number c (1-based),
// 0 when n asks for nothing, -1 after the report.
int64_t EnclosingBlock(Engine& engine, uint8_t command) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  const int64_t n = a.Has(0) ? a.Number(0) : 1;
  if (n <= 0) return 0;
  const int64_t level = int64_t{Running(engine).blockDepth} - n + 1;
  if (level <= 0) return NoEnclosing(engine, command, kCmdBlockBegin);
  return level;
}

}  // namespace

int8_t JumpCommand(Engine& engine) {
  ArgRecord r;
  if (!ReadRecords(engine, 1, &r)) return -1;
  ScriptContext& c = Running(engine);
  const LabelEntry* label;
  if ((static_cast<uint32_t>(r.length) & kResolvedJumpMask) != 0) {
    label = LabelAt(engine, static_cast<int32_t>(static_cast<uint32_t>(r.length) & ~kResolvedJumpMask));
    if (label == nullptr) return static_cast<int8_t>(ReportDamagedCode(engine));
  } else {
    bool ok = true;
    const std::span<const uint8_t> code = ExpressionOf(engine, r, ok);
    if (!ok) return -1;
    RunExpression(engine, code, kModeText);
    if (engine.script.eval.failed) return -1;
    label = LabelNamed(engine, LastTextResult(engine));
    if (label == nullptr) return -1;
  }
  int32_t blockDepth = label->blockDepth, loopDepth = label->loopDepth;
  if (c.callDepth > 0) {
    blockDepth += c.callSavedBlockDepth[static_cast<size_t>(c.callDepth - 1)];
    loopDepth += c.callSavedLoopDepth[static_cast<size_t>(c.callDepth - 1)];
  }
  if (blockDepth >= kStackLevels) return DepthLimit(engine, kCmdBlockBegin);
  if (loopDepth >= kStackLevels) return DepthLimit(engine, kCmdLoopBegin);
  c.blockDepth = static_cast<int8_t>(blockDepth);
  c.loopDepth = static_cast<int8_t>(loopDepth);
  return GoToLabel(engine, c, *label);
}

int8_t CallCommand(Engine& engine) {
  if (PrepareCallArgs(engine) != 0) return -1;
  InterpreterState& in = engine.script.interp;
  ScriptContext& c = Running(engine);
  const int depth = c.callDepth;
  if (depth + 1 >= kStackLevels) return DepthLimit(engine, kCmdCall);
  FillCallValues(engine, c.parameters[static_cast<size_t>(depth + 1)], in.current.argCount - 1, 0);

  // The label: resolved at load into the label record's ExprType bytes, or
  // named by its text.
  const LabelEntry* label = nullptr;
  const int slot = in.args.idMap[0];
  if (slot != 0) {
    const uint8_t* record = ArgRecordAt(engine, slot - 1);
    if (record == nullptr) return -1;
    const uint16_t resolved = common::LoadU16(record + 2);
    if (resolved != 0) {
      label = LabelAt(engine, resolved);
      if (label == nullptr) return static_cast<int8_t>(ReportDamagedCode(engine));
    }
  }
  if (label == nullptr) {
    label = LabelNamed(engine, in.args.Get(0).Text());
    if (label == nullptr) return -1;
  }

  const size_t d = static_cast<size_t>(depth);
  c.returnPosition[d] = c.position;
  c.returnFile[d] = c.file;
  c.callSavedBlockDepth[d] = static_cast<uint8_t>(c.blockDepth);
  c.callSavedLoopDepth[d] = static_cast<uint8_t>(c.loopDepth);
  c.callDepth = static_cast<int8_t>(depth + 1);
  return GoToLabel(engine, c, *label);
}

int8_t ReturnCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  InterpreterState& in = engine.script.interp;
  ScriptContext& c = Running(engine);
  const int depth = c.callDepth;
  if (depth == 0) {
    if (c.system) return NoEnclosing(engine, kCmdReturn, kCmdCall);
    // A context that returns from its top level ends for good; its node is
    // freed once the pass is over.
    if (in.current.node != nullptr && in.current.node->parent != nullptr) {
      engine.script.endedContexts.push_back(DetachNode(*in.current.node));
    }
    return -1;
  }
  const size_t level = static_cast<size_t>(depth - 1);
  FillCallValues(engine, c.returnValues[level], in.current.argCount, -1);
  c.callDepth = static_cast<int8_t>(depth - 1);
  c.position = c.returnPosition[level];
  return EnterFile(engine, c, c.returnFile[level]) ? 0 : -1;
}

int8_t BlockBeginCommand(Engine& engine) {
  ArgRecord r[3];
  if (!ReadRecords(engine, 3, r) || SkipArgRecords(engine) != 0) return -1;
  ScriptContext& c = Running(engine);
  const int depth = c.blockDepth;
  if (depth + 1 >= kStackLevels) return DepthLimit(engine, kCmdBlockBegin);
  const size_t a = static_cast<size_t>(depth);
  c.blockStart[a] = engine.script.interp.current.recordStart;
  c.blockSavedLoopDepth[a] = static_cast<uint8_t>(c.loopDepth);
  c.blockExit[a] = r[2].length;
  c.blockDepth = static_cast<int8_t>(depth + 1);
  int64_t condition = 0;
  if (!EvalRecordInteger(engine, r[0], condition)) return -1;
  if (condition == 0) c.position = r[1].length != 0 ? r[1].length : r[2].length;
  return 0;
}

int8_t BlockElseCommand(Engine& engine) {
  ScriptContext& c = Running(engine);
  if (c.blockDepth == 0) return NoEnclosing(engine, kCmdElse, kCmdBlockBegin);
  if (engine.script.interp.current.argCount == 0) return 0;
  // An else-if carries three records: condition, next branch, (unused).
  ArgRecord all[3];
  if (!ReadRecords(engine, 3, all) || SkipArgRecords(engine) != 0) return -1;
  int64_t condition = 0;
  if (!EvalRecordInteger(engine, all[0], condition)) return -1;
  if (condition == 0) c.position = all[1].length != 0 ? all[1].length : c.blockExit[static_cast<size_t>(c.blockDepth - 1)];
  return 0;
}

int8_t BlockExitCommand(Engine& engine) {
  ScriptContext& c = Running(engine);
  if (c.blockDepth == 0) return NoEnclosing(engine, kCmdElse, kCmdBlockBegin);
  c.position = c.blockExit[static_cast<size_t>(c.blockDepth - 1)];
  return 0;
}

int8_t BlockBreakCommand(Engine& engine) {
  const int64_t level = EnclosingBlock(engine, kCmdBlockBreak);
  if (level <= 0) return static_cast<int8_t>(level);
  ScriptContext& c = Running(engine);
  const size_t outer = static_cast<size_t>(level - 1);
  c.blockDepth = static_cast<int8_t>(level);
  c.position = c.blockExit[outer];
  c.loopDepth = static_cast<int8_t>(c.blockSavedLoopDepth[outer]);
  return 0;
}

int8_t BlockRepeatCommand(Engine& engine) {
  const int64_t level = EnclosingBlock(engine, kCmdBlockRepeat);
  if (level <= 0) return static_cast<int8_t>(level);
  ScriptContext& c = Running(engine);
  const size_t outer = static_cast<size_t>(level - 1);
  c.position = c.blockStart[outer];
  c.loopDepth = static_cast<int8_t>(c.blockSavedLoopDepth[outer]);
  c.blockDepth = static_cast<int8_t>(level - 1);
  return 0;
}

int8_t BlockEndCommand(Engine& engine) {
  ScriptContext& c = Running(engine);
  if (c.blockDepth == 0) return NoEnclosing(engine, kCmdBlockEnd, kCmdBlockBegin);
  c.blockDepth = static_cast<int8_t>(c.blockDepth - 1);
  c.blockExit[static_cast<size_t>(c.blockDepth)] = 0;
  return 0;
}

int8_t CountLoopBeginCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  ScriptContext& c = Running(engine);
  if (a.count < 2) return static_cast<int8_t>(ReportDamagedCode(engine));
  const int depth = c.loopDepth;
  if (depth + 1 >= kStackLevels) return DepthLimit(engine, kCmdLoopBegin);
  const size_t b = static_cast<size_t>(depth);
  c.loopBodyStart[b] = c.position;
  c.loopSavedBlockDepth[b] = static_cast<uint8_t>(c.blockDepth);
  c.loopEnd[b] = a.slots[2].exprLength;
  ArgRecord count;
  count.exprType = static_cast<uint8_t>(a.slots[1].exprType);
  count.length = a.slots[1].exprLength;
  count.offset = a.slots[1].exprOffset;
  int64_t limit = 0;
  if (!EvalRecordInteger(engine, count, limit)) return -1;
  c.loopCounter[b + 1] = 1;
  c.loopLimit[b + 1] = limit;
  c.loopDepth = static_cast<int8_t>(depth + 1);
  if (limit == 0) {
    c.loopCounter[b + 1] = c.loopLimit[b + 1] = 0;
    c.position = c.loopEnd[b];
  }
  return 0;
}

int8_t CountLoopEndCommand(Engine& engine) {
  ScriptContext& c = Running(engine);
  if (c.loopDepth == 0) return static_cast<int8_t>(resource::ReportError(engine, kErrLoopEndWithoutLoop, true));
  const size_t b = static_cast<size_t>(c.loopDepth);
  if (c.loopLimit[b] == -1 || c.loopCounter[b] < c.loopLimit[b]) {
    c.loopCounter[b] += 1;
    c.position = c.loopBodyStart[b - 1];
    c.blockDepth = static_cast<int8_t>(c.loopSavedBlockDepth[b - 1]);
    return 0;
  }
  c.loopDepth = static_cast<int8_t>(b - 1);
  c.loopCounter[b] = c.loopLimit[b] = 0;
  c.loopBodyStart[b - 1] = 0;
  return 0;
}

int8_t CountLoopBreakCommand(Engine& engine) { return LeaveLoops(engine, kCmdLoopBreak, false); }
int8_t CountLoopNextCommand(Engine& engine) { return LeaveLoops(engine, kCmdLoopNext, true); }

int8_t LabelExistsCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  if (!a.Has(2)) return 0;
  const int64_t found = FindLabel(engine, a.Get(0).Text()) >= 0 ? 1 : 0;
  const ArgSlot& out = a.Get(1);
  const VariableSlot* slot = FindSlot(engine, out.variable);
  if (slot == nullptr || (slot->type != kTypeInteger && slot->type != kTypeFloat)) {
    return static_cast<int8_t>(resource::ReportError(engine, kErrWrongVariableType, true));
  }
  StoreIntegerResult(engine, out.variable, out.element, found);
  return 0;
}

}  // namespace vv::script
