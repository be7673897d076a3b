// The variable-information command: a variable's type, its dimensions and
// their sizes, and the characters of one of its text elements. The first
// selector present decides; the answer is stored as an integer.
//
// The text queries read only text variables (108220 for a number
// variable); an element outside the variable reads as the empty text.
#include <string_view>

#include "common/sjis.h"
#include "resource/error_reporter.h"
#include "script/command_results.h"
#include "script/script_files.h"
#include "script/value_commands.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr int32_t kErrEmptyText = 101450;
constexpr uint8_t kCmdVariableInfo = 78;

enum InfoArg : int { kVariable = 0, kTarget = 1, kType = 2, kCharWidth = 3, kDimensions = 4, kFirstSize = 5,
                     kLastSize = 12, kCharCount = 13 };

int64_t CountCharacters(std::string_view text) {
  int64_t count = 0;
  for (size_t i = 0; i < text.size(); i += common::SjisCharLength(text, i)) ++count;
  return count;
}

}  // namespace

int8_t VariableInfoCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  const ArgSlot& v = a.Get(kVariable);
  const ArgSlot& out = a.Get(kTarget);
  const VariableSlot* slot = FindSlot(engine, v.variable);
  const uint8_t type = VariableTypeOf(engine, v.variable);

  for (int selector = kType; selector <= kCharCount; ++selector) {
    if (!a.Has(selector)) continue;
    if (selector == kType) return static_cast<int8_t>(StoreIntegerTo(engine, out, type));
    if (selector == kDimensions) return static_cast<int8_t>(StoreIntegerTo(engine, out, slot != nullptr ? slot->dimensionCount : 0));
    if (selector >= kFirstSize && selector <= kLastSize) {
      const int32_t size = slot != nullptr ? slot->sizes[static_cast<size_t>(selector - kFirstSize)] : 0;
      return static_cast<int8_t>(StoreIntegerTo(engine, out, size));
    }
    // The two text queries.
    if (type != kTypeText) return static_cast<int8_t>(resource::ReportError(engine, kErrNotTextVariable, true));
    const std::string_view text = ReadText(engine, v.variable, v.element);
    if (selector == kCharCount) return static_cast<int8_t>(StoreIntegerTo(engine, out, CountCharacters(text)));
    if (text.empty()) {
      return static_cast<int8_t>(resource::ReportError(
          engine, kErrEmptyText, true,
          {CommandName(engine, kCmdVariableInfo), ArgumentName(engine, kCmdVariableInfo, kCharWidth)}));
    }
    return static_cast<int8_t>(StoreIntegerTo(engine, out, common::IsSjisLead(static_cast<uint8_t>(text[0])) ? 2 : 1));
  }
  return 0;
}

}  // namespace vv::script
