// The handlers of the context commands and of the math, text and
// variable-information commands, by command index. Each is a
// CommandHandler (interpreter.h): 0 to go on, -1 after a reported failure
// or when the running context was deleted.
//
// Output variables are arguments whose expression references a variable
// element; a number goes into an integer variable as an integer (a float
// result truncated toward zero) and into a float variable as a double,
// anything else reports 101140. An element outside the variable stores
// nothing and reports nothing.
#pragma once

#include <cstdint>

namespace vv {
struct Engine;
}

namespace vv::script {

// Contexts: addressed by argument 0 (text) and, when given, "." and
// argument 1; without either, the running context.
int8_t ContextCommand(Engine& engine);        // 70: create, re-key, enable, restore
int8_t ContextDeleteCommand(Engine& engine);  // 71
int8_t ContextInfoCommand(Engine& engine);    // 72

// Math, text and variable information.
int8_t MathCommand(Engine& engine);           // 42
int8_t TextCommand(Engine& engine);           // 77
int8_t VariableInfoCommand(Engine& engine);   // 78

}  // namespace vv::script
