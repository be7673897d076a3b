// The variable slot table: numbered variables, each an array (a scalar is
// an array of one element) of integers, floats or texts. Numbers 0..999 are
// system variables whose values the engine produces on read; 1000 and up
// are the script's own and must be declared before they are read.
//
// Every function here reports its failures itself (halt) and returns 0 or
// -1; reads never fail (an element outside the variable reads as 0, 0.0 or
// the empty text). Threading: the frame thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/values.h"

namespace vv {
struct Engine;
}

namespace vv::script {

constexpr int32_t kFirstScriptVariable = 1000;
constexpr int kMaxDimensions = 8;
constexpr int64_t kMaxElements = 4000000;
// A text element holds at most this many bytes; longer stores are cut at a
// character boundary.
constexpr size_t kMaxTextElement = 65534;
// The bytes one text declaration may allocate (elements times the initial
// text): beyond it the declaration fails as out of memory instead of
// letting the system overcommit.
constexpr int64_t kMaxTextDeclarationBytes = int64_t{256} << 20;

constexpr int32_t kErrTooManyElements = 101100;
constexpr int32_t kErrNoElements = 101110;
constexpr int32_t kErrWrongVariableType = 101140;
constexpr int32_t kErrReadOnlySystemVariable = 101150;

struct VariableSlot {
  uint8_t type = kTypeNone;
  uint8_t dimensionCount = 0;            // 0 = scalar
  std::array<int32_t, kMaxDimensions> sizes{};
  int64_t elementCount = 0;              // product of the sizes; 1 for a scalar
  std::vector<int64_t> integers;         // type 1
  std::vector<double> floats;            // type 2
  std::vector<std::string> texts;        // type 3; capacities only grow
};

// The slot of variable `number`, or null outside 0..V.
VariableSlot* FindSlot(Engine& engine, int64_t number);
inline VariableSlot* FindSlotIn(std::vector<VariableSlot>& slots, int64_t number) {
  return number >= 0 && static_cast<uint64_t>(number) < slots.size() ? &slots[static_cast<size_t>(number)] : nullptr;
}

// Multiplies the sizes into the element count: more than 4,000,000 reports
// 101100 (parameter 4000000); a size of 0 or below reports 101110.
int ComputeElementCount(Engine& engine, int32_t number);

// Set the type, count the elements, (re)allocate the array and fill every
// element with `initial`. The caller sets the dimension count and sizes
// first. Out of memory: 100010.
int DeclareInteger(Engine& engine, int32_t number, int64_t initial);
int DeclareFloat(Engine& engine, int32_t number, double initial);
int DeclareText(Engine& engine, int32_t number, std::string_view initial);

// Element `index` of variable `number`, converted to the wanted type. For
// system variables (below 1000) the engine's value; the index selects a
// sub-value there. The text view stays valid until the next text read of a
// system variable or a change of the variable.
int64_t ReadInteger(Engine& engine, int32_t number, int64_t index);
double ReadFloat(Engine& engine, int32_t number, int64_t index);
std::string_view ReadText(Engine& engine, int32_t number, int64_t index);

// The type reads of `number` use: the declared type, or for an undeclared
// system variable the type of its value.
uint8_t VariableTypeOf(Engine& engine, int32_t number);

// Stores a text into a text element. Not a text variable: 101140 (halt);
// an element outside the variable: -1 without a report.
int StoreText(Engine& engine, int32_t number, int64_t index, std::string_view text);
int StoreTextZ(Engine& engine, int32_t number, int64_t index, const char* text);

// Stores a command's numeric result: an integer variable takes the integer
// (a double truncated toward zero), a float variable the double. Any other
// type: 101140 (halt). An element outside the variable: -1, no report.
int StoreIntegerResult(Engine& engine, int32_t number, int64_t index, int64_t value);
int StoreFloatResult(Engine& engine, int32_t number, int64_t index, double value);

// Row-major element index of `subscripts` in `slot` (subscripts beyond the
// given ones count as 0). The caller has checked them.
int64_t ElementIndex(const VariableSlot& slot, const int64_t* subscripts, int count);

}  // namespace vv::script
