// The context commands: creating script contexts at labels, re-keying and
// enabling them, restoring a state text into one, deleting them and
// querying them.
//
// A deleted context leaves the tree at once and is freed after the pass
// (a pass may still hold its node), the same way a context that returns
// from its top level ends.
#include <string>

#include "resource/error_reporter.h"
#include "script/command_results.h"
#include "script/context.h"
#include "script/context_state.h"
#include "script/script_files.h"
#include "script/value_commands.h"
#include "script/values.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr int32_t kErrContextFolderName = 101293;
constexpr int32_t kErrNoContext = 101400;
constexpr int32_t kErrContextExists = 101410;
constexpr int32_t kErrDeleteSystemContext = 101420;

enum ContextArg : int { kName = 0, kNumber = 1, kEnableA = 2, kEnableB = 3, kOrder = 4, kLabel = 5, kState = 6,
                        kRunNow = 8 };
enum InfoArg : int { kTarget = 2, kExists = 3, kQueryEnableA = 4, kQueryEnableB = 5, kQueryOrder = 6,
                     kFileName = 7, kFileNumber = 8, kLine = 9, kMessageOperand = 10, kBlockDepth = 13,
                     kCallDepth = 14, kLoopDepth = 15, kQueryState = 16 };

NameNode& ContextRoot(Engine& engine) { return *engine.script.trees[TreeId::kContexts].root; }

bool Named(const CommandArgs& a) { return a.Has(kName) || a.Has(kNumber); }

// The composed path of the name arguments; -1 after a report, else what
// ComposePath returned (1: the path names a folder).
int ContextPath(Engine& engine, std::string& path) {
  return ComposeArgumentPath(engine, path, kName, kNumber, TreeId::kContexts);
}

// The leaf `path` names, or null; `missingFolder` tells a report from a
// plain absence.
NameNode* FindContext(Engine& engine, std::string_view path, bool& missingFolder) {
  missingFolder = ResolveFolder(engine, path, ContextRoot(engine)) == nullptr;
  return missingFolder ? nullptr : FindNode(engine, ContextRoot(engine), path, kFindLeaf);
}

// The order key after argument 4's operator: set, add, subtract, multiply
// or divide (a divisor of 0 leaves the key); subtract, multiply and divide
// never go below 1. Kept as a 32-bit value.
int64_t ApplyOrder(int64_t key, uint8_t op, int64_t v) {
  switch (op) {
    case 1: key = WrapAdd(key, v); break;
    case 2: key = WrapSub(key, v); break;
    case 3: key = WrapMul(key, v); break;
    case 4:
      if (v == 0) return key;
      key = SafeDiv(key, v);
      break;
    default: key = v; break;
  }
  if (op >= 2 && op <= 4 && key < 1) key = 1;
  return static_cast<int32_t>(static_cast<uint32_t>(key));
}

// Detaches the node into the contexts freed after the pass.
void EndContext(Engine& engine, NameNode& node) {
  if (node.parent != nullptr) engine.script.endedContexts.push_back(DetachNode(node));
}

}  // namespace

int8_t ContextCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  ScriptState& s = engine.script;
  const CommandArgs& a = s.interp.args;
  const std::string_view command = CommandName(engine, s.interp.current.index);

  std::string path;
  NameNode* node = s.interp.current.node;
  if (Named(a)) {
    const int kind = ContextPath(engine, path);
    if (kind < 0) return -1;
    if (kind == 1) return static_cast<int8_t>(resource::ReportError(engine, kErrContextFolderName, true, {command, path}));
    bool missingFolder = false;
    node = FindContext(engine, path, missingFolder);
    if (missingFolder) return -1;
  }
  ScriptContext* context = ContextOf(node);
  const bool exists = context != nullptr;

  int64_t key = a.Has(kNumber) ? a.Number(kNumber) : -1;
  if (a.Has(kOrder)) {
    const ArgSlot& order = a.Get(kOrder);
    key = ApplyOrder(exists ? node->key : 1, static_cast<uint8_t>(order.assignOp), order.number);
    if (exists) ReKey(*node, key);
  }

  if (exists && a.Has(kLabel)) return static_cast<int8_t>(resource::ReportError(engine, kErrContextExists, true, {command, path}));
  if (!exists && !a.Has(kLabel)) return static_cast<int8_t>(resource::ReportError(engine, kErrNoContext, true, {command, path}));
  if (!exists) {
    if (key == -1) key = 1;
    const std::string_view labelName = a.Get(kLabel).Text();
    const LabelEntry* label = LabelAt(engine, FindLabel(engine, labelName));
    if (label == nullptr) return static_cast<int8_t>(resource::ReportError(engine, kErrLabelMissing, true, {labelName}));
    node = NewNodeFromPath(engine, path, kLeafNode, key, ContextRoot(engine), nullptr);
    if (node == nullptr) return -1;
    context = NewContext(*node);
    context->position = label->position;
    if (!PlaceInFile(engine, *context, label->file)) return -1;
  }

  if (a.Has(kEnableA)) context->enableA = static_cast<uint8_t>(a.Number(kEnableA));
  if (a.Has(kEnableB)) context->enableB = static_cast<uint8_t>(a.Number(kEnableB));

  if (a.Has(kState)) {
    if (DecodeContextState(engine, a.Get(kState).Text(), *context) != 0) return -1;
    if (!EnterFile(engine, *context, context->file)) return -1;
  }

  if (a.Has(kRunNow)) engine.shell.flags.rerunRequested = true;
  return 0;
}

