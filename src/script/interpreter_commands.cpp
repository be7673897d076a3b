// The commands that steer the interpreter itself: waiting, the engine
// switches, the option flags, and the commands that only evaluate, skip or
// do nothing.
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_commands.h"
#include "shell/engine.h"

namespace vv::script {

namespace {
constexpr int kWaitFrames = 0, kWaitMs = 1;
constexpr int kSwitchScreenSaver = 0, kSwitchRunInactive = 1;
constexpr int kFirstFlagArg = 2, kLastFlagArg = 92;
}  // namespace

int8_t WaitCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  ScriptContext& c = *engine.script.interp.current.context;
  if (a.Has(kWaitFrames) && a.Number(kWaitFrames) != 0) {
    // A negative count waits no pass (the context still yields this one).
    const int32_t frames = static_cast<int32_t>(a.Number(kWaitFrames));
    c.waitFrames = frames > 0 ? frames : 0;
    return 1;
  }
  if (a.Has(kWaitMs) && a.Number(kWaitMs) != 0) {
    const uint32_t wake = engine.platform.clock->NowMs() + static_cast<uint32_t>(a.Number(kWaitMs));
    c.wakeTime = wake != 0 ? wake : 1;  // 0 would mean "no timed wait"
    return 1;
  }
  return 0;
}

int8_t EngineSwitchCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  InterpreterState& in = engine.script.interp;
  const CommandArgs& a = in.args;
  if (a.Has(kSwitchScreenSaver)) in.blockScreenSaver = static_cast<uint8_t>(a.Number(kSwitchScreenSaver));
  if (a.Has(kSwitchRunInactive) && in.mainWindowActive) {
    in.runWhileInactive = static_cast<uint8_t>(a.Number(kSwitchRunInactive));
  }
  return 0;
}

int8_t OptionFlagsCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  InterpreterState& in = engine.script.interp;
  for (int id = kFirstFlagArg; id <= kLastFlagArg; ++id) {
    if (in.args.Has(id)) in.optionFlags[static_cast<size_t>(id - kFirstFlagArg)] = static_cast<uint8_t>(in.args.Number(id));
  }
  return 0;
}

int8_t EvaluateOnlyCommand(Engine& engine) { return PrepareArgs(engine) != 0 ? -1 : 0; }

int8_t SkipArgumentsCommand(Engine& engine) { return SkipArgRecords(engine) != 0 ? -1 : 0; }

int8_t NoOperationCommand(Engine&) { return 0; }

}  // namespace vv::script
