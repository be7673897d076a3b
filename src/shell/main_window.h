// The main window and the window handling the frame loop needs: creating
// it, closing it (asking first when its close state says so), and the raise
// request of a second start.
#pragma once

#include <cstdint>
#include <string>

#include "platform/events.h"

namespace vv {
struct Engine;
}

namespace vv::shell {

// The close confirmation text, UTF-8 (shown in Shift-JIS).
constexpr char kCloseQuestion[] = "終了します。よろしいですか？";

constexpr int32_t kErrNoDisplayMode = 105200;

// Fills window record `slot` for opening: title, open, close state Ask.
void PrepareWindowRecord(Engine& engine, int slot, const std::string& titleSjis);
// Creates the main window from record 0 and the configuration; false when
// the system refused.
bool CreateMainWindow(Engine& engine);
// Switches the main window to full screen (state 1) or windowed (any
// other value; the byte is stored as the state). 1 when the state
// changed, 0 when it already was as asked. Full screen is the desktop's
// own mode with the frame scaled, its aspect kept; when the display cannot
// give it, 105200 is reported (no halt) with the client size and the
// window stays windowed. After a change the whole picture is presented
// again on the next frame.
int SetFullScreen(Engine& engine, uint8_t state);

// Handles one window event; the Quit event ends the loop.
void HandleWindowEvent(Engine& engine, const platform::Event& event);

}  // namespace vv::shell
