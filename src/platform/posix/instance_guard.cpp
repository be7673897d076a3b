// The POSIX instance guard.
//
// Files in the guard's folder ($XDG_RUNTIME_DIR, else /tmp/vavevo-<uid>
// made 0700 and checked to be ours):
//   vavevo-<crc32 of name>.lock  flock()ed by the instance of that game;
//   vavevo-<crc32 of name>.sock  the instance's AF_UNIX socket: a later start
//                                connects and sends "raise\n".
// Locks are flock()s on open files, so they die with the process and a
// crash never leaves a stale lock; lock files themselves are left in place
// (removing one would race with a start that has just opened it).
//
// Not thread-safe: one thread (the frame thread) uses a guard.
#include "platform/instance_guard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/checksum.h"
#include "platform/host_paths.h"
#include "platform/posix/unique_fd.h"

namespace vv::platform {

namespace {

constexpr char kRaiseMessage[] = "raise\n";
constexpr size_t kMaxPending = 16;
// A second start may find the lock taken before the owner has opened its
// socket (or while a crashed owner's socket file is still in place); it
// tries again for about half a second before giving up on the raise.
constexpr int kConnectAttempts = 20;
constexpr long kConnectPauseNs = 25'000'000;

// flock without blocking: 1 taken, 0 held elsewhere, -1 error.
int TryLock(int fd) {
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 1;
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? 0 : -1;
  }
}

UniqueFd OpenLockFile(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  return true;
}

std::string HashName(std::string_view name) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", common::Crc32(name));
  return hex;
}

class PosixInstanceGuard final : public InstanceGuard {
 public:
  // `folder` empty: the default folder above.
  explicit PosixInstanceGuard(std::string_view folder) : folder_(folder) {}
  ~PosixInstanceGuard() override;

  // Acquired: this process holds the lock of `name` (a second Acquire on
  // the same guard returns Acquired again while it holds the same name).
  // AlreadyRunning: another process holds it; the raise request was sent
  // when its socket answered. Failed: the folder or lock file is unusable.
  Result Acquire(std::string_view name) override;
  // Accepts waiting connections (poll with zero timeout, never blocks) and
  // returns true once per raise request received.
  bool TakeRaiseRequest() override;

 private:
  bool EnsureFolder();
  void Listen(const std::string& socketPath);
  static void SendRaise(const std::string& socketPath);
  void ReadPending();

  std::string folder_;
  bool folderChecked_ = false;
  bool folderOk_ = false;
  std::string heldName_;
  std::string socketPath_;
  UniqueFd lock_;
  UniqueFd listener_;
  // Accepted connections whose request has not arrived in full yet.
  struct Pending {
    UniqueFd fd;
    std::string received;
  };
  std::vector<Pending> pending_;
  int requests_ = 0;
};

}  // namespace

PosixInstanceGuard::~PosixInstanceGuard() {
  // The socket file is ours while we hold the lock; remove it before the
  // lock goes so that a later owner never finds it.
  if (listener_.valid()) unlink(socketPath_.c_str());
}

bool PosixInstanceGuard::EnsureFolder() {
  if (folderChecked_) return folderOk_;
  folderChecked_ = true;
  if (!folder_.empty()) {
    if (!IsHostDirectory(folder_) && mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
    folderOk_ = IsHostDirectory(folder_);
    return folderOk_;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && IsHostDirectory(runtime)) {
    folder_ = runtime;
    folderOk_ = true;
    return true;
  }
  // A shared temp folder: the folder must be a real folder of ours that
  // nobody else can write, or another user could plant our lock files.
  const std::string dir = "/tmp/vavevo-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) return false;
  folder_ = dir;
  folderOk_ = true;
  return true;
}

InstanceGuard::Result PosixInstanceGuard::Acquire(std::string_view name) {
  if (lock_.valid() && heldName_ == name) return Result::Acquired;
  if (!EnsureFolder()) return Result::Failed;
  const std::string stem = folder_ + "/vavevo-" + HashName(name);
  UniqueFd fd = OpenLockFile(stem + ".lock");
  if (!fd.valid()) return Result::Failed;
  const int taken = TryLock(fd.get());
  if (taken < 0) return Result::Failed;
  if (taken == 0) {
    SendRaise(stem + ".sock");
    return Result::AlreadyRunning;
  }
  // One name per guard: taking a new one gives up the old.
  if (listener_.valid()) unlink(socketPath_.c_str());
  listener_.Reset();
  pending_.clear();
  requests_ = 0;
  lock_ = std::move(fd);
  heldName_ = std::string(name);
  Listen(stem + ".sock");
  return Result::Acquired;
}

// Without a socket (a folder path too long for one, say) the guard still
// keeps the game to one instance; only raising the first one is lost.
void PosixInstanceGuard::Listen(const std::string& socketPath) {
  sockaddr_un addr{};
  if (!FillAddress(socketPath, addr)) return;
  // Holding the lock makes any socket file there a leftover of a crash.
  unlink(socketPath.c_str());
  UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!sock.valid()) return;
  if (bind(sock.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return;
  if (listen(sock.get(), static_cast<int>(kMaxPending)) != 0) {
    unlink(socketPath.c_str());
    return;
  }
  socketPath_ = socketPath;
  listener_ = std::move(sock);
}

void PosixInstanceGuard::SendRaise(const std::string& socketPath) {
  sockaddr_un addr{};
  if (!FillAddress(socketPath, addr)) return;
  for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
    UniqueFd sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!sock.valid()) return;
    if (connect(sock.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
      // A few bytes into a fresh socket never block; MSG_NOSIGNAL keeps a
      // vanished owner from killing us with SIGPIPE.
      send(sock.get(), kRaiseMessage, sizeof kRaiseMessage - 1, MSG_NOSIGNAL);
      return;
    }
    if (errno != ENOENT && errno != ECONNREFUSED && errno != EAGAIN && errno != EINTR) return;
    const timespec pause{0, kConnectPauseNs};
    nanosleep(&pause, nullptr);
  }
}

void PosixInstanceGuard::ReadPending() {
  for (size_t i = 0; i < pending_.size();) {
    Pending& p = pending_[i];
    char buf[32];
    const ssize_t n = ::recv(p.fd.get(), buf, sizeof buf, 0);
    bool done = false;
    if (n > 0) {
      p.received.append(buf, static_cast<size_t>(n));
      if (p.received.find('\n') != std::string::npos || p.received.size() >= sizeof kRaiseMessage) {
        if (p.received.compare(0, sizeof kRaiseMessage - 1, kRaiseMessage) == 0) ++requests_;
        done = true;
      }
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      done = true;  // closed before a whole request
    }
    if (done) pending_.erase(pending_.begin() + static_cast<ptrdiff_t>(i));
    else ++i;
  }
}

bool PosixInstanceGuard::TakeRaiseRequest() {
  if (listener_.valid()) {
    pollfd pfd{listener_.get(), POLLIN, 0};
    if (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
      for (;;) {
        UniqueFd conn(accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!conn.valid()) break;
        // A peer that connects and never speaks must not pile up sockets.
        if (pending_.size() >= kMaxPending) pending_.erase(pending_.begin());
        pending_.push_back(Pending{std::move(conn), {}});
      }
    }
    ReadPending();
  }
  if (requests_ == 0) return false;
  --requests_;
  return true;
}

std::unique_ptr<InstanceGuard> CreatePosixInstanceGuard(std::string_view folder) {
  return std::make_unique<PosixInstanceGuard>(folder);
}

}  // namespace vv::platform
