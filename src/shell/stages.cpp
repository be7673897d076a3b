#include "shell/stages.h"

#include "resource/loader.h"
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_files.h"
#include "shell/engine.h"
#include "shell/program.h"

namespace vv::shell::stages {

// The row primitives are bound with the graphics core.
void BindPixelOps(Engine&) {}

// Until the compiler link lands, a development run works on the compiled
// files already in the game folder.
int RunCompilerLink(Engine&) { return 0; }

// The blend, evaluator, assignment and sound tables arrive with their
// subsystems.
void BuildEngineTables(Engine&) {}

// The root objects arrive with the name trees, layers, sound and menus.
int CreateRootObjects(Engine&) { return 0; }

// Sound output arrives with the sound engine; until then a game runs silent.
void CreateSound(Engine& engine) { engine.config.sound = 0; }

void InitJoysticks(Engine& engine) {
  engine.shell.joystickUsable =
      engine.platform.joysticks != nullptr && engine.platform.joysticks->Count() > 0;
}

// The script: the context tree's fixed part ("SYSTEM" and its folder), the
// handler table, the window pump the inactive-window half uses and the
// error location, then the compiled files with "SYSTEM" at its start label.
int StartScript(Engine& engine) {
  script::ScriptState& s = engine.script;
  script::CreateContextTree(engine);
  script::BindScriptCommands(s.interp.handlers);
  s.interp.pumpEvents = [&engine] { PumpEvents(engine); };
  engine.errors.scriptLocation = [&engine] { return script::CurrentLocation(engine); };
  return script::LoadScriptSystem(engine) == 0 ? 0 : -1;
}

void StartSoundThread(Engine&) {}
int CreateSystemSound(Engine&) { return 0; }

void UpdateInputState(Engine&) {}
int RunInterpreter(Engine& engine) { return script::RunInterpreterPass(engine); }
void UpdateFullScreenMenuBar(Engine&) {}
bool MovieCoversScreen(Engine&) { return false; }

// Until the compositor lands, each window shows its back buffer (black),
// presented whole whenever it is marked.
int PresentWindows(Engine& engine) {
  for (int slot = 0; slot < platform::kMaxWindows; ++slot) {
    WindowRecord& w = engine.windows[slot];
    if (!w.open || !w.created || !w.needsPresent) continue;
    const size_t bytes = static_cast<size_t>(w.clientWidth) * 4 * static_cast<size_t>(w.clientHeight);
    if (w.backBuffer.size() != bytes) w.backBuffer.assign(bytes, 0);
    platform::FrameView frame{w.backBuffer.data(), w.clientWidth, w.clientHeight, w.clientWidth * 4};
    engine.platform.display->Present(slot, frame, {0, 0, w.clientWidth, w.clientHeight});
    w.needsPresent = false;
  }
  return engine.shell.flags.halted ? 1 : 0;
}

void ResetDirtyState(Engine&) {}
void OpenRequestedPopup(Engine& engine) { engine.shell.popup = {}; }

void ReleaseMediaAndSound(Engine&) {}
void DestroyMenus(Engine&) {}
void ReleaseSharedResources(Engine&) {}
void ReleaseLibraries(Engine&) {}

}  // namespace vv::shell::stages
