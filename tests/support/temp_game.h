// A game folder in a fresh temporary directory, filled by the test, and a
// headless platform over it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vv::testing {

class TempGame {
 public:
  TempGame() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vavevo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
  }
  ~TempGame() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempGame(const TempGame&) = delete;
  TempGame& operator=(const TempGame&) = delete;

  const std::string& dir() const { return dir_; }

  // Writes `bytes` to `relative` (host form, '/' separators), making folders.
  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    const auto path = std::filesystem::path(dir_) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void Write(const std::string& relative, const std::string& text) const {
    Write(relative, std::vector<uint8_t>(text.begin(), text.end()));
  }

  // A headless platform over the folder; screenshots go to <dir>/shots.
  std::unique_ptr<platform::Platform> Headless(platform::HeadlessOptions options = {}) const {
    options.gameDir = dir_;
    if (options.screenshotDir.empty()) options.screenshotDir = dir_ + "/shots";
    std::string error;
    auto p = platform::CreateHeadlessPlatform(options, error);
    if (!p) throw std::runtime_error("headless platform: " + error);
    return p;
  }

 private:
  std::string dir_;
};

}  // namespace vv::testing
