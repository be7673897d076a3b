#include "shell/main_window.h"

#include "common/encoding.h"
#include "resource/error_reporter.h"
#include "shell/engine.h"

namespace vv::shell {

void PrepareWindowRecord(Engine& engine, int slot, const std::string& titleSjis) {
  WindowRecord& w = engine.windows[slot];
  w.title = titleSjis;
  w.open = true;
  w.closeState = CloseState::Ask;
  w.needsPresent = true;
}

bool CreateMainWindow(Engine& engine) {
  WindowRecord& w = engine.windows[0];
  w.clientWidth = engine.config.clientWidth;
  w.clientHeight = engine.config.clientHeight;
  w.framed = engine.config.framedWindow == 1;
  w.maximizeBox = engine.config.maximizeBox != 0;
  platform::WindowDesc desc;
  desc.client = {w.clientWidth, w.clientHeight};
  desc.titleSjis = w.title;
  desc.framed = w.framed;
  desc.maximizeBox = w.maximizeBox;
  w.created = engine.platform.display->CreateWindow(0, desc);
  return w.created;
}

int SetFullScreen(Engine& engine, uint8_t state) {
  RunFlags& flags = engine.shell.flags;
  if (state == flags.fullScreenState) return 0;
  flags.fullScreenState = state;
  WindowRecord& w = engine.windows[0];
  platform::Display& display = *engine.platform.display;
  if (!w.created) return 1;
  const bool want = state == 1;
  display.SetFullScreen(0, want);
  if (want && !display.IsFullScreen(0)) {
    flags.fullScreenState = 0;
    resource::ReportSystemError(engine, kErrNoDisplayMode, false, {w.clientWidth, w.clientHeight});
  }
  // The mode change may have dropped what the window showed.
  w.needsPresent = true;
  return 1;
}

namespace {

// Destroys the window of `slot`; any window but one that closes without
// ending the program ends the message loop.
void CloseWindow(Engine& engine, int slot) {
  WindowRecord& w = engine.windows[slot];
  const bool endsLoop = w.closeState != CloseState::CloseNoEnd;
  engine.platform.display->DestroyWindow(slot);
  w.created = false;
  w.open = false;
  if (endsLoop) {
    platform::Event quit;
    quit.type = platform::EventType::Quit;
    engine.platform.events->Post(quit);
  }
}

void HandleClose(Engine& engine, int slot) {
  if (slot < 0 || slot >= platform::kMaxWindows || !engine.windows[slot].created) return;
  WindowRecord& w = engine.windows[slot];
  switch (w.closeState) {
    case CloseState::ReportOnly:
      w.closeRequested = true;
      return;
    case CloseState::Ask: {
      // No frame advances while the question is open.
      engine.shell.flags.paused = true;
      if (engine.platform.input) engine.platform.input->ShowCursor(true);
      platform::MessageBoxDesc box;
      box.captionSjis = engine.config.title;
      box.textSjis = common::Sjis(kCloseQuestion);
      box.buttons = platform::DialogButtons::YesNo;
      box.icon = platform::DialogIcon::Information;
      const int answer = engine.platform.dialogs->ShowMessage(box);
      engine.shell.flags.paused = false;
      if (answer != platform::kAnswerYes) return;
      engine.shell.flags.halted = true;
      CloseWindow(engine, slot);
      return;
    }
    case CloseState::ProgramEnd:
      engine.shell.flags.halted = true;
      CloseWindow(engine, slot);
      return;
    case CloseState::CloseNoEnd:
      CloseWindow(engine, slot);
      return;
  }
}

}  // namespace

void HandleWindowEvent(Engine& engine, const platform::Event& event) {
  using platform::EventType;
  switch (event.type) {
    case EventType::Close:
      HandleClose(engine, event.window);
      break;
    case EventType::Quit:
      engine.shell.flags.running = false;
      engine.shell.exitCode = event.exitCode;
      break;
    case EventType::RaiseRequest:
      if (engine.windows[0].created) engine.platform.display->Raise(0);
      break;
    default:
      // Keys, the mouse, activation, drops and menu commands are recorded
      // for scripts by the input and menu handling.
      break;
  }
}

}  // namespace vv::shell
