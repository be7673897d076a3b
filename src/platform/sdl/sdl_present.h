// The two ways a window's frame reaches the screen.
//
// Every window keeps a shadow of its frame, top-down, at its client size, in
// kShadowFormat (bytes B, G, R, unused: the engine's layout with the alpha
// byte ignored). A Presenter pushes the shadow, or the part of it that
// changed, to the window:
//   - Texture: an SDL renderer with a streaming texture of the client size;
//     the changed rectangle is uploaded and the texture drawn scaled into
//     the output, with black borders.
//   - Surface: the window's own framebuffer (SDL_GetWindowSurface); the
//     changed rectangle is blitted 1:1, or the whole shadow is blitted
//     scaled (nearest neighbour) when the output is not the client size.
// SDL does not allow a renderer and the window surface on one window, so a
// window uses one presenter for its whole life.
//
// All calls on the thread that owns the SDL windows.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/display.h"

namespace vv::platform::sdl {

constexpr Uint32 kShadowFormat =
    SDL_BYTEORDER == SDL_LIL_ENDIAN ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_BGRX8888;

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// A black shadow of `size`; null when SDL cannot allocate it.
SurfacePtr CreateShadow(Size size);

class Presenter {
 public:
  virtual ~Presenter() = default;
  virtual PresentPath Path() const = 0;
  // Shows `shadow` (client size) on the window, `changed` being the client
  // rectangle that differs from the last call. `whole` repaints everything,
  // borders included (after an expose or a layout change). False when SDL
  // failed; the next call tries again.
  virtual bool Show(SDL_Surface* shadow, const Rect& changed, bool whole) = 0;
  // The window's whole output as shown now, top-down in kShadowFormat.
  virtual bool ReadOutput(std::vector<uint8_t>& pixels, Size& outputSize) = 0;
  // The client size changed; `shadow` is already the new one.
  virtual void ClientResized(Size client) = 0;
  // The render device lost its textures: the next Show uploads everything.
  virtual void DeviceReset() = 0;
};

// Null and `error` set when the path cannot be used on `window`.
std::unique_ptr<Presenter> CreatePresenter(PresentPath path, SDL_Window* window, Size client,
                                           std::string& error);

// The start-up speed trial: a few dozen whole-frame presents on each path,
// timed. The texture path runs on `window` (a new, hidden window of the
// client size), the surface path on a hidden scratch window. Returns the
// faster path; the surface path when they tie or the texture path fails.
// When the texture path wins, `texture` receives its presenter, so that the
// window keeps the renderer already made. Otherwise `window` has carried a
// renderer and must be replaced before the surface path can serve it.
PresentPath RunSpeedTrial(SDL_Window* window, Size client, std::unique_ptr<Presenter>& texture);

}  // namespace vv::platform::sdl
