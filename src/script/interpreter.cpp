#include "script/interpreter.h"

#include <new>

#include "common/bytes.h"
#include "common/encoding.h"
#include "resource/error_reporter.h"
#include "script/context.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr uint64_t kCornerSampleEvery = 1000;
constexpr int kCornerMargin = 8;
constexpr uint8_t kAllCorners = 0x0F;
constexpr char kCornerQuestion[] = "マウスによる画面四隅への移動を検出しました。\n\n終了します。よろしいですか？";
constexpr char kCornerCaption[] = "[デバッグ機能]";
// How long the inactive-window half sleeps between looks at the window.
constexpr uint32_t kInactivePollMs = 10;

struct Range {
  uint32_t min, max;
};
// Check kinds 3..21.
constexpr Range kRanges[] = {
    {0, 1},    {0, 2},    {0, 3},     {1, 3},     {0, 4},      {1, 8},     {0, 15},
    {0, 18},   {0, 256},  {1, 256},   {0, 512},   {0, 1024},   {1, 1024},  {128, 1024},
    {0, 2048}, {1, 2048}, {16, 2048}, {128, 2048}, {1, 8192},
};

bool TimeReached(uint32_t now, uint32_t wake) { return static_cast<int32_t>(now - wake) >= 0; }

// Debug runs: a mouse that visits all four screen corners asks whether to
// quit, so a game stuck in full screen can always be left.
void CheckScreenCorners(Engine& engine) {
  InterpreterState& in = engine.script.interp;
  if (in.commandCount % kCornerSampleEvery != 0) return;
  platform::Platform& p = engine.platform;
  if (!p.input || !p.display || !engine.windows[0].created) return;
  const platform::Point client = p.input->Cursor(0);
  const platform::Point origin = p.display->Position(0);
  const int x = origin.x + client.x, y = origin.y + client.y;
  const int w = engine.shell.system.desktopWidth, h = engine.shell.system.desktopHeight;
  const bool left = x <= kCornerMargin, top = y <= kCornerMargin;
  const bool right = x >= w - 1 - kCornerMargin, bottom = y >= h - 1 - kCornerMargin;
  if (left && top) in.cornerSet |= 1;
  else if (left && bottom) in.cornerSet |= 2;
  else if (right && top) in.cornerSet |= 4;
  else if (right && bottom) in.cornerSet |= 8;
  if (in.cornerSet != kAllCorners) return;
  in.cornerSet = 0;
  platform::MessageBoxDesc box;
  box.captionSjis = common::Sjis(kCornerCaption);
  box.textSjis = common::Sjis(kCornerQuestion);
  box.buttons = platform::DialogButtons::YesNo;
  box.icon = platform::DialogIcon::Information;
  if (p.dialogs && p.dialogs->ShowMessage(box) == platform::kAnswerYes) engine.shell.flags.halted = true;
}

// The first half: while the main window is inactive the script waits at
// this command and the window events are still handled.
int8_t InactiveWindowHandler(Engine& engine) {
  InterpreterState& in = engine.script.interp;
  shell::RunFlags& flags = engine.shell.flags;
  while (!in.mainWindowActive) {
    if (!in.pumpEvents) break;
    in.pumpEvents();
    if (!flags.running || flags.halted) break;
    if (in.mainWindowActive) break;
    engine.platform.clock->SleepMs(kInactivePollMs);
  }
  if (!in.mainWindowActive) {
    // The command runs once the window is active again: read it anew then.
    if (in.current.context != nullptr) in.current.context->position = in.current.recordStart;
    return 1;
  }
  return in.handlers.halves[1][in.current.index](engine);
}

void RunCommands(Engine& engine, ScriptContext& c) {
  InterpreterState& in = engine.script.interp;
  const std::atomic<bool>& halted = engine.shell.flags.halted;
  const bool debug = engine.config.debugMode != 0;
  int8_t result = 0;
  const uint64_t stopAt = in.passCommandLimit != 0 ? in.commandCount + in.passCommandLimit : UINT64_MAX;
  while (result == 0 && !halted.load(std::memory_order_relaxed) && c.hasCode && in.commandCount < stopAt) {
    const int32_t at = c.position;
    if (static_cast<uint32_t>(at) > static_cast<uint32_t>(c.codeSize) - kCommandHeader || c.codeSize < 6) {
      ReportDamagedCode(engine);
      break;
    }
    const uint8_t* header = c.code + at;
    const uint8_t index = header[0];
    in.current.index = index;
    in.current.argCount = header[1];
    in.current.recordStart = at;
    c.line = static_cast<int32_t>(common::LoadU32(header + 2));
    c.position = at + static_cast<int32_t>(kCommandHeader);
    const int half = (in.runWhileInactive != 0 || in.mainWindowActive) ? 1 : 0;
    const CommandHandler handler = index < kCommandSlots ? in.handlers.halves[half][index] : UnboundCommand;
    in.current.lastResult = result = handler(engine);
    ++in.commandCount;
    if (debug) CheckScreenCorners(engine);
  }
}

