#include "platform/headless/memory_display.h"

#include <algorithm>
#include <cstring>

#include "common/encoding.h"

namespace vv::platform {

namespace {

constexpr size_t kBytesPerPixel = 4;

std::vector<uint8_t> BlackPixels(Size size) {
  std::vector<uint8_t> pixels(static_cast<size_t>(size.width) * static_cast<size_t>(size.height) *
                              kBytesPerPixel);
  for (size_t i = 3; i < pixels.size(); i += kBytesPerPixel) pixels[i] = 255;
  return pixels;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kMaxWindows; }

}  // namespace

MemoryWindow* MemoryDisplay::Find(int slot) {
  if (!ValidSlot(slot) || !windows_[static_cast<size_t>(slot)]) return nullptr;
  return &*windows_[static_cast<size_t>(slot)];
}

const MemoryWindow* MemoryDisplay::Window(int slot) const {
  return const_cast<MemoryDisplay*>(this)->Find(slot);
}

const MemoryWindow* MemoryDisplay::LastWindow(int slot) const {
  if (const MemoryWindow* w = Window(slot)) return w;
  if (!ValidSlot(slot) || !destroyed_[static_cast<size_t>(slot)]) return nullptr;
  return &*destroyed_[static_cast<size_t>(slot)];
}

Point MemoryDisplay::Centred(Size client) const {
  return {(desktop_.width - client.width) / 2, (desktop_.height - client.height) / 2};
}

bool MemoryDisplay::CreateWindow(int slot, const WindowDesc& desc) {
  if (!ValidSlot(slot) || windows_[static_cast<size_t>(slot)]) return false;
  if (desc.client.width <= 0 || desc.client.height <= 0) return false;
  MemoryWindow w;
  w.client = desc.client;
  w.titleSjis = desc.titleSjis;
  w.titleUtf8 = common::SjisToUtf8(desc.titleSjis);
  w.framed = desc.framed;
  w.maximizeBox = desc.maximizeBox;
  w.topmost = desc.topmost;
  w.position = desc.position == Point{-1, -1} ? Centred(desc.client) : desc.position;
  w.pixels = BlackPixels(desc.client);
  windows_[static_cast<size_t>(slot)] = std::move(w);
  return true;
}

void MemoryDisplay::DestroyWindow(int slot) {
  if (!ValidSlot(slot) || !windows_[static_cast<size_t>(slot)]) return;
  destroyed_[static_cast<size_t>(slot)] = std::move(windows_[static_cast<size_t>(slot)]);
  windows_[static_cast<size_t>(slot)].reset();
  if (foreground_ == slot) foreground_ = -1;
}

bool MemoryDisplay::WindowExists(int slot) const { return Window(slot) != nullptr; }

void MemoryDisplay::SetTitle(int slot, std::string_view titleSjis) {
  if (MemoryWindow* w = Find(slot)) {
    w->titleSjis = std::string(titleSjis);
    w->titleUtf8 = common::SjisToUtf8(titleSjis);
  }
}

void MemoryDisplay::Show(int slot, ShowMode mode) {
  MemoryWindow* w = Find(slot);
  if (w == nullptr) return;
  switch (mode) {
    case ShowMode::Show:
    case ShowMode::Restore:
      w->visible = true;
      w->minimized = false;
      foreground_ = slot;
      break;
    case ShowMode::Hide: w->visible = false; break;
    // A minimised window stays visible, as on a desktop.
    case ShowMode::Minimize: w->minimized = true; break;
  }
}

void MemoryDisplay::Raise(int slot) {
  if (MemoryWindow* w = Find(slot)) {
    w->minimized = false;
    foreground_ = slot;
  }
}

bool MemoryDisplay::IsMinimized(int slot) const {
  const MemoryWindow* w = Window(slot);
  return w != nullptr && w->minimized;
}

bool MemoryDisplay::IsVisible(int slot) const {
  const MemoryWindow* w = Window(slot);
  return w != nullptr && w->visible;
}

Size MemoryDisplay::ClientSize(int slot) const {
  const MemoryWindow* w = Window(slot);
  return w != nullptr ? w->client : Size{};
}

void MemoryDisplay::SetClientSize(int slot, Size size) {
  MemoryWindow* w = Find(slot);
  if (w == nullptr || size.width <= 0 || size.height <= 0 || size == w->client) return;
  std::vector<uint8_t> pixels = BlackPixels(size);
  const int rows = std::min(size.height, w->client.height);
  const size_t rowBytes =
      static_cast<size_t>(std::min(size.width, w->client.width)) * kBytesPerPixel;
  for (int y = 0; y < rows; ++y) {
    std::memcpy(
        pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(size.width) * kBytesPerPixel,
        w->pixels.data() +
            static_cast<size_t>(y) * static_cast<size_t>(w->client.width) * kBytesPerPixel,
        rowBytes);
  }
  w->pixels = std::move(pixels);
  w->client = size;
}

Point MemoryDisplay::Position(int slot) const {
  const MemoryWindow* w = Window(slot);
  return w != nullptr ? w->position : Point{};
}

void MemoryDisplay::SetPosition(int slot, Point clientOrigin) {
  if (MemoryWindow* w = Find(slot)) {
    w->position = clientOrigin == Point{-1, -1} ? Centred(w->client) : clientOrigin;
  }
}

void MemoryDisplay::SetTopmost(int slot, bool topmost) {
  if (MemoryWindow* w = Find(slot)) w->topmost = topmost;
}

void MemoryDisplay::SetShape(int slot, const std::vector<Rect>& rects) {
  if (MemoryWindow* w = Find(slot)) w->shape = rects;
}

void MemoryDisplay::BeginCaptionDrag(int slot) {
  if (MemoryWindow* w = Find(slot)) ++w->captionDrags;
}

void MemoryDisplay::Present(int slot, const FrameView& frame, const Rect& area) {
  MemoryWindow* w = Find(slot);
  if (w == nullptr || frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return;
  const int right = std::min({area.right, frame.width, w->client.width});
  const int bottom = std::min({area.bottom, frame.height, w->client.height});
  const int left = std::max(area.left, 0);
  const int top = std::max(area.top, 0);
  if (right <= left || bottom <= top) return;
  const size_t width = static_cast<size_t>(w->client.width);
  for (int y = top; y < bottom; ++y) {
    // Row 0 of the frame is its bottom row.
    const uint8_t* src = frame.pixels +
                         static_cast<ptrdiff_t>(frame.height - 1 - y) * frame.stride +
                         static_cast<ptrdiff_t>(left) * 4;
    uint8_t* dst = w->pixels.data() +
                   (static_cast<size_t>(y) * width + static_cast<size_t>(left)) * kBytesPerPixel;
    for (int x = left; x < right; ++x, src += 4, dst += 4) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      dst[3] = 255;
    }
  }
  ++w->presents;
}

bool MemoryDisplay::ReadPixels(int slot, std::vector<uint8_t>& bgraTopDown, Size& size) {
  const MemoryWindow* w = Window(slot);
  if (w == nullptr) return false;
  bgraTopDown = w->pixels;
  size = w->client;
  return true;
}

bool MemoryDisplay::SetFullScreen(int slot, bool on) {
  MemoryWindow* w = Find(slot);
  if (w == nullptr || w->fullScreen == on || (on && refuseFullScreen)) return false;
  w->fullScreen = on;
  return true;
}

bool MemoryDisplay::IsFullScreen(int slot) const {
  const MemoryWindow* w = Window(slot);
  return w != nullptr && w->fullScreen;
}

}  // namespace vv::platform
