// The scripted player of a headless run: input actions turn into window
// events and key states frame by frame, so a run replays exactly.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/headless/input_script.h"
#include "platform/input.h"

namespace vv::platform {

class MemoryDisplay;

// The state behind the event queue and the input of one headless platform.
// Single-threaded: the frame thread queues, starts frames and polls.
class InputTimeline {
 public:
  // `display` (may be null) places the other windows for Cursor(slot); it
  // must outlive the timeline's use.
  explicit InputTimeline(const MemoryDisplay* display) : display_(display) {}

  // Schedules an action. Its steps are delivered by the StartFrame of
  // their frame, or by the next StartFrame when that frame has passed.
  void Queue(const InputAction& action);

  // Delivers the steps of every frame up to `frame`: their events wait for
  // Poll, key and cursor state change in order. Returns the screenshots
  // those steps asked for (names; empty = frame-numbered), to be taken at
  // the end of this frame.
  std::vector<std::string> StartFrame(uint64_t frame);

  // Scripted events first, then posted ones.
  bool Poll(Event& out);
  void Post(const Event& event) { posted_.Post(event); }

  void Sample(KeyStates& out) const;
  Point Cursor(int slot) const;
  void WarpCursor(int slot, Point client);
  void ShowCursor(bool show) { cursorShown_ = show; }
  bool CursorShown() const { return cursorShown_; }
  // Steps queued for frames that have not started.
  size_t Waiting() const { return steps_.size(); }

 private:
  struct Step {
    bool screenshot = false;
    std::string name;       // screenshot
    Event event;            // otherwise
    bool atCursor = false;  // the event takes the cursor position when delivered
  };
  void AddStep(uint64_t frame, Step step) { steps_.emplace(frame, std::move(step)); }
  void Apply(Step& step);
  Point SlotOffset(int slot) const;

  const MemoryDisplay* display_;
  std::multimap<uint64_t, Step> steps_;  // equal frames keep their queue order
  std::deque<Event> delivered_;
  PostedEvents posted_;
  std::array<bool, 256> down_{};
  Point cursor_;
  bool cursorShown_ = true;
};

class ScriptedEventQueue final : public EventQueue {
 public:
  explicit ScriptedEventQueue(std::shared_ptr<InputTimeline> t) : timeline_(std::move(t)) {}
  bool Poll(Event& out) override { return timeline_->Poll(out); }
  void Post(const Event& event) override { timeline_->Post(event); }

 private:
  std::shared_ptr<InputTimeline> timeline_;
};

// Key bytes: a key held in the script reads kKeyDown; SHIFT, CONTROL and
// ALT read down while either side is held, and their generic names hold
// the left side.
class ScriptedInput final : public Input {
 public:
  explicit ScriptedInput(std::shared_ptr<InputTimeline> t) : timeline_(std::move(t)) {}
  void Sample(KeyStates& out) override { timeline_->Sample(out); }
  // Scripted positions are client pixels of the main window; other windows
  // see the same desktop point in their own client pixels.
  Point Cursor(int slot) override { return timeline_->Cursor(slot); }
  void WarpCursor(int slot, Point client) override { timeline_->WarpCursor(slot, client); }
  void ShowCursor(bool show) override { timeline_->ShowCursor(show); }

 private:
  std::shared_ptr<InputTimeline> timeline_;
};

// No joysticks unless a test plugs some in.
class ScriptedJoysticks final : public Joysticks {
 public:
  int Count() override { return static_cast<int>(pads_.size()); }
  bool Read(int index, JoystickState& out) override;

  // Plugs in a joystick at rest and returns its index.
  int Add();
  void Set(int index, const JoystickState& state);
  // The joystick stays counted but cannot be read, like a pulled cable.
  void Unplug(int index);

 private:
  std::vector<std::optional<JoystickState>> pads_;
};

}  // namespace vv::platform
