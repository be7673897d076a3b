// Joysticks and game controllers.
//
// Devices SDL knows as game controllers are read through their standard
// mapping (left stick and d-pad as X/Y; buttons numbered A, B, X, Y, LB, RB,
// Back, Start, left stick, right stick, Guide, then the extras), so that
// button 0 and 1 are the same on every pad. Other devices are read raw:
// axes 0 and 1, hat 0 when the axes rest, buttons 0..31.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

constexpr int kMaxJoysticks = 16;
constexpr int kMaxButtons = 32;
constexpr int kAxisRange = 1000;
constexpr int kRestingAxis = 100;  // below the engine's direction threshold

constexpr SDL_GameControllerButton kPadButtons[] = {
    SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y, SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK, SDL_CONTROLLER_BUTTON_GUIDE,
    SDL_CONTROLLER_BUTTON_MISC1, SDL_CONTROLLER_BUTTON_PADDLE1, SDL_CONTROLLER_BUTTON_PADDLE2,
    SDL_CONTROLLER_BUTTON_PADDLE3, SDL_CONTROLLER_BUTTON_PADDLE4,
    SDL_CONTROLLER_BUTTON_TOUCHPAD,
};

int ScaleAxis(Sint16 value) {
  return std::clamp(value * kAxisRange / SDL_JOYSTICK_AXIS_MAX, -kAxisRange, kAxisRange);
}

class SdlJoysticks final : public Joysticks {
 public:
  ~SdlJoysticks() override {
    for (Device& d : devices_) Close(d);
  }

  int Count() override { return std::clamp(SDL_NumJoysticks(), 0, kMaxJoysticks); }

  bool Read(int index, JoystickState& out) override {
    out = {};
    if (index < 0 || index >= Count()) return false;
    SDL_JoystickUpdate();
    Device& d = devices_[index];
    // Indices move when devices come and go; the instance id does not.
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    if (d.id != id || !d.stick) {
      Close(d);
      Open(d, index, id);
    }
    if (!d.stick || !SDL_JoystickGetAttached(d.stick)) {
      Close(d);
      return false;
    }
    if (d.pad) {
      ReadPad(d.pad, out);
    } else {
      ReadStick(d.stick, out);
    }
    return true;
  }

 private:
  struct Device {
    SDL_JoystickID id = -1;
    SDL_GameController* pad = nullptr;
    SDL_Joystick* stick = nullptr;  // the pad's own joystick when `pad` is set
  };

  static void Open(Device& d, int index, SDL_JoystickID id) {
    if (SDL_IsGameController(index)) {
      d.pad = SDL_GameControllerOpen(index);
      d.stick = d.pad ? SDL_GameControllerGetJoystick(d.pad) : nullptr;
    }
    if (!d.stick) d.stick = SDL_JoystickOpen(index);
    d.id = d.stick ? id : -1;
  }

  static void Close(Device& d) {
    if (d.pad) {
      SDL_GameControllerClose(d.pad);
    } else if (d.stick) {
      SDL_JoystickClose(d.stick);
    }
    d = Device{};
  }

  static void ReadPad(SDL_GameController* pad, JoystickState& out) {
    out.x = ScaleAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX));
    out.y = ScaleAxis(SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY));
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) out.x = -kAxisRange;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) out.x = kAxisRange;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP)) out.y = -kAxisRange;
    if (SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) out.y = kAxisRange;
    for (int b = 0; b < static_cast<int>(std::size(kPadButtons)); ++b) {
      if (SDL_GameControllerGetButton(pad, kPadButtons[b])) out.buttons |= 1u << b;
    }
  }

  static void ReadStick(SDL_Joystick* stick, JoystickState& out) {
    if (SDL_JoystickNumAxes(stick) >= 2) {
      out.x = ScaleAxis(SDL_JoystickGetAxis(stick, 0));
      out.y = ScaleAxis(SDL_JoystickGetAxis(stick, 1));
    }
    // Many pads report their d-pad as a hat; it speaks when the stick rests.
    if (SDL_JoystickNumHats(stick) > 0 && std::abs(out.x) <= kRestingAxis &&
        std::abs(out.y) <= kRestingAxis) {
      const Uint8 hat = SDL_JoystickGetHat(stick, 0);
      if (hat & SDL_HAT_LEFT) out.x = -kAxisRange;
      if (hat & SDL_HAT_RIGHT) out.x = kAxisRange;
      if (hat & SDL_HAT_UP) out.y = -kAxisRange;
      if (hat & SDL_HAT_DOWN) out.y = kAxisRange;
    }
    const int buttons = std::min(SDL_JoystickNumButtons(stick), kMaxButtons);
    for (int b = 0; b < buttons; ++b) {
      if (SDL_JoystickGetButton(stick, b)) out.buttons |= 1u << b;
    }
  }

  std::array<Device, kMaxJoysticks> devices_;
};

}  // namespace

std::unique_ptr<Joysticks> CreateSdlJoysticks() { return std::make_unique<SdlJoysticks>(); }

}  // namespace vv::platform::sdl