int8_t ContextDeleteCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  ScriptState& s = engine.script;
  const CommandArgs& a = s.interp.args;
  const std::string_view command = CommandName(engine, s.interp.current.index);
  NameNode* running = s.interp.current.node;

  NameNode* node = running;
  if (Named(a)) {
    std::string path;
    if (ContextPath(engine, path) < 0) return -1;
    if (path == kSystemContextName) return static_cast<int8_t>(resource::ReportError(engine, kErrDeleteSystemContext, true, {command}));
    bool missingFolder = false;
    node = FindContext(engine, path, missingFolder);
    if (missingFolder) return -1;
    if (node == nullptr) return static_cast<int8_t>(resource::ReportError(engine, kErrNoContext, true, {command, path}));
  }
  const ScriptContext* context = ContextOf(node);
  if (context == nullptr || context->system) {
    return static_cast<int8_t>(resource::ReportError(engine, kErrDeleteSystemContext, true, {command}));
  }
  EndContext(engine, *node);
  // A context that deletes itself stops at once, whichever way it named
  // itself.
  return node == running ? -1 : 0;
}

int8_t ContextInfoCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  ScriptState& s = engine.script;
  const CommandArgs& a = s.interp.args;
  const ArgSlot& out = a.Get(kTarget);

  NameNode* node = s.interp.current.node;
  if (Named(a)) {
    std::string path;
    if (ContextPath(engine, path) < 0) return -1;
    bool missingFolder = false;
    node = FindContext(engine, path, missingFolder);
    if (missingFolder) return -1;
  }
  const ScriptContext* c = ContextOf(node);
  if (c == nullptr) {
    // Whatever the query, a missing context reads as nothing.
    switch (VariableTypeOf(engine, out.variable)) {
      case kTypeText: return static_cast<int8_t>(StoreTextTo(engine, out, {}));
      case kTypeFloat: return static_cast<int8_t>(StoreFloatTo(engine, out, 0.0));
      default: return static_cast<int8_t>(StoreIntegerTo(engine, out, 0));
    }
  }

  static constexpr int kQueries[] = {kExists,        kQueryEnableA,   kQueryEnableB, kQueryOrder,
                                     kFileName,      kLine,           kMessageOperand, kBlockDepth,
                                     kCallDepth,     kLoopDepth,      kFileNumber,   kQueryState};
  for (const int query : kQueries) {
    if (!a.Has(query)) continue;
    switch (query) {
      case kExists: return static_cast<int8_t>(StoreIntegerTo(engine, out, 1));
      case kQueryEnableA: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->enableA));
      case kQueryEnableB: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->enableB));
      case kQueryOrder: return static_cast<int8_t>(StoreIntegerTo(engine, out, node->key));
      case kLine: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->line));
      case kMessageOperand: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->messageOperand));
      case kBlockDepth: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->blockDepth));
      case kCallDepth: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->callDepth));
      case kLoopDepth: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->loopDepth));
      case kFileNumber: return static_cast<int8_t>(StoreIntegerTo(engine, out, c->file));
      case kFileName: return static_cast<int8_t>(StoreTextTo(engine, out, ScriptFileName(engine, c->file)));
      default: {
        std::string state;
        EncodeContextState(engine, *c, state);
        return static_cast<int8_t>(StoreTextTo(engine, out, state));
      }
    }
  }
  return 0;
}

}  // namespace vv::script
