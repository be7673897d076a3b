#include "dorov/diagnostics.h"

#include "common/encoding.h"
#include "common/sjis.h"

namespace vv::dorov {

namespace {

// Byte length of the UTF-8 sequence that starts with `lead` (1 for a stray
// continuation byte, so that a scan always moves on).
size_t Utf8Length(uint8_t lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

bool IsSjisTrail(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out.emplace_back(line);
    pos = end + 1;
  }
  return out;
}

}  // namespace

std::string Diagnostic::Format() const {
  std::string out = file;
  if (line > 0) {
    out += ":" + std::to_string(line);
    if (column > 0) out += ":" + std::to_string(column);
  }
  out += ": " + message;
  if (!excerpt.empty()) out += "\n" + excerpt;
  return out;
}

int ColumnOf(std::string_view line, size_t offset) {
  int column = 1;
  size_t i = 0;
  while (i < offset && i < line.size()) {
    i += common::SjisCharLength(line, i);
    ++column;
  }
  return column;
}

Diagnostic MakeDiagnostic(const SourceLines& source, size_t lineIndex, size_t offset, std::string message) {
  Diagnostic d;
  d.file = source.name;
  d.line = static_cast<int>(lineIndex) + 1;
  d.message = std::move(message);
  if (lineIndex < source.lines.size()) {
    const std::string& sjis = source.lines[lineIndex];
    d.column = ColumnOf(sjis, offset);
    // The caret stands under the column; a two-byte character takes two
    // cells on a terminal, so it is padded with two spaces.
    std::string caret = "    ";
    for (size_t i = 0; i < offset && i < sjis.size();) {
      const size_t n = common::SjisCharLength(sjis, i);
      caret += sjis[i] == '\t' ? "\t" : (n == 2 ? "  " : " ");
      i += n;
    }
    caret += "^";
    d.excerpt = "    " + source.display[lineIndex] + "\n" + caret;
  }
  return d;
}

SourceLines DecodeSource(const SourceFile& file, std::vector<Diagnostic>& diagnostics) {
  SourceLines out;
  out.name = file.name;
  std::string_view text = file.bytes;
  bool utf8 = false;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
    utf8 = true;
  } else {
    utf8 = common::IsValidUtf8(text);
  }
  const auto raw = SplitLines(text);
  for (size_t n = 0; n < raw.size(); ++n) {
    const std::string& line = raw[n];
    std::string sjis;
    std::string display;
    std::vector<std::pair<size_t, std::string>> bad;  // Shift-JIS offset, reason
    if (utf8) {
      display = line;
      for (size_t i = 0; i < line.size();) {
        const size_t len = std::min(Utf8Length(static_cast<uint8_t>(line[i])), line.size() - i);
        const std::string_view ch(line.data() + i, len);
        if (static_cast<uint8_t>(line[i]) < 0x80) {
          sjis += line[i];
        } else if (auto converted = common::Utf8ToSjis(ch)) {
          sjis += *converted;
        } else {
          bad.emplace_back(sjis.size(), "the character '" + std::string(ch) + "' has no Shift-JIS form");
          sjis += '?';
        }
        i += len;
      }
    } else {
      for (size_t i = 0; i < line.size();) {
        const auto b = static_cast<uint8_t>(line[i]);
        if (common::IsSjisLead(b)) {
          if (i + 1 < line.size() && IsSjisTrail(static_cast<uint8_t>(line[i + 1]))) {
            sjis.append(line, i, 2);
            i += 2;
            continue;
          }
          bad.emplace_back(sjis.size(), "a broken Shift-JIS character (the file is neither UTF-8 nor Shift-JIS)");
          sjis += '?';
          ++i;
          continue;
        }
        sjis += line[i];
        ++i;
      }
      display = common::SjisToUtf8(sjis);
    }
    out.lines.push_back(std::move(sjis));
    out.display.push_back(std::move(display));
    for (auto& [offset, why] : bad) diagnostics.push_back(MakeDiagnostic(out, n, offset, why));
  }
  return out;
}

}  // namespace vv::dorov
