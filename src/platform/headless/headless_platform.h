// The headless backend: a deterministic platform for tests, automation and
// CI runs of a game. Time is virtual, windows are framebuffers in memory,
// input comes from a script, dialogs answer from a list and are recorded,
// programs are recorded instead of started. Files and the instance guard
// are the real POSIX ones.
//
// Order of calls: CreateHeadlessPlatform; then per frame FrameStarted(F)
// (delivers the scripted input of frame F), the frame's work, and
// FrameEnded(F) (takes the screenshots due in F); Finish() at the end.
// Everything runs on the frame thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/input_script.h"
#include "platform/headless/memory_display.h"
#include "platform/headless/recorded_dialogs.h"
#include "platform/headless/recorded_services.h"
#include "platform/headless/scripted_input.h"
#include "platform/headless/virtual_clock.h"
#include "platform/platform.h"

namespace vv::platform {

class HeadlessPlatform final : public Platform {
 public:
  // Assembles the services; Start then reads the option files. Prefer
  // CreateHeadlessPlatform, which does both.
  explicit HeadlessPlatform(HeadlessOptions options);
  // Creates the screenshot folder and reads the input script, the answers
  // and the dialog log's folder. False with the reason (naming the file,
  // and the line for a malformed input script) in `error`.
  bool Start(std::string& error);

  const char* Name() const override { return "headless"; }
  bool IsHeadless() const override { return true; }
  void FrameStarted(uint64_t frame) override;
  void FrameEnded(uint64_t frame) override;
  // With a screenshot folder: writes final.png of the main window and
  // final-w<slot>.png of every other window that exists. Returns every
  // file the screenshots of this run wrote (the scripted ones and these),
  // one host path per line.
  std::string Finish() override;

  // The services with their headless extras. Each reference stays valid
  // while the matching Platform member still holds the service.
  VirtualClock& VirtualTime() { return *clock_; }
  MemoryDisplay& Framebuffers() { return *display_; }
  InputTimeline& Timeline() { return *timeline_; }
  ScriptedJoysticks& JoystickScript() { return *joysticks_; }
  RecordedDialogs& DialogRecorder() { return *dialogs_; }
  RecordedProcesses& ProcessRecorder() { return *processes_; }
  MemoryMenus& MenuRecorder() { return *menus_; }
  MemoryRegistry& RegistryValues() { return *registry_; }
  TableLibraries& LibraryTable() { return *libraries_; }

  // Queues actions written as in an input script. False with
  // "line N: reason" at the first malformed line (earlier lines queued).
  bool QueueInput(std::string_view scriptText, std::string& error);
  void QueueAction(const InputAction& action) { timeline_->Queue(action); }

  // Writes a PNG of what `slot`'s window shows (or showed last, when the
  // game has destroyed it).
  bool WriteScreenshot(int slot, const std::string& hostPath, std::string& error);

  // The frame last given to FrameStarted (0 before the first).
  uint64_t CurrentFrame() const { return frame_; }
  // What went wrong while running (a screenshot that could not be written,
  // a dialog log line that could not be appended), in order.
  std::vector<std::string> Problems() const;

 private:
  void TakeScreenshot(int slot, const std::string& fileName);

  HeadlessOptions options_;
  std::shared_ptr<InputTimeline> timeline_;
  VirtualClock* clock_ = nullptr;
  MemoryDisplay* display_ = nullptr;
  ScriptedJoysticks* joysticks_ = nullptr;
  RecordedDialogs* dialogs_ = nullptr;
  RecordedProcesses* processes_ = nullptr;
  MemoryMenus* menus_ = nullptr;
  MemoryRegistry* registry_ = nullptr;
  TableLibraries* libraries_ = nullptr;
  uint64_t frame_ = 0;
  std::vector<std::string> screenshotsDue_;
  std::vector<std::string> written_;
  std::vector<std::string> problems_;
};

}  // namespace vv::platform
