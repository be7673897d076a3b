// The headless display: every window is a framebuffer in memory with the
// state a real window would have, so tests can read back what a game shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/display.h"

namespace vv::platform {

struct MemoryWindow {
  Size client;
  std::string titleSjis;
  std::string titleUtf8;
  bool framed = true;
  bool maximizeBox = false;
  bool topmost = false;
  bool visible = false;
  bool minimized = false;
  bool fullScreen = false;
  Point position;           // client origin on the desktop
  std::vector<Rect> shape;  // empty: the whole client area
  int captionDrags = 0;     // BeginCaptionDrag calls
  uint64_t presents = 0;    // Present calls that copied pixels
  // What the window shows: top-down rows of B, G, R, A, opaque (A = 255).
  std::vector<uint8_t> pixels;
};

class MemoryDisplay final : public Display {
 public:
  explicit MemoryDisplay(DesktopInfo desktop) : desktop_(desktop) {}

  DesktopInfo Desktop() override { return desktop_; }
  // Fails for a slot outside 0..3, a slot in use, or a size that is not
  // positive. The window starts hidden and black.
  bool CreateWindow(int slot, const WindowDesc& desc) override;
  void DestroyWindow(int slot) override;
  bool WindowExists(int slot) const override;

  void SetTitle(int slot, std::string_view titleSjis) override;
  void Show(int slot, ShowMode mode) override;
  void Raise(int slot) override;
  bool IsMinimized(int slot) const override;
  bool IsVisible(int slot) const override;

  Size ClientSize(int slot) const override;
  // Keeps the pixels that still fit (top-left anchored); new area is black.
  void SetClientSize(int slot, Size size) override;
  Point Position(int slot) const override;
  // (-1, -1) centres the window on the desktop.
  void SetPosition(int slot, Point clientOrigin) override;
  void SetTopmost(int slot, bool topmost) override;
  void SetShape(int slot, const std::vector<Rect>& rects) override;
  // Counted only: nothing moves a headless window with the mouse.
  void BeginCaptionDrag(int slot) override;

  // Copies `area`, clipped to the frame and the client area, with the rows
  // turned top-down and alpha made opaque.
  void Present(int slot, const FrameView& frame, const Rect& area) override;
  PresentPath CurrentPresentPath() const override { return PresentPath::Memory; }
  bool ReadPixels(int slot, std::vector<uint8_t>& bgraTopDown, Size& size) override;

  // A display without a full-screen mode (tests of the refusal).
  bool refuseFullScreen = false;
  bool SetFullScreen(int slot, bool on) override;
  bool IsFullScreen(int slot) const override;

  // The state of `slot`'s window, null when it does not exist. Valid until
  // the window is destroyed.
  const MemoryWindow* Window(int slot) const;
  // The window of `slot` as it is, or as it was when last destroyed (so a
  // run can still show its last picture after the game closed it); null
  // when the slot never had a window.
  const MemoryWindow* LastWindow(int slot) const;
  // The slot most recently raised (or shown), -1 before any.
  int ForegroundSlot() const { return foreground_; }

 private:
  MemoryWindow* Find(int slot);
  Point Centred(Size client) const;

  DesktopInfo desktop_;
  std::array<std::optional<MemoryWindow>, kMaxWindows> windows_;
  std::array<std::optional<MemoryWindow>, kMaxWindows> destroyed_;
  int foreground_ = -1;
};

}  // namespace vv::platform
