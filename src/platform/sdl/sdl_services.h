// Inside the SDL backend: the factories of its services and the SDL-side
// helpers they share. Only files of this folder include it.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {

class SdlDisplay;

// Each service below keeps a reference to `display`, which must outlive it.
std::unique_ptr<Clock> CreateSdlClock();
std::unique_ptr<EventQueue> CreateSdlEvents(SdlDisplay& display);
std::unique_ptr<Input> CreateSdlInput(SdlDisplay& display);
std::unique_ptr<Dialogs> CreateSdlDialogs(SdlDisplay& display);
// Needs the game-controller subsystem to be initialised.
std::unique_ptr<Joysticks> CreateSdlJoysticks();

// The layout the OEM keys follow now, read from SDL's current key map.
KeyLayout CurrentKeyLayout();
// kVkLButton .. kVkXButton2 for an SDL button number; 0 for others.
int MouseButtonKey(int sdlButton);

}  // namespace vv::platform::sdl
