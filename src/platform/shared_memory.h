#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace vv::platform {

// A named block of memory shared with another process (the compiler).
class SharedBlock {
 public:
  virtual ~SharedBlock() = default;
  virtual uint8_t* Data() = 0;
  virtual size_t Size() const = 0;
};

class SharedMemory {
 public:
  virtual ~SharedMemory() = default;
  virtual std::unique_ptr<SharedBlock> Create(std::string_view name, size_t size) = 0;
  virtual std::unique_ptr<SharedBlock> Open(std::string_view name) = 0;
};

}  // namespace vv::platform
