// Start-up, frame and shutdown stages that belong to subsystems still to
// come. Each is called from its place in the fixed order now, so that the
// order is settled; a subsystem that lands replaces its stage's body.
#pragma once

namespace vv {
struct Engine;
}

namespace vv::shell::stages {

// Start-up.
void BindPixelOps(Engine& engine);           // CPU probe, row primitives
int RunCompilerLink(Engine& engine);         // development runs: the compiler
void BuildEngineTables(Engine& engine);      // blend, evaluator, sound tables
int CreateRootObjects(Engine& engine);       // "W0", "SYSTEM", the sound root, "M0"
void CreateSound(Engine& engine);            // turns sound off when it fails
void InitJoysticks(Engine& engine);
int StartScript(Engine& engine);             // 0, or -1 after a report
void StartSoundThread(Engine& engine);
int CreateSystemSound(Engine& engine);

// Frames.
void UpdateInputState(Engine& engine);
int RunInterpreter(Engine& engine);          // nonzero: the program ends
void UpdateFullScreenMenuBar(Engine& engine);
bool MovieCoversScreen(Engine& engine);
int PresentWindows(Engine& engine);          // nonzero: presenting halted us
void ResetDirtyState(Engine& engine);
void OpenRequestedPopup(Engine& engine);

// Shutdown.
void ReleaseMediaAndSound(Engine& engine);
void DestroyMenus(Engine& engine);
void ReleaseSharedResources(Engine& engine);
void ReleaseLibraries(Engine& engine);

}  // namespace vv::shell::stages
