// Binds the script machine's commands to their slots of the handler table.
#include "script/interpreter.h"
#include "script/script_commands.h"
#include "script/value_commands.h"

namespace vv::script {

void BindScriptCommands(HandlerTable& table) {
  struct Binding {
    int index;
    CommandHandler handler;
  };
  static constexpr Binding kBindings[] = {
      {7, BlockElseCommand},       {8, EndCommand},             {9, OptionFlagsCommand},
      {10, EvaluateOnlyCommand},   {16, DeclareFloatCommand},   {19, FrameRateCommand},
      {24, JumpCommand},           {25, CallCommand},           {26, BlockBeginCommand},
      {27, BlockExitCommand},      {28, BlockBreakCommand},     {29, BlockRepeatCommand},
      {30, BlockEndCommand},       {32, DeclareIntegerCommand}, {33, NoOperationCommand},
      {34, LabelExistsCommand},    {35, AssignCommand},         {37, CountLoopBeginCommand},
      {38, CountLoopBreakCommand}, {39, CountLoopNextCommand},  {40, CountLoopEndCommand},
      {47, EvaluateOnlyCommand},   {54, ReturnCommand},         {55, NoOperationCommand},
      {57, SkipArgumentsCommand},  {58, SkipArgumentsCommand},  {59, SkipArgumentsCommand},
      {63, EvaluateOnlyCommand},   {64, NoOperationCommand},    {68, DeclareTextCommand},
      {69, EngineSwitchCommand},   {76, EvaluateOnlyCommand},   {80, WaitCommand},
      {42, MathCommand},           {70, ContextCommand},        {71, ContextDeleteCommand},
      {72, ContextInfoCommand},    {77, TextCommand},           {78, VariableInfoCommand},
  };
  for (const Binding& b : kBindings) BindCommand(table, b.index, b.handler);
}

}  // namespace vv::script
