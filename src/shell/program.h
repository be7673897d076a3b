// The program itself: the entry point's steps, start-up, the frame loop,
// the orderly end and shutdown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vv {
struct Engine;
}
namespace vv::platform {
class Platform;
}

namespace vv::shell {

struct ProgramOptions {
  std::string gameDir;                   // host folder of the game
  std::vector<std::string> scriptArgs;   // what scripts read as arguments
  uint64_t frameLimit = 0;               // end after this many frames (0 = never)
  std::optional<uint32_t> seed;          // seed of the script's random generator
  std::string dumpStatePath;             // JSON dump of the state at the end; empty = none
};

// How a run ended, for the caller's exit code.
struct ProgramResult {
  int exitCode = 0;          // the loop's exit code (0 when it never ran)
  bool started = false;      // InitEngine succeeded
  bool secondInstance = false;
  bool haltedByError = false;  // a report with halt stopped the engine
  bool restartRequested = false;
  std::string dumpError;       // why the state dump could not be written
};

// Runs the entry point's steps on a fresh engine; the engine is left as
// shutdown left it, for the caller to inspect.
ProgramResult RunProgram(Engine& engine, const ProgramOptions& options);

// The steps, for tests and for RunProgram. InitEngine: 0 success, -1
// failure (a message was shown or an error reported), 1 the script failed
// to start (the program end was already requested).
int InitEngine(Engine& engine, const ProgramOptions& options);
// Numbers the next frame and tells the platform it starts.
void BeginFrame(Engine& engine);
// One frame; true when the program is to end.
bool RunFrame(Engine& engine);
// Pumps the waiting window events through the engine's window handling.
void PumpEvents(Engine& engine);
// The main loop, until the quit event.
void MainLoop(Engine& engine);
void EndProgram(Engine& engine);
void ShutdownEngine(Engine& engine);

// What step 6 of start-up shows when the program carries a locator of 0.
constexpr char kNoLocatorMessage[] = "FS";

}  // namespace vv::shell
