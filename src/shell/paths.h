#pragma once

#include <string_view>

#include "shell/shell_state.h"

namespace vv::shell {

// The engine paths of a program at `programHostPath` in the game folder
// `gameHostDir`: ProgramPath lowered, InstanceName with `\` turned into
// `:`, ProgramDir the lowered folder ending in `\`; ProjectDir starts equal
// to ProgramDir (a development run may move it later).
EnginePaths MakeEnginePaths(std::string_view programHostPath, std::string_view gameHostDir);

}  // namespace vv::shell
