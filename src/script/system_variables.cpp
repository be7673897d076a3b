#include "script/system_variables.h"

#include <numbers>

#include "common/sjis.h"
#include "platform/keycodes.h"
#include "resource/error_reporter.h"
#include "script/context.h"
#include "script/variables.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

// Key codes: 0..255 keyboard and mouse, then 36 per joystick (4 directions,
// 32 buttons) from 256.
constexpr int32_t kKeyCodes = 1024;
constexpr int32_t kJoystickBase = 256;
constexpr int32_t kJoystickStride = 36;
constexpr int32_t kJoystickButtonBase = 260;

int64_t TimeField(const platform::LocalTime& t, int64_t field) {
  switch (field) {
    case 0: return t.year;
    case 1: return t.month;
    case 2: return t.day;
    case 3: return t.weekday;
    case 4: return t.hour;
    case 5: return t.minute;
    case 6: return t.second;
    case 7: return t.millisecond;
    default: return 0;
  }
}

const CallValues* CurrentCallValues(Engine& engine, bool returned) {
  const ScriptContext* c = engine.script.interp.current.context;
  if (c == nullptr || c->callDepth < 0 || c->callDepth >= kStackLevels) return nullptr;
  return returned ? &c->returnValues[c->callDepth] : &c->parameters[c->callDepth];
}

bool CallElement(int64_t element) { return element >= 1 && element < kCallValues; }

int32_t JoystickDirectionCode(int32_t direction, int64_t joystick) {
  if (joystick < 0 || joystick > (kKeyCodes - kJoystickBase) / kJoystickStride) return -1;
  const int64_t code = kJoystickBase + kJoystickStride * joystick + direction;
  return code < kKeyCodes ? static_cast<int32_t>(code) : -1;
}

int32_t JoystickButtonCode(int64_t element) {
  if (element < 0) return -1;
  const int64_t code = kJoystickButtonBase + kJoystickStride * (element / 32) + element % 32;
  return code < kKeyCodes ? static_cast<int32_t>(code) : -1;
}

// The hold counter of `code` as far as the sampled keys tell it: 1 while
// held, else 0 (joystick codes read 0 until joysticks are sampled).
int64_t HoldCounter(Engine& engine, int32_t code) {
  if (code < 0 || code >= 256) return 0;
  return (engine.shell.sampledKeys[code] & platform::kKeyDown) != 0 ? 1 : 0;
}

std::string_view Keep(Engine& engine, std::string_view text) { return engine.script.systemText.assign(text); }

NameTree& TreeOfFolderVariable(Engine& engine, int32_t number) {
  static_assert(static_cast<int>(TreeId::kLayers) == 0 && static_cast<int>(TreeId::kMenus) == 3);
  return engine.script.trees.trees[number - 64];
}

}  // namespace

uint8_t SystemValueType(int32_t number) {
  switch (number) {
    case 10:
    case 35:
    case 39: return kTypeFloat;
    case 12:
    case 14:
    case 36:
    case 40:
    case 50:
    case 51:
    case 58:
    case 59:
    case 61:
    case 63:
    case 64:
    case 65:
    case 66:
    case 67: return kTypeText;
    default: return kTypeInteger;
  }
}

int32_t KeyCodeOfVariable(Engine& engine, int32_t number, int64_t element) {
  const auto& keyMap = engine.script.compiled.commandTable.keyMap;
  if (number == 78) return element >= 1 && element < kKeyCodes ? static_cast<int32_t>(element) : -1;
  if (number >= 81 && number <= 209) return keyMap[number - 81];
  if (number >= 210 && number <= 213) return JoystickDirectionCode(number - 210, element);
  if (number == 214) return JoystickButtonCode(element);
  if (number >= 215 && number <= 343) return keyMap[number - 215];
  if (number >= 344 && number <= 347) return JoystickDirectionCode(number - 344, element);
  if (number == 348) return JoystickButtonCode(element);
  if (number >= 349 && number <= 476) return keyMap[number - 349];
  if (number >= 477 && number <= 480) return JoystickDirectionCode(number - 477, element);
  if (number == 481) return JoystickButtonCode(element);
  return -1;
}

