#include "platform/posix/desktop_entry.h"

#include <sys/stat.h>

#include <cstdlib>

namespace vv::platform {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The escapes every string value of a desktop entry may hold.
std::string UnescapeValue(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 == v.size()) {
      out += v[i];
      continue;
    }
    switch (v[++i]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default:
        out += '\\';
        out += v[i];
        break;  // left for the word level
    }
  }
  return out;
}

// Splits a command line into words: double quotes group, and inside them a
// backslash protects '"', '`', '$' and '\'. Field codes are dropped from the
// words ("%%" stays a single '%').
std::vector<std::string> SplitCommand(std::string_view cmd) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < cmd.size()) {
    while (i < cmd.size() && (cmd[i] == ' ' || cmd[i] == '\t')) ++i;
    if (i == cmd.size()) break;
    std::string word;
    bool hadQuotes = false;
    while (i < cmd.size() && cmd[i] != ' ' && cmd[i] != '\t') {
      if (cmd[i] == '"') {
        hadQuotes = true;
        for (++i; i < cmd.size() && cmd[i] != '"'; ++i) {
          if (cmd[i] == '\\' && i + 1 < cmd.size()) ++i;
          word += cmd[i];
        }
        if (i < cmd.size()) ++i;  // the closing quote
        continue;
      }
      if (cmd[i] == '%' && i + 1 < cmd.size()) {
        if (cmd[i + 1] == '%') word += '%';
        i += 2;
        continue;
      }
      word += cmd[i++];
    }
    if (!word.empty() || hadQuotes) words.push_back(std::move(word));
  }
  return words;
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDir(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FindIn(const std::string& dir, std::string_view id) {
  std::string direct = dir + "/" + std::string(id);
  if (IsFile(direct)) return direct;
  for (size_t dash = id.find('-'); dash != std::string_view::npos; dash = id.find('-', dash + 1)) {
    const std::string sub = dir + "/" + std::string(id.substr(0, dash));
    if (!IsDir(sub)) continue;
    std::string found = FindIn(sub, id.substr(dash + 1));
    if (!found.empty()) return found;
  }
  return {};
}

}  // namespace

std::string ProgramFromDesktopEntry(std::string_view text) {
  bool inEntry = false;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = Trim(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || Trim(line.substr(0, eq)) != "Exec") continue;
    std::vector<std::string> words = SplitCommand(UnescapeValue(Trim(line.substr(eq + 1))));
    // "env NAME=value program ..." runs `program`.
    size_t first = 0;
    if (!words.empty() && words[0] == "env") {
      first = 1;
      while (first < words.size() && words[first].find('=') != std::string::npos) ++first;
    }
    return first < words.size() ? words[first] : std::string();
  }
  return {};
}

std::string FindDesktopEntry(std::string_view id, const std::vector<std::string>& dataDirs) {
  if (id.empty() || id.find('/') != std::string_view::npos || id == "." || id == "..") return {};
  for (const std::string& dir : dataDirs) {
    std::string found = FindIn(dir + "/applications", id);
    if (!found.empty()) return found;
  }
  return {};
}

std::vector<std::string> DesktopDataDirs() {
  std::vector<std::string> dirs;
  const char* home = std::getenv("XDG_DATA_HOME");
  if (home != nullptr && home[0] == '/') {
    dirs.emplace_back(home);
  } else if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') {
    dirs.push_back(std::string(h) + "/.local/share");
  }
  const char* list = std::getenv("XDG_DATA_DIRS");
  std::string_view rest =
      (list != nullptr && list[0] != '\0') ? list : "/usr/local/share:/usr/share";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    if (!dir.empty() && dir.front() == '/') dirs.emplace_back(dir);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return dirs;
}

}  // namespace vv::platform
