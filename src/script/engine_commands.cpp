// The commands that end the program and set the frame rate.
#include "resource/error_reporter.h"
#include "script/interpreter.h"
#include "script/script_commands.h"
#include "script/script_files.h"
#include "shell/engine.h"

namespace vv::script {

namespace {
constexpr int kEndRestart = 0;
constexpr int kRateFrames = 0, kRateSkip = 1;
}  // namespace

int8_t EndCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  if (a.Has(kEndRestart)) engine.shell.flags.restartOnExit = static_cast<uint8_t>(a.Number(kEndRestart)) != 0;
  engine.shell.flags.halted = true;
  return 0;
}

int8_t FrameRateCommand(Engine& engine) {
  if (PrepareArgs(engine) != 0) return -1;
  const CommandArgs& a = engine.script.interp.args;
  shell::FrameClockState& clock = engine.shell.clock;
  if (a.Has(kRateFrames)) {
    // Pacing divides by the rate, so a rate below 1 is refused.
    const int32_t rate = static_cast<int32_t>(a.Number(kRateFrames));
    if (rate < 1) {
      const uint8_t command = engine.script.interp.current.index;
      resource::ReportError(engine, kErrBelowMinimum, true,
                            {CommandName(engine, command), ArgumentName(engine, command, kRateFrames),
                             static_cast<long long>(a.Number(kRateFrames)), 1});
      return -1;
    }
    clock.framesPerSecond = rate;
  }
  if (a.Has(kRateSkip)) clock.frameSkipEnabled = static_cast<uint32_t>(a.Number(kRateSkip));
  return 0;
}

}  // namespace vv::script
