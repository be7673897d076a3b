#include "shell/paths.h"

#include "common/sjis.h"
#include "platform/filesystem.h"

namespace vv::shell {

EnginePaths MakeEnginePaths(std::string_view programHostPath, std::string_view gameHostDir) {
  EnginePaths p;
  p.programHostPath = std::string(programHostPath);
  p.gameHostDir = std::string(gameHostDir);

  p.programPath = platform::HostToEnginePath(programHostPath);
  common::SjisLowerAscii(p.programPath);

  p.instanceName = p.programPath;
  common::SjisReplaceByte(p.instanceName, '\\', ':');

  const size_t sep = common::SjisFindLastSeparator(p.programPath);
  p.programDir = common::CanonicalPath(sep == std::string::npos
                                           ? std::string_view{}
                                           : std::string_view(p.programPath).substr(0, sep + 1));
  if (p.programDir.empty() || p.programDir.back() != '\\') p.programDir += '\\';
  p.projectDir = p.programDir;
  return p;
}

}  // namespace vv::shell
