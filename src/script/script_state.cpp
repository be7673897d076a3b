#include "script/script_state.h"

namespace vv::script {

ScriptState::ScriptState() : interp(MakeInterpreterState()) {}

}  // namespace vv::script
