// Reading a whole small host file (an input script, a desktop entry) into
// memory, refusing files larger than the caller's limit before reading them.
#pragma once

#include <cstddef>
#include <string>

namespace vv::platform {

// False with `error` set to an errno (EFBIG when the file exceeds
// `maxBytes`); true with the bytes in `out`.
bool ReadHostFile(const std::string& path, size_t maxBytes, std::string& out, int& error);

}  // namespace vv::platform
