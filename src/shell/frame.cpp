// The frame loop: pumping window events, one frame in its order, and the
// orderly end of the program.
#include "shell/engine.h"
#include "shell/main_window.h"
#include "shell/pacing.h"
#include "shell/program.h"
#include "shell/stages.h"

namespace vv::shell {

void BeginFrame(Engine& engine) {
  ++engine.shell.clock.frameNumber;
  engine.platform.FrameStarted(engine.shell.clock.frameNumber);
}

bool RunFrame(Engine& engine) {
  ShellState& sh = engine.shell;
  platform::Platform& p = engine.platform;
  if (sh.flags.paused) return false;
  if (sh.flags.halted) return true;

  stages::UpdateInputState(engine);

  // Interpreter passes; a pass may ask for another one in the same frame.
  do {
    sh.flags.rerunRequested = false;
    ++sh.clock.passCounter;
    if (stages::RunInterpreter(engine) != 0) sh.flags.halted = true;
    if (sh.flags.halted) return true;
  } while (sh.flags.rerunRequested);

  if (!sh.flags.firstFrameShown) {
    sh.flags.firstFrameShown = true;
    if (engine.windows[0].created) p.display->Show(0, platform::ShowMode::Show);
  }

  const bool skip = PaceFrame(sh.clock, *p.clock);
  stages::UpdateFullScreenMenuBar(engine);
  if (!skip && !stages::MovieCoversScreen(engine)) {
    if (stages::PresentWindows(engine) != 0 || sh.flags.halted) return true;
    stages::ResetDirtyState(engine);
  }
  if (sh.popup.menuIndex != 0) stages::OpenRequestedPopup(engine);

  p.FrameEnded(sh.clock.frameNumber);
  // A run limited to N frames ends after the N-th as a confirmed close
  // would: nothing is asked.
  if (sh.frameLimit != 0 && sh.clock.frameNumber >= sh.frameLimit) sh.flags.halted = true;
  return sh.flags.halted;
}

void PumpEvents(Engine& engine) {
  platform::Platform& p = engine.platform;
  if (p.instanceGuard && p.instanceGuard->TakeRaiseRequest()) {
    platform::Event raise;
    raise.type = platform::EventType::RaiseRequest;
    HandleWindowEvent(engine, raise);
  }
  platform::Event event;
  while (engine.shell.flags.running && p.events->Poll(event)) HandleWindowEvent(engine, event);
}

void MainLoop(Engine& engine) {
  ShellState& sh = engine.shell;
  platform::Platform& p = engine.platform;
  PumpEvents(engine);
  while (sh.flags.running) {
    if (sh.flags.halted) {
      p.clock->SleepMs(1);
    } else {
      // The frame's number is known before its events are taken, so that
      // scripted input lands in the frame it names.
      if (!sh.flags.paused && !sh.flags.scriptOnWorkerThread) {
        BeginFrame(engine);
        PumpEvents(engine);
      }
      if (p.input) p.input->Sample(sh.sampledKeys);
      if (sh.flags.scriptOnWorkerThread) {
        p.clock->SleepMs(1);
      } else if (RunFrame(engine)) {
        EndProgram(engine);
      }
    }
    PumpEvents(engine);
  }
}

void EndProgram(Engine& engine) {
  engine.shell.flags.halted = true;
  // The window's fill colour is black; our back buffers already are.
  engine.windows[0].closeState = CloseState::ProgramEnd;
  platform::Event close;
  close.type = platform::EventType::Close;
  close.window = 0;
  engine.platform.events->Post(close);
}

}  // namespace vv::shell
