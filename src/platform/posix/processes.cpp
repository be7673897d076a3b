// Programs started for scripts run on their own: a new session, our
// descriptors closed, stdin from /dev/null, default signal handling. A small
// detached thread waits for each one so that none stays a zombie; ignoring
// SIGCHLD instead would change the whole process's child handling, and a
// double fork would lose posix_spawnp's report of a program that could not
// be run.
#include "platform/processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/posix/desktop_entry.h"
#include "platform/posix/read_file.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace vv::platform {

namespace {

constexpr size_t kMaxCapture = 64 * 1024;
constexpr int kQueryTimeoutMs = 5000;
constexpr int kResetSignals[] = {SIGPIPE, SIGCHLD, SIGHUP,  SIGINT, SIGQUIT,
                                 SIGTERM, SIGUSR1, SIGUSR2, SIGALRM};

// posix_spawn's settings for a child: stdin from /dev/null, stdout to
// `stdoutFd` when given (else inherited), every other descriptor of ours
// closed.
class SpawnSetup {
 public:
  SpawnSetup(int stdoutFd, bool quietStderr, bool newSession) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attr_);
    posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions_, stdoutFd, 1);
    if (quietStderr) posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    sigset_t none, reset;
    sigemptyset(&none);
    sigemptyset(&reset);
    for (int s : kResetSignals) sigaddset(&reset, s);
    posix_spawnattr_setsigmask(&attr_, &none);
    posix_spawnattr_setsigdefault(&attr_, &reset);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attr_, flags);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The child's pid, or -1 when it could not be started.
  pid_t Spawn(std::string_view program, const std::vector<std::string>& args) {
    if (program.empty()) return -1;
    std::vector<std::string> words;
    words.emplace_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions_, &attr_, argv.data(), environ) != 0) return -1;
    return pid;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
};

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

bool StartDetached(std::string_view program, const std::vector<std::string>& args) {
  SpawnSetup setup(-1, false, true);
  const pid_t pid = setup.Spawn(program, args);
  if (pid < 0) return false;
  try {
    std::thread([pid] { WaitFor(pid); }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the child runs all the same and is reaped only
    // when we end.
  }
  return true;
}

int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// Runs a query program and returns its standard output when it exits with
// status 0 within the time limit (a hung helper is killed).
std::optional<std::string> Capture(std::string_view program, const std::vector<std::string>& args) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
  pid_t pid;
  {
    SpawnSetup setup(writeEnd.get(), true, false);
    pid = setup.Spawn(program, args);
  }
  writeEnd.Reset();
  if (pid < 0) return std::nullopt;
  std::string out;
  bool overflow = false;
  const int64_t deadline = MonotonicMs() + kQueryTimeoutMs;
  for (;;) {
    const int64_t left = deadline - MonotonicMs();
    if (left <= 0) {
      kill(pid, SIGKILL);
      WaitFor(pid);
      return std::nullopt;
    }
    pollfd pfd{readEnd.get(), POLLIN, 0};
    const int r = poll(&pfd, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char buf[4096];
    const ssize_t n = ::read(readEnd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (out.size() + static_cast<size_t>(n) > kMaxCapture) overflow = true;
    else out.append(buf, static_cast<size_t>(n));
  }
  const int status = WaitFor(pid);
  if (overflow || status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

// The first line of a query's answer, without surrounding white space.
std::string FirstLine(const std::string& text) {
  std::string_view s(text);
  const size_t nl = s.find('\n');
  s = s.substr(0, nl);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return std::string(s);
}

class PosixProcesses final : public Processes {
 public:
  bool Start(std::string_view program, const std::vector<std::string>& args) override {
    return StartDetached(program, args);
  }

  bool OpenDocument(std::string_view hostPath) override {
    return StartDetached("xdg-open", {std::string(hostPath)});
  }

  std::string AssociatedProgram(std::string_view hostPath) override {
    const auto type = Capture("xdg-mime", {"query", "filetype", std::string(hostPath)});
    if (!type) return {};
    const std::string mime = FirstLine(*type);
    if (mime.empty()) return {};
    const auto app = Capture("xdg-mime", {"query", "default", mime});
    if (!app) return {};
    const std::string entry = FindDesktopEntry(FirstLine(*app), DesktopDataDirs());
    if (entry.empty()) return {};
    // Desktop entries are a few kilobytes; anything huge is not one.
    std::string text;
    int error = 0;
    if (!ReadHostFile(entry, kMaxCapture, text, error)) return {};
    return ProgramFromDesktopEntry(text);
  }
};

}  // namespace

std::unique_ptr<Processes> CreatePosixProcesses() { return std::make_unique<PosixProcesses>(); }

}  // namespace vv::platform
