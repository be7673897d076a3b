// One record per engine window slot (0 main, 1..3 sub-windows).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/display.h"

namespace vv::shell {

// What closing the window does.
enum class CloseState : uint8_t {
  ReportOnly = 0,    // a close request is only reported to the script
  Ask = 1,           // the player is asked first (the default)
  ProgramEnd = 2,    // the program is ending; close without asking
  CloseNoEnd = 3,    // close the window without ending the program
};

struct WindowRecord {
  bool open = false;           // the slot is in use
  bool created = false;        // the platform window exists
  int clientWidth = 0, clientHeight = 0;
  std::string title;           // Shift-JIS
  CloseState closeState = CloseState::Ask;
  bool framed = true;
  bool maximizeBox = false;
  bool closeRequested = false;  // a close the script has not read yet
  // The composed frame, B G R A, rows bottom-up, clientWidth * 4 per row.
  // Until the compositor lands it stays black and is presented whole once.
  std::vector<uint8_t> backBuffer;
  bool needsPresent = true;
};

using WindowRecords = std::array<WindowRecord, platform::kMaxWindows>;

}  // namespace vv::shell
