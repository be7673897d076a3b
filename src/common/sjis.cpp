#include "common/sjis.h"

namespace vv::common {

namespace {
constexpr auto MakeLeadTable() {
  struct Table { uint8_t v[256]; } t{};
  for (int b = 0x81; b <= 0x9F; ++b) t.v[b] = 1;
  for (int b = 0xE0; b <= 0xFC; ++b) t.v[b] = 1;
  return t;
}
constexpr auto kLead = MakeLeadTable();
}  // namespace

const uint8_t kSjisLeadByte[256] = {
#define R16(b) kLead.v[b], kLead.v[b + 1], kLead.v[b + 2], kLead.v[b + 3], kLead.v[b + 4], \
    kLead.v[b + 5], kLead.v[b + 6], kLead.v[b + 7], kLead.v[b + 8], kLead.v[b + 9],        \
    kLead.v[b + 10], kLead.v[b + 11], kLead.v[b + 12], kLead.v[b + 13], kLead.v[b + 14],   \
    kLead.v[b + 15]
    R16(0x00), R16(0x10), R16(0x20), R16(0x30), R16(0x40), R16(0x50), R16(0x60), R16(0x70),
    R16(0x80), R16(0x90), R16(0xA0), R16(0xB0), R16(0xC0), R16(0xD0), R16(0xE0), R16(0xF0),
#undef R16
};

void SjisLowerAscii(std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    if (n == 1 && text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] + 32);
    i += n;
  }
}

void SjisReplaceByte(std::string& text, char from, char to) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    if (n == 1 && text[i] == from) text[i] = to;
    i += n;
  }
}

std::string CanonicalPath(std::string_view path) {
  std::string out(path);
  for (size_t i = 0; i < out.size();) {
    const size_t n = SjisCharLength(out, i);
    if (n == 1) {
      char& c = out[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      else if (c == '/') c = '\\';
    }
    i += n;
  }
  return out;
}

size_t SjisFindLastSeparator(std::string_view text) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    if (n == 1 && (text[i] == '\\' || text[i] == '/')) found = i;
    i += n;
  }
  return found;
}

size_t SjisPrefixLength(std::string_view text, size_t limit) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t n = SjisCharLength(text, i);
    if (i + n > limit) break;
    i += n;
  }
  return i;
}

}  // namespace vv::common
