// Starting and stopping SDL, and assembling the SDL services.
#include <SDL.h>

#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

std::optional<PresentPath> ParsePresentPath(const std::string& name, bool& valid) {
  valid = true;
  if (name.empty()) return std::nullopt;
  if (name == "texture") return PresentPath::Texture;
  if (name == "surface") return PresentPath::Surface;
  valid = false;
  return std::nullopt;
}

// Hints that make SDL behave as the engine expects. Environment variables
// of the same name still win, so a user can override each of them.
void SetEngineHints() {
  // The surface path is the window's own framebuffer, not a texture SDL
  // draws behind our back, so that the speed trial compares two real paths.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Closing the last window is the engine's decision (it may ask first).
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // A click that activates a window is also a click in it.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
}

class SdlPlatform final : public Platform {
 public:
  SdlPlatform() = default;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  ~SdlPlatform() override {
    // Everything that holds SDL objects goes before SDL itself.
    joysticks.reset();
    dialogs.reset();
    input.reset();
    events.reset();
    display.reset();
    if (controllersStarted) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    if (videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  const char* Name() const override { return "sdl"; }
  bool IsHeadless() const override { return false; }

  bool videoStarted = false;
  bool controllersStarted = false;
};

}  // namespace

std::unique_ptr<Platform> CreateSdlServices(const SdlOptions& options, std::string& error) {
  bool valid = false;
  const std::optional<PresentPath> forced = ParsePresentPath(options.presentPath, valid);
  if (!valid) {
    error = "unknown present path \"" + options.presentPath + "\" (texture or surface)";
    return nullptr;
  }
  SetEngineHints();
  auto platform = std::make_unique<SdlPlatform>();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("no video device: ") + SDL_GetError();
    return nullptr;
  }
  platform->videoStarted = true;
  // Typed text is not read yet; without this an input method could take
  // the keys the game wants.
  SDL_StopTextInput();
  // A machine without joystick support still runs the game.
  platform->controllersStarted = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;

  auto display = std::make_unique<SdlDisplay>(forced);
  platform->clock = CreateSdlClock();
  platform->events = CreateSdlEvents(*display);
  platform->input = CreateSdlInput(*display);
  platform->dialogs = CreateSdlDialogs(*display);
  if (platform->controllersStarted) platform->joysticks = CreateSdlJoysticks();
  platform->display = std::move(display);
  return platform;
}

}  // namespace vv::platform::sdl
