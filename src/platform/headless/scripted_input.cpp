#include "platform/headless/scripted_input.h"

#include "common/encoding.h"
#include "platform/headless/memory_display.h"
#include "platform/keycodes.h"

namespace vv::platform {

namespace {

bool IsMouseButton(int key) {
  return key == kVkLButton || key == kVkRButton || key == kVkMButton || key == kVkXButton1 ||
         key == kVkXButton2;
}

Event KeyEvent(int key, bool down) {
  Event e;
  e.key = key;
  if (IsMouseButton(key)) e.type = down ? EventType::MouseDown : EventType::MouseUp;
  else e.type = down ? EventType::KeyDown : EventType::KeyUp;
  return e;
}

// Dropped paths reach the engine in Shift-JIS; bytes that are not UTF-8
// are taken as Shift-JIS already.
std::string DroppedPath(const std::string& host) {
  return common::IsValidUtf8(host) ? common::Utf8ToSjisLossy(host) : host;
}

}  // namespace

void InputTimeline::Queue(const InputAction& a) {
  Step step;
  switch (a.kind) {
    case InputActionKind::KeyDown:
    case InputActionKind::KeyUp:
      step.event = KeyEvent(a.key, a.kind == InputActionKind::KeyDown);
      step.atCursor = IsMouseButton(a.key);
      AddStep(a.frame, std::move(step));
      break;
    case InputActionKind::Press: {
      Step up;
      step.event = KeyEvent(a.key, true);
      up.event = KeyEvent(a.key, false);
      step.atCursor = up.atCursor = IsMouseButton(a.key);
      AddStep(a.frame, std::move(step));
      AddStep(a.frame + 1, std::move(up));
      break;
    }
    case InputActionKind::Click: {
      Step move, down, up;
      move.event.type = EventType::MouseMove;
      down.event = KeyEvent(a.key, true);
      up.event = KeyEvent(a.key, false);
      for (Step* s : {&move, &down, &up}) {
        s->event.x = a.x;
        s->event.y = a.y;
      }
      AddStep(a.frame, std::move(move));
      AddStep(a.frame, std::move(down));
      AddStep(a.frame + 1, std::move(up));
      break;
    }
    case InputActionKind::Move:
      step.event.type = EventType::MouseMove;
      step.event.x = a.x;
      step.event.y = a.y;
      AddStep(a.frame, std::move(step));
      break;
    case InputActionKind::Wheel:
      step.event.type = EventType::MouseWheel;
      step.event.wheel = a.wheel;
      step.atCursor = true;
      AddStep(a.frame, std::move(step));
      break;
    case InputActionKind::Close:
      step.event.type = EventType::Close;
      AddStep(a.frame, std::move(step));
      break;
    case InputActionKind::Drop:
      step.event.type = EventType::DropFiles;
      for (const std::string& f : a.files) step.event.files.push_back(DroppedPath(f));
      step.atCursor = true;
      AddStep(a.frame, std::move(step));
      break;
    case InputActionKind::Screenshot:
      step.screenshot = true;
      step.name = a.name;
      AddStep(a.frame, std::move(step));
      break;
  }
}

void InputTimeline::Apply(Step& step) {
  Event& e = step.event;
  if (step.atCursor) {
    e.x = cursor_.x;
    e.y = cursor_.y;
  }
  switch (e.type) {
    case EventType::KeyDown:
    case EventType::MouseDown: down_[static_cast<uint8_t>(e.key)] = true; break;
    case EventType::KeyUp:
    case EventType::MouseUp: down_[static_cast<uint8_t>(e.key)] = false; break;
    default: break;
  }
  if (e.type == EventType::MouseMove || e.type == EventType::MouseDown ||
      e.type == EventType::MouseUp) {
    cursor_ = {e.x, e.y};
  }
  delivered_.push_back(std::move(e));
}

std::vector<std::string> InputTimeline::StartFrame(uint64_t frame) {
  std::vector<std::string> screenshots;
  const auto end = steps_.upper_bound(frame);
  for (auto it = steps_.begin(); it != end; ++it) {
    if (it->second.screenshot) screenshots.push_back(std::move(it->second.name));
    else Apply(it->second);
  }
  steps_.erase(steps_.begin(), end);
  return screenshots;
}

bool InputTimeline::Poll(Event& out) {
  if (!delivered_.empty()) {
    out = std::move(delivered_.front());
    delivered_.pop_front();
    return true;
  }
  return posted_.Take(out);
}

void InputTimeline::Sample(KeyStates& out) const {
  for (size_t k = 0; k < out.size(); ++k) out[k] = down_[k] ? kKeyDown : 0;
  struct Sides {
    uint8_t generic, left, right;
  };
  for (const Sides s :
       {Sides{kVkShift, kVkLShift, kVkRShift}, Sides{kVkControl, kVkLControl, kVkRControl},
        Sides{kVkMenu, kVkLMenu, kVkRMenu}}) {
    if (down_[s.generic] || down_[s.left] || down_[s.right]) out[s.generic] = kKeyDown;
    if (down_[s.generic]) out[s.left] = kKeyDown;
  }
}

Point InputTimeline::SlotOffset(int slot) const {
  if (slot == 0 || display_ == nullptr || !display_->WindowExists(0) ||
      !display_->WindowExists(slot)) {
    return {};
  }
  const Point main = display_->Position(0), other = display_->Position(slot);
  return {main.x - other.x, main.y - other.y};
}

Point InputTimeline::Cursor(int slot) const {
  const Point d = SlotOffset(slot);
  return {cursor_.x + d.x, cursor_.y + d.y};
}

void InputTimeline::WarpCursor(int slot, Point client) {
  const Point d = SlotOffset(slot);
  cursor_ = {client.x - d.x, client.y - d.y};
}

bool ScriptedJoysticks::Read(int index, JoystickState& out) {
  if (index < 0 || index >= Count() || !pads_[static_cast<size_t>(index)]) return false;
  out = *pads_[static_cast<size_t>(index)];
  return true;
}

int ScriptedJoysticks::Add() {
  pads_.emplace_back(JoystickState{});
  return Count() - 1;
}

void ScriptedJoysticks::Set(int index, const JoystickState& state) {
  if (index >= 0 && index < Count()) pads_[static_cast<size_t>(index)] = state;
}

void ScriptedJoysticks::Unplug(int index) {
  if (index >= 0 && index < Count()) pads_[static_cast<size_t>(index)].reset();
}

}  // namespace vv::platform