int Prepare(Engine& engine, bool callArgs) {
  ScriptState& s = engine.script;
  InterpreterState& in = s.interp;
  CommandArgs& a = in.args;
  ScriptContext& c = *in.current.context;
  for (int32_t i = 1; i <= a.count; ++i) a.idMap[static_cast<size_t>(a.slots[i].id)] = 0;
  a.count = 0;
  const int32_t n = in.current.argCount;
  const int32_t at = c.position;
  if (n > kMaxArgRecords || at < 0 || n * static_cast<int32_t>(kArgRecordSize) > c.codeSize - at) {
    return ReportDamagedCode(engine);
  }
  const uint8_t command = in.current.index;
  const LoadedCommandTable& table = s.compiled.commandTable;
  const EvaluatorState& e = s.eval;
  const uint8_t* record = c.code + at;
  for (int32_t i = 1; i <= n; ++i, record += kArgRecordSize) {
    const ArgRecord r = ReadArgRecord(record);
    if (r.id >= kArgSlots) return ReportDamagedCode(engine);
    ArgSlot& slot = a.slots[i];
    slot.id = r.id;
    slot.exprType = r.exprType;
    slot.assignOp = r.assignOp;
    slot.exprLength = r.length;
    slot.exprOffset = r.offset;
    slot.number = 0;
    slot.textLength = 0;
    slot.raw = nullptr;
    slot.referenceFlag = 0;
    slot.variable = 0;
    slot.element = 0;
    a.idMap[r.id] = static_cast<uint8_t>(i);
    a.count = i;
    const ArgDefinition* def = table.Arg(command, r.id);
    const uint8_t valueClass = def != nullptr ? def->valueClass : 3;
    if (valueClass <= 2) {
      bool ok = true;
      const std::span<const uint8_t> code = ExpressionOf(engine, r, ok);
      if (!ok) return -1;
      if (valueClass == 0) {
        slot.number = EvalIntegerByType(engine, r.exprType, code);
      } else if (valueClass == 1) {
        if (!slot.text) {
          slot.text.reset(new (std::nothrow) char[kEvalTextBytes]);
          if (!slot.text) return resource::ReportError(engine, resource::kOutOfMemory, true);
          slot.text[0] = '\0';
        }
        if (callArgs) {
          slot.textLength = EvalText(engine, code, slot.text.get());
        } else if (EvalTextByType(engine, r.exprType, code)) {
          const std::string_view text = LastTextResult(engine);
          if (e.stack[0].text != 0) {
            std::copy(text.begin(), text.end(), slot.text.get());
            slot.text[text.size()] = '\0';
            slot.textLength = static_cast<int32_t>(text.size());
          }
        }
      } else {
        slot.raw = code.data();
      }
      if (valueClass != 2) {
        slot.referenceFlag = e.last.referenceFlag;
        slot.variable = static_cast<int32_t>(e.last.variable);
        slot.element = static_cast<int32_t>(e.last.element);
      }
    }
    if (def != nullptr && def->checkKind != 0 && CheckArgument(engine, def->checkKind, slot.number, command, r.id) != 0) {
      return -1;
    }
  }
  c.position = at + n * static_cast<int32_t>(kArgRecordSize);
  return 0;
}

}  // namespace

InterpreterState MakeInterpreterState() {
  InterpreterState in;
  in.optionFlags.fill(1);
  return in;
}

void BindCommand(HandlerTable& table, int index, CommandHandler handler) {
  if (index >= 0 && index < kCommandSlots) table.halves[1][static_cast<size_t>(index)] = handler;
}

void FinishHandlerTable(HandlerTable& table) {
  for (auto& slot : table.halves[1]) {
    if (slot == nullptr) slot = UnboundCommand;
  }
  table.halves[0].fill(InactiveWindowHandler);
}

int8_t UnboundCommand(Engine& engine) { return static_cast<int8_t>(resource::ReportError(engine, kErrUnboundCommand, true)); }

int RunInterpreter(Engine& engine, NameNode& folder) {
  InterpreterState& in = engine.script.interp;
  const uint64_t pass = engine.shell.clock.passCounter;
  for (int32_t n = folder.childCount; n >= 1; --n) {
    NameNode* node = NthChild(folder, n);
    ScriptContext* c = ContextOf(node);
    if (c == nullptr || (c->enableA & c->enableB) == 0) continue;
    if (node->kind == kFolderNode) {
      RunInterpreter(engine, *node);
      continue;
    }
    in.current.node = node;
    in.current.context = c;
    in.everRan = true;
    if (c->passStamp == pass) continue;
    c->passStamp = pass;
    if (c->textInProgress) continue;
    if (c->waitFrames > 0) --c->waitFrames;
    if (c->wakeTime != 0 && TimeReached(engine.platform.clock->NowMs(), c->wakeTime)) c->wakeTime = 0;
    if (c->waitFrames != 0 || c->wakeTime != 0) continue;
    RunCommands(engine, *c);
  }
  return 0;
}

