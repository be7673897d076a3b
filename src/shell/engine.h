// The engine: every engine-wide value, one member per subsystem.
//
// Handlers and subsystem functions receive the Engine by reference; nothing
// lives in a mutable global, so two engines can run in one process (tests).
// The Engine does not own the platform: the caller keeps it alive for the
// Engine's whole life.
#pragma once

#include <mutex>

#include "graphics/graphics_state.h"
#include "platform/platform.h"
#include "resource/archives.h"
#include "resource/error_reporter.h"
#include "resource/loader.h"
#include "save/save_state.h"
#include "script/script_state.h"
#include "shell/configuration.h"
#include "shell/shell_state.h"
#include "shell/window_record.h"

namespace vv {

struct Engine {
  explicit Engine(platform::Platform& p) : platform(p) {}
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  platform::Platform& platform;

  shell::ShellState shell;
  shell::Configuration config;
  shell::WindowRecords windows;
  resource::ErrorReporterState errors;
  resource::LoaderState loader;
  resource::ArchiveSet archives;
  script::ScriptState script;
  graphics::GraphicsState graphics;
  save::SaveState save;

  // Guards the sound request ring, every sound object and the thread-state
  // bytes; nothing else takes it.
  std::mutex engineLock;
};

}  // namespace vv
