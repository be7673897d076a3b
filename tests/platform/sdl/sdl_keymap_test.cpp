// The scancode table and the key-state bytes built from it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <set>

#include "platform/keycodes.h"
#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {
namespace {

struct KeyCase {
  int scancode;
  KeyLayout layout;
  ScancodeKeys expected;
};

TEST(SdlKeymap, MapsScancodesToVirtualKeys) {
  using enum KeyLayout;
  const KeyCase cases[] = {
      {SDL_SCANCODE_A, Us, {0x41}},
      {SDL_SCANCODE_Z, Us, {0x5A}},
      {SDL_SCANCODE_1, Us, {0x31}},
      {SDL_SCANCODE_9, Us, {0x39}},
      {SDL_SCANCODE_0, Us, {0x30}},
      {SDL_SCANCODE_F1, Us, {0x70}},
      {SDL_SCANCODE_F12, Us, {0x7B}},
      {SDL_SCANCODE_F13, Us, {0x7C}},
      {SDL_SCANCODE_F24, Us, {0x87}},
      {SDL_SCANCODE_KP_0, Us, {kVkNumpad0}},
      {SDL_SCANCODE_KP_1, Us, {kVkNumpad0 + 1}},
      {SDL_SCANCODE_KP_9, Us, {kVkNumpad0 + 9}},
      {SDL_SCANCODE_KP_PERIOD, Us, {kVkDecimal}},
      {SDL_SCANCODE_KP_ENTER, Us, {kVkReturn}},
      {SDL_SCANCODE_RETURN, Us, {kVkReturn}},
      {SDL_SCANCODE_ESCAPE, Us, {kVkEscape}},
      {SDL_SCANCODE_BACKSPACE, Us, {kVkBack}},
      {SDL_SCANCODE_PAGEUP, Us, {kVkPrior}},
      {SDL_SCANCODE_PAGEDOWN, Us, {kVkNext}},
      {SDL_SCANCODE_LEFT, Us, {kVkLeft}},
      {SDL_SCANCODE_DOWN, Us, {kVkDown}},
      {SDL_SCANCODE_LSHIFT, Us, {kVkShift, kVkLShift}},
      {SDL_SCANCODE_RSHIFT, Jis, {kVkShift, kVkRShift}},
      {SDL_SCANCODE_LCTRL, Us, {kVkControl, kVkLControl}},
      {SDL_SCANCODE_RCTRL, Us, {kVkControl, kVkRControl}},
      {SDL_SCANCODE_LALT, Us, {kVkMenu, kVkLMenu}},
      {SDL_SCANCODE_RALT, Us, {kVkMenu, kVkRMenu}},
      {SDL_SCANCODE_INTERNATIONAL1, Jis, {kVkOem102}},
      {SDL_SCANCODE_INTERNATIONAL2, Jis, {kVkKana}},
      {SDL_SCANCODE_INTERNATIONAL3, Jis, {kVkOem5}},
      {SDL_SCANCODE_INTERNATIONAL3, Us, {kVkOem5}},
      {SDL_SCANCODE_INTERNATIONAL4, Jis, {kVkConvert}},
      {SDL_SCANCODE_INTERNATIONAL5, Jis, {kVkNonConvert}},
      {SDL_SCANCODE_GRAVE, Us, {kVkOem3}},
      {SDL_SCANCODE_GRAVE, Jis, {kVkKanji}},
      {SDL_SCANCODE_SEMICOLON, Us, {kVkOem1}},
      {SDL_SCANCODE_SEMICOLON, Jis, {kVkOemPlus}},
      {SDL_SCANCODE_APOSTROPHE, Us, {kVkOem7}},
      {SDL_SCANCODE_APOSTROPHE, Jis, {kVkOem1}},
      {SDL_SCANCODE_EQUALS, Us, {kVkOemPlus}},
      {SDL_SCANCODE_EQUALS, Jis, {kVkOem7}},
      {SDL_SCANCODE_LEFTBRACKET, Us, {kVkOem4}},
      {SDL_SCANCODE_LEFTBRACKET, Jis, {kVkOem3}},
      {SDL_SCANCODE_RIGHTBRACKET, Jis, {kVkOem4}},
      {SDL_SCANCODE_BACKSLASH, Us, {kVkOem5}},
      {SDL_SCANCODE_BACKSLASH, Jis, {kVkOem6}},
      {SDL_SCANCODE_NONUSBACKSLASH, Us, {kVkOem102}},
      {SDL_SCANCODE_MUTE, Us, {}},
      {SDL_SCANCODE_UNKNOWN, Us, {}},
      {-1, Us, {}},
      {SDL_NUM_SCANCODES, Us, {}},
  };
  for (const KeyCase& c : cases) {
    const ScancodeKeys got = VirtualKeyFromScancode(c.scancode, c.layout);
    EXPECT_EQ(got.key, c.expected.key) << "scancode " << c.scancode;
    EXPECT_EQ(got.sided, c.expected.sided) << "scancode " << c.scancode;
  }
}

// Every key the engine samples is reachable on both layouts.
TEST(SdlKeymap, CoversEverySampledKey) {
  std::set<int> sampled = {0x08, 0x09, 0x0D, 0x1B, 0x90, 0x91, 0xE2};
  auto range = [&](int first, int last) {
    for (int vk = first; vk <= last; ++vk) sampled.insert(vk);
  };
  range(0x10, 0x13);
  range(0x20, 0x28);
  range(0x2C, 0x2F);
  range(0x30, 0x39);
  range(0x41, 0x5A);
  range(0x60, 0x87);
  range(0xA0, 0xA5);
  range(0xBA, 0xC0);
  range(0xDB, 0xDE);
  for (KeyLayout layout : {KeyLayout::Us, KeyLayout::Jis}) {
    std::set<int> reachable;
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
      const ScancodeKeys k = VirtualKeyFromScancode(s, layout);
      if (k.key) reachable.insert(k.key);
      if (k.sided) reachable.insert(k.sided);
    }
    for (int vk : sampled) {
      EXPECT_TRUE(reachable.count(vk)) << "vk 0x" << std::hex << vk << " layout "
                                       << static_cast<int>(layout);
    }
  }
}

