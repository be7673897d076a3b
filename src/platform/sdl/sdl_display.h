// The SDL display: up to four SDL windows, each with its shadow frame and
// presenter (see sdl_present.h).
//
// Choices where SDL differs from the windows the engine was designed for:
//   - Windows are never resizable: SDL has no maximise box apart from a
//     resizable frame, and the client area must stay at the size the engine
//     asks for. `maximizeBox` is therefore ignored; a window manager that
//     resizes the window anyway is answered by setting the size back.
//   - A borderless main window (slot 0) gets no taskbar entry, as the
//     engine's borderless mode expects.
//   - Full screen is the desktop mode (SDL_WINDOW_FULLSCREEN_DESKTOP); the
//     frame is letterboxed (FitFrame) on either present path, and mouse
//     positions are mapped back to client pixels.
//   - The caption drag is done by the backend: while the left button stays
//     down the window follows the global mouse position (no WM hit-test is
//     needed, but it cannot work where the system forbids placing windows).
//   - SetShape only remembers the rectangles (see the FIXME in the source).
//
// All calls on the thread that created the platform.
#pragma once

#include <SDL.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "platform/display.h"
#include "platform/sdl/sdl_present.h"

namespace vv::platform::sdl {

class SdlDisplay final : public Display {
 public:
  // `forced` is the present path to use; nullopt runs the speed trial when
  // the first window is created.
  explicit SdlDisplay(std::optional<PresentPath> forced);
  ~SdlDisplay() override;
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  DesktopInfo Desktop() override;
  bool CreateWindow(int slot, const WindowDesc& desc) override;
  void DestroyWindow(int slot) override;
  bool WindowExists(int slot) const override;
  void SetTitle(int slot, std::string_view titleSjis) override;
  void Show(int slot, ShowMode mode) override;
  void Raise(int slot) override;
  bool IsMinimized(int slot) const override;
  bool IsVisible(int slot) const override;
  Size ClientSize(int slot) const override;
  void SetClientSize(int slot, Size size) override;
  Point Position(int slot) const override;
  void SetPosition(int slot, Point clientOrigin) override;
  void SetTopmost(int slot, bool topmost) override;
  void SetShape(int slot, const std::vector<Rect>& rects) override;
  void BeginCaptionDrag(int slot) override;
  void Present(int slot, const FrameView& frame, const Rect& area) override;
  PresentPath CurrentPresentPath() const override;
  bool ReadPixels(int slot, std::vector<uint8_t>& bgraTopDown, Size& size) override;
  bool SetFullScreen(int slot, bool on) override;
  bool IsFullScreen(int slot) const override;

  // --- for the other SDL services ---
  SDL_Window* WindowOf(int slot) const;
  // The slot of an SDL window id; 0 for id 0 (events that name no window
  // belong to the main window); -1 for windows that are not ours.
  int SlotOf(Uint32 windowId) const;
  // Window coordinates (SDL events) <-> client pixels of the frame.
  Point WindowToClient(int slot, Point windowPoint) const;
  Point ClientToWindow(int slot, Point client) const;
  // The cursor in client pixels of `slot`, also when it is outside.
  Point CursorInClient(int slot) const;
  // Window events the display answers itself (expose, size changes).
  void OnWindowEvent(const SDL_WindowEvent& e);
  // The renderer lost its textures (render targets or device reset).
  void OnRenderReset();
  // Moves a window that is being dragged; ends the drag on button release.
  void ContinueCaptionDrag();

 private:
  struct Slot {
    SDL_Window* window = nullptr;
    Size client;
    SurfacePtr shadow;
    std::unique_ptr<Presenter> presenter;
    bool fullScreen = false;
    Point windowedPosition;
    std::vector<Rect> shape;
  };
  struct Drag {
    int slot = -1;
    Point startMouse, startWindow;
  };

  // A new hidden SDL window as `desc` asks; null when SDL refuses.
  static SDL_Window* OpenWindow(int slot, const WindowDesc& desc);
  Slot* Find(int slot);
  const Slot* Find(int slot) const;
  void Redraw(Slot& s);
  Rect WindowDest(const Slot& s) const;
  void EndDrag();

  std::optional<PresentPath> forced_;
  std::optional<PresentPath> chosen_;
  std::array<Slot, kMaxWindows> slots_;
  Drag drag_;
};

}  // namespace vv::platform::sdl
