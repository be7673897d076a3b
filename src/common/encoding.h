// CP932 <-> UTF-8 conversion, used only at the boundaries: host file names,
// window titles, dialogs and the clipboard.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vv::common {

// Converts Shift-JIS bytes to UTF-8. Bytes that are not valid CP932 become
// U+FFFD so that a damaged title or message still shows.
std::string SjisToUtf8(std::string_view sjis);

// Converts UTF-8 to Shift-JIS. Returns nullopt when the text holds a
// character that CP932 cannot represent (or is not valid UTF-8).
std::optional<std::string> Utf8ToSjis(std::string_view utf8);

// Like Utf8ToSjis, but characters without a CP932 form become '?'.
std::string Utf8ToSjisLossy(std::string_view utf8);

// The engine's own messages are written in the source as UTF-8 and turned
// into Shift-JIS where they are used: Sjis("エラー").
inline std::string Sjis(std::string_view utf8) { return Utf8ToSjisLossy(utf8); }

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace vv::common
