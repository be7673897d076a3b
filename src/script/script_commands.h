// The handlers of the script machine's own commands, by command index.
// Each is a CommandHandler (see interpreter.h): 0 to go on, nonzero to stop
// the context for this pass, -1 after a reported failure.
#pragma once

#include <cstdint>

namespace vv {
struct Engine;
}

namespace vv::script {

// The interpreter's own commands.
int8_t WaitCommand(Engine& engine);            // 80
int8_t EngineSwitchCommand(Engine& engine);    // 69
int8_t OptionFlagsCommand(Engine& engine);     // 9
int8_t EvaluateOnlyCommand(Engine& engine);    // 10, 47, 63, 76
int8_t SkipArgumentsCommand(Engine& engine);   // 57, 58, 59
int8_t NoOperationCommand(Engine& engine);     // 33, 55, 64

// Program end and frame rate.
int8_t EndCommand(Engine& engine);             // 8
int8_t FrameRateCommand(Engine& engine);       // 19

// Variables.
int8_t AssignCommand(Engine& engine);          // 35
int8_t DeclareFloatCommand(Engine& engine);    // 16
int8_t DeclareIntegerCommand(Engine& engine);  // 32
int8_t DeclareTextCommand(Engine& engine);     // 68

// Control flow.
int8_t JumpCommand(Engine& engine);            // 24
int8_t CallCommand(Engine& engine);            // 25
int8_t ReturnCommand(Engine& engine);          // 54
int8_t BlockBeginCommand(Engine& engine);      // 26
int8_t BlockElseCommand(Engine& engine);       // 7
int8_t BlockExitCommand(Engine& engine);       // 27
int8_t BlockBreakCommand(Engine& engine);      // 28
int8_t BlockRepeatCommand(Engine& engine);     // 29
int8_t BlockEndCommand(Engine& engine);        // 30
int8_t CountLoopBeginCommand(Engine& engine);  // 37
int8_t CountLoopBreakCommand(Engine& engine);  // 38
int8_t CountLoopNextCommand(Engine& engine);   // 39
int8_t CountLoopEndCommand(Engine& engine);    // 40
int8_t LabelExistsCommand(Engine& engine);     // 34

}  // namespace vv::script
