#include "script/variables.h"

#include <cstring>
#include <new>

#include "common/sjis.h"
#include "resource/error_reporter.h"
#include "script/script_files.h"
#include "script/system_variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

// The slot of a script variable ready to hold `type`, or null (reported
// when the declaration failed).
template <typename Fill>
int Declare(Engine& engine, int32_t number, uint8_t type, Fill fill) {
  if (ComputeElementCount(engine, number) != 0) return -1;
  VariableSlot* slot = FindSlot(engine, number);
  try {
    // Re-declaring frees the previous arrays of every type, so a slot never
    // holds two.
    std::vector<int64_t>().swap(slot->integers);
    std::vector<double>().swap(slot->floats);
    std::vector<std::string>().swap(slot->texts);
    fill(*slot);
  } catch (const std::bad_alloc&) {
    slot->type = kTypeNone;
    return resource::ReportError(engine, resource::kOutOfMemory, true);
  }
  slot->type = type;
  return 0;
}

bool InRange(const VariableSlot& slot, int64_t index) { return index >= 0 && index < slot.elementCount; }

std::string_view CutText(std::string_view text) {
  return text.size() <= kMaxTextElement ? text : text.substr(0, common::SjisPrefixLength(text, kMaxTextElement));
}

}  // namespace

VariableSlot* FindSlot(Engine& engine, int64_t number) {
  std::vector<VariableSlot>& v = engine.script.variables;
  return number >= 0 && static_cast<uint64_t>(number) < v.size() ? &v[static_cast<size_t>(number)] : nullptr;
}

int ComputeElementCount(Engine& engine, int32_t number) {
  VariableSlot* slot = FindSlot(engine, number);
  if (slot == nullptr) return resource::ReportError(engine, kErrBadDeclaration, true);
  // Every size must be positive; checking them before multiplying keeps the
  // product from wrapping.
  for (int i = 0; i < slot->dimensionCount; ++i) {
    if (slot->sizes[i] <= 0) return resource::ReportError(engine, kErrNoElements, true);
  }
  int64_t count = 1;
  for (int i = 0; i < slot->dimensionCount; ++i) {
    count *= slot->sizes[i];
    if (count > kMaxElements) return resource::ReportError(engine, kErrTooManyElements, true, {4000000});
  }
  slot->elementCount = count;
  return 0;
}

int DeclareInteger(Engine& engine, int32_t number, int64_t initial) {
  return Declare(engine, number, kTypeInteger, [&](VariableSlot& s) {
    s.integers.assign(static_cast<size_t>(s.elementCount), initial);
  });
}

int DeclareFloat(Engine& engine, int32_t number, double initial) {
  return Declare(engine, number, kTypeFloat, [&](VariableSlot& s) {
    s.floats.assign(static_cast<size_t>(s.elementCount), initial);
  });
}

int DeclareText(Engine& engine, int32_t number, std::string_view initial) {
  initial = CutText(initial);
  if (ComputeElementCount(engine, number) != 0) return -1;
  // A huge array of long texts fails as out of memory here rather than
  // being overcommitted by the system.
  const int64_t count = FindSlot(engine, number)->elementCount;
  if (count * static_cast<int64_t>(initial.size() + 1) > kMaxTextDeclarationBytes) {
    return resource::ReportError(engine, resource::kOutOfMemory, true);
  }
  return Declare(engine, number, kTypeText, [&](VariableSlot& s) {
    s.texts.resize(static_cast<size_t>(s.elementCount));
    for (std::string& t : s.texts) t.assign(initial);
  });
}

uint8_t VariableTypeOf(Engine& engine, int32_t number) {
  const VariableSlot* slot = FindSlot(engine, number);
  if (slot == nullptr) return kTypeNone;
  if (number < kFirstScriptVariable && slot->type == kTypeNone) return SystemValueType(number);
  return slot->type;
}

int64_t ReadInteger(Engine& engine, int32_t number, int64_t index) {
  if (number < kFirstScriptVariable) {
    switch (VariableTypeOf(engine, number)) {
      case kTypeFloat: return TruncateToInteger(ReadSystemFloat(engine, number, index));
      case kTypeText: return TextToInteger(ReadSystemText(engine, number, index));
      default: return ReadSystemInteger(engine, number, index);
    }
  }
  const VariableSlot* slot = FindSlot(engine, number);
  if (slot == nullptr || !InRange(*slot, index)) return 0;
  switch (slot->type) {
    case kTypeInteger: return slot->integers[static_cast<size_t>(index)];
    case kTypeFloat: return TruncateToInteger(slot->floats[static_cast<size_t>(index)]);
    case kTypeText: return TextToInteger(slot->texts[static_cast<size_t>(index)]);
    default: return 0;
  }
}

