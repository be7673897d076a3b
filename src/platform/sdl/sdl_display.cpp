// SDL windows: creation, placement, stacking, caption drag.
// Frames, read-back and full screen are in sdl_display_frames.cpp.
#include "platform/sdl/sdl_display.h"

#include <algorithm>
#include <string>

#include "common/encoding.h"
#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {
namespace {

constexpr int kMaxClientSide = 16384;

int PlacementOf(int coordinate) {
  return coordinate == -1 ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : coordinate;
}

}  // namespace

SdlDisplay::SdlDisplay(std::optional<PresentPath> forced) : forced_(forced) {}

SdlDisplay::~SdlDisplay() {
  for (int i = 0; i < kMaxWindows; ++i) DestroyWindow(i);
}

SdlDisplay::Slot* SdlDisplay::Find(int slot) {
  if (slot < 0 || slot >= kMaxWindows || !slots_[slot].window) return nullptr;
  return &slots_[slot];
}

const SdlDisplay::Slot* SdlDisplay::Find(int slot) const {
  return const_cast<SdlDisplay*>(this)->Find(slot);
}

DesktopInfo SdlDisplay::Desktop() {
  int index = 0;
  if (const Slot* main = Find(0)) index = std::max(0, SDL_GetWindowDisplayIndex(main->window));
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(index, &mode) != 0) return {};
  int bits = SDL_BITSPERPIXEL(mode.format);
  // 24 colour bits stored in 4 bytes is what the engine calls 32 bits.
  if (bits == 24 && SDL_BYTESPERPIXEL(mode.format) == 4) bits = 32;
  return {mode.w, mode.h, bits};
}

bool SdlDisplay::CreateWindow(int slot, const WindowDesc& desc) {
  if (slot < 0 || slot >= kMaxWindows || slots_[slot].window) return false;
  const Size client = desc.client;
  if (client.width < 1 || client.height < 1 || client.width > kMaxClientSide ||
      client.height > kMaxClientSide) {
    return false;
  }
  Slot s;
  s.client = client;
  s.shadow = CreateShadow(client);
  s.window = OpenWindow(slot, desc);
  if (!s.shadow || !s.window) {
    if (s.window) SDL_DestroyWindow(s.window);
    return false;
  }
  if (!chosen_ && forced_) chosen_ = forced_;
  if (!chosen_) {
    chosen_ = RunSpeedTrial(s.window, client, s.presenter);
    if (!s.presenter) {
      // The window had a renderer during the trial; the surface path needs
      // one that never had.
      SDL_DestroyWindow(s.window);
      s.window = OpenWindow(slot, desc);
      if (!s.window) return false;
    }
  }
  std::string error;
  if (!s.presenter) s.presenter = CreatePresenter(*chosen_, s.window, client, error);
  if (!s.presenter && !forced_) {
    // The chosen path does not work on this window: the other one serves it
    // and the windows after it. A window that tried a renderer is replaced
    // first, as above.
    const PresentPath other =
        *chosen_ == PresentPath::Texture ? PresentPath::Surface : PresentPath::Texture;
    if (*chosen_ == PresentPath::Texture) {
      SDL_DestroyWindow(s.window);
      s.window = OpenWindow(slot, desc);
    }
    if (s.window) s.presenter = CreatePresenter(other, s.window, client, error);
    if (s.presenter) chosen_ = other;
  }
  if (!s.presenter) {
    if (s.window) SDL_DestroyWindow(s.window);
    return false;
  }
  slots_[slot] = std::move(s);
  Redraw(slots_[slot]);  // start black, so read-back works at once
  return true;
}

SDL_Window* SdlDisplay::OpenWindow(int slot, const WindowDesc& desc) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (!desc.framed) {
    flags |= SDL_WINDOW_BORDERLESS;
    if (slot == 0) flags |= SDL_WINDOW_SKIP_TASKBAR;
  }
  if (desc.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  const std::string title = common::SjisToUtf8(desc.titleSjis);
  return SDL_CreateWindow(title.c_str(), PlacementOf(desc.position.x),
                          PlacementOf(desc.position.y), desc.client.width, desc.client.height,
                          flags);
}

void SdlDisplay::DestroyWindow(int slot) {
  Slot* s = Find(slot);
  if (!s) return;
  if (drag_.slot == slot) EndDrag();
  s->presenter.reset();  // the renderer goes before its window
  s->shadow.reset();
  SDL_DestroyWindow(s->window);
  *s = Slot{};
}

bool SdlDisplay::WindowExists(int slot) const { return Find(slot) != nullptr; }

void SdlDisplay::SetTitle(int slot, std::string_view titleSjis) {
  if (Slot* s = Find(slot)) SDL_SetWindowTitle(s->window, common::SjisToUtf8(titleSjis).c_str());
}

void SdlDisplay::Show(int slot, ShowMode mode) {
  Slot* s = Find(slot);
  if (!s) return;
  switch (mode) {
    case ShowMode::Show: SDL_ShowWindow(s->window); break;
    case ShowMode::Hide: SDL_HideWindow(s->window); break;
    case ShowMode::Minimize: SDL_MinimizeWindow(s->window); break;
    case ShowMode::Restore: SDL_RestoreWindow(s->window); break;
  }
}

