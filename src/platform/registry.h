#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vv::platform {

// Read access to a per-user store of named values laid out like a registry
// (root, key path, value name). A value is a number or a text (Shift-JIS).
using RegistryValue = std::variant<int64_t, std::string>;

class Registry {
 public:
  virtual ~Registry() = default;
  virtual std::optional<RegistryValue> Read(std::string_view root, std::string_view key,
                                            std::string_view name) = 0;
};

}  // namespace vv::platform
