// One record per engine window slot (0 main, 1..3 sub-windows).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/display.h"

namespace vv::script {
struct NameNode;
}

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
  // The window's root layer (a group layer of the client size, "W0" for
  // the main window) whose pixels are the window's back buffer; null
  // when the window shows no layers.
  script::NameNode* rootLayer = nullptr;
  bool showsLayers = false;  // set when the window is set up
  bool layersShown = false;  // layers reached the window on the last frame
  // The whole client area is to be presented again (a new window, a
  // restored display): the next frame presents all of the root layer.
  bool needsPresent = true;
  // Mouse position in client pixels, sampled each frame.
  int mouseX = 0, mouseY = 0;
};

using WindowRecords = std::array<WindowRecord, platform::kMaxWindows>;

}  // namespace vv::shell
