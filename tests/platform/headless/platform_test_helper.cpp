// A second process for the platform tests.
//   platform_test_helper try <folder> <name>    Acquire once; exit 0 acquired,
//                                               1 already running, 2 failed
//   platform_test_helper hold <folder> <name>   Acquire, print the result line,
//                                               hold until stdin closes
//   platform_test_helper describe <game dir>    print DescribeExecutable's
//                                               programPath, dataPath,
//                                               windowsExecutable, selfPath
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/executable_info.h"
#include "platform/instance_guard.h"

namespace {

int ExitCode(vv::platform::InstanceGuard::Result r) {
  switch (r) {
    case vv::platform::InstanceGuard::Result::Acquired: return 0;
    case vv::platform::InstanceGuard::Result::AlreadyRunning: return 1;
    case vv::platform::InstanceGuard::Result::Failed: return 2;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "describe" && argc == 3) {
    const auto info = vv::platform::DescribeExecutable(argv[2]);
    std::printf("%s\n%s\n%d\n%s\n", info.programPath.c_str(), info.dataPath.c_str(),
                info.windowsExecutable ? 1 : 0, info.selfPath.c_str());
    return 0;
  }
  if ((mode == "try" || mode == "hold") && argc == 4) {
    auto guard = vv::platform::CreatePosixInstanceGuard(argv[2]);
    const int code = ExitCode(guard->Acquire(argv[3]));
    if (mode == "try") return code;
    std::printf("%d\n", code);
    std::fflush(stdout);
    char c;
    while (read(0, &c, 1) > 0) {
    }
    return code;
  }
  std::fprintf(stderr, "usage: %s try|hold <folder> <name> | describe <game dir>\n", argv[0]);
  return 64;
}
