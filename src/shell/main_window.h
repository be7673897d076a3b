// The main window and the window handling the frame loop needs: creating
// it, closing it (asking first when its close state says so), and the raise
// request of a second start.
#pragma once

#include "platform/events.h"

namespace vv {
struct Engine;
}

namespace vv::shell {

// The close confirmation text, UTF-8 (shown in Shift-JIS).
constexpr char kCloseQuestion[] = "終了します。よろしいですか？";

// Fills window record `slot` for opening: title, open, close state Ask.
void PrepareWindowRecord(Engine& engine, int slot, const std::string& titleSjis);
// Creates the main window from record 0 and the configuration; false when
// the system refused.
bool CreateMainWindow(Engine& engine);
// Handles one window event; the Quit event ends the loop.
void HandleWindowEvent(Engine& engine, const platform::Event& event);

}  // namespace vv::shell