TEST(SdlKeymap, FillsSidedAndGenericModifiersAndMouseButtons) {
  uint8_t scancodes[SDL_NUM_SCANCODES] = {};
  scancodes[SDL_SCANCODE_RSHIFT] = 1;
  scancodes[SDL_SCANCODE_A] = 1;
  scancodes[SDL_SCANCODE_LEFTBRACKET] = 1;
  KeyStates keys;
  keys.fill(0x55);  // stale bytes must not survive
  FillKeyStates(scancodes, SDL_NUM_SCANCODES, KeyLayout::Jis, kMouseLeft | kMouseX2, keys);

  const std::set<int> down = {kVkRShift, kVkShift, 0x41, kVkOem3, kVkLButton, kVkXButton2};
  for (int vk = 0; vk < 256; ++vk) {
    EXPECT_EQ(keys[vk], down.count(vk) ? kKeyDown : 0) << "vk 0x" << std::hex << vk;
  }
}

TEST(SdlKeymap, ShortOrMissingStateTables) {
  KeyStates keys;
  FillKeyStates(nullptr, 512, KeyLayout::Us, kMouseRight | kMouseMiddle | kMouseX1, keys);
  EXPECT_EQ(keys[kVkRButton], kKeyDown);
  EXPECT_EQ(keys[kVkMButton], kKeyDown);
  EXPECT_EQ(keys[kVkXButton1], kKeyDown);
  EXPECT_EQ(keys[kVkLButton], 0);

  // Only `count` bytes are read: the scancode of Z lies beyond.
  uint8_t few[SDL_SCANCODE_Z + 1] = {};
  few[SDL_SCANCODE_B] = 1;
  few[SDL_SCANCODE_Z] = 1;
  FillKeyStates(few, SDL_SCANCODE_Z, KeyLayout::Us, 0, keys);
  EXPECT_EQ(keys[0x42], kKeyDown);
  EXPECT_EQ(keys[0x5A], 0);
}

}  // namespace
}  // namespace vv::platform::sdl
