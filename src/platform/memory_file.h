// A read-only file held in memory: the engine reads bytes it already has
// (a fuzzer's input, a test's image) through the ordinary File interface.
// Every write and flush fails. Not shared between threads.
#pragma once

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "platform/filesystem.h"

namespace vv::platform {

class MemoryFile final : public File {
 public:
  explicit MemoryFile(std::span<const uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}
  explicit MemoryFile(std::vector<uint8_t>&& bytes) : bytes_(std::move(bytes)) {}

  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  bool Seek(uint64_t offset) override {
    if (offset > bytes_.size()) return false;
    pos_ = offset;
    return true;
  }
  int64_t Tell() override { return static_cast<int64_t>(pos_); }
  size_t Read(void* out, size_t bytes) override {
    const size_t n = std::min<size_t>(bytes, bytes_.size() - pos_);
    if (n > 0) std::memcpy(out, bytes_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  size_t Write(const void*, size_t) override { return 0; }
  bool Flush(bool) override { return false; }
  int LastError() const override { return 0; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t pos_ = 0;
};

}  // namespace vv::platform
