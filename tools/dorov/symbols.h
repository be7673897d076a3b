// The names the language gives to the engine's system variables (numbers
// 0..999) and to keys.
//
// System variables are written sys.NAME (sys.timer[1], sys.loop); a key's
// hold counter is held.KEY, its press count pressed.KEY, and its key code
// the constant key.KEY. The key map in the command table file lists the
// keys behind held.* and pressed.* in the order of KeyNames().
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vv::dorov {

enum class ValueType : uint8_t { kNone = 0, kInt = 1, kFloat = 2, kText = 3 };

std::string_view TypeName(ValueType type);

struct SystemVariable {
  std::string name;    // "sys.timer", "held.enter"
  uint16_t number = 0;
  ValueType type = ValueType::kInt;
  int32_t elements = 0;  // 0: a scalar; otherwise the size of its one dimension
  bool writable = false;
  std::string doc;
};

// Every named system variable, in number order.
std::span<const SystemVariable> SystemVariables();
const SystemVariable* FindSystemVariable(std::string_view name);

// The name printed for a variable number: the system variable's name, or
// "v" and the number.
std::string VariableDisplayName(uint16_t number);

// The system variable slots the compiler declares for every game, so that
// the engine knows their types (and text ones have their elements).
struct SystemSlot {
  uint16_t number;
  ValueType type;
  int32_t elements;  // 0 for a scalar
};
std::vector<SystemSlot> SystemSlots();

struct KeyName {
  std::string_view name;
  uint8_t code;  // key number: 0 any key, 1..7 mouse, else the virtual-key code
};
// The keys of the key map, in map order.
std::span<const KeyName> KeyNames();
std::optional<uint8_t> FindKeyCode(std::string_view name);
std::array<uint8_t, 256> BuildKeyMap();

// First variable numbers of the per-key system variables.
inline constexpr uint16_t kHeldKeysBase = 81;
inline constexpr uint16_t kPressedKeysBase = 215;
inline constexpr uint16_t kKeyCodesBase = 349;
// First number of the script's own variables.
inline constexpr uint16_t kFirstScriptVariable = 1000;

}  // namespace vv::dorov
