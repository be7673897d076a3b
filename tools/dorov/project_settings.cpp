#include "dorov/project_settings.h"

#include <charconv>
#include <cstdint>
#include <sstream>
#include <vector>

#include "common/encoding.h"

namespace vv::dorov {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == ',')) ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != ',') ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

template <size_t N>
bool ParseOrder(std::string_view value, const std::vector<std::string_view>& known,
                std::array<uint8_t, N>& out) {
  out.fill(0);
  auto words = Words(value);
  if (words.size() > N) return false;
  for (size_t i = 0; i < words.size(); ++i) {
    uint8_t code = 0;
    for (size_t k = 0; k < known.size(); ++k)
      if (words[i] == known[k]) code = static_cast<uint8_t>(k + 1);
    if (code == 0) return false;
    out[i] = code;
  }
  return true;
}

}  // namespace

std::optional<shell::ConfigurationFile> ParseProjectSettings(std::string_view text,
                                                             std::string_view fileName,
                                                             std::string& error) {
  auto project = ParseProjectFile(text, fileName, error);
  if (!project) return std::nullopt;
  return project->config;
}

std::optional<ProjectFile> ParseProjectFile(std::string_view text, std::string_view fileName, std::string& error) {
  ProjectFile project;
  shell::ConfigurationFile& cfg = project.config;
  int lineNumber = 0;
  size_t pos = 0;
  auto fail = [&](const std::string& why) {
    error = std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + why;
    return std::nullopt;
  };
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '[') continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return fail("expected 'name = value'");
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));

    auto number = [&](int64_t& out) {
      auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
      return ec == std::errc() && p == value.data() + value.size();
    };
    int64_t n = 0;
    if (key == "title") {
      auto sjis = common::Utf8ToSjis(value);
      if (!sjis) return fail("the title has a character Shift-JIS cannot hold");
      if (sjis->size() > shell::kMaxTitleBytes)
        return fail("the title is " + std::to_string(sjis->size()) + " bytes in Shift-JIS; at most 128 fit");
      cfg.title = *sjis;
    } else if (key == "image_order") {
      if (!ParseOrder(value, {"bmp", "png", "jpg", "gif", "avi"}, cfg.imageExtensionOrder))
        return fail("image_order takes up to 8 of bmp png jpg gif avi");
    } else if (key == "sound_order") {
      if (!ParseOrder(value, {"wav", "ogg"}, cfg.soundExtensionOrder))
        return fail("sound_order takes up to 4 of wav ogg");
    } else if (key != "width" && key != "height" && key != "worker_thread" && key != "framed" &&
               key != "maximize_box" && key != "debug" && key != "sound" && key != "build") {
      return fail("unknown setting '" + std::string(key) + "'");
    } else if (!number(n)) {
      return fail("'" + std::string(key) + "' needs a number");
    } else if (key == "width" || key == "height") {
      const bool w = key == "width";
      const int64_t lo = w ? shell::kMinClientWidth : shell::kMinClientHeight;
      const int64_t hi = w ? shell::kMaxClientWidth : shell::kMaxClientHeight;
      if (n != 0 && (n < lo || n > hi))
        return fail(std::string(key) + " must be 0 or " + std::to_string(lo) + ".." + std::to_string(hi));
      (w ? cfg.clientWidth : cfg.clientHeight) = static_cast<int32_t>(n);
    } else if (key == "build") {
      if (n < INT32_MIN || n > INT32_MAX) return fail("build must fit in 32 bits");
      project.build = static_cast<int32_t>(n);
    } else if (key == "worker_thread") {
      if (n != 0 && n != 1) return fail("worker_thread must be 0 or 1");
      cfg.workerThread = static_cast<int32_t>(n);
    } else {
      if (n < 0 || n > 255) return fail(std::string(key) + " must be 0..255");
      const auto v = static_cast<uint32_t>(n);
      if (key == "framed") cfg.framedWindow = v;
      else if (key == "maximize_box") cfg.maximizeBox = v;
      else if (key == "debug") cfg.debugMode = v;
      else cfg.sound = v;
    }
  }
  if ((cfg.clientWidth == 0) != (cfg.clientHeight == 0))
    return fail("width and height must both be 0 (desktop size) or both be set");
  return project;
}

}  // namespace vv::dorov
