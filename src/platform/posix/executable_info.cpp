// Which file is the program of a game: a Windows build of the game keeps
// its data (resource table, appended archive) in its own `.exe`, which we
// read in place of our own executable when the game folder holds one.
#include "platform/executable_info.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "platform/posix/unique_fd.h"

namespace vv::platform {

namespace {

std::string SelfPath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<size_t>(n));
}

std::string RealPathOr(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf) != nullptr) return buf;
  return path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) {
             return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
           };
           return lower(x) == lower(y);
         });
}

bool HasExeExtension(std::string_view name) {
  return name.size() > 4 && EqualsIgnoringAsciiCase(name.substr(name.size() - 4), ".exe");
}

// A regular file that starts with the "MZ" signature of a Windows program.
bool IsWindowsExecutable(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  uint8_t head[2] = {};
  if (::read(fd.get(), head, sizeof head) != static_cast<ssize_t>(sizeof head)) return false;
  common::ByteReader reader(head, sizeof head, path);
  return reader.Text(2) == "MZ";
}

// The game's Windows program: among the `.exe` files of the folder, the one
// named after the folder, else the first in byte order of the names.
std::string FindWindowsExecutable(const std::string& gameDir) {
  DIR* dir = opendir(gameDir.c_str());
  if (dir == nullptr) return {};
  std::vector<std::string> names;
  while (dirent* d = readdir(dir)) {
    if (HasExeExtension(d->d_name)) names.emplace_back(d->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  const std::string folderName = NameOf(gameDir);
  std::string first;
  for (const std::string& name : names) {
    const std::string path = gameDir == "/" ? "/" + name : gameDir + "/" + name;
    if (!IsWindowsExecutable(path)) continue;
    if (std::string_view(name).substr(0, name.size() - 4) == folderName) return path;
    if (first.empty()) first = path;
  }
  return first;
}

}  // namespace

ExecutableInfo DescribeExecutable(const std::string& gameDir) {
  ExecutableInfo info;
  info.selfPath = SelfPath();
  const std::string game = RealPathOr(gameDir.empty() ? std::string(".") : gameDir);

  if (std::string exe = FindWindowsExecutable(game); !exe.empty()) {
    info.programPath = exe;
    info.dataPath = std::move(exe);
    info.windowsExecutable = true;
    return info;
  }
  if (!info.selfPath.empty() && FolderOf(RealPathOr(info.selfPath)) == game) {
    info.programPath = info.selfPath;
    info.dataPath = info.selfPath;
    return info;
  }
  // An unpacked game run with --game: every build of the engine started on
  // this folder is the same program, so that one instance runs per game.
  info.programPath = game == "/" ? "/vavevo" : game + "/vavevo";
  return info;
}

}  // namespace vv::platform
