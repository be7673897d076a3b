#pragma once

#include <string>

namespace vv::platform {

// Which file is "the program" of a game.
struct ExecutableInfo {
  // Host path of the game's program: the game's own Windows `.exe` when
  // its folder holds one, else our executable when it lives in the game
  // folder, else "vavevo" inside the game folder (every build started on
  // one game folder is then the same program, one instance per game).
  std::string programPath;
  // Host path of the file whose appended data is read: the `.exe`, or our
  // own executable when it lives in the game folder; empty otherwise.
  std::string dataPath;
  // True when `dataPath` is a Windows executable (its resource table holds
  // the locator) rather than ours (a trailer holds it).
  bool windowsExecutable = false;
  // Host path of the running binary.
  std::string selfPath;
};

// Finds the program of the game in `gameDir` (a host folder).
ExecutableInfo DescribeExecutable(const std::string& gameDir);

}  // namespace vv::platform
