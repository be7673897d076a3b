// The one definition of the script commands: for each of the 91 command
// slots its index, the name scripts and error messages use, the engine's
// handler, and every argument by id with its value class, range check and
// role.
//
// The compiler writes nvbin\nvc.nbn and docs/commands.md from it; the
// engine binds its handlers by index and a test checks the handler table
// against it. At run time the engine still takes argument names, value
// classes and checks from the nvc.nbn a game carries, so a command table
// written by another tool works as well.
//
// Plain constant data with no dependencies beyond the standard library;
// safe to read from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vv::script {

// Number of handler slots, one per command index 0..90.
inline constexpr int kCommandSlots = 91;

// How argument preparation treats an argument before the handler runs.
enum ValueClass : uint8_t {
  kNumberValue = 0,  // evaluated as a number into the argument's slot
  kTextValue = 1,    // evaluated as a text into the slot's buffer
  kRawValue = 2,     // the handler evaluates the expression itself
  kLeftAlone = 3,    // not evaluated at all (positions, placeholders)
};

// Range checks applied to a number argument after it is evaluated.
inline constexpr int kCheckKinds = 27;

// What the argument is for; the compiler uses it to check scripts and the
// documentation to describe them. The engine never sees it.
enum class ArgRole : uint8_t {
  kValue,     // an ordinary number or text
  kOutput,    // a variable reference the command writes to (or reads as a whole)
  kSelector,  // its presence picks what the command does; scripts give it bare (value 1)
  kLabel,     // a text naming a label
  kPosition,  // a code position the compiler fills in; scripts never give it
  kUnused,    // an id without meaning; scripts never give it
};

struct ArgumentSpec {
  std::string_view name;
  uint8_t valueClass = kLeftAlone;
  uint8_t checkKind = 0;
  ArgRole role = ArgRole::kUnused;
  bool withOperator = false;  // honours `+=`, `-=`, `*=`, `/=` on the setting it changes
  std::string_view doc;
};

struct CommandSpec {
  uint8_t index = 0;
  std::string_view name;     // written into nvc.nbn; what scripts write after '@'
  std::string_view handler;  // the engine's handler; empty for an unbound slot
  bool bound = false;        // false: the slot reports an unbound command
  std::span<const ArgumentSpec> args;  // args[i] is argument id i
  std::string_view summary;
};

// All 91 commands; entry i has index i.
std::span<const CommandSpec> CommandTable();

// The command named `name` (exact, case-sensitive), or nullptr.
const CommandSpec* FindCommand(std::string_view name);

// The id of the argument named `name` in `command`, or -1. Placeholders
// (role kUnused) are never found.
int FindArgument(const CommandSpec& command, std::string_view name);

// What a check kind accepts, for people: "0..256", "a 24-bit colour or -1".
// Kinds outside 0..26 accept anything.
std::string_view CheckKindText(uint8_t kind);

}  // namespace vv::script
