#include "shell/stages.h"

#include <algorithm>

#include "graphics/compositor.h"
#include "graphics/layer.h"
#include "graphics/layer_commands.h"
#include "resource/loader.h"
#include "save/save_commands.h"
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

// The main window's root layer "W0": a group layer of the client size
// whose pixels are the window's back buffer. The sound root and the menu
// root arrive with their subsystems.
int CreateRootObjects(Engine& engine) {
  WindowRecord& w = engine.windows[0];
  graphics::Layer* root = graphics::CreateGroupLayer(engine, "W0", std::max(w.clientWidth, 1),
                                                     std::max(w.clientHeight, 1), 0);
  if (root == nullptr) return -1;
  root->isWindowRoot = 1;
  w.rootLayer = root->node;
  w.showsLayers = true;
  return 0;
}

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
  save::BindSaveCommands(s.interp.handlers);
  graphics::BindLayerCommands(s.interp.handlers);
  s.interp.pumpEvents = [&engine] { PumpEvents(engine); };
  engine.errors.scriptLocation = [&engine] { return script::CurrentLocation(engine); };
  return script::LoadScriptSystem(engine) == 0 ? 0 : -1;
}

void StartSoundThread(Engine&) {}
int CreateSystemSound(Engine&) { return 0; }

// The mouse position of every window, sampled once a frame (the layer
// queries of window points read it). The key tables arrive with the
// input handling.
void UpdateInputState(Engine& engine) {
  if (!engine.platform.input) return;
  for (int slot = 0; slot < platform::kMaxWindows; ++slot) {
    WindowRecord& w = engine.windows[slot];
    if (!w.created) continue;
    const platform::Point p = engine.platform.input->Cursor(slot);
    w.mouseX = p.x;
    w.mouseY = p.y;
  }
}
int RunInterpreter(Engine& engine) { return script::RunInterpreterPass(engine); }
void UpdateFullScreenMenuBar(Engine&) {}
bool MovieCoversScreen(Engine&) { return false; }

// Windows 0..3 in order; the first that fails or finds the engine halted
// ends the frame step.
int PresentWindows(Engine& engine) {
  for (int slot = 0; slot < platform::kMaxWindows; ++slot) {
    if (graphics::PresentWindow(engine, slot) != 0) return 1;
  }
  return engine.shell.flags.halted ? 1 : 0;
}

void ResetDirtyState(Engine& engine) { graphics::ResetDirtyState(graphics::LayerRoot(engine)); }
void OpenRequestedPopup(Engine& engine) { engine.shell.popup = {}; }

void ReleaseMediaAndSound(Engine&) {}
void DestroyMenus(Engine&) {}
void ReleaseSharedResources(Engine&) {}
void ReleaseLibraries(Engine&) {}

}  // namespace vv::shell::stages
