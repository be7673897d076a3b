#include "platform/headless/input_script.h"

#include <charconv>
#include <limits>

#include "platform/keycodes.h"

namespace vv::platform {

namespace {

struct KeyName {
  const char* name;
  uint8_t code;
};

// Names for the keys outside the letter, digit, F and numpad ranges, with a
// few common spellings beside the virtual-key names.
// clang-format off
constexpr KeyName kKeyNames[] = {
    {"LBUTTON", kVkLButton}, {"RBUTTON", kVkRButton}, {"CANCEL", kVkCancel},
    {"MBUTTON", kVkMButton}, {"XBUTTON1", kVkXButton1}, {"XBUTTON2", kVkXButton2},
    {"BACK", kVkBack}, {"BACKSPACE", kVkBack}, {"TAB", kVkTab}, {"CLEAR", kVkClear},
    {"RETURN", kVkReturn}, {"ENTER", kVkReturn}, {"SHIFT", kVkShift},
    {"CONTROL", kVkControl}, {"CTRL", kVkControl}, {"ALT", kVkMenu}, {"MENU", kVkMenu},
    {"PAUSE", kVkPause}, {"CAPITAL", kVkCapital}, {"CAPSLOCK", kVkCapital}, {"KANA", kVkKana},
    {"KANJI", kVkKanji}, {"ESCAPE", kVkEscape}, {"ESC", kVkEscape}, {"CONVERT", kVkConvert},
    {"NONCONVERT", kVkNonConvert}, {"SPACE", kVkSpace}, {"PRIOR", kVkPrior},
    {"PAGEUP", kVkPrior}, {"NEXT", kVkNext}, {"PAGEDOWN", kVkNext}, {"END", kVkEnd},
    {"HOME", kVkHome}, {"LEFT", kVkLeft}, {"UP", kVkUp}, {"RIGHT", kVkRight}, {"DOWN", kVkDown},
    {"SNAPSHOT", kVkSnapshot}, {"INSERT", kVkInsert}, {"DELETE", kVkDelete}, {"HELP", kVkHelp},
    {"LWIN", kVkLWin}, {"RWIN", kVkRWin}, {"APPS", kVkApps}, {"MULTIPLY", kVkMultiply},
    {"ADD", kVkAdd}, {"SEPARATOR", kVkSeparator}, {"SUBTRACT", kVkSubtract},
    {"DECIMAL", kVkDecimal}, {"DIVIDE", kVkDivide}, {"NUMLOCK", kVkNumLock},
    {"SCROLL", kVkScroll}, {"LSHIFT", kVkLShift}, {"RSHIFT", kVkRShift},
    {"LCONTROL", kVkLControl}, {"RCONTROL", kVkRControl}, {"LALT", kVkLMenu},
    {"LMENU", kVkLMenu}, {"RALT", kVkRMenu}, {"RMENU", kVkRMenu}, {"OEM_1", kVkOem1},
    {"OEM_PLUS", kVkOemPlus}, {"OEM_COMMA", kVkOemComma}, {"OEM_MINUS", kVkOemMinus},
    {"OEM_PERIOD", kVkOemPeriod}, {"OEM_2", kVkOem2}, {"OEM_3", kVkOem3}, {"OEM_4", kVkOem4},
    {"OEM_5", kVkOem5}, {"OEM_6", kVkOem6}, {"OEM_7", kVkOem7}, {"OEM_102", kVkOem102},
};
// clang-format on

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

template <typename T>
bool ParseNumber(std::string_view word, T& out, int base = 10) {
  if (word.empty()) return false;
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, out, base);
  return ec == std::errc() && ptr == end;
}

// "NAME<n>" with n from `first` to `last`: the code base + n - first.
int NumberedKey(std::string_view upper, std::string_view prefix, int first, int last, int base) {
  if (upper.size() <= prefix.size() || upper.substr(0, prefix.size()) != prefix) return -1;
  int n = 0;
  const std::string_view digits = upper.substr(prefix.size());
  if (digits.size() > 1 && digits[0] == '0') return -1;
  if (!ParseNumber(digits, n) || n < first || n > last) return -1;
  return base + n - first;
}

// A line split into words; quotes group, `#` outside quotes at the start
// of a word ends the line.
bool SplitWords(std::string_view line, std::vector<std::string>& words, std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i == line.size() || line[i] == '#') break;
    std::string word;
    if (line[i] == '"') {
      for (++i;; ++i) {
        if (i == line.size()) {
          error = "unclosed quote";
          return false;
        }
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\'))
          ++i;
        word += line[i];
      }
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
        word += line[i++];
    }
    words.push_back(std::move(word));
  }
  return true;
}

bool ParseCoordinate(const std::string& word, int& out) {
  return ParseNumber(word, out) && out > -1'000'000 && out < 1'000'000;
}

