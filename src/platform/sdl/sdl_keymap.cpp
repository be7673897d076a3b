// Physical keys (SDL scancodes) to the virtual-key codes scripts test.
//
// Scancodes name key positions, while virtual keys of the OEM keys follow
// the layout printed on the keys, so those rows have a US and a JIS column.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <utility>

#include "platform/keycodes.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

struct KeyRow {
  SDL_Scancode scancode;
  uint8_t us;     // the message code on a US layout
  uint8_t jis;    // the message code on a JIS layout
  uint8_t sided;  // left/right code of a modifier, else 0
};

constexpr KeyRow Same(SDL_Scancode s, uint8_t vk) { return {s, vk, vk, 0}; }
constexpr KeyRow Modifier(SDL_Scancode s, uint8_t generic, uint8_t sided) {
  return {s, generic, generic, sided};
}

// Runs of keys whose scancodes and virtual keys both count up by one.
struct KeyRun {
  SDL_Scancode first;
  int count;
  uint8_t firstVk;
};

constexpr KeyRun kRuns[] = {
    {SDL_SCANCODE_A, 26, kVkA},
    {SDL_SCANCODE_1, 9, kVk0 + 1},  // SDL puts 0 after 9
    {SDL_SCANCODE_F1, 12, kVkF1},
    {SDL_SCANCODE_F13, 12, kVkF1 + 12},
    {SDL_SCANCODE_KP_1, 9, kVkNumpad0 + 1},  // and keypad 0 after keypad 9
};

constexpr KeyRow kRows[] = {
    Same(SDL_SCANCODE_0, kVk0),
    Same(SDL_SCANCODE_KP_0, kVkNumpad0),
    Same(SDL_SCANCODE_RETURN, kVkReturn),
    Same(SDL_SCANCODE_KP_ENTER, kVkReturn),
    Same(SDL_SCANCODE_ESCAPE, kVkEscape),
    Same(SDL_SCANCODE_BACKSPACE, kVkBack),
    Same(SDL_SCANCODE_TAB, kVkTab),
    Same(SDL_SCANCODE_SPACE, kVkSpace),
    Same(SDL_SCANCODE_CAPSLOCK, kVkCapital),
    Same(SDL_SCANCODE_PRINTSCREEN, kVkSnapshot),
    Same(SDL_SCANCODE_SCROLLLOCK, kVkScroll),
    Same(SDL_SCANCODE_PAUSE, kVkPause),
    Same(SDL_SCANCODE_INSERT, kVkInsert),
    Same(SDL_SCANCODE_DELETE, kVkDelete),
    Same(SDL_SCANCODE_HOME, kVkHome),
    Same(SDL_SCANCODE_END, kVkEnd),
    Same(SDL_SCANCODE_PAGEUP, kVkPrior),
    Same(SDL_SCANCODE_PAGEDOWN, kVkNext),
    Same(SDL_SCANCODE_LEFT, kVkLeft),
    Same(SDL_SCANCODE_UP, kVkUp),
    Same(SDL_SCANCODE_RIGHT, kVkRight),
    Same(SDL_SCANCODE_DOWN, kVkDown),
    Same(SDL_SCANCODE_HELP, kVkHelp),
    Same(SDL_SCANCODE_CLEAR, kVkClear),
    Same(SDL_SCANCODE_KP_CLEAR, kVkClear),
    Same(SDL_SCANCODE_APPLICATION, kVkApps),
    Same(SDL_SCANCODE_LGUI, kVkLWin),
    Same(SDL_SCANCODE_RGUI, kVkRWin),
    // Numpad: always the numpad codes, whatever NumLock says.
    Same(SDL_SCANCODE_NUMLOCKCLEAR, kVkNumLock),
    Same(SDL_SCANCODE_KP_MULTIPLY, kVkMultiply),
    Same(SDL_SCANCODE_KP_PLUS, kVkAdd),
    Same(SDL_SCANCODE_KP_COMMA, kVkSeparator),
    Same(SDL_SCANCODE_KP_MINUS, kVkSubtract),
    Same(SDL_SCANCODE_KP_PERIOD, kVkDecimal),
    Same(SDL_SCANCODE_KP_DIVIDE, kVkDivide),
    // Modifiers: messages carry the side-less code, the state table both.
    Modifier(SDL_SCANCODE_LSHIFT, kVkShift, kVkLShift),
    Modifier(SDL_SCANCODE_RSHIFT, kVkShift, kVkRShift),
    Modifier(SDL_SCANCODE_LCTRL, kVkControl, kVkLControl),
    Modifier(SDL_SCANCODE_RCTRL, kVkControl, kVkRControl),
    Modifier(SDL_SCANCODE_LALT, kVkMenu, kVkLMenu),
    Modifier(SDL_SCANCODE_RALT, kVkMenu, kVkRMenu),
    // OEM keys by position: US legend / JIS legend.
    {SDL_SCANCODE_MINUS, kVkOemMinus, kVkOemMinus, 0},     // -_  / -=
    {SDL_SCANCODE_EQUALS, kVkOemPlus, kVkOem7, 0},         // =+  / ^~
    {SDL_SCANCODE_LEFTBRACKET, kVkOem4, kVkOem3, 0},       // [{  / @`
    {SDL_SCANCODE_RIGHTBRACKET, kVkOem6, kVkOem4, 0},      // ]}  / [{
    {SDL_SCANCODE_BACKSLASH, kVkOem5, kVkOem6, 0},         // \|  / ]}
    {SDL_SCANCODE_NONUSHASH, kVkOem5, kVkOem6, 0},         // the same key on ISO boards
    {SDL_SCANCODE_SEMICOLON, kVkOem1, kVkOemPlus, 0},      // ;:  / ;+
    {SDL_SCANCODE_APOSTROPHE, kVkOem7, kVkOem1, 0},        // '"  / :*
    {SDL_SCANCODE_GRAVE, kVkOem3, kVkKanji, 0},            // `~  / hankaku/zenkaku
    Same(SDL_SCANCODE_COMMA, kVkOemComma),
    Same(SDL_SCANCODE_PERIOD, kVkOemPeriod),
    Same(SDL_SCANCODE_SLASH, kVkOem2),
    Same(SDL_SCANCODE_NONUSBACKSLASH, kVkOem102),
    // Keys only Japanese (and Korean) boards have.
    Same(SDL_SCANCODE_INTERNATIONAL1, kVkOem102),  // ro  \_
    Same(SDL_SCANCODE_INTERNATIONAL2, kVkKana),    // katakana/hiragana
    Same(SDL_SCANCODE_INTERNATIONAL3, kVkOem5),    // yen \|
    Same(SDL_SCANCODE_INTERNATIONAL4, kVkConvert),     // henkan
    Same(SDL_SCANCODE_INTERNATIONAL5, kVkNonConvert),  // muhenkan
    Same(SDL_SCANCODE_LANG1, kVkKana),
    Same(SDL_SCANCODE_LANG2, kVkKanji),
};

