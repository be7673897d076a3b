#include "script/command_results.h"

#include "resource/error_reporter.h"
#include "script/values.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

bool HoldsNumbers(Engine& engine, int32_t variable) {
  const VariableSlot* slot = FindSlot(engine, variable);
  return slot != nullptr && (slot->type == kTypeInteger || slot->type == kTypeFloat);
}

}  // namespace

int StoreIntegerTo(Engine& engine, const ArgSlot& out, int64_t value) {
  if (!HoldsNumbers(engine, out.variable)) return resource::ReportError(engine, kErrWrongVariableType, true);
  StoreIntegerResult(engine, out.variable, out.element, value);
  return 0;
}

int StoreFloatTo(Engine& engine, const ArgSlot& out, double value) {
  if (!HoldsNumbers(engine, out.variable)) return resource::ReportError(engine, kErrWrongVariableType, true);
  StoreFloatResult(engine, out.variable, out.element, value);
  return 0;
}

int StoreTextTo(Engine& engine, const ArgSlot& out, std::string_view text) {
  const VariableSlot* slot = FindSlot(engine, out.variable);
  if (slot == nullptr || slot->type != kTypeText) return resource::ReportError(engine, kErrWrongVariableType, true);
  if (out.element < 0 || out.element >= slot->elementCount) return 0;
  return StoreText(engine, out.variable, out.element, text);  // -1 only when memory ran out (reported)
}

std::span<const uint8_t> RawOperand(const ArgSlot& slot) {
  if (slot.raw == nullptr || slot.exprLength <= 0) return {};
  return {slot.raw, static_cast<size_t>(slot.exprLength)};
}

bool EvaluationFailed(const Engine& engine, const ArgSlot& slot) {
  return engine.script.eval.failed || slot.exprType < 1 || slot.exprType > 4;
}

int ComposeArgumentPath(Engine& engine, std::string& out, int nameId, int numberId, TreeId tree) {
  const CommandArgs& a = engine.script.interp.args;
  std::string name(a.Get(nameId).Text());
  if (a.Has(numberId)) {
    name += '.';
    name += IntegerToText(a.Number(numberId));
  }
  return ComposePath(engine, out, name, engine.script.trees[tree].currentFolder, false);
}

}  // namespace vv::script
