// A game folder held in memory, for fuzz targets: the engine reads the
// fuzzer's bytes through its ordinary FileSystem interface without touching
// the disk. Only reading is offered; every write fails.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/sjis.h"
#include "platform/memory_file.h"
#include "platform/platform.h"

namespace vv::fuzz {

// Files by canonical engine path ("pac\a.npf"); folders are implied by the
// paths of their files.
class MemoryFileSystem final : public platform::FileSystem {
 public:
  void Add(const std::string& path, std::vector<uint8_t> bytes) { files_[Key(path)] = std::move(bytes); }

  void SetBaseDir(std::string hostDir) override { base_ = std::move(hostDir); }
  const std::string& BaseDir() const override { return base_; }
  std::optional<std::string> Resolve(std::string_view path) override {
    if (files_.count(Key(path))) return Key(path);
    return std::nullopt;
  }
  std::string ResolveForCreate(std::string_view path) override { return Key(path); }
  std::unique_ptr<platform::File> Open(std::string_view path, platform::OpenMode mode) override {
    auto it = files_.find(Key(path));
    if (mode != platform::OpenMode::Read || it == files_.end()) return nullptr;
    return std::make_unique<platform::MemoryFile>(std::span<const uint8_t>(it->second));
  }
  std::optional<std::vector<platform::DirEntry>> List(std::string_view path) override {
    std::string prefix = Key(path);
    if (!prefix.empty()) prefix += '\\';
    std::map<std::string, platform::DirEntry> entries;
    for (const auto& [name, bytes] : files_) {
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string rest = name.substr(prefix.size());
      const size_t sep = rest.find('\\');
      platform::DirEntry e;
      e.nameSjis = e.hostName = rest.substr(0, sep);
      e.isDirectory = sep != std::string::npos;
      e.size = e.isDirectory ? 0 : bytes.size();
      entries.emplace(e.nameSjis, e);
    }
    std::vector<platform::DirEntry> out;
    for (auto& [name, e] : entries) out.push_back(std::move(e));
    return out;
  }
  bool Exists(std::string_view path) override { return files_.count(Key(path)) != 0; }
  bool IsDirectory(std::string_view) override { return false; }
  bool CreateDirectory(std::string_view) override { return false; }
  bool Remove(std::string_view) override { return false; }
  bool RemoveDirectory(std::string_view) override { return false; }
  bool Rename(std::string_view, std::string_view) override { return false; }
  bool Copy(std::string_view, std::string_view) override { return false; }
  bool SyncDirectory(std::string_view) override { return false; }
  void Invalidate() override {}
  int LastError() const override { return 0; }

 private:
  // "." components dropped, ASCII letters lowered, '\' separators.
  static std::string Key(std::string_view path) {
    std::string canonical = common::CanonicalPath(path);
    std::string out;
    size_t i = 0;
    while (i <= canonical.size()) {
      size_t j = canonical.find('\\', i);
      if (j == std::string::npos) j = canonical.size();
      const std::string part = canonical.substr(i, j - i);
      if (!part.empty() && part != ".") {
        if (!out.empty()) out += '\\';
        out += part;
      }
      i = j + 1;
    }
    return out;
  }

  std::string base_;
  std::map<std::string, std::vector<uint8_t>> files_;
};

// A platform with only the in-memory files: no dialogs, no processes.
class FilesOnlyPlatform final : public platform::Platform {
 public:
  explicit FilesOnlyPlatform(std::unique_ptr<MemoryFileSystem> fs) {
    memory = fs.get();
    files = std::move(fs);
  }
  const char* Name() const override { return "fuzz"; }
  bool IsHeadless() const override { return true; }
  MemoryFileSystem* memory = nullptr;
};

}  // namespace vv::fuzz
