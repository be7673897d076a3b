// Window messages as the engine sees them.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vv::platform {

enum class EventType : uint8_t {
  Close,         // the user asked to close `window`
  KeyDown,       // `key` is a virtual-key code; `repeat` for auto-repeat
  KeyUp,
  MouseDown,     // `key` is kVkLButton, kVkRButton, kVkMButton, kVkXButton1/2
  MouseUp,
  MouseWheel,    // `wheel` in notches, positive away from the user
  MouseMove,     // `x`, `y` in client pixels
  Activate,      // `window` gained the input focus
  Deactivate,
  DropFiles,     // `files` in Shift-JIS host paths; `x`, `y` the drop point
  MenuCommand,   // `command` is a menu item id
  RaiseRequest,  // another start of this game asked us to show ourselves
  Quit,          // the last window is gone; the message loop ends
};

struct Event {
  EventType type = EventType::Close;
  int window = 0;
  int key = 0;
  bool repeat = false;
  int x = 0, y = 0;
  int wheel = 0;
  int command = 0;
  int exitCode = 0;  // Quit only
  std::vector<std::string> files;
};

class EventQueue {
 public:
  virtual ~EventQueue() = default;
  // Takes the next waiting event without blocking; false when none waits.
  virtual bool Poll(Event& out) = 0;
  // Queues an event of the engine's own (a posted close or menu command);
  // it is delivered after the events already waiting. Safe from any thread.
  virtual void Post(const Event& event) = 0;
};

// The posted-event half both backends share. Post may be called from any
// thread (the frame worker ends the program by posting a close).
class PostedEvents {
 public:
  void Post(const Event& e) {
    std::lock_guard lock(mutex_);
    queue_.push_back(e);
  }
  bool Take(Event& out) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
  }

 private:
  std::mutex mutex_;
  std::deque<Event> queue_;
};

}  // namespace vv::platform
