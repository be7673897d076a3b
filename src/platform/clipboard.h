#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vv::platform {

// The system clipboard's text, in Shift-JIS on this side.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual std::optional<std::string> GetText() = 0;
  virtual bool SetText(std::string_view sjis) = 0;
};

}  // namespace vv::platform
