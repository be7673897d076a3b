// A script context: one cooperative script thread with its code position,
// its waits and its three stacks (blocks, counted loops, calls with their
// parameters). A context is the payload of a node of the context tree.
#pragma once

#include <array>
#include <span>
#include <cstdint>
#include <string>

#include "script/interpreter.h"
#include "script/name_tree.h"

namespace vv {
struct Engine;
}

namespace vv::script {

// Each stack has this many levels; reaching this depth is refused (101600).
constexpr int kStackLevels = 16;
// Call parameters and return values per level: elements 1..8 (0 stays 0).
constexpr int kCallValues = 9;

constexpr int32_t kErrDepthLimit = 101600;
constexpr int32_t kErrNoEnclosing = 101300;
constexpr int32_t kErrLoopEndWithoutLoop = 108120;
constexpr int32_t kErrLabelMissing = 108180;

struct CallValues {
  std::array<int64_t, kCallValues> integers{};
  std::array<double, kCallValues> floats{};
  std::array<std::string, kCallValues> texts;

  void Clear(int from) {
    for (int i = from; i < kCallValues; ++i) {
      integers[i] = 0;
      floats[i] = 0.0;
      texts[i].clear();  // keeps the capacity for the next call
    }
  }
};

struct ScriptContext : NodePayload {
  NameNode* node = nullptr;
  uint64_t passStamp = 0;
  uint8_t system = 0;          // the "SYSTEM" context
  uint8_t textInProgress = 0;  // a message is being displayed

  // Block stack (conditionals and condition loops).
  int8_t blockDepth = 0;
  std::array<uint8_t, kStackLevels> blockSavedLoopDepth{};
  std::array<int32_t, kStackLevels> blockStart{};
  std::array<int32_t, kStackLevels> blockExit{};
  uint8_t reservedA = 0;

  // Call stack.
  int8_t callDepth = 0;
  std::array<uint8_t, kStackLevels> callSavedBlockDepth{};
  std::array<uint8_t, kStackLevels> callSavedLoopDepth{};
  std::array<int32_t, kStackLevels> returnPosition{};
  std::array<uint16_t, kStackLevels> returnFile{};
  std::array<CallValues, kStackLevels> parameters;    // by call level
  std::array<CallValues, kStackLevels> returnValues;  // by call level

  // Counted-loop stack; counters and limits are indexed by level 1..16.
  int8_t loopDepth = 0;
  std::array<uint8_t, kStackLevels> loopSavedBlockDepth{};
  std::array<int32_t, kStackLevels> loopBodyStart{};
  std::array<int32_t, kStackLevels> loopEnd{};
  std::array<int64_t, kStackLevels + 1> loopCounter{};
  std::array<int64_t, kStackLevels + 1> loopLimit{};
  uint8_t reservedB = 0;

  int32_t line = 0;
  int32_t messageOperand = 0;
  uint8_t enableA = 1, enableB = 1;  // runs only while (A & B) != 0
  int32_t waitFrames = 0;
  uint32_t wakeTime = 0;             // timer ms; 0 = no timed wait

  // The current script file's regions (inside its kept image).
  const uint8_t* code = nullptr;
  const uint8_t* expressions = nullptr;
  int32_t codeSize = 0;
  int32_t expressionSize = 0;
  bool hasCode = false;  // false: the file could not be loaded; the context stays still
  int32_t position = 0;
  uint16_t file = 0;
};

// The expression `record` names, when it lies inside the context's
// expression region (false otherwise; nothing is reported).
inline bool RecordExpression(const ScriptContext& c, const ArgRecord& record, std::span<const uint8_t>& out) {
  // Unsigned compares also refuse negative offsets and lengths.
  const uint32_t offset = static_cast<uint32_t>(record.offset), length = static_cast<uint32_t>(record.length);
  const uint32_t size = static_cast<uint32_t>(c.expressionSize);
  if (offset > size || length > size - offset) return false;
  out = {c.expressions + record.offset, static_cast<size_t>(record.length)};
  return true;
}

// Makes a context for `node` (both enable bytes 1) and gives it to the node.
ScriptContext* NewContext(NameNode& node);

// The context a node carries, or null.
inline ScriptContext* ContextOf(NameNode* node) {
  return node != nullptr ? static_cast<ScriptContext*>(node->payload.get()) : nullptr;
}
inline const ScriptContext* ContextOf(const NameNode* node) {
  return node != nullptr ? static_cast<const ScriptContext*>(node->payload.get()) : nullptr;
}

// Points the context at script file `file` (loading it on first entry)
// when it is not there already. False when the file is not usable (it was
// reported); the context then has no code and stays still.
bool EnterFile(Engine& engine, ScriptContext& context, uint16_t file);
// The same without the "already there" shortcut (start-up, new contexts).
bool PlaceInFile(Engine& engine, ScriptContext& context, uint16_t file);

// Creates the context tree's fixed part: under the root an empty-named
// folder with key 100, and before it the leaf "SYSTEM" (key 100, system
// flag). Does nothing when "SYSTEM" already exists.
void CreateContextTree(Engine& engine);

// The "SYSTEM" context at the top of the context tree, or null.
ScriptContext* SystemContext(Engine& engine);

}  // namespace vv::script
