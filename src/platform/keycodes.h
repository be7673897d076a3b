// Virtual-key codes: the numbering a Windows game's scripts expect for keys
// and mouse buttons. Both backends map their input onto these codes.
#pragma once

#include <cstdint>

namespace vv::platform {

enum VirtualKey : uint8_t {
  kVkLButton = 0x01, kVkRButton = 0x02, kVkCancel = 0x03, kVkMButton = 0x04,
  kVkXButton1 = 0x05, kVkXButton2 = 0x06,
  kVkBack = 0x08, kVkTab = 0x09, kVkClear = 0x0C, kVkReturn = 0x0D,
  kVkShift = 0x10, kVkControl = 0x11, kVkMenu = 0x12, kVkPause = 0x13, kVkCapital = 0x14,
  kVkKana = 0x15, kVkKanji = 0x19, kVkEscape = 0x1B, kVkConvert = 0x1C, kVkNonConvert = 0x1D,
  kVkSpace = 0x20, kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkHome = 0x24,
  kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28,
  kVkSnapshot = 0x2C, kVkInsert = 0x2D, kVkDelete = 0x2E, kVkHelp = 0x2F,
  kVk0 = 0x30,  // '0'..'9' are 0x30..0x39
  kVkA = 0x41,  // 'A'..'Z' are 0x41..0x5A
  kVkLWin = 0x5B, kVkRWin = 0x5C, kVkApps = 0x5D,
  kVkNumpad0 = 0x60,  // numpad 0..9 are 0x60..0x69
  kVkMultiply = 0x6A, kVkAdd = 0x6B, kVkSeparator = 0x6C, kVkSubtract = 0x6D,
  kVkDecimal = 0x6E, kVkDivide = 0x6F,
  kVkF1 = 0x70,  // F1..F24 are 0x70..0x87
  kVkNumLock = 0x90, kVkScroll = 0x91,
  kVkLShift = 0xA0, kVkRShift = 0xA1, kVkLControl = 0xA2, kVkRControl = 0xA3,
  kVkLMenu = 0xA4, kVkRMenu = 0xA5,
  kVkOem1 = 0xBA,       // ';:' on US, ':*' on JIS
  kVkOemPlus = 0xBB,    // ';+' on JIS
  kVkOemComma = 0xBC, kVkOemMinus = 0xBD, kVkOemPeriod = 0xBE,
  kVkOem2 = 0xBF,       // '/?'
  kVkOem3 = 0xC0,       // '`~' on US, '@`' on JIS
  kVkOem4 = 0xDB,       // '[{'
  kVkOem5 = 0xDC,       // '\|' (the yen key on JIS)
  kVkOem6 = 0xDD,       // ']}'
  kVkOem7 = 0xDE,       // quote on US, '^~' on JIS
  kVkOem102 = 0xE2,     // '\_' (JIS ro key)
};

// Key byte as the 256-entry state table holds it.
constexpr uint8_t kKeyDown = 0x80;

}  // namespace vv::platform