int RunInterpreterPass(Engine& engine) {
  ScriptState& s = engine.script;
  RunInterpreter(engine, *s.trees[TreeId::kContexts].root);
  if (!s.endedContexts.empty()) {
    // Keep the location of the last command for error reports, then free
    // the contexts that ended in this pass.
    for (const auto& node : s.endedContexts) {
      if (s.interp.current.node == node.get()) {
        s.interp.lastFile = s.interp.current.context != nullptr ? s.interp.current.context->file : 0;
        s.interp.lastLine = s.interp.current.context != nullptr ? s.interp.current.context->line : 1;
        s.interp.current.node = nullptr;
        s.interp.current.context = nullptr;
      }
    }
    s.endedContexts.clear();
  }
  return 0;
}

int PrepareArgs(Engine& engine) { return Prepare(engine, false); }
int PrepareCallArgs(Engine& engine) { return Prepare(engine, true); }

int SkipArgRecords(Engine& engine) {
  InterpreterState& in = engine.script.interp;
  ScriptContext& c = *in.current.context;
  const int32_t bytes = in.current.argCount * static_cast<int32_t>(kArgRecordSize);
  const int32_t start = in.current.recordStart + static_cast<int32_t>(kCommandHeader);
  if (bytes > c.codeSize - start) return ReportDamagedCode(engine);
  c.position = start + bytes;
  return 0;
}

const uint8_t* ArgRecordAt(Engine& engine, int n) {
  InterpreterState& in = engine.script.interp;
  const ScriptContext& c = *in.current.context;
  const int64_t at = int64_t{in.current.recordStart} + kCommandHeader + int64_t{n} * kArgRecordSize;
  if (n < 0 || n >= in.current.argCount || at + static_cast<int64_t>(kArgRecordSize) > c.codeSize) {
    ReportDamagedCode(engine);
    return nullptr;
  }
  return c.code + at;
}

std::span<const uint8_t> ExpressionOf(Engine& engine, const ArgRecord& record, bool& ok) {
  std::span<const uint8_t> code;
  ok = RecordExpression(*engine.script.interp.current.context, record, code);
  if (!ok) ReportDamagedCode(engine);
  return code;
}

int CheckArgument(Engine& engine, uint8_t checkKind, int64_t v, uint32_t command, uint32_t id) {
  const std::string_view cmd = CommandName(engine, command);
  const std::string_view arg = ArgumentName(engine, command, id);
  const uint32_t low = static_cast<uint32_t>(v);
  switch (checkKind) {
    case 1:
      return v >= 0 ? 0 : resource::ReportError(engine, kErrBelowMinimum, true, {cmd, arg, static_cast<long long>(v), 0});
    case 2:
      return v >= 1 ? 0 : resource::ReportError(engine, kErrBelowMinimum, true, {cmd, arg, static_cast<long long>(v), 1});
    case 22: {
      const int32_t s = static_cast<int32_t>(low);
      return s >= -1 && s <= 0xFFFFFF ? 0 : resource::ReportError(engine, kErrNotColourOrNone, true, {cmd, arg, static_cast<long long>(v)});
    }
    case 23:
      return low <= 0xFFFFFF ? 0 : resource::ReportError(engine, kErrNotColour, true, {cmd, arg, static_cast<long long>(v)});
    case 24:
    case 25: {
      const int limit = checkKind == 24 ? engine.windows[0].clientWidth : engine.windows[0].clientHeight;
      if (v >= 0 && v < limit) return 0;
      return resource::ReportError(engine, kErrOutOfRange, true, {cmd, arg, static_cast<long long>(v), 0, limit - 1});
    }
    case 26:
      if (v < 0) return resource::ReportError(engine, kErrNegative, true, {cmd, arg, static_cast<long long>(v)});
      if (v > 3) return resource::ReportError(engine, kErrAboveMaximum, true, {cmd, arg, static_cast<long long>(v), 3});
      return 0;
    default:
      if (checkKind >= 3 && checkKind <= 21) {
        const Range r = kRanges[checkKind - 3];
        if (low - r.min <= r.max - r.min) return 0;
        return resource::ReportError(engine, kErrOutOfRange, true,
                                     {cmd, arg, static_cast<long long>(v), r.min, r.max});
      }
      return 0;
  }
}

ScriptContext* RunningContext(Engine& engine) { return engine.script.interp.current.context; }

std::optional<resource::ScriptLocation> CurrentLocation(const Engine& engine) {
  const InterpreterState& in = engine.script.interp;
  if (!in.everRan) return std::nullopt;
  resource::ScriptLocation at;
  const ScriptContext* c = in.current.context;
  at.file = std::string(ScriptFileName(engine, c != nullptr ? c->file : in.lastFile));
  at.line = c != nullptr ? c->line : in.lastLine;
  return at;
}

int ReportDamagedCode(Engine& engine) {
  const ScriptContext* c = engine.script.interp.current.context;
  return resource::ReportError(engine, kErrDamagedCode, true, {ScriptFileName(engine, c != nullptr ? c->file : -1)});
}

}  // namespace vv::script
