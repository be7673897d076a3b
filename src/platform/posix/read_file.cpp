#include "platform/posix/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/posix/unique_fd.h"

namespace vv::platform {

bool ReadHostFile(const std::string& path, size_t maxBytes, std::string& out, int& error) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0) {
    error = errno;
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    error = EFBIG;
    return false;
  }
  out.clear();
  out.reserve(static_cast<size_t>(st.st_size));
  char buf[16 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      return false;
    }
    if (n == 0) return true;
    // The file may grow while we read it; the limit still holds.
    if (out.size() + static_cast<size_t>(n) > maxBytes) {
      error = EFBIG;
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
}

}  // namespace vv::platform