// One action from the words after "at <frame>"; the reason in `error`.
bool ParseAction(const std::vector<std::string>& w, InputAction& a, std::string& error) {
  const std::string verb = w.size() > 2 ? Upper(w[2]) : std::string();
  const size_t args = w.size() > 3 ? w.size() - 3 : 0;  // words after the verb
  auto key = [&](const std::string& word) {
    a.key = KeyFromName(word);
    if (a.key < 0) error = "unknown key '" + word + "'";
    return a.key >= 0;
  };
  auto count = [&](size_t want) {
    if (args != want) error = "'" + w[2] + "' takes " + std::to_string(want) + " word(s)";
    return args == want;
  };
  if (verb == "KEY") {
    if (!count(2)) return false;
    const std::string dir = Upper(w[3]);
    if (dir != "DOWN" && dir != "UP") {
      error = "expected 'down' or 'up' after 'key'";
      return false;
    }
    a.kind = dir == "DOWN" ? InputActionKind::KeyDown : InputActionKind::KeyUp;
    return key(w[4]);
  }
  if (verb == "PRESS") {
    a.kind = InputActionKind::Press;
    return count(1) && key(w[3]);
  }
  if (verb == "CLICK") {
    a.kind = InputActionKind::Click;
    a.key = kVkLButton;
    size_t at = 3;
    if (args == 3) {
      const std::string button = Upper(w[3]);
      if (button == "LEFT") a.key = kVkLButton;
      else if (button == "RIGHT") a.key = kVkRButton;
      else if (button == "MIDDLE") a.key = kVkMButton;
      else return error = "unknown button '" + w[3] + "'", false;
      at = 4;
    } else if (args != 2) {
      return error = "'click' takes [left|right|middle] <x> <y>", false;
    }
    if (!ParseCoordinate(w[at], a.x) || !ParseCoordinate(w[at + 1], a.y)) {
      return error = "bad coordinates", false;
    }
    return true;
  }
  if (verb == "MOVE") {
    a.kind = InputActionKind::Move;
    if (!count(2)) return false;
    if (!ParseCoordinate(w[3], a.x) || !ParseCoordinate(w[4], a.y))
      return error = "bad coordinates", false;
    return true;
  }
  if (verb == "WHEEL") {
    a.kind = InputActionKind::Wheel;
    if (!count(1)) return false;
    if (!ParseNumber(w[3], a.wheel) || a.wheel == 0 || a.wheel < -10000 || a.wheel > 10000) {
      return error = "wheel takes a nonzero whole number of notches", false;
    }
    return true;
  }
  if (verb == "CLOSE") {
    a.kind = InputActionKind::Close;
    return count(0);
  }
  if (verb == "DROP") {
    a.kind = InputActionKind::Drop;
    if (args == 0) return error = "'drop' needs at least one path", false;
    a.files.assign(w.begin() + 3, w.end());
    return true;
  }
  if (verb == "SCREENSHOT") {
    a.kind = InputActionKind::Screenshot;
    if (args > 1) return error = "'screenshot' takes at most a name", false;
    if (args == 1) {
      if (!IsValidScreenshotName(w[3])) return error = "bad screenshot name '" + w[3] + "'", false;
      a.name = w[3];
    }
    return true;
  }
  error = verb.empty() ? "missing action after the frame" : "unknown action '" + w[2] + "'";
  return false;
}

}  // namespace

int KeyFromName(std::string_view word) {
  const std::string upper = Upper(word);
  if (upper.size() == 1) {
    const char c = upper[0];
    if (c >= 'A' && c <= 'Z') return kVkA + (c - 'A');
    if (c >= '0' && c <= '9') return kVk0 + (c - '0');
    return -1;
  }
  for (const KeyName& k : kKeyNames) {
    if (upper == k.name) return k.code;
  }
  if (int code = NumberedKey(upper, "NUMPAD", 0, 9, kVkNumpad0); code >= 0) return code;
  if (int code = NumberedKey(upper, "F", 1, 24, kVkF1); code >= 0) return code;
  int code = 0;
  const bool parsed = (upper.size() > 2 && upper[0] == '0' && upper[1] == 'X')
                          ? ParseNumber(std::string_view(upper).substr(2), code, 16)
                          : ParseNumber(upper, code);
  return parsed && code >= 1 && code <= 255 ? code : -1;
}

bool IsValidScreenshotName(std::string_view name) {
  if (name.empty() || name.size() > 100 || name[0] == '.') return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool ParseInputScript(std::string_view text, std::vector<InputAction>& out, std::string& error) {
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    std::vector<std::string> words;
    std::string why;
    bool ok = SplitWords(line, words, why);
    if (ok && words.empty()) continue;
    InputAction action;
    if (ok && (words.size() < 2 || Upper(words[0]) != "AT")) {
      ok = false;
      why = "expected 'at <frame> <action>'";
    }
    if (ok && (!ParseNumber(words[1], action.frame) || action.frame == 0 ||
               action.frame > std::numeric_limits<uint64_t>::max() / 2)) {
      ok = false;
      why = "the frame must be a whole number from 1";
    }
    if (ok) ok = ParseAction(words, action, why);
    if (!ok) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    out.push_back(std::move(action));
  }
  return true;
}

}  // namespace vv::platform
