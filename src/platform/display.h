// Windows and presentation.
//
// The engine has up to four top-level windows, addressed by slot 0..3 (0 is
// the main window). The engine composes every frame itself into a BGRA
// buffer with rows stored bottom-up; the display only copies a rectangle of
// it to the screen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.h"

namespace vv::platform {

constexpr int kMaxWindows = 4;

struct DesktopInfo {
  int width = 0, height = 0;
  int bitsPerPixel = 32;
};

struct WindowDesc {
  Size client;              // client area in pixels
  std::string titleSjis;    // Shift-JIS; converted at this boundary
  bool framed = true;       // title bar and border; false = borderless
  bool maximizeBox = false; // framed windows only
  bool topmost = false;
  Point position{-1, -1};   // screen position of the client area; -1 = centred
};

// A frame in engine layout: 4 bytes per pixel (B, G, R, A), `stride` bytes
// from one stored row to the next, row 0 stored first is the *bottom* row.
struct FrameView {
  const uint8_t* pixels = nullptr;
  int width = 0, height = 0;
  int stride = 0;
};

enum class ShowMode { Show, Hide, Minimize, Restore };

// How frames reach the screen. The SDL backend times both at start-up and
// keeps the faster one; the names are what the engine reports to scripts.
enum class PresentPath { Texture, Surface, Memory };

class Display {
 public:
  virtual ~Display() = default;

  virtual DesktopInfo Desktop() = 0;

  // Creates the window of `slot` hidden. Returns false (nothing created)
  // when the system refuses. Creating a slot that exists fails.
  virtual bool CreateWindow(int slot, const WindowDesc& desc) = 0;
  virtual void DestroyWindow(int slot) = 0;
  virtual bool WindowExists(int slot) const = 0;

  virtual void SetTitle(int slot, std::string_view titleSjis) = 0;
  virtual void Show(int slot, ShowMode mode) = 0;
  // Brings the window to the foreground (restoring it first when minimised).
  virtual void Raise(int slot) = 0;
  virtual bool IsMinimized(int slot) const = 0;
  virtual bool IsVisible(int slot) const = 0;

  virtual Size ClientSize(int slot) const = 0;
  virtual void SetClientSize(int slot, Size size) = 0;
  virtual Point Position(int slot) const = 0;
  virtual void SetPosition(int slot, Point clientOrigin) = 0;
  virtual void SetTopmost(int slot, bool topmost) = 0;
  // Restricts the visible window to the union of `rects` (client pixels);
  // an empty list restores the full rectangle.
  virtual void SetShape(int slot, const std::vector<Rect>& rects) = 0;
  // Starts moving the window with the mouse as a title-bar drag would.
  virtual void BeginCaptionDrag(int slot) = 0;

  // Copies `area` (client pixels, top-left origin) of `frame` to the window.
  // The frame has the window's client size. Never keeps `frame`.
  virtual void Present(int slot, const FrameView& frame, const Rect& area) = 0;
  virtual PresentPath CurrentPresentPath() const = 0;
  // What the window shows now, top-down rows of B, G, R, A at its client
  // size (screenshots and tests). False when it cannot be read back.
  virtual bool ReadPixels(int slot, std::vector<uint8_t>& bgraTopDown, Size& size) = 0;

  // Full screen on the desktop's own mode; frames are scaled with their
  // aspect kept (integer factors when they fit). Returns true when the
  // mode changed.
  virtual bool SetFullScreen(int slot, bool on) = 0;
  virtual bool IsFullScreen(int slot) const = 0;
};

}  // namespace vv::platform
