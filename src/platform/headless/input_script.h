// Scripted input for headless runs: a text file (or a test) lists what the
// player does, frame by frame.
//
// One action per line; `#` starts a comment; words are separated by blanks
// and a word in double quotes may hold blanks (\" and \\ inside quotes).
//   at <frame> key down|up <key>     a key (or mouse button) goes down or up
//   at <frame> press <key>           down at <frame>, up at the next frame
//   at <frame> click [left|right|middle] <x> <y>
//                                    move there and press, release the next frame
//   at <frame> move <x> <y>          the cursor moves (main window client pixels)
//   at <frame> wheel <notches>       positive turns away from the player
//   at <frame> close                 the player closes the main window
//   at <frame> drop <host path>...   files dropped at the cursor
//   at <frame> screenshot [name]     PNG of the main window at the end of the
//                                    frame, <name>.png or frame-NNNNNN.png
// Frames count from 1. Keys are names (A..Z, 0..9, F1..F24, RETURN, ESCAPE,
// SPACE, TAB, BACK, SHIFT, CONTROL, ALT, LSHIFT ... NUMPAD0..9, OEM_1 ...,
// LBUTTON ...; any letter case) or virtual-key codes as 0x.. or as decimal
// numbers of two or more digits (a single digit names the digit key).
// Screenshot names are letters, digits, '.', '_' and '-', not starting
// with '.'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vv::platform {

enum class InputActionKind { KeyDown, KeyUp, Press, Click, Move, Wheel, Close, Drop, Screenshot };

struct InputAction {
  uint64_t frame = 1;
  InputActionKind kind = InputActionKind::Press;
  int key = 0;                     // KeyDown, KeyUp, Press; Click: kVkLButton/RButton/MButton
  int x = 0, y = 0;                // Click, Move
  int wheel = 0;                   // Wheel
  std::vector<std::string> files;  // Drop: host paths as written
  std::string name;                // Screenshot; empty: frame-NNNNNN
};

// Appends the actions of `text` to `out` in their order. False with
// "line N: <reason>" in `error` at the first malformed line (the actions
// before it are appended).
bool ParseInputScript(std::string_view text, std::vector<InputAction>& out, std::string& error);

// The virtual-key code a script word names, or -1.
int KeyFromName(std::string_view word);

// True for a screenshot name that stays inside the screenshot folder.
bool IsValidScreenshotName(std::string_view name);

}  // namespace vv::platform
