// The script machine's state inside the Engine.
#pragma once

namespace vv::script {

struct ScriptState {};

}  // namespace vv::script