double ReadFloat(Engine& engine, int32_t number, int64_t index) {
  if (number < kFirstScriptVariable) {
    switch (VariableTypeOf(engine, number)) {
      case kTypeFloat: return ReadSystemFloat(engine, number, index);
      case kTypeText: return TextToFloat(ReadSystemText(engine, number, index));
      default: return static_cast<double>(ReadSystemInteger(engine, number, index));
    }
  }
  const VariableSlot* slot = FindSlot(engine, number);
  if (slot == nullptr || !InRange(*slot, index)) return 0.0;
  switch (slot->type) {
    case kTypeInteger: return static_cast<double>(slot->integers[static_cast<size_t>(index)]);
    case kTypeFloat: return slot->floats[static_cast<size_t>(index)];
    case kTypeText: return TextToFloat(slot->texts[static_cast<size_t>(index)]);
    default: return 0.0;
  }
}

std::string_view ReadText(Engine& engine, int32_t number, int64_t index) {
  if (number < kFirstScriptVariable) {
    switch (VariableTypeOf(engine, number)) {
      case kTypeText: return ReadSystemText(engine, number, index);
      case kTypeFloat: return engine.script.systemText = FloatToText(ReadSystemFloat(engine, number, index));
      default: return engine.script.systemText = IntegerToText(ReadSystemInteger(engine, number, index));
    }
  }
  const VariableSlot* slot = FindSlot(engine, number);
  if (slot == nullptr || slot->type != kTypeText || !InRange(*slot, index)) return {};
  return slot->texts[static_cast<size_t>(index)];
}

int StoreText(Engine& engine, int32_t number, int64_t index, std::string_view text) {
  VariableSlot* slot = FindSlot(engine, number);
  if (slot == nullptr || slot->type != kTypeText) return resource::ReportError(engine, kErrWrongVariableType, true);
  if (!InRange(*slot, index)) return -1;
  try {
    slot->texts[static_cast<size_t>(index)].assign(CutText(text));
  } catch (const std::bad_alloc&) {
    return resource::ReportError(engine, resource::kOutOfMemory, true);
  }
  return 0;
}

int StoreTextZ(Engine& engine, int32_t number, int64_t index, const char* text) {
  return StoreText(engine, number, index, text != nullptr ? std::string_view(text) : std::string_view());
}

int StoreIntegerResult(Engine& engine, int32_t number, int64_t index, int64_t value) {
  VariableSlot* slot = FindSlot(engine, number);
  const uint8_t type = slot != nullptr ? slot->type : kTypeNone;
  if (type != kTypeInteger && type != kTypeFloat) return resource::ReportError(engine, kErrWrongVariableType, true);
  if (!InRange(*slot, index)) return -1;
  if (type == kTypeInteger) slot->integers[static_cast<size_t>(index)] = value;
  else slot->floats[static_cast<size_t>(index)] = static_cast<double>(value);
  return 0;
}

int StoreFloatResult(Engine& engine, int32_t number, int64_t index, double value) {
  VariableSlot* slot = FindSlot(engine, number);
  const uint8_t type = slot != nullptr ? slot->type : kTypeNone;
  if (type != kTypeInteger && type != kTypeFloat) return resource::ReportError(engine, kErrWrongVariableType, true);
  if (!InRange(*slot, index)) return -1;
  if (type == kTypeInteger) slot->integers[static_cast<size_t>(index)] = TruncateToInteger(value);
  else slot->floats[static_cast<size_t>(index)] = value;
  return 0;
}

int64_t ElementIndex(const VariableSlot& slot, const int64_t* subscripts, int count) {
  int64_t index = 0;
  for (int j = 0; j < slot.dimensionCount; ++j) {
    const int64_t s = j < count ? static_cast<int64_t>(static_cast<uint32_t>(subscripts[j])) : 0;
    index = index * slot.sizes[j] + s;
  }
  return index;
}

}  // namespace vv::script
