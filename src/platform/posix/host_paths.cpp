#include "platform/host_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vv::platform {

std::string AbsoluteHostPath(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return path;
    joined = std::string(buf.data()) + "/" + path;
  }
  // Fold "." and ".." textually: the game folder may not exist yet when
  // this is asked, so realpath cannot be used.
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= joined.size()) {
    size_t j = joined.find('/', i);
    if (j == std::string::npos) j = joined.size();
    const std::string part = joined.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

bool IsHostDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HostParent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string EnvironmentValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string UserDataHome() {
  // The base directory rules ignore a relative XDG_DATA_HOME.
  const std::string xdg = EnvironmentValue("XDG_DATA_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  const std::string home = EnvironmentValue("HOME");
  if (home.empty() || home[0] != '/') return {};
  return home + "/.local/share";
}

}  // namespace vv::platform
