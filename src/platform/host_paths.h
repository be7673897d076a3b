#pragma once

#include <string>

namespace vv::platform {

// The absolute form of a host path (relative to the current folder),
// without `.` and `..` components; the path itself when it cannot be made.
std::string AbsoluteHostPath(const std::string& path);
bool IsHostDirectory(const std::string& path);
// The folder part of a host path ("." when it has none).
std::string HostParent(const std::string& path);
// The value of an environment variable, empty when unset.
std::string EnvironmentValue(const char* name);
// Where per-user application data lives: $XDG_DATA_HOME when it is an
// absolute path, else $HOME/.local/share; empty when neither is known.
std::string UserDataHome();

}  // namespace vv::platform
