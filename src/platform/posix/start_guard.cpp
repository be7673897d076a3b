// The "vavevo1" start guard: a lock file held with flock for the few
// milliseconds of the instance check. flock locks die with their process,
// so a start that crashes never blocks the next one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/instance_guard.h"

namespace vv::platform {

namespace {

class PosixStartGuard final : public StartGuard {
 public:
  explicit PosixStartGuard(int fd) : fd_(fd) {}
  ~PosixStartGuard() override {
    flock(fd_, LOCK_UN);
    close(fd_);
  }

 private:
  int fd_;
};

std::string LockFolder(std::string_view folder) {
  if (!folder.empty()) return std::string(folder);
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  // The shared temp folder is only used when it is ours: a folder planted
  // by another user could hold a lock that stops every start.
  std::string tmp = "/tmp/vavevo-" + std::to_string(getuid());
  mkdir(tmp.c_str(), 0700);
  struct stat st {};
  if (lstat(tmp.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  return tmp;
}

}  // namespace

std::unique_ptr<StartGuard> TryStartGuard(std::string_view folder) {
  const std::string dir = LockFolder(folder);
  if (dir.empty()) return nullptr;
  const std::string path = dir + "/vavevo1.lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixStartGuard>(fd);
}

}  // namespace vv::platform
