// Keyboard, mouse and joystick state, sampled once per frame.
#pragma once

#include <array>
#include <cstdint>

#include "platform/geometry.h"

namespace vv::platform {

using KeyStates = std::array<uint8_t, 256>;  // kKeyDown set while held

class Input {
 public:
  virtual ~Input() = default;
  // The 256 virtual-key bytes of the keyboard and mouse buttons right now.
  virtual void Sample(KeyStates& out) = 0;
  // Cursor position in the client pixels of `slot`'s window (may lie
  // outside the client area).
  virtual Point Cursor(int slot) = 0;
  virtual void WarpCursor(int slot, Point client) = 0;
  virtual void ShowCursor(bool show) = 0;
};

struct JoystickState {
  int x = 0, y = 0;       // -1000..1000
  uint32_t buttons = 0;   // bit n = button n pressed
};

class Joysticks {
 public:
  virtual ~Joysticks() = default;
  virtual int Count() = 0;
  // False when joystick `index` cannot be read (unplugged).
  virtual bool Read(int index, JoystickState& out) = 0;
};

}  // namespace vv::platform
