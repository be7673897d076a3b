// Running the platform test helper as a real second process.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace vv::testing {

struct HelperProcess {
  pid_t pid = -1;
  int stdinFd = -1;   // write end: closing it ends a holding helper
  int stdoutFd = -1;  // read end
};

inline HelperProcess SpawnHelper(const std::string& program, const std::vector<std::string>& args) {
  int in[2], out[2];
  HelperProcess h;
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return h;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  if (posix_spawn(&h.pid, program.c_str(), &fa, nullptr, argv.data(), environ) != 0) h.pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  close(in[0]);
  close(out[1]);
  h.stdinFd = in[1];
  h.stdoutFd = out[0];
  return h;
}

// Everything the helper writes until it closes its output.
inline std::string ReadOutput(HelperProcess& h) {
  std::string text;
  char buf[512];
  ssize_t n;
  while ((n = read(h.stdoutFd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  return text;
}

// One line of the helper's output (blocks until it arrives).
inline std::string ReadLine(HelperProcess& h) {
  std::string line;
  char c;
  while (read(h.stdoutFd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// The helper's exit status as waitpid reports it.
inline int Finish(HelperProcess& h) {
  close(h.stdinFd);
  close(h.stdoutFd);
  int status = 0;
  waitpid(h.pid, &status, 0);
  return status;
}

// Runs the helper to its end and returns its exit code (-1 when it did not
// exit normally).
inline int RunHelper(const std::string& program, const std::vector<std::string>& args,
                     std::string* output = nullptr) {
  HelperProcess h = SpawnHelper(program, args);
  if (h.pid < 0) return -1;
  std::string text = ReadOutput(h);
  if (output) *output = text;
  const int status = Finish(h);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vv::testing
