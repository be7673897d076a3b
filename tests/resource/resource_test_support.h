// A game folder in a temporary directory and an engine over the headless
// platform that works in it, for the resource tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/sjis.h"
#include "npf/archive_writer.h"
#include "platform/headless/headless_platform.h"
#include "shell/engine.h"

namespace vv::resource::testing {

inline std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// Deterministic pseudo-random bytes (incompressible).
inline std::vector<uint8_t> NoiseBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  return out;
}

// Text-like bytes that deflate well.
inline std::vector<uint8_t> TextBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> out(n);
  const auto noise = NoiseBytes(n, seed);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>('a' + noise[i] % 8);
  return out;
}

inline std::vector<uint8_t> Archive(std::vector<npf::WriterEntry> entries, npf::WriterOptions options = {}) {
  std::string error;
  auto bytes = npf::BuildArchive(std::move(entries), options, error);
  EXPECT_TRUE(bytes) << error;
  return bytes ? *bytes : std::vector<uint8_t>{};
}

class GameFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vv-resource-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    MakeEngine();
  }
  void TearDown() override {
    engine_.reset();
    platform_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // A fresh engine over a fresh headless platform in the same folder.
  void MakeEngine() {
    engine_.reset();
    platform::HeadlessOptions options;
    options.gameDir = root_;
    std::string error;
    auto p = platform::CreateHeadlessPlatform(options, error);
    ASSERT_TRUE(p) << error;
    platform_.reset(static_cast<platform::HeadlessPlatform*>(p.release()));
    engine_ = std::make_unique<Engine>(*platform_);
    shell::EnginePaths& paths = engine_->shell.paths;
    paths.gameHostDir = root_;
    paths.programHostPath = root_ + "/game";
    paths.programPath = platform::HostToEnginePath(paths.programHostPath);
    common::SjisLowerAscii(paths.programPath);
    paths.programDir = platform::HostToEnginePath(root_);
    common::SjisLowerAscii(paths.programDir);
    if (paths.programDir.empty() || paths.programDir.back() != '\\') paths.programDir += '\\';
    paths.projectDir = paths.programDir;
  }

  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }

  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = Host(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
    engine_->platform.files->Invalidate();
  }

  std::vector<uint8_t> Read(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  Engine& engine() { return *engine_; }
  platform::HeadlessPlatform& headless() { return *platform_; }
  const std::vector<platform::DialogRecord>& dialogs() { return platform_->DialogRecorder().Records(); }

  // The codes reported so far, in order.
  std::vector<ErrorCode> Codes() const {
    std::vector<ErrorCode> codes;
    for (const auto& r : engine_->errors.reports) codes.push_back(r.code);
    return codes;
  }
  // The last report's message in UTF-8.
  std::string LastMessage() const {
    return engine_->errors.reports.empty() ? std::string()
                                           : common::SjisToUtf8(engine_->errors.reports.back().message);
  }

  std::string root_;
  std::unique_ptr<platform::HeadlessPlatform> platform_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace vv::resource::testing
