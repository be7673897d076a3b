// SDL windows: presenting frames, reading them back, full screen, and the
// window events that need a repaint.
#include <algorithm>
#include <cstring>

#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {

void SdlDisplay::Present(int slot, const FrameView& frame, const Rect& area) {
  Slot* s = Find(slot);
  if (!s || !frame.pixels || frame.width <= 0 || frame.height <= 0 ||
      frame.stride < frame.width * 4) {
    return;
  }
  // Only what both the frame and the window have.
  const Rect r{std::max(area.left, 0), std::max(area.top, 0),
               std::min({area.right, frame.width, s->client.width}),
               std::min({area.bottom, frame.height, s->client.height})};
  if (r.empty()) return;
  // Stored row 0 is the bottom row: client row y is stored row height-1-y.
  const size_t bytes = static_cast<size_t>(r.width()) * 4;
  auto* shadow = static_cast<uint8_t*>(s->shadow->pixels);
  for (int y = r.top; y < r.bottom; ++y) {
    const uint8_t* src = frame.pixels + static_cast<size_t>(frame.height - 1 - y) * frame.stride +
                         static_cast<size_t>(r.left) * 4;
    std::memcpy(shadow + static_cast<size_t>(y) * s->shadow->pitch + static_cast<size_t>(r.left) * 4,
                src, bytes);
  }
  s->presenter->Show(s->shadow.get(), r, false);
}

PresentPath SdlDisplay::CurrentPresentPath() const {
  if (const Slot* main = Find(0)) return main->presenter->Path();
  return chosen_.value_or(forced_.value_or(PresentPath::Surface));
}

bool SdlDisplay::ReadPixels(int slot, std::vector<uint8_t>& bgraTopDown, Size& size) {
  Slot* s = Find(slot);
  if (!s) return false;
  std::vector<uint8_t> output;
  Size outputSize;
  if (!s->presenter->ReadOutput(output, outputSize)) {
    // Nothing shown since the textures were lost: show the frame again.
    Redraw(*s);
    if (!s->presenter->ReadOutput(output, outputSize)) return false;
  }
  const Rect dest = FitFrame(s->client, outputSize);
  if (dest.empty()) return false;
  // Each client pixel is read where its centre lands in the output; at 1:1
  // and at whole factors that is exactly the pixel shown.
  size = s->client;
  bgraTopDown.resize(static_cast<size_t>(size.width) * size.height * 4);
  for (int y = 0; y < size.height; ++y) {
    uint8_t* row = bgraTopDown.data() + static_cast<size_t>(y) * size.width * 4;
    for (int x = 0; x < size.width; ++x) {
      Point o = ClientToOutput({x, y}, s->client, dest);
      o.x = std::clamp(o.x, 0, outputSize.width - 1);
      o.y = std::clamp(o.y, 0, outputSize.height - 1);
      const uint8_t* px = output.data() + (static_cast<size_t>(o.y) * outputSize.width + o.x) * 4;
      row[x * 4 + 0] = px[0];
      row[x * 4 + 1] = px[1];
      row[x * 4 + 2] = px[2];
      row[x * 4 + 3] = 255;  // the window is opaque
    }
  }
  return true;
}

bool SdlDisplay::SetFullScreen(int slot, bool on) {
  Slot* s = Find(slot);
  if (!s || s->fullScreen == on) return false;
  if (on) {
    SDL_GetWindowPosition(s->window, &s->windowedPosition.x, &s->windowedPosition.y);
    EndDrag();
  }
  if (SDL_SetWindowFullscreen(s->window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
  s->fullScreen = on;
  if (!on) {
    // Not every video driver gives the window its old size and place back.
    SDL_SetWindowSize(s->window, s->client.width, s->client.height);
    SDL_SetWindowPosition(s->window, s->windowedPosition.x, s->windowedPosition.y);
  }
  Redraw(*s);
  return true;
}

bool SdlDisplay::IsFullScreen(int slot) const {
  const Slot* s = Find(slot);
  return s && s->fullScreen;
}

void SdlDisplay::Redraw(Slot& s) {
  s.presenter->Show(s.shadow.get(), {0, 0, s.client.width, s.client.height}, true);
}

Rect SdlDisplay::WindowDest(const Slot& s) const {
  Size window;
  SDL_GetWindowSize(s.window, &window.width, &window.height);
  return FitFrame(s.client, window);
}

Point SdlDisplay::WindowToClient(int slot, Point windowPoint) const {
  const Slot* s = Find(slot);
  return s ? OutputToClient(windowPoint, s->client, WindowDest(*s)) : windowPoint;
}

Point SdlDisplay::ClientToWindow(int slot, Point client) const {
  const Slot* s = Find(slot);
  return s ? ClientToOutput(client, s->client, WindowDest(*s)) : client;
}

Point SdlDisplay::CursorInClient(int slot) const {
  const Slot* s = Find(slot);
  if (!s) return {};
  Point p;
  if (SDL_GetMouseFocus() == s->window) {
    SDL_GetMouseState(&p.x, &p.y);
  } else {
    Point origin;
    SDL_GetGlobalMouseState(&p.x, &p.y);
    SDL_GetWindowPosition(s->window, &origin.x, &origin.y);
    p = {p.x - origin.x, p.y - origin.y};
  }
  return OutputToClient(p, s->client, WindowDest(*s));
}

void SdlDisplay::OnWindowEvent(const SDL_WindowEvent& e) {
  const int slot = e.windowID ? SlotOf(e.windowID) : -1;
  Slot* s = Find(slot);
  if (!s) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      // The client area keeps the engine's size unless full screen.
      if (!s->fullScreen && (e.data1 != s->client.width || e.data2 != s->client.height)) {
        SDL_SetWindowSize(s->window, s->client.width, s->client.height);
      }
      Redraw(*s);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
      Redraw(*s);
      break;
    default:
      break;
  }
}

void SdlDisplay::OnRenderReset() {
  for (Slot& s : slots_) {
    if (!s.window) continue;
    s.presenter->DeviceReset();
    Redraw(s);
  }
}

}  // namespace vv::platform::sdl
