// Shift-JIS (code page 932) scanning.
//
// Every text inside the engine is Shift-JIS bytes exactly as the game gives
// them. A byte in 0x81..0x9F or 0xE0..0xFC leads a two-byte character; scans
// step over the pair as a unit so that a trail byte is never taken for `\`,
// `/` or an ASCII letter (0x5C is a common trail byte: "表" is 0x95 0x5C).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vv::common {

// 1 for the lead bytes 0x81..0x9F and 0xE0..0xFC, 0 elsewhere.
extern const uint8_t kSjisLeadByte[256];

inline bool IsSjisLead(uint8_t byte) { return kSjisLeadByte[byte] != 0; }

// Length of the character that starts at `pos`: 2 for a lead byte followed by
// a trail byte, 1 otherwise (a lead byte at the very end counts as one byte,
// so a scan never steps past the text).
inline size_t SjisCharLength(std::string_view text, size_t pos) {
  return (IsSjisLead(static_cast<uint8_t>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
}

// Lower-cases ASCII A..Z in place, leaving both bytes of two-byte characters.
void SjisLowerAscii(std::string& text);

// Canonical engine path: ASCII letters lower-cased and `/` turned into `\`,
// both only outside two-byte characters.
std::string CanonicalPath(std::string_view path);

// Replaces every `from` byte outside two-byte characters by `to`.
void SjisReplaceByte(std::string& text, char from, char to);

// Position of the last `\` or `/` outside two-byte characters, or npos.
size_t SjisFindLastSeparator(std::string_view text);

// Byte length of the longest prefix of `text` that is at most `limit` bytes
// and does not cut a two-byte character in half.
size_t SjisPrefixLength(std::string_view text, size_t limit);

}  // namespace vv::common
