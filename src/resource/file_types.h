// File type codes and name tests shared by the loader, the pack archives,
// the media loaders and the archive tool.
#pragma once

#include <cstdint>
#include <string_view>

namespace vv::resource {

// File type codes, carried by pack entries and returned by the loader.
enum FileType : uint8_t {
  kTypeUnknown = 0, kTypeBmp = 1, kTypePng = 2, kTypeJpeg = 3, kTypeGif = 4,
  kTypeAvi = 5, kTypeWav = 6, kTypeOgg = 7, kTypePsd = 8,
};

// True when `name` ends with `extension`, ignoring ASCII letter case over
// the extension's length.
bool HasExtension(std::string_view name, std::string_view extension);

// Type code from a name's extension: ".bmp" 1, ".png" 2, ".jpg"/".jpeg"/
// ".jpe" 3, ".gif" 4, ".avi" 5, ".wav" 6, ".ogg" 7, ".psd" 8, else 0.
uint8_t FileTypeFromName(std::string_view name);

// Compares two Shift-JIS names ignoring the case of ASCII letters; both
// bytes of a two-byte character must match exactly.
bool NamesEqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vv::resource
