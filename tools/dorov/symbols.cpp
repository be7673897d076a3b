#include "dorov/symbols.h"

#include <algorithm>

namespace vv::dorov {

namespace {

constexpr KeyName kKeys[] = {
    {"any", 0},          {"mouse_left", 1},  {"mouse_right", 2}, {"cancel", 3},      {"mouse_middle", 4},
    {"wheel_up", 5},     {"wheel_down", 6},  {"mouse_move", 7},  {"backspace", 0x08}, {"tab", 0x09},
    {"enter", 0x0D},     {"shift", 0x10},    {"ctrl", 0x11},     {"alt", 0x12},      {"pause", 0x13},
    {"escape", 0x1B},    {"space", 0x20},    {"pageup", 0x21},   {"pagedown", 0x22}, {"end", 0x23},
    {"home", 0x24},      {"left", 0x25},     {"up", 0x26},       {"right", 0x27},    {"down", 0x28},
    {"printscreen", 0x2C}, {"insert", 0x2D}, {"delete", 0x2E},   {"help", 0x2F},     {"digit0", 0x30},
    {"digit1", 0x31},    {"digit2", 0x32},   {"digit3", 0x33},   {"digit4", 0x34},   {"digit5", 0x35},
    {"digit6", 0x36},    {"digit7", 0x37},   {"digit8", 0x38},   {"digit9", 0x39},   {"a", 0x41},
    {"b", 0x42},         {"c", 0x43},        {"d", 0x44},        {"e", 0x45},        {"f", 0x46},
    {"g", 0x47},         {"h", 0x48},        {"i", 0x49},        {"j", 0x4A},        {"k", 0x4B},
    {"l", 0x4C},         {"m", 0x4D},        {"n", 0x4E},        {"o", 0x4F},        {"p", 0x50},
    {"q", 0x51},         {"r", 0x52},        {"s", 0x53},        {"t", 0x54},        {"u", 0x55},
    {"v", 0x56},         {"w", 0x57},        {"x", 0x58},        {"y", 0x59},        {"z", 0x5A},
    {"numpad0", 0x60},   {"numpad1", 0x61},  {"numpad2", 0x62},  {"numpad3", 0x63},  {"numpad4", 0x64},
    {"numpad5", 0x65},   {"numpad6", 0x66},  {"numpad7", 0x67},  {"numpad8", 0x68},  {"numpad9", 0x69},
    {"multiply", 0x6A},  {"add", 0x6B},      {"separator", 0x6C}, {"subtract", 0x6D}, {"decimal", 0x6E},
    {"divide", 0x6F},    {"f1", 0x70},       {"f2", 0x71},       {"f3", 0x72},       {"f4", 0x73},
    {"f5", 0x74},        {"f6", 0x75},       {"f7", 0x76},       {"f8", 0x77},       {"f9", 0x78},
    {"f10", 0x79},       {"f11", 0x7A},      {"f12", 0x7B},      {"f13", 0x7C},      {"f14", 0x7D},
    {"f15", 0x7E},       {"f16", 0x7F},      {"f17", 0x80},      {"f18", 0x81},      {"f19", 0x82},
    {"f20", 0x83},       {"f21", 0x84},      {"f22", 0x85},      {"f23", 0x86},      {"f24", 0x87},
    {"numlock", 0x90},   {"scrolllock", 0x91}, {"lshift", 0xA0}, {"rshift", 0xA1},   {"lctrl", 0xA2},
    {"rctrl", 0xA3},     {"lalt", 0xA4},     {"ralt", 0xA5},     {"semicolon", 0xBA}, {"equals", 0xBB},
    {"comma", 0xBC},     {"minus", 0xBD},    {"period", 0xBE},   {"slash", 0xBF},    {"backquote", 0xC0},
    {"lbracket", 0xDB},  {"backslash", 0xDC}, {"rbracket", 0xDD}, {"quote", 0xDE},   {"oem102", 0xE2},
};
// held.* covers variables 81..209: 129 map entries.
static_assert(std::size(kKeys) <= 129);

struct Plain {
  const char* name;
  uint16_t number;
  ValueType type;
  int32_t elements;
  bool writable;
  const char* doc;
};

constexpr Plain kPlain[] = {
    {"sys.time", 0, ValueType::kInt, 16, false,
     "local time: [0] year [1] month [2] day [3] weekday (0 Sunday) [4] hour [5] minute [6] second "
     "[7] millisecond; [8]..[15] the same at start-up"},
    {"sys.timer", 1, ValueType::kInt, 2, false, "[0] timer in ms, [1] ms since start-up"},
    {"sys.os", 2, ValueType::kInt, 0, false, "operating system code"},
    {"sys.directx", 3, ValueType::kInt, 0, false, "media library version"},
    {"sys.sound", 4, ValueType::kInt, 0, false, "1 when sound is on"},
    {"sys.memory_free", 5, ValueType::kInt, 0, false, "available memory in bytes"},
    {"sys.memory_load", 6, ValueType::kInt, 0, false, "memory load in percent"},
    {"sys.memory_total", 7, ValueType::kInt, 0, false, "total memory in bytes"},
    {"sys.folder_readonly", 9, ValueType::kInt, 0, false, "1 when the program folder is not writable"},
    {"sys.pi", 10, ValueType::kFloat, 0, false, "3.141592653589793"},
    {"sys.debug", 11, ValueType::kInt, 0, false, "1 in a debug run"},
    {"sys.args", 12, ValueType::kText, 9, false, "command-line arguments; [0] is the program"},
    {"sys.arg_count", 13, ValueType::kInt, 0, false, "number of command-line arguments"},
    {"sys.dropped", 14, ValueType::kText, 256, false, "paths of files dropped on the main window"},
    {"sys.dropped_count", 15, ValueType::kInt, 0, true, "number of dropped files; set 0 when handled"},
    {"sys.loop", 32, ValueType::kInt, 0, false, "iteration number (from 1) of the innermost @loop"},
    {"sys.call_limit", 33, ValueType::kInt, 0, false, "999"},
    {"sys.int_param", 34, ValueType::kInt, 9, false, "[1]..[8] integer parameters of the current call"},
    {"sys.float_param", 35, ValueType::kFloat, 9, false, "[1]..[8] float parameters"},
    {"sys.text_param", 36, ValueType::kText, 9, false, "[1]..[8] text parameters"},
    {"sys.int_result", 38, ValueType::kInt, 9, false, "[1]..[8] integer values of the last return"},
    {"sys.float_result", 39, ValueType::kFloat, 9, false, "[1]..[8] float values of the last return"},
    {"sys.text_result", 40, ValueType::kText, 9, false, "[1]..[8] text values of the last return"},
    {"sys.program_dir", 50, ValueType::kText, 0, false, "the program's folder"},
    {"sys.project_dir", 51, ValueType::kText, 0, false, "the game's folder"},
    {"sys.version", 52, ValueType::kInt, 0, false, "the engine's format version, 288"},
    {"sys.color_depth", 53, ValueType::kInt, 0, false, "desktop bits per pixel"},
    {"sys.desktop_width", 54, ValueType::kInt, 0, false, "desktop width"},
    {"sys.desktop_height", 55, ValueType::kInt, 0, false, "desktop height"},
    {"sys.maximize_window", 56, ValueType::kInt, 0, true, "window (1..4) whose maximise command was chosen; set 0"},
    {"sys.close_request", 57, ValueType::kInt, 0, true, "1 when the player asked to close the main window"},
    {"sys.message_text", 58, ValueType::kText, 0, true, "text of the message being shown"},
    {"sys.message_codes", 59, ValueType::kText, 0, true, "control codes of the message being shown"},
    {"sys.build", 60, ValueType::kInt, 0, false, "the build number of game.ini"},
    {"sys.context_name", 61, ValueType::kText, 0, false, "name of the running script context"},
    {"sys.context_count", 62, ValueType::kInt, 0, false, "number of top-level script contexts"},
    {"sys.char", 63, ValueType::kText, 256, false, "[n] is the one-byte text of byte n"},
    {"sys.layer_folder", 64, ValueType::kText, 0, true, "current folder of layer names"},
    {"sys.sound_folder", 65, ValueType::kText, 0, false, "current folder of sound names"},
    {"sys.context_folder", 66, ValueType::kText, 0, false, "current folder of context names"},
    {"sys.menu_folder", 67, ValueType::kText, 0, true, "current folder of menu names"},
    {"sys.menu_command", 68, ValueType::kInt, 0, true, "number of the last menu command chosen"},
    {"sys.mouse_x", 69, ValueType::kInt, 0, false, "mouse x in the main window"},
    {"sys.mouse_x2", 70, ValueType::kInt, 0, false, "mouse x in window 1"},
    {"sys.mouse_x3", 71, ValueType::kInt, 0, false, "mouse x in window 2"},
    {"sys.mouse_x4", 72, ValueType::kInt, 0, false, "mouse x in window 3"},
    {"sys.mouse_y", 73, ValueType::kInt, 0, false, "mouse y in the main window"},
    {"sys.mouse_y2", 74, ValueType::kInt, 0, false, "mouse y in window 1"},
    {"sys.mouse_y3", 75, ValueType::kInt, 0, false, "mouse y in window 2"},
    {"sys.mouse_y4", 76, ValueType::kInt, 0, false, "mouse y in window 3"},
    {"sys.joystick_count", 77, ValueType::kInt, 0, false, "number of joysticks"},
    {"sys.key_held", 78, ValueType::kInt, 1024, true, "[k] hold counter of key number k (k >= 1)"},
    {"sys.last_key", 79, ValueType::kInt, 0, true, "virtual-key code of the last key pressed"},
    {"sys.last_button", 80, ValueType::kInt, 0, true, "last mouse button: 1 left, 2 right, 4 middle"},
    {"sys.joy_up", 210, ValueType::kInt, 16, true, "[j] hold counter of joystick j pushed up"},
    {"sys.joy_down", 211, ValueType::kInt, 16, true, "[j] hold counter of joystick j pushed down"},
    {"sys.joy_left", 212, ValueType::kInt, 16, true, "[j] hold counter of joystick j pushed left"},
    {"sys.joy_right", 213, ValueType::kInt, 16, true, "[j] hold counter of joystick j pushed right"},
    {"sys.joy_button", 214, ValueType::kInt, 512, true, "[32 j + b] hold counter of button b of joystick j"},
    {"sys.joy_up_pressed", 344, ValueType::kInt, 16, true, "[j] press count of joystick j up"},
    {"sys.joy_down_pressed", 345, ValueType::kInt, 16, true, "[j] press count of joystick j down"},
    {"sys.joy_left_pressed", 346, ValueType::kInt, 16, true, "[j] press count of joystick j left"},
    {"sys.joy_right_pressed", 347, ValueType::kInt, 16, true, "[j] press count of joystick j right"},
    {"sys.joy_button_pressed", 348, ValueType::kInt, 512, true, "[32 j + b] press count of a joystick button"},
    {"sys.joy_up_code", 477, ValueType::kInt, 16, false, "[j] key number of joystick j up"},
    {"sys.joy_down_code", 478, ValueType::kInt, 16, false, "[j] key number of joystick j down"},
    {"sys.joy_left_code", 479, ValueType::kInt, 16, false, "[j] key number of joystick j left"},
    {"sys.joy_right_code", 480, ValueType::kInt, 16, false, "[j] key number of joystick j right"},
    {"sys.joy_button_code", 481, ValueType::kInt, 512, false, "[32 j + b] key number of a joystick button"},
};

struct Tables {
  std::vector<SystemVariable> variables;
  Tables() {
    for (const auto& p : kPlain) variables.push_back({p.name, p.number, p.type, p.elements, p.writable, p.doc});
    for (size_t i = 0; i < std::size(kKeys); ++i) {
      const std::string key(kKeys[i].name);
      variables.push_back({"held." + key, static_cast<uint16_t>(kHeldKeysBase + i), ValueType::kInt, 0, true,
                           "frames the key has been held (negative: frames since release)"});
      variables.push_back({"pressed." + key, static_cast<uint16_t>(kPressedKeysBase + i), ValueType::kInt, 0, true,
                           "number of presses of the key"});
    }
    std::stable_sort(variables.begin(), variables.end(),
                     [](const SystemVariable& a, const SystemVariable& b) { return a.number < b.number; });
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

std::string_view TypeName(ValueType type) {
  switch (type) {
    case ValueType::kInt: return "int";
    case ValueType::kFloat: return "float";
    case ValueType::kText: return "text";
    default: return "undeclared";
  }
}

std::span<const SystemVariable> SystemVariables() { return GetTables().variables; }

const SystemVariable* FindSystemVariable(std::string_view name) {
  for (const auto& v : GetTables().variables)
    if (v.name == name) return &v;
  return nullptr;
}

std::string VariableDisplayName(uint16_t number) {
  if (number < kFirstScriptVariable) {
    for (const auto& v : GetTables().variables)
      if (v.number == number) return v.name;
  }
  return "v" + std::to_string(number);
}

std::vector<SystemSlot> SystemSlots() {
  std::vector<SystemSlot> out;
  const auto& vars = GetTables().variables;
  auto declared = [&](uint16_t n) -> const SystemVariable* {
    for (const auto& v : vars)
      if (v.number == n) return &v;
    return nullptr;
  };
  // The ranges the engine gives meaning to; numbers without a name of
  // their own are plain integers.
  auto add = [&](uint16_t first, uint16_t last) {
    for (uint16_t n = first; n <= last; ++n) {
      if (const auto* v = declared(n)) out.push_back({n, v->type, v->elements});
      else out.push_back({n, ValueType::kInt, 0});
    }
  };
  add(0, 15);
  add(32, 40);
  add(50, 481);
  return out;
}

std::span<const KeyName> KeyNames() { return kKeys; }

std::optional<uint8_t> FindKeyCode(std::string_view name) {
  for (const auto& k : kKeys)
    if (k.name == name) return k.code;
  return std::nullopt;
}

std::array<uint8_t, 256> BuildKeyMap() {
  std::array<uint8_t, 256> map{};
  for (size_t i = 0; i < std::size(kKeys); ++i) map[i] = kKeys[i].code;
  return map;
}

}  // namespace vv::dorov