struct KeyEntry {
  uint8_t us = 0, jis = 0, sided = 0;
};
using KeyTable = std::array<KeyEntry, SDL_NUM_SCANCODES>;

constexpr KeyTable BuildTable() {
  KeyTable table{};
  for (const KeyRun& run : kRuns) {
    for (int i = 0; i < run.count; ++i) {
      const auto vk = static_cast<uint8_t>(run.firstVk + i);
      table[run.first + i] = {vk, vk, 0};
    }
  }
  for (const KeyRow& row : kRows) table[row.scancode] = {row.us, row.jis, row.sided};
  return table;
}

constexpr KeyTable kTable = BuildTable();

static_assert(kMouseLeft == SDL_BUTTON_LMASK && kMouseMiddle == SDL_BUTTON_MMASK &&
              kMouseRight == SDL_BUTTON_RMASK && kMouseX1 == SDL_BUTTON_X1MASK &&
              kMouseX2 == SDL_BUTTON_X2MASK);

}  // namespace

ScancodeKeys VirtualKeyFromScancode(int sdlScancode, KeyLayout layout) {
  if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return {};
  const KeyEntry& e = kTable[sdlScancode];
  return {layout == KeyLayout::Jis ? e.jis : e.us, e.sided};
}

void FillKeyStates(const uint8_t* scancodeStates, int count, KeyLayout layout,
                   uint32_t mouseButtons, KeyStates& out) {
  out.fill(0);
  const int n = scancodeStates ? std::min(count, static_cast<int>(kTable.size())) : 0;
  for (int s = 0; s < n; ++s) {
    if (!scancodeStates[s]) continue;
    const ScancodeKeys keys = VirtualKeyFromScancode(s, layout);
    if (keys.key) out[keys.key] = kKeyDown;
    if (keys.sided) out[keys.sided] = kKeyDown;
  }
  constexpr std::pair<uint32_t, uint8_t> kButtons[] = {
      {kMouseLeft, kVkLButton}, {kMouseRight, kVkRButton}, {kMouseMiddle, kVkMButton},
      {kMouseX1, kVkXButton1}, {kMouseX2, kVkXButton2}};
  for (const auto& [bit, vk] : kButtons) {
    if (mouseButtons & bit) out[vk] = kKeyDown;
  }
}

KeyLayout CurrentKeyLayout() {
  // A JIS layout puts '@' right of P and ':' right of ';'.
  if (SDL_GetKeyFromScancode(SDL_SCANCODE_LEFTBRACKET) == SDLK_AT ||
      SDL_GetKeyFromScancode(SDL_SCANCODE_APOSTROPHE) == SDLK_COLON) {
    return KeyLayout::Jis;
  }
  return KeyLayout::Us;
}

int MouseButtonKey(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return kVkLButton;
    case SDL_BUTTON_RIGHT: return kVkRButton;
    case SDL_BUTTON_MIDDLE: return kVkMButton;
    case SDL_BUTTON_X1: return kVkXButton1;
    case SDL_BUTTON_X2: return kVkXButton2;
    default: return 0;
  }
}

}  // namespace vv::platform::sdl
