// Keyboard and mouse state from SDL.
#include <SDL.h>

#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

class SdlInput final : public Input {
 public:
  explicit SdlInput(SdlDisplay& display) : display_(display) {}

  // SDL's state reflects the events pumped so far (EventQueue::Poll), which
  // is what the engine has seen before it samples.
  void Sample(KeyStates& out) override {
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    FillKeyStates(keys, count, CurrentKeyLayout(), buttons, out);
  }

  Point Cursor(int slot) override { return display_.CursorInClient(slot); }

  void WarpCursor(int slot, Point client) override {
    SDL_Window* window = display_.WindowOf(slot);
    if (!window) return;
    const Point p = display_.ClientToWindow(slot, client);
    SDL_WarpMouseInWindow(window, p.x, p.y);
  }

  void ShowCursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

 private:
  SdlDisplay& display_;
};

}  // namespace

std::unique_ptr<Input> CreateSdlInput(SdlDisplay& display) {
  return std::make_unique<SdlInput>(display);
}

}  // namespace vv::platform::sdl
