#pragma once

#include <memory>
#include <string_view>

namespace vv::platform {

// A loaded external library; unloaded when destroyed.
class Library {
 public:
  virtual ~Library() = default;
  // The address of an exported function, or nullptr.
  virtual void* Symbol(std::string_view name) = 0;
};

class Libraries {
 public:
  virtual ~Libraries() = default;
  // Loads a library by a script's name ("foo.dll" is looked up as
  // "libfoo.so" and "foo.so" beside the game); nullptr when it fails.
  virtual std::unique_ptr<Library> Load(std::string_view name) = 0;
};

}  // namespace vv::platform
