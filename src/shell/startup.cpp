// The entry point's steps, start-up in its fixed order, and shutdown.
#include <algorithm>

#include "common/encoding.h"
#include "platform/executable_info.h"
#include "resource/archives.h"
#include "save/save_commands.h"
#include "graphics/layer_dump.h"
#include "script/state_dump.h"
#include "shell/appended_block.h"
#include "shell/engine.h"
#include "shell/main_window.h"
#include "shell/paths.h"
#include "shell/program.h"
#include "shell/stages.h"

namespace vv::shell {

namespace {

constexpr char kErrorCaption[] = "エラー";
constexpr char kUnsupportedSystem[] = "Windows95/NT3.5/NT4 では起動できません。";
constexpr char kScreenTooSmall[] = "画面サイズが対応していません。";
constexpr char kNoWindow[] = "ウィンドウが生成できませんでした。";
// How long a switch to full screen at start-up waits for the display.
constexpr uint32_t kFullScreenSettleMs = 1500;

int ShowStartupMessage(Engine& engine, const char* textUtf8) {
  platform::MessageBoxDesc box;
  box.captionSjis = common::Sjis(kErrorCaption);
  box.textSjis = common::Sjis(textUtf8);
  box.icon = platform::DialogIcon::Error;
  engine.platform.dialogs->ShowMessage(box);
  return -1;
}

void FillCommandLine(Engine& engine, const ProgramOptions& options) {
  CommandLine& cl = engine.shell.commandLine;
  cl.args.fill({});
  cl.args[0] = engine.shell.paths.programPath;
  cl.count = static_cast<int>(std::min<size_t>(options.scriptArgs.size(), kCommandLineSlots - 1));
  for (int i = 0; i < cl.count; ++i) cl.args[i + 1] = common::Utf8ToSjisLossy(options.scriptArgs[i]);
}

void CollectSystemInfo(Engine& engine) {
  SystemInfo& info = engine.shell.system;
  // The system code table knows only Windows builds; every other system
  // reads as "any other".
  info.osCode = 255;
  const platform::DesktopInfo desk = engine.platform.display->Desktop();
  info.desktopWidth = desk.width;
  info.desktopHeight = desk.height;
  info.desktopBits = desk.bitsPerPixel;
  // Scripts written for the newest media libraries ask for 9; everything
  // they would need from it is there.
  info.directXVersion = 9;
}

// Whether the program folder is writable: create and delete nvcfg.ini.
void ProbeWritableFolder(Engine& engine) {
  platform::FileSystem& fs = *engine.platform.files;
  auto probe = fs.Open("nvcfg.ini", platform::OpenMode::Write);
  if (probe) {
    probe.reset();
    fs.Remove("nvcfg.ini");
    engine.shell.flags.readOnlyFolder = false;
  } else {
    engine.shell.flags.readOnlyFolder = true;
  }
}

void StartFrameWorker(Engine& engine) {
  {
    std::lock_guard lock(engine.engineLock);
    engine.shell.workerThreadState = 0;
  }
  engine.shell.frameWorker = std::thread([&engine] {
    for (;;) {
      if (engine.shell.flags.paused) engine.platform.clock->SleepMs(1);
      else if (!engine.shell.flags.halted) BeginFrame(engine);
      if (RunFrame(engine)) break;
    }
    EndProgram(engine);
    std::lock_guard lock(engine.engineLock);
    engine.shell.workerThreadState = 1;
  });
}

// Polls a thread-state byte under the engine lock every millisecond until
// the thread reports that it has finished.
void WaitForThread(Engine& engine, int8_t ShellState::*state) {
  for (;;) {
    {
      std::lock_guard lock(engine.engineLock);
      if (engine.shell.*state != 0) return;
    }
    engine.platform.clock->SleepMs(1);
  }
}

}  // namespace

int InitEngine(Engine& engine, const ProgramOptions& options) {
  platform::Platform& p = engine.platform;
  ShellState& sh = engine.shell;

  // 1-3: arguments, the row primitives, what the system is.
  FillCommandLine(engine, options);
  stages::BindPixelOps(engine);
  CollectSystemInfo(engine);
  if (sh.system.osCode >= 1 && sh.system.osCode <= 19) return ShowStartupMessage(engine, kUnsupportedSystem);

  // 5-7: the pack name table and the script key are constants; mount the
  // archives, then settle the project folder.
  if (resource::MountArchives(engine) != 0) return -1;
  if (sh.flags.releaseMode) {
    sh.paths.projectDir = sh.paths.programDir;
  } else if (stages::RunCompilerLink(engine) != 0) {
    return -1;
  }

  // 8: the engine's tables and its random generators.
  if (options.seed) sh.scriptSeed = *options.seed;
  else if (!p.IsHeadless()) sh.scriptSeed = p.clock->NowMs();
  stages::BuildEngineTables(engine);

  ProbeWritableFolder(engine);

  // 11-14: window records, the configuration, the screen size.
  for (WindowRecord& w : engine.windows) w = WindowRecord{};
  if (ReadConfiguration(engine) != 0) return -1;
  if (sh.flags.screenSaverBuild) {
    engine.config.clientWidth = sh.system.desktopWidth;
    engine.config.clientHeight = sh.system.desktopHeight;
  }
  if (sh.system.desktopWidth < engine.config.clientWidth ||
      sh.system.desktopHeight < engine.config.clientHeight)
    return ShowStartupMessage(engine, kScreenTooSmall);
  sh.flags.startFullScreen = sh.system.desktopWidth == engine.config.clientWidth &&
                             sh.system.desktopHeight == engine.config.clientHeight;

  // 15-16: the main window, and the cursor shown once.
  PrepareWindowRecord(engine, 0, engine.config.title);
  if (!CreateMainWindow(engine)) return ShowStartupMessage(engine, kNoWindow);
  if (p.input) p.input->ShowCursor(true);

  // 17-22: the timer is millisecond-exact already, and the display backend
  // times its presentation paths when it opens the first window.
  if (stages::CreateRootObjects(engine) != 0) return -1;
  if (engine.config.sound) stages::CreateSound(engine);
  stages::InitJoysticks(engine);

  // 23-24: the clock, then the script.
  sh.clock.frameClock = 0;
  sh.clock.startLocalTime = p.clock->Now();
  if (stages::StartScript(engine) != 0) {
    EndProgram(engine);
    return 1;
  }

  // 25-29: the threads, full screen, the start time.
  stages::StartSoundThread(engine);
  if (engine.config.sound && stages::CreateSystemSound(engine) != 0) return -1;
  // A configuration that asks for the frame worker gets it only where the
  // platform allows frames off the main thread; elsewhere the main thread
  // runs them, which scripts cannot tell apart.
  if (!p.AllowsFrameWorker()) sh.flags.scriptOnWorkerThread = false;
  if (sh.flags.scriptOnWorkerThread) StartFrameWorker(engine);
  if (sh.flags.startFullScreen && SetFullScreen(engine, 1) != 0 && p.display->IsFullScreen(0)) {
    p.display->Show(0, platform::ShowMode::Show);
    p.clock->SleepMs(kFullScreenSettleMs);
  }
  sh.clock.startTime = p.clock->NowMs();
  sh.clock.lastFrameTime = sh.clock.startTime;
  return 0;
}

void ShutdownEngine(Engine& engine) {
  platform::Platform& p = engine.platform;
  ShellState& sh = engine.shell;

  if (sh.soundThreadState != -1) WaitForThread(engine, &ShellState::soundThreadState);
  if (sh.workerThreadState != -1) WaitForThread(engine, &ShellState::workerThreadState);
  if (sh.frameWorker.joinable()) sh.frameWorker.join();

  stages::ReleaseMediaAndSound(engine);
  stages::DestroyMenus(engine);
  for (int slot = 0; slot < platform::kMaxWindows; ++slot) {
    if (engine.windows[slot].created && p.display->IsFullScreen(slot)) p.display->SetFullScreen(slot, false);
  }
  if (p.input) p.input->ShowCursor(true);
  stages::ReleaseSharedResources(engine);
  stages::ReleaseLibraries(engine);
  // Blocks a script collected but never wrote go with the run.
  save::ClearPendingBlocks(engine);

  for (int slot = 0; slot < platform::kMaxWindows; ++slot) {
    if (engine.windows[slot].created) {
      p.display->DestroyWindow(slot);
      engine.windows[slot].created = false;
    }
  }
}

ProgramResult RunProgram(Engine& engine, const ProgramOptions& options) {
  ProgramResult result;
  platform::Platform& platform = engine.platform;
  engine.shell.frameLimit = options.frameLimit;

  // 1-3: only one start at a time passes the instance check; a second
  // start of the same game raises the first one's window and ends.
  auto startGuard = platform::TryStartGuard();
  if (!startGuard) return result;
  const platform::ExecutableInfo exe = platform::DescribeExecutable(options.gameDir);
  engine.shell.paths = MakeEnginePaths(exe.programPath, options.gameDir);
  const auto acquired = platform.instanceGuard->Acquire(engine.shell.paths.instanceName);
  startGuard.reset();
  if (acquired != platform::InstanceGuard::Result::Acquired) {
    result.secondInstance = acquired == platform::InstanceGuard::Result::AlreadyRunning;
    return result;
  }

  // 4-7: the game folder is where the engine works; the appended block.
  platform.files->SetBaseDir(options.gameDir);
  if (!exe.dataPath.empty()) {
    platform::FileSystem& fs = *platform.files;
    if (auto file = fs.Open(platform::HostToEnginePath(exe.dataPath), platform::OpenMode::Read)) {
      engine.shell.block = ReadAppendedBlock(*file, exe.windowsExecutable);
    }
  } else {
    engine.shell.block.locator = kNoBlock;
  }
  if (engine.shell.block.locator == 0) {
    platform::MessageBoxDesc box;
    box.textSjis = kNoLocatorMessage;
    platform.dialogs->ShowMessage(box);
  }
  const AppendedBlock& block = engine.shell.block;
  engine.shell.flags.screenSaverBuild = block.present && block.previewSize != 0;
  if (block.present) {
    engine.shell.flags.releaseMode = true;
    engine.shell.flags.embeddedArchive = true;
  }
  // A screen-saver build's switches arrive with screen-saver mode.

  // 10-11: start-up, the loop, shutdown.
  const int init = InitEngine(engine, options);
  result.started = init == 0;
  if (init == 0) MainLoop(engine);
  // The dump shows the state the run ended in, before shutdown frees it.
  if (!options.dumpStatePath.empty() && !script::WriteStateDump(engine, options.dumpStatePath, result.dumpError,
                                                              graphics::LayerTreeJsonMember(engine)) &&
      result.dumpError.empty())
    result.dumpError = "cannot write " + options.dumpStatePath;
  ShutdownEngine(engine);

  result.exitCode = engine.shell.exitCode;
  for (const auto& report : engine.errors.reports) result.haltedByError |= report.halt;
  result.restartRequested = engine.shell.flags.restartOnExit;

  // 12: a restart starts the program again with no arguments.
  if (engine.shell.flags.restartOnExit && platform.processes) {
    platform.processes->Start(exe.selfPath, {"--game", options.gameDir});
  }
  return result;
}

}  // namespace vv::shell
