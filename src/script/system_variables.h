// System variables 0..999: values the engine produces when a script reads
// them (time, paths, the command line, the running context's loop counter
// and call parameters, the trees' current folders, input state ...), and
// the few that accept writes.
//
// A system variable reads with the type its slot was declared with; an
// undeclared one with the type of its value (SystemValueType). Integer
// system variables take the element index as a sub-value selector.
// Threading: the frame thread only.
#pragma once

#include <cstdint>
#include <string_view>

namespace vv {
struct Engine;
}

namespace vv::script {

// The type of system variable `number`'s value: float for 10, 35 and 39,
// text for 12, 14, 36, 40, 50, 51, 58, 59, 61 and 63..67, else integer.
uint8_t SystemValueType(int32_t number);

int64_t ReadSystemInteger(Engine& engine, int32_t number, int64_t element);
double ReadSystemFloat(Engine& engine, int32_t number, int64_t element);
// The view stays valid until the next system text read.
std::string_view ReadSystemText(Engine& engine, int32_t number, int64_t element);

// Assignments to system variables (the assignment operator is ignored).
// A variable that takes no writes reports 101150 (halt) and gives -1.
int WriteSystemInteger(Engine& engine, int32_t number, int64_t element, int64_t value);
int WriteSystemText(Engine& engine, int32_t number, int64_t element, std::string_view text);

// What a write to a key's hold counter stores: while the key is held only a
// positive value sticks, while it is up only a negative one; anything else
// stores 0.
int64_t KeyHoldWriteValue(bool held, int64_t value);

// The key code behind key variable `number` (78, 81..348, 349..481) and
// `element`, or -1 when the variable names none.
int32_t KeyCodeOfVariable(Engine& engine, int32_t number, int64_t element);

}  // namespace vv::script
