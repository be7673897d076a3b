// The platform layer: everything the engine needs from the system.
//
// A backend assembles one object per service. The engine holds the Platform
// by reference and never asks which backend it has, except through the
// capabilities here. Services that a backend does not offer yet are null;
// callers check before use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/filesystem.h"
#include "platform/input.h"
#include "platform/instance_guard.h"
#include "platform/libraries.h"
#include "platform/menus.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shared_memory.h"

namespace vv::platform {

class Platform {
 public:
  virtual ~Platform() = default;

  // "sdl" or "headless".
  virtual const char* Name() const = 0;
  virtual bool IsHeadless() const = 0;

  // Whether frames may run on a worker thread while the main thread pumps
  // events: true only where the display may be driven from that thread.
  // Neither backend allows it (SDL's renderer belongs to the thread that
  // made it; the headless clock would be raced).
  virtual bool AllowsFrameWorker() const { return false; }

  // The shell calls these around every frame it runs (frame numbers from
  // 1). The headless backend replays scripted input and writes the
  // screenshots that are due; the SDL backend does nothing.
  virtual void FrameStarted(uint64_t /*frame*/) {}
  virtual void FrameEnded(uint64_t /*frame*/) {}
  // The run is over: the headless backend writes its final screenshots and
  // returns the files it wrote, one host path per line.
  virtual std::string Finish() { return {}; }

  std::unique_ptr<Clock> clock;
  std::unique_ptr<Display> display;
  std::unique_ptr<EventQueue> events;
  std::unique_ptr<Input> input;
  std::unique_ptr<Joysticks> joysticks;
  std::unique_ptr<Menus> menus;
  std::unique_ptr<Dialogs> dialogs;
  std::unique_ptr<AudioDevice> audio;
  std::unique_ptr<Clipboard> clipboard;
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<Processes> processes;
  std::unique_ptr<Libraries> libraries;
  std::unique_ptr<Registry> registry;
  std::unique_ptr<InstanceGuard> instanceGuard;
  std::unique_ptr<SharedMemory> sharedMemory;
};

struct HeadlessOptions {
  std::string gameDir;         // base folder of the file system
  std::string screenshotDir;   // where PNG screenshots go; empty = none
  std::string inputScript;     // scripted input file; empty = none
  std::string dialogLog;       // JSON lines of every dialog; empty = none
  std::string answers;         // answers to dialogs, one per line
  std::string instanceDir;     // instance lock folder; empty = default
  DesktopInfo desktop{1920, 1080, 32};
};

struct SdlOptions {
  std::string gameDir;
  std::string instanceDir;
  // Skips the speed trial and uses this path ("texture" or "surface").
  std::string presentPath;
};

// Returns null and fills `error` when the backend cannot start (for SDL:
// no video device).
std::unique_ptr<Platform> CreateHeadlessPlatform(const HeadlessOptions& options, std::string& error);
std::unique_ptr<Platform> CreateSdlPlatform(const SdlOptions& options, std::string& error);

}  // namespace vv::platform