int64_t ReadSystemInteger(Engine& engine, int32_t number, int64_t element) {
  platform::Platform& p = engine.platform;
  const shell::ShellState& sh = engine.shell;
  switch (number) {
    case 0:
      if (element >= 0 && element < 8) return TimeField(p.clock->Now(), element);
      if (element >= 8 && element < 16) return TimeField(sh.clock.startLocalTime, element - 8);
      return 0;
    case 1:
      if (element == 0) return p.clock->NowMs();
      if (element == 1) return static_cast<uint32_t>(p.clock->NowMs() - sh.clock.startTime);
      return 0;
    case 2: return sh.system.osCode;
    case 3: return sh.system.directXVersion;
    case 4: return engine.config.sound != 0 ? 1 : 0;
    case 9: return sh.flags.readOnlyFolder ? 1 : 0;
    case 11: return engine.config.debugMode != 0 ? 1 : 0;
    case 13: return sh.commandLine.count;
    case 32: {
      const ScriptContext* c = engine.script.interp.current.context;
      return c != nullptr && c->loopDepth > 0 && c->loopDepth <= kStackLevels ? c->loopCounter[c->loopDepth] : 0;
    }
    case 33: return 999;
    case 34:
    case 38: {
      const CallValues* v = CurrentCallValues(engine, number == 38);
      return v != nullptr && CallElement(element) ? v->integers[element] : 0;
    }
    case 52: return 288;
    case 53: return sh.system.desktopBits;
    case 54: return sh.system.desktopWidth;
    case 55: return sh.system.desktopHeight;
    case 60: return engine.script.compiled.buildValue;
    case 62: return engine.script.trees[TreeId::kContexts].root->childCount;
    case 69:
    case 70:
    case 71:
    case 72:
    case 73:
    case 74:
    case 75:
    case 76: {
      const int slot = (number - 69) % 4;
      if (!engine.windows[slot].created || !p.input) return 0;
      const platform::Point at = p.input->Cursor(slot);
      return number < 73 ? at.x : at.y;
    }
    case 77: return p.joysticks ? p.joysticks->Count() : 0;
    default: break;
  }
  if ((number >= 78 && number != 79 && number != 80 && number <= 214)) {
    return HoldCounter(engine, KeyCodeOfVariable(engine, number, element));
  }
  if (number >= 349 && number <= 481) return KeyCodeOfVariable(engine, number, element);
  // Press counts (215..348) arrive with the input state; the window values
  // (15, 56, 57, 68, 79, 80) with the window handling; memory figures
  // (5..7) are not reported by the platform.
  return 0;
}

double ReadSystemFloat(Engine& engine, int32_t number, int64_t element) {
  switch (number) {
    case 10: return std::numbers::pi;
    case 35:
    case 39: {
      const CallValues* v = CurrentCallValues(engine, number == 39);
      return v != nullptr && CallElement(element) ? v->floats[element] : 0.0;
    }
    default: return 0.0;
  }
}

std::string_view ReadSystemText(Engine& engine, int32_t number, int64_t element) {
  const shell::ShellState& sh = engine.shell;
  switch (number) {
    case 12:
      return element >= 0 && element < shell::kCommandLineSlots ? Keep(engine, sh.commandLine.args[element]) : Keep(engine, {});
    case 36:
    case 40: {
      const CallValues* v = CurrentCallValues(engine, number == 40);
      return Keep(engine, v != nullptr && CallElement(element) ? std::string_view(v->texts[element]) : std::string_view());
    }
    case 50: return Keep(engine, sh.paths.programDir);
    case 51: return Keep(engine, sh.paths.projectDir);
    case 61: {
      const NameNode* node = engine.script.interp.current.node;
      return Keep(engine, node != nullptr ? std::string_view(node->name) : std::string_view());
    }
    case 63: {
      // A one-byte text; byte 0 would end the text at once, so it reads empty.
      const char byte = static_cast<char>(element & 0xFF);
      return Keep(engine, byte != 0 ? std::string_view(&byte, 1) : std::string_view());
    }
    case 64:
    case 65:
    case 66:
    case 67: return Keep(engine, TreeOfFolderVariable(engine, number).currentFolder);
    default: return Keep(engine, {});  // 14, 58, 59 arrive with their subsystems
  }
}

int64_t KeyHoldWriteValue(bool held, int64_t value) {
  if (held) return value > 0 ? value : 0;
  return value < 0 ? value : 0;
}

int WriteSystemInteger(Engine& engine, int32_t number, int64_t element, int64_t value) {
  switch (number) {
    case 15:
    case 56:
    case 57:
    case 68:
    case 79:
    case 80:
      // Writable; their values live with the window handling, which has
      // not landed yet, so the write has nothing to change.
      return 0;
    default: break;
  }
  if (number == 78 || (number >= 81 && number <= 214)) {
    const int32_t code = KeyCodeOfVariable(engine, number, element);
    if (number == 78 && code < 0) return resource::ReportError(engine, kErrReadOnlySystemVariable, true);
    // Writable; the hold counters arrive with the input state, which will
    // store what KeyHoldWriteValue leaves.
    (void)value;
    return 0;
  }
  if (number >= 215 && number <= 348) return 0;  // press counts: stored directly by the input state
  return resource::ReportError(engine, kErrReadOnlySystemVariable, true);
}

int WriteSystemText(Engine& engine, int32_t number, int64_t /*element*/, std::string_view text) {
  switch (number) {
    case 64:
    case 67: {
      // The folder buffers hold 255 bytes; a longer text is cut at a
      // character boundary.
      std::string& folder = TreeOfFolderVariable(engine, number).currentFolder;
      folder.assign(text.substr(0, common::SjisPrefixLength(text, kMaxPathBytes)));
      return 0;
    }
    case 58:
    case 59: return 0;  // the message text arrives with the message display
    default: return resource::ReportError(engine, kErrReadOnlySystemVariable, true);
  }
}

}  // namespace vv::script
