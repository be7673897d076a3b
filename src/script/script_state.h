// The script machine's state inside the Engine: the compiled files, the
// variables, the evaluator, the interpreter and the four object trees.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "script/evaluator.h"
#include "script/interpreter.h"
#include "script/name_tree.h"
#include "script/script_files.h"
#include "script/script_random.h"
#include "script/variables.h"

namespace vv::script {

struct ScriptState {
  ScriptState();

  CompiledScript compiled;
  std::vector<VariableSlot> variables;  // slots 0..V
  EvaluatorState eval;
  InterpreterState interp;
  NameTrees trees;
  ScriptRandom random;  // the math command's random integers

  // Contexts that left the tree (ended by a return or deleted) wait here
  // until no pass is using them.
  std::vector<std::unique_ptr<NameNode>> endedContexts;

  // Scratch of the system text reads and of the declaration and
  // assignment commands (kept so that warm commands allocate nothing).
  std::string systemText;
  std::unique_ptr<char[]> declarationText;  // kEvalTextBytes
  std::string assignText;
};

}  // namespace vv::script
