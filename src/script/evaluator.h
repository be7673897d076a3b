// The expression evaluator: runs the postfix code of one compiled
// expression on a value stack and yields an integer, a float or a text.
//
// Instruction: opcode byte, uint16 operand length L, L operand bytes. A run
// has one mode: 1 integer, 2 float, 3 text with integer arithmetic, 4 text
// with float arithmetic; arithmetic is integer in the odd modes and inside
// subscript lists. Every run also records the last variable it referenced
// (LastReference), which is how a command finds its output variable.
//
// Every limit is enforced: more than 1024 stack entries (160020), a text of
// 4096 bytes or more (160030), more than 1023 texts in one run (160040),
// broken structure or marker misuse (160050), an unknown opcode (900030) or
// an instruction cut short (900080) fail the run with a report (halt). A
// failed run's result is whatever entry 0 holds. No allocation happens in a
// run once the text buffers it needs exist.
//
// State is per engine and reset by every run; runs never nest. The frame
// thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "script/values.h"

namespace vv {
struct Engine;
}

namespace vv::script {

constexpr int kEvalStackSize = 1024;
constexpr int kEvalTextBuffers = 1023;   // numbered 1..1023
constexpr int kEvalTextBytes = 4096;     // a text holds at most 4095 bytes
constexpr int kMaxSubscriptFrames = 128;
constexpr int kMaxFrameStart = 255;      // a reference starts below stack depth 256

constexpr int32_t kErrTextNumberMix = 160010;
constexpr int32_t kErrEvalStackOverflow = 160020;
constexpr int32_t kErrTextTooLong = 160030;
constexpr int32_t kErrTooManyTexts = 160040;
constexpr int32_t kErrBrokenExpression = 160050;
constexpr int32_t kErrBadExprType = 160060;
constexpr int32_t kErrUnknownOpcode = 900030;
constexpr int32_t kErrDamagedCode = 900080;
constexpr int32_t kErrUndeclaredVariable = 108010;
constexpr int32_t kErrSubscriptRange = 107010;

enum EvalMode : uint8_t { kModeInteger = 1, kModeFloat = 2, kModeText = 3, kModeTextFloat = 4 };

// What the last variable reference of a run left behind.
struct LastReference {
  uint32_t variable = 0;
  int64_t element = 0;
  uint8_t referenceFlag = 0;  // set by "v" (the whole variable)
  uint8_t marker = 0;         // 0 plain, 1 "`" text as number, 2 "#" number as text
  int32_t subscriptCount = 0; // of the last closed subscript list
  std::array<int64_t, 8> subscripts{};
};

struct SubscriptFrame {
  uint16_t variable = 0;
  uint8_t marker = 0;
  uint8_t start = 0;  // stack depth of the placeholder
};

struct EvaluatorState {
  std::array<ScriptValue, kEvalStackSize> stack{};
  int32_t sp = 0;
  std::array<SubscriptFrame, kMaxSubscriptFrames> frames{};
  int32_t frameDepth = 0;
  LastReference last;
  uint8_t mode = kModeInteger;
  bool declarationMode = false;   // references record, never read
  bool variableAccessOff = false; // the variable opcodes fail silently
  bool failed = false;            // the last run failed

  // Text buffers 1..1023, allocated on first use and kept.
  std::array<std::unique_ptr<char[]>, kEvalTextBuffers + 1> texts;
  std::array<uint16_t, kEvalTextBuffers + 1> textLengths{};
  int32_t nextText = 1;
};

// Runs `code` in `mode`; false when the run failed (reported, except the
// silent failure of variable access while it is off).
bool RunExpression(Engine& engine, std::span<const uint8_t> code, uint8_t mode);

// The six entries.
int64_t EvalInteger(Engine& engine, std::span<const uint8_t> code);
int64_t EvalFloatAsInteger(Engine& engine, std::span<const uint8_t> code);
double EvalIntegerAsFloat(Engine& engine, std::span<const uint8_t> code);
double EvalFloat(Engine& engine, std::span<const uint8_t> code);
// Copy the text result (if entry 0 holds a text) into `out` (kEvalTextBytes
// bytes), terminated, and return its length; without a text result `out`
// is left untouched and the length is 0.
int32_t EvalText(Engine& engine, std::span<const uint8_t> code, char* out);
int32_t EvalTextFloat(Engine& engine, std::span<const uint8_t> code, char* out);

// The text result of the last run without copying (empty when entry 0 is
// not a text); valid until the next run.
std::string_view LastTextResult(const Engine& engine);

// Entries chosen by an argument's ExprType (1..4); another type reports
// 160060 and gives 0, 0.0 or no text.
int64_t EvalIntegerByType(Engine& engine, uint8_t exprType, std::span<const uint8_t> code);
double EvalFloatByType(Engine& engine, uint8_t exprType, std::span<const uint8_t> code);
// Runs the text entry for `exprType`; the text is LastTextResult().
bool EvalTextByType(Engine& engine, uint8_t exprType, std::span<const uint8_t> code);

}  // namespace vv::script
