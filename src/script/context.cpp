#include "script/context.h"

#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::script {

namespace {
constexpr int64_t kFixedContextKey = 100;
}

ScriptContext* NewContext(NameNode& node) {
  auto context = std::make_unique<ScriptContext>();
  context->node = &node;
  ScriptContext* raw = context.get();
  node.payload = std::move(context);
  return raw;
}

bool PlaceInFile(Engine& engine, ScriptContext& context, uint16_t file) {
  context.file = file;
  context.hasCode = false;
  context.code = context.expressions = nullptr;
  context.codeSize = context.expressionSize = 0;
  if (EnsureScriptFileLoaded(engine, file) == 0) return false;
  const ScriptFile& f = engine.script.compiled.files[file];
  context.code = f.code;
  context.expressions = f.expressions;
  context.codeSize = f.codeSize;
  context.expressionSize = f.expressionSize;
  context.hasCode = true;
  return true;
}

bool EnterFile(Engine& engine, ScriptContext& context, uint16_t file) {
  if (file == context.file && context.hasCode) return true;
  return PlaceInFile(engine, context, file);
}

void CreateContextTree(Engine& engine) {
  NameNode& root = *engine.script.trees[TreeId::kContexts].root;
  if (ContextOf(&root) == nullptr) {
    // The root's context never runs; it only carries the enable bytes a
    // pass looks at.
    NewContext(root);
  }
  if (SystemContext(engine) != nullptr) return;

  auto folder = std::make_unique<NameNode>();
  folder->kind = kFolderNode;
  NewContext(*folder);
  InsertChild(root, folder.release(), kFixedContextKey);

  auto system = std::make_unique<NameNode>();
  SetNodeName(*system, kSystemContextName);
  system->kind = kLeafNode;
  NewContext(*system)->system = 1;
  // Equal keys put the newer node first: "SYSTEM" lands before the folder.
  InsertChild(root, system.release(), kFixedContextKey);
}

ScriptContext* SystemContext(Engine& engine) {
  const NameNode& root = *engine.script.trees[TreeId::kContexts].root;
  for (NameNode* at = root.firstChild; at != nullptr; at = at->next) {
    if (at->kind == kLeafNode && at->name == kSystemContextName) {
      ScriptContext* c = ContextOf(at);
      if (c != nullptr && c->system) return c;
    }
  }
  return nullptr;
}

}  // namespace vv::script