void SdlDisplay::Raise(int slot) {
  Slot* s = Find(slot);
  if (!s) return;
  if (SDL_GetWindowFlags(s->window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(s->window);
  SDL_RaiseWindow(s->window);
}

bool SdlDisplay::IsMinimized(int slot) const {
  const Slot* s = Find(slot);
  return s && (SDL_GetWindowFlags(s->window) & SDL_WINDOW_MINIMIZED);
}

bool SdlDisplay::IsVisible(int slot) const {
  const Slot* s = Find(slot);
  if (!s) return false;
  const Uint32 flags = SDL_GetWindowFlags(s->window);
  return (flags & SDL_WINDOW_SHOWN) && !(flags & SDL_WINDOW_HIDDEN);
}

Size SdlDisplay::ClientSize(int slot) const {
  const Slot* s = Find(slot);
  return s ? s->client : Size{};
}

void SdlDisplay::SetClientSize(int slot, Size size) {
  Slot* s = Find(slot);
  if (!s || size == s->client || size.width < 1 || size.height < 1 ||
      size.width > kMaxClientSide || size.height > kMaxClientSide) {
    return;
  }
  SurfacePtr shadow = CreateShadow(size);
  if (!shadow) return;
  s->client = size;
  s->shadow = std::move(shadow);
  s->presenter->ClientResized(size);
  // In full screen only the letterbox changes; the window keeps the desktop.
  if (!s->fullScreen) SDL_SetWindowSize(s->window, size.width, size.height);
  Redraw(*s);
}

Point SdlDisplay::Position(int slot) const {
  const Slot* s = Find(slot);
  if (!s) return {};
  if (s->fullScreen) return s->windowedPosition;
  Point p;
  SDL_GetWindowPosition(s->window, &p.x, &p.y);
  return p;
}

void SdlDisplay::SetPosition(int slot, Point clientOrigin) {
  Slot* s = Find(slot);
  if (!s) return;
  // In full screen the place is kept for the return to the window.
  if (s->fullScreen) {
    s->windowedPosition = clientOrigin;
  } else {
    SDL_SetWindowPosition(s->window, clientOrigin.x, clientOrigin.y);
  }
}

void SdlDisplay::SetTopmost(int slot, bool topmost) {
  if (Slot* s = Find(slot)) SDL_SetWindowAlwaysOnTop(s->window, topmost ? SDL_TRUE : SDL_FALSE);
}

void SdlDisplay::SetShape(int slot, const std::vector<Rect>& rects) {
  // FIXME: not shaped yet. SDL2 shapes only windows made by
  // SDL_CreateShapedWindow (borderless, X11/Windows/macOS only), so giving
  // an existing window a shape means re-creating it (and its presenter) as a
  // shaped window with a mask built from `rects`. Until then the window
  // stays rectangular; the rectangles are kept for that change.
  if (Slot* s = Find(slot)) s->shape = rects;
}

void SdlDisplay::BeginCaptionDrag(int slot) {
  Slot* s = Find(slot);
  if (!s || s->fullScreen) return;
  Point mouse;
  // The drag follows a click: without the left button held there is none.
  if (!(SDL_GetGlobalMouseState(&mouse.x, &mouse.y) & SDL_BUTTON_LMASK)) return;
  drag_.slot = slot;
  drag_.startMouse = mouse;
  SDL_GetWindowPosition(s->window, &drag_.startWindow.x, &drag_.startWindow.y);
  // Keeps the motion coming while the cursor leaves the window.
  SDL_CaptureMouse(SDL_TRUE);
}

void SdlDisplay::ContinueCaptionDrag() {
  if (drag_.slot < 0) return;
  Slot* s = Find(drag_.slot);
  Point mouse;
  const Uint32 buttons = SDL_GetGlobalMouseState(&mouse.x, &mouse.y);
  if (!s || !(buttons & SDL_BUTTON_LMASK)) {
    EndDrag();
    return;
  }
  SDL_SetWindowPosition(s->window, drag_.startWindow.x + mouse.x - drag_.startMouse.x,
                        drag_.startWindow.y + mouse.y - drag_.startMouse.y);
}

void SdlDisplay::EndDrag() {
  drag_ = Drag{};
  SDL_CaptureMouse(SDL_FALSE);
}

SDL_Window* SdlDisplay::WindowOf(int slot) const {
  const Slot* s = Find(slot);
  return s ? s->window : nullptr;
}

int SdlDisplay::SlotOf(Uint32 windowId) const {
  if (windowId == 0) return 0;
  for (int i = 0; i < kMaxWindows; ++i) {
    if (slots_[i].window && SDL_GetWindowID(slots_[i].window) == windowId) return i;
  }
  return -1;
}

uint32_t WindowIdOf(const Display& display, int slot) {
  const auto* sdl = dynamic_cast<const SdlDisplay*>(&display);
  SDL_Window* window = sdl ? sdl->WindowOf(slot) : nullptr;
  return window ? SDL_GetWindowID(window) : 0;
}

}  // namespace vv::platform::sdl
