#include "platform/headless/headless_platform.h"

#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "common/sjis.h"
#include "platform/headless/png_writer.h"
#include "platform/posix/read_file.h"

namespace vv::platform {

namespace {

// Input scripts and answer lists are written by hand or by a test
// generator; anything larger is a mistake, not a script.
constexpr size_t kMaxOptionFileBytes = 64u << 20;

template <typename Base, typename T>
T* Install(std::unique_ptr<Base>& member, std::unique_ptr<T> service) {
  T* raw = service.get();
  member = std::move(service);
  return raw;
}

// mkdir -p: every missing folder of `path` is created.
bool MakeFolders(const std::string& path, std::string& error) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    struct stat st {};
    if (stat(prefix.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      error = "cannot create the folder " + path + ": " + prefix + " is not a folder";
      return false;
    }
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
      error = "cannot create the folder " + path + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool ReadOptionFile(const std::string& path, const char* what, std::string& out,
                    std::string& error) {
  int why = 0;
  if (ReadHostFile(path, kMaxOptionFileBytes, out, why)) return true;
  error = std::string("cannot read the ") + what + " " + path + ": " + std::strerror(why);
  return false;
}

}  // namespace

HeadlessPlatform::HeadlessPlatform(HeadlessOptions options) : options_(std::move(options)) {
  clock_ = Install(clock, std::make_unique<VirtualClock>());
  display_ = Install(display, std::make_unique<MemoryDisplay>(options_.desktop));
  timeline_ = std::make_shared<InputTimeline>(display_);
  events = std::make_unique<ScriptedEventQueue>(timeline_);
  input = std::make_unique<ScriptedInput>(timeline_);
  joysticks_ = Install(joysticks, std::make_unique<ScriptedJoysticks>());
  menus_ = Install(menus, std::make_unique<MemoryMenus>());
  dialogs_ = Install(dialogs, std::make_unique<RecordedDialogs>());
  clipboard = std::make_unique<MemoryClipboard>();
  processes_ = Install(processes, std::make_unique<RecordedProcesses>());
  libraries_ = Install(libraries, std::make_unique<TableLibraries>());
  registry_ = Install(registry, std::make_unique<MemoryRegistry>());
  files = CreatePosixFileSystem(options_.gameDir.empty() ? std::string(".") : options_.gameDir);
  instanceGuard = CreatePosixInstanceGuard(options_.instanceDir);
}

bool HeadlessPlatform::Start(std::string& error) {
  if (!options_.screenshotDir.empty() && !MakeFolders(options_.screenshotDir, error)) return false;
  if (!options_.inputScript.empty()) {
    std::string text;
    if (!ReadOptionFile(options_.inputScript, "input script", text, error)) return false;
    std::string why;
    if (!QueueInput(text, why)) {
      error = "input script " + options_.inputScript + ": " + why;
      return false;
    }
  }
  if (!options_.answers.empty()) {
    std::string text;
    if (!ReadOptionFile(options_.answers, "dialog answers", text, error)) return false;
    dialogs_->AddAnswers(text);
  }
  if (!options_.dialogLog.empty() && !dialogs_->SetLog(options_.dialogLog, error)) return false;
  return true;
}

bool HeadlessPlatform::QueueInput(std::string_view scriptText, std::string& error) {
  std::vector<InputAction> actions;
  const bool ok = ParseInputScript(scriptText, actions, error);
  for (const InputAction& a : actions) timeline_->Queue(a);
  return ok;
}

void HeadlessPlatform::FrameStarted(uint64_t frame) {
  frame_ = frame;
  dialogs_->SetFrame(frame);
  for (std::string& name : timeline_->StartFrame(frame)) {
    if (name.empty()) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "frame-%06" PRIu64, frame);
      name = buf;
    }
    // "title.png" and "title" name the same file (names are ASCII).
    std::string lower = name;
    common::SjisLowerAscii(lower);
    screenshotsDue_.push_back(lower.ends_with(".png") ? name : name + ".png");
  }
}

void HeadlessPlatform::FrameEnded(uint64_t) {
  std::vector<std::string> due;
  due.swap(screenshotsDue_);
  if (options_.screenshotDir.empty()) return;
  for (const std::string& file : due) TakeScreenshot(0, file);
}

void HeadlessPlatform::TakeScreenshot(int slot, const std::string& fileName) {
  const std::string path = options_.screenshotDir + "/" + fileName;
  std::string error;
  if (WriteScreenshot(slot, path, error)) written_.push_back(path);
  else problems_.push_back(error);
}

bool HeadlessPlatform::WriteScreenshot(int slot, const std::string& hostPath, std::string& error) {
  const MemoryWindow* w = display_->LastWindow(slot);
  if (w == nullptr) {
    error = "no window " + std::to_string(slot) + " for the screenshot " + hostPath;
    return false;
  }
  return WritePng(hostPath, w->pixels, w->client, error);
}

std::string HeadlessPlatform::Finish() {
  if (!options_.screenshotDir.empty()) {
    // The main window's last picture even when the game has closed it.
    if (display_->LastWindow(0) != nullptr) TakeScreenshot(0, "final.png");
    for (int slot = 1; slot < kMaxWindows; ++slot) {
      if (display_->WindowExists(slot))
        TakeScreenshot(slot, "final-w" + std::to_string(slot) + ".png");
    }
  }
  std::string out;
  for (const std::string& path : written_) out += path + "\n";
  return out;
}

std::vector<std::string> HeadlessPlatform::Problems() const {
  std::vector<std::string> all = problems_;
  all.insert(all.end(), dialogs_->Problems().begin(), dialogs_->Problems().end());
  return all;
}

std::unique_ptr<Platform> CreateHeadlessPlatform(const HeadlessOptions& options,
                                                 std::string& error) {
  auto platform = std::make_unique<HeadlessPlatform>(options);
  if (!platform->Start(error)) return nullptr;
  return platform;
}

}  // namespace vv::platform
