// The engine shell's own state: paths, run flags, the frame clock, the
// command line and what start-up learnt about the system.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/input.h"

namespace vv::shell {

// Longest engine path, as the program's path buffers allow.
constexpr size_t kMaxPathBytes = 260;
constexpr int kCommandLineSlots = 9;
// The seed headless runs use unless the command line gives one.
constexpr uint32_t kHeadlessSeed = 5489;

struct EnginePaths {
  std::string programPath;   // the program, ASCII letters lowered, engine form
  std::string instanceName;  // programPath with every `\` turned into `:`
  std::string programDir;    // folder of programPath, lowered, ending in `\`
  std::string projectDir;    // the folder the engine works in
  std::string programHostPath;  // programPath as the host spells it
  std::string gameHostDir;      // the game folder as the host spells it
};

// Running, Halted and Paused are read by the frame worker and the main
// thread at once, hence atomic; the others belong to one thread.
struct RunFlags {
  std::atomic<bool> running{true};
  std::atomic<bool> halted{false};
  std::atomic<bool> paused{false};
  bool scriptOnWorkerThread = false;
  bool releaseMode = false;
  bool embeddedArchive = false;
  bool screenSaverBuild = false;
  bool restartOnExit = false;
  bool startFullScreen = false;
  uint8_t fullScreenState = 0;   // the byte the last switch stored
  bool readOnlyFolder = false;   // the program folder is not writable
  bool firstFrameShown = false;
  bool rerunRequested = false;   // an interpreter pass asked for another
};

// The block a packer may append to the executable.
struct AppendedBlock {
  uint32_t locator = 0;        // D: file offset of the block; 4 = none
  uint64_t fileSize = 0;
  bool present = false;        // magic "VODU" found at D
  uint32_t archiveOffset = 0;  // A: the archive starts at D + A
  uint32_t previewSize = 0;    // P: non-zero marks a screen-saver build
};

struct FrameClockState {
  int32_t framesPerSecond = 60;
  uint32_t frameSkipEnabled = 1;
  uint16_t frameFraction = 0;
  uint32_t lastFrameTime = 0;
  uint32_t frameClock = 0;
  uint64_t passCounter = 0;
  uint64_t frameNumber = 0;        // frames run so far
  uint32_t startTime = 0;
  platform::LocalTime startLocalTime;
};

struct SystemInfo {
  int osCode = 255;          // the operating-system code scripts read
  int desktopWidth = 0, desktopHeight = 0, desktopBits = 32;
  int directXVersion = 9;    // what scripts read as the installed version
};

struct CommandLine {
  std::array<std::string, kCommandLineSlots> args;  // entry 0: the program
  int count = 0;                                    // entries 1..count used
};

// A popup menu the window procedure asked for (menu table index 0 = none).
struct PopupRequest {
  int menuIndex = 0;
  int x = 0, y = 0;
};

struct ShellState {
  EnginePaths paths;
  RunFlags flags;
  AppendedBlock block;
  FrameClockState clock;
  SystemInfo system;
  CommandLine commandLine;
  PopupRequest popup;
  int exitCode = 0;
  bool joystickUsable = false;
  // The keyboard and mouse as the main loop last sampled them.
  platform::KeyStates sampledKeys{};
  // Seed of the script's random generator: the command line's, a fixed one
  // in headless runs (reproducible), else the timer at start-up.
  uint32_t scriptSeed = kHeadlessSeed;
  // The frame worker, when the configuration asks for one.
  std::thread frameWorker;
  // Frames the run may take before it ends as a confirmed close would
  // (0 = no limit).
  uint64_t frameLimit = 0;
  // Thread states: -1 never started, 0 running, 1 finished; read and
  // written only under the engine lock.
  int8_t soundThreadState = -1;
  int8_t workerThreadState = -1;
};

}  // namespace vv::shell
