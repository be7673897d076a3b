// What the SDL desktop backend offers beyond the platform interfaces: the
// services without the POSIX parts, and the pure pieces of its input and
// presentation logic (key table, letterbox layout, message-box plans), so
// that they can be checked without a display. No SDL type appears here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/geometry.h"
#include "platform/input.h"
#include "platform/platform.h"

namespace vv::platform::sdl {

// The SDL services alone (clock, display, events, input, dialogs and, when a
// joystick subsystem exists, joysticks); `files` and `instanceGuard` stay
// null for the caller to fill. CreateSdlPlatform is this plus the POSIX
// file system and instance guard. Returns null and fills `error` when SDL
// has no video device or `options.presentPath` names no path.
//
// One SDL platform per process: SDL has a single event queue. Every call on
// the display, events, input and dialogs must come from the thread that
// created the platform (SDL windows belong to it).
std::unique_ptr<Platform> CreateSdlServices(const SdlOptions& options, std::string& error);

// The SDL window id behind `slot` of a display made by this backend; 0 when
// the slot has no window or `display` belongs to another backend.
uint32_t WindowIdOf(const Display& display, int slot);

// --- Keyboard -------------------------------------------------------------

// Which keyboard layout the OEM keys follow. The same physical key carries a
// different virtual key on a JIS keyboard (the key right of L is ';+' there,
// not ';:'), so the table keeps one column per layout.
enum class KeyLayout { Us, Jis };

// The virtual keys one physical key holds down. `key` is the code key
// messages report: for Shift, Ctrl and Alt the side-less code. `sided` is
// the left/right code the key-state table sets as well (0 for other keys).
// Both 0: the key has no virtual key.
struct ScancodeKeys {
  uint8_t key = 0;
  uint8_t sided = 0;
  bool operator==(const ScancodeKeys&) const = default;
};

// Maps an SDL scancode (SDL_Scancode value). Numpad keys always give the
// numpad codes whatever the NumLock state; the key left of 1 gives
// kVkOem3 on US layouts and kVkKanji (hankaku/zenkaku) on JIS layouts.
ScancodeKeys VirtualKeyFromScancode(int sdlScancode, KeyLayout layout = KeyLayout::Us);

// Mouse button bits for FillKeyStates, as SDL_GetMouseState reports them.
constexpr uint32_t kMouseLeft = 1u << 0, kMouseMiddle = 1u << 1, kMouseRight = 1u << 2,
                   kMouseX1 = 1u << 3, kMouseX2 = 1u << 4;

// Builds the 256 virtual-key bytes from SDL's keyboard state (`count` bytes,
// indexed by scancode, non-zero = down) and the mouse button bits.
void FillKeyStates(const uint8_t* scancodeStates, int count, KeyLayout layout,
                   uint32_t mouseButtons, KeyStates& out);

// --- Presentation layout ---------------------------------------------------

// Where a frame of `client` pixels goes in an output of `output` pixels:
// 1:1 when they are equal; otherwise centred, scaled by the largest whole
// factor of at least 2 that fits, or else by the largest aspect-correct
// factor that fits. The rest of the output is black border.
Rect FitFrame(Size client, Size output);

// The client pixel that output pixel `p` shows when the frame fills `dest`
// (taken at the output pixel's centre, as nearest-neighbour scaling
// samples); output pixels outside `dest` map outside the client area.
Point OutputToClient(Point p, Size client, const Rect& dest);
// The output pixel at the centre of client pixel `p`; OutputToClient maps
// it back to `p` whenever the frame is not shrunk.
Point ClientToOutput(Point p, Size client, const Rect& dest);

// --- Message boxes ---------------------------------------------------------

enum class BoxIcon { None, Error, Warning, Information };

struct BoxButton {
  std::string label;  // UTF-8, without '&' mnemonic markers
  int answer = 0;     // what choosing the button returns
  bool isDefault = false;  // Return chooses it
  bool isEscape = false;   // Escape chooses it
};

// A message box ready for SDL: texts in UTF-8, buttons left to right.
// `closeAnswer` is returned when the box is closed without a button.
struct BoxPlan {
  std::string title, message;
  BoxIcon icon = BoxIcon::None;
  std::vector<BoxButton> buttons;
  int closeAnswer = 0;
};

// A message box: the buttons of the set, `defaultButton` (out of range: the
// first) as the Return default; Escape and closing answer Cancel, else No,
// else OK, else Ignore. The question icon shows as information (SDL has no
// question icon).
BoxPlan PlanMessageBox(const MessageBoxDesc& desc);

// The error dialog: answers are ErrorDialogChoice values. The edit button
// appears only when it is both shown and enabled (SDL cannot grey a button
// out); exit is the default and the close answer.
BoxPlan PlanErrorBox(const ErrorDialogDesc& desc);

}  // namespace vv::platform::sdl
