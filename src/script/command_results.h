// How the value commands write their results into the output variable an
// argument references, and read their raw operands. Shared by the context,
// math, text and variable-information commands.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "script/interpreter.h"
#include "script/name_tree.h"

namespace vv {
struct Engine;
}

namespace vv::script {

constexpr int32_t kErrNotTextVariable = 108220;

// Store a number into the element `out` references: 0, or -1 after the
// type report (101140). An element outside the variable stores nothing and
// still gives 0, as the result stores do.
int StoreIntegerTo(Engine& engine, const ArgSlot& out, int64_t value);
int StoreFloatTo(Engine& engine, const ArgSlot& out, double value);
// Store a text: 0, or -1 after the type report (101140).
int StoreTextTo(Engine& engine, const ArgSlot& out, std::string_view text);

// The path an object command names: the text of argument `nameId`, with
// "." and the decimal value of argument `numberId` appended when that one
// is given, composed against the current folder of `tree` (spaces not
// allowed). What ComposePath returns: -1 after a report, 1 when the path
// names a folder, else 0.
int ComposeArgumentPath(Engine& engine, std::string& out, int nameId, int numberId, TreeId tree);

// The expression of a raw argument (empty when the argument is absent).
std::span<const uint8_t> RawOperand(const ArgSlot& slot);

// Whether the last evaluation went wrong (reported): a failed run, or an
// ExprType the evaluator entries do not know.
bool EvaluationFailed(const Engine& engine, const ArgSlot& slot);

}  // namespace vv::script
