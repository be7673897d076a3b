// SDL events as engine window messages.
#include <SDL.h>

#include "common/encoding.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

// The most paths one drop keeps, as the engine's drop list holds.
constexpr size_t kMaxDroppedFiles = 65536;

// Host paths are UTF-8 as a rule; a name that is not is kept as its bytes
// (most likely already Shift-JIS).
std::string HostPathToSjis(const char* path) {
  const std::string_view host(path);
  return common::IsValidUtf8(host) ? common::Utf8ToSjisLossy(host) : std::string(host);
}

class SdlEventQueue final : public EventQueue {
 public:
  explicit SdlEventQueue(SdlDisplay& display) : display_(display) {}

  bool Poll(Event& out) override {
    display_.ContinueCaptionDrag();
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      Event event;
      if (Translate(e, event)) {
        out = std::move(event);
        return true;
      }
    }
    return posted_.Take(out);
  }

  void Post(const Event& event) override { posted_.Post(event); }

 private:
  // Fills `out` and returns true when `e` is one of the engine's messages.
  bool Translate(SDL_Event& e, Event& out) {
    switch (e.type) {
      case SDL_QUIT:  // a signal or the session ending: as closing the main window
        out.type = EventType::Close;
        return true;
      case SDL_WINDOWEVENT:
        display_.OnWindowEvent(e.window);
        return TranslateWindow(e.window, out);
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const ScancodeKeys keys = VirtualKeyFromScancode(e.key.keysym.scancode, CurrentKeyLayout());
        if (!keys.key || !Target(e.key.windowID, out)) return false;
        out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
        out.key = keys.key;
        out.repeat = e.key.repeat != 0;
        return true;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const int key = MouseButtonKey(e.button.button);
        if (!key || !Target(e.button.windowID, out)) return false;
        out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
        out.key = key;
        SetPoint(out, e.button.x, e.button.y);
        return true;
      }
      case SDL_MOUSEWHEEL: {
        int notches = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        if (notches == 0 || !Target(e.wheel.windowID, out)) return false;
        out.type = EventType::MouseWheel;
        out.wheel = notches;
        SetPoint(out, e.wheel.mouseX, e.wheel.mouseY);
        return true;
      }
      case SDL_MOUSEMOTION:
        display_.ContinueCaptionDrag();
        if (!Target(e.motion.windowID, out)) return false;
        out.type = EventType::MouseMove;
        SetPoint(out, e.motion.x, e.motion.y);
        return true;
      case SDL_DROPBEGIN:
        drop_ = Drop{true, e.drop.windowID, {}};
        return false;
      case SDL_DROPFILE:
        if (!drop_.open) drop_ = Drop{true, e.drop.windowID, {}};
        if (e.drop.file && drop_.files.size() < kMaxDroppedFiles) {
          drop_.files.push_back(HostPathToSjis(e.drop.file));
        }
        SDL_free(e.drop.file);
        return false;
      case SDL_DROPTEXT:
        SDL_free(e.drop.file);
        return false;
      case SDL_DROPCOMPLETE:
        return FinishDrop(out);
      case SDL_RENDER_TARGETS_RESET:
      case SDL_RENDER_DEVICE_RESET:
        display_.OnRenderReset();
        return false;
      default:
        return false;
    }
  }

  bool TranslateWindow(const SDL_WindowEvent& w, Event& out) {
    switch (w.event) {
      case SDL_WINDOWEVENT_CLOSE: out.type = EventType::Close; break;
      case SDL_WINDOWEVENT_FOCUS_GAINED: out.type = EventType::Activate; break;
      case SDL_WINDOWEVENT_FOCUS_LOST: out.type = EventType::Deactivate; break;
      default: return false;
    }
    return Target(w.windowID, out);
  }

  bool FinishDrop(Event& out) {
    Drop drop = std::move(drop_);
    drop_ = Drop{};
    if (drop.files.empty() || !Target(drop.windowId, out)) return false;
    out.type = EventType::DropFiles;
    out.files = std::move(drop.files);
    const Point p = display_.CursorInClient(out.window);
    out.x = p.x;
    out.y = p.y;
    return true;
  }

  // Sets out.window; false for windows that are not ours.
  bool Target(Uint32 windowId, Event& out) const {
    out.window = display_.SlotOf(windowId);
    return out.window >= 0;
  }

  void SetPoint(Event& out, int windowX, int windowY) const {
    const Point p = display_.WindowToClient(out.window, {windowX, windowY});
    out.x = p.x;
    out.y = p.y;
  }

  struct Drop {
    bool open = false;
    Uint32 windowId = 0;
    std::vector<std::string> files;
  };

  SdlDisplay& display_;
  PostedEvents posted_;
  Drop drop_;
};

}  // namespace

std::unique_ptr<EventQueue> CreateSdlEvents(SdlDisplay& display) {
  return std::make_unique<SdlEventQueue>(display);
}

}  // namespace vv::platform::sdl
