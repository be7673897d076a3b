// vavevo: runs a game on the desktop, or headless for tests and CI.
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "platform/executable_info.h"
#include "platform/host_paths.h"
#include "platform/platform.h"
#include "shell/engine.h"
#include "shell/program.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitHaltedByError = 3;

bool HasDisplay() {
  using vv::platform::EnvironmentValue;
  return !EnvironmentValue("DISPLAY").empty() || !EnvironmentValue("WAYLAND_DISPLAY").empty() ||
         !EnvironmentValue("SDL_VIDEODRIVER").empty();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vv;
  std::string error;
  auto options = app::ParseCommandLine(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "vavevo: %s\n", error.c_str());
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(app::UsageText().c_str(), stdout);
    return 0;
  }

  std::string gameDir = options->gameDir;
  if (gameDir.empty()) gameDir = platform::HostParent(platform::DescribeExecutable(".").selfPath);
  gameDir = platform::AbsoluteHostPath(gameDir);
  if (!platform::IsHostDirectory(gameDir)) {
    std::fprintf(stderr, "vavevo: game folder not found: %s\n", gameDir.c_str());
    return kExitUsage;
  }

  std::unique_ptr<platform::Platform> backend;
  bool headless = options->backend == app::Backend::Headless;
  if (!headless) {
    if (options->backend == app::Backend::Auto && !HasDisplay()) {
      std::fprintf(stderr, "vavevo: no display found; running headless\n");
      headless = true;
    } else {
      platform::SdlOptions sdl;
      sdl.gameDir = gameDir;
      sdl.presentPath = options->presentPath;
      backend = platform::CreateSdlPlatform(sdl, error);
      if (!backend) {
        if (options->backend == app::Backend::Sdl) {
          std::fprintf(stderr, "vavevo: cannot open the desktop backend: %s\n", error.c_str());
          return 1;
        }
        std::fprintf(stderr, "vavevo: no usable display (%s); running headless\n", error.c_str());
        headless = true;
      }
    }
  }
  if (headless) {
    platform::HeadlessOptions h;
    h.gameDir = gameDir;
    h.screenshotDir = platform::AbsoluteHostPath(options->screenshotDir.empty() ? "screenshots"
                                                                                 : options->screenshotDir);
    h.inputScript = options->inputScript;
    h.dialogLog = options->dialogLog;
    h.answers = options->answers;
    backend = platform::CreateHeadlessPlatform(h, error);
    if (!backend) {
      std::fprintf(stderr, "vavevo: %s\n", error.c_str());
      return kExitUsage;
    }
  }

  shell::ProgramOptions run;
  run.gameDir = gameDir;
  run.scriptArgs = options->scriptArgs;
  run.frameLimit = options->frames;
  run.seed = options->seed;
  if (!options->dumpState.empty()) run.dumpStatePath = platform::AbsoluteHostPath(options->dumpState);
  shell::ProgramResult result;
  {
    Engine engine(*backend);
    result = shell::RunProgram(engine, run);
  }

  const std::string written = backend->Finish();
  if (!written.empty()) std::fprintf(stderr, "vavevo: screenshots written:\n%s", written.c_str());
  if (!result.dumpError.empty()) std::fprintf(stderr, "vavevo: state dump: %s\n", result.dumpError.c_str());
  if (result.secondInstance) return 0;
  if (result.haltedByError) return kExitHaltedByError;
  return result.exitCode;
}
