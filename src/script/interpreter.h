// The interpreter: passes over the context tree, command dispatch through
// the 91-slot handler table, and argument preparation into CommandArgs.
//
// A handler is `int8_t (*)(Engine&)`: 0 lets the context run its next
// command, any other value stops the context for this pass (-1 after a
// failure it reported, nonzero to yield or wait). Handlers find the record
// of the command being run through CurrentCommand and the context's
// position, which points just after the command header when they start.
//
// Threading: the frame thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "common/bytes.h"
#include "resource/error_reporter.h"
#include "script/command_table.h"
#include "script/evaluator.h"

namespace vv {
struct Engine;
}

namespace vv::script {

struct NameNode;
struct ScriptContext;

constexpr int kArgSlots = 96;   // slot 0 is the absent argument
constexpr int kMaxArgRecords = kArgSlots - 1;
constexpr int kOptionFlags = 128;

constexpr int32_t kErrUnboundCommand = 900050;
constexpr int32_t kErrBelowMinimum = 101010;
constexpr int32_t kErrOutOfRange = 101000;
constexpr int32_t kErrNotColourOrNone = 101020;
constexpr int32_t kErrNotColour = 101030;
constexpr int32_t kErrAboveMaximum = 101210;
constexpr int32_t kErrNegative = 101220;

using CommandHandler = int8_t (*)(Engine&);

// One argument record as the code stores it (12 bytes).
struct ArgRecord {
  uint8_t id = 0;
  uint8_t spare = 0;
  uint8_t exprType = 0;
  uint8_t assignOp = 0;
  int32_t length = 0;
  int32_t offset = 0;
};

// Reads the record at `at` (the caller checked that 12 bytes are there).
inline ArgRecord ReadArgRecord(const uint8_t* at) {
  ArgRecord r;
  r.id = at[0];
  r.spare = at[1];
  r.exprType = at[2];
  r.assignOp = at[3];
  r.length = static_cast<int32_t>(common::LoadU32(at + 4));
  r.offset = static_cast<int32_t>(common::LoadU32(at + 8));
  return r;
}

// One prepared argument.
struct ArgSlot {
  int32_t id = 0;
  int32_t exprType = 0;
  int32_t assignOp = 0;
  int32_t exprLength = 0;
  int32_t exprOffset = 0;
  int64_t number = 0;
  int32_t textLength = 0;              // 0 when the argument gave no text
  std::unique_ptr<char[]> text;        // kEvalTextBytes, made at first use
  const uint8_t* raw = nullptr;        // raw argument: its expression
  uint8_t referenceFlag = 0;
  int32_t variable = 0;                // what the argument referenced
  int32_t element = 0;

  std::string_view Text() const { return text ? std::string_view(text.get(), textLength) : std::string_view(); }
};

// The arguments of the command being run, by id (refilled by every
// preparation; handlers copy out what they keep).
struct CommandArgs {
  std::array<uint8_t, kArgSlots> idMap{};  // id -> slot, 0 = absent
  std::array<ArgSlot, kArgSlots> slots;
  int32_t count = 0;

  bool Has(int id) const { return id >= 0 && id < kArgSlots && idMap[id] != 0; }
  const ArgSlot& Get(int id) const { return slots[id >= 0 && id < kArgSlots ? idMap[id] : 0]; }
  int64_t Number(int id) const { return Get(id).number; }
};

struct CurrentCommand {
  uint8_t index = 0;
  uint8_t argCount = 0;
  ScriptContext* context = nullptr;
  NameNode* node = nullptr;
  int8_t lastResult = 0;
  int32_t recordStart = 0;  // position of the command header
};

struct HandlerTable {
  // [0]: the inactive-window half, [1]: the real handlers.
  std::array<std::array<CommandHandler, kCommandSlots>, 2> halves{};
};

struct InterpreterState {
  HandlerTable handlers;
  CommandArgs args;
  CurrentCommand current;
  std::array<uint8_t, kOptionFlags> optionFlags{};
  uint8_t runWhileInactive = 1;
  uint8_t blockScreenSaver = 1;
  // Whether the main window has the focus; the window handling keeps it.
  bool mainWindowActive = true;
  // Commands executed (never reset), and in debug runs the screen corners
  // the mouse touched.
  uint64_t commandCount = 0;
  // At most this many commands per context and pass (0 = no limit): tools
  // that run untrusted code (the fuzz targets) must see every pass end.
  uint64_t passCommandLimit = 0;
  uint8_t cornerSet = 0;
  // Takes and dispatches the waiting window events (installed by the shell;
  // the inactive-window half uses it).
  std::function<void()> pumpEvents;
  bool everRan = false;  // a pass has visited a context
  // Where the last command read came from, for error reports (kept even
  // when that context is freed).
  uint16_t lastFile = 0;
  int32_t lastLine = 1;
};

InterpreterState MakeInterpreterState();

// Binds the handlers of the script machine's own commands into the real
// half, and the unbound handler everywhere else still empty. Call before
// the first pass.
void BindScriptCommands(HandlerTable& table);
// Binds one handler (index 0..90).
void BindCommand(HandlerTable& table, int index, CommandHandler handler);
// Makes every empty real slot report 900050 and fills the inactive half.
void FinishHandlerTable(HandlerTable& table);
// The handler of an unbound slot (for the table check).
int8_t UnboundCommand(Engine& engine);

// One pass over the contexts below `folder`: later children first; each
// context runs commands until one of them yields. Returns 0.
int RunInterpreter(Engine& engine, NameNode& folder);
// One whole interpreter pass of the frame: the pass over the context tree,
// then the contexts that ended are freed.
int RunInterpreterPass(Engine& engine);

// Fills CommandArgs from the records after the current header and moves
// the position past them. -1 after the first failing range check (or
// damaged records; reported).
int PrepareArgs(Engine& engine);
// The same, but text arguments always use EvalText (the call command's
// label record carries its resolved label in the ExprType byte).
int PrepareCallArgs(Engine& engine);
// Moves the position past the current command's records (without
// evaluating them); -1 when they run past the code region (reported).
int SkipArgRecords(Engine& engine);
// The record `n` (0-based) after the current command header, checked
// against the code region; null after reporting damaged code.
const uint8_t* ArgRecordAt(Engine& engine, int n);
// The expression a record names, checked against the expression region;
// empty (and `ok` false, reported) when it lies outside.
std::span<const uint8_t> ExpressionOf(Engine& engine, const ArgRecord& record, bool& ok);

// Applies `checkKind` to `value`; -1 after reporting the range error with
// the command's and the argument's names.
int CheckArgument(Engine& engine, uint8_t checkKind, int64_t value, uint32_t command, uint32_t id);

// The running context (null outside a pass).
ScriptContext* RunningContext(Engine& engine);

// Where the script stands for an error report: the running context's file
// and line, or those of the last command read once that context is gone;
// nullopt before the first pass visited a context.
std::optional<resource::ScriptLocation> CurrentLocation(const Engine& engine);

// Reports damaged code at the running context's position; returns -1.
int ReportDamagedCode(Engine& engine);

}  // namespace vv::script
