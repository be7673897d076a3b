// Where save files live and what they are called.
//
// A script names a save file; the name is lowered (ASCII letters), every
// "/" becomes "\" (both stepping over two-byte characters), and ".sd" is
// appended unless the name ends with it. The file lives in the folder
// "save" of the project folder. When the game folder is not writable (a
// game installed for the whole system; system variable 9 reads 1), the
// folder is $XDG_DATA_HOME/vavevo/<game id>/save instead (by default under
// ~/.local/share), and loading looks there as well.
//
// Threading: the thread that runs the frames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vv {
struct Engine;
}

namespace vv::save {

constexpr size_t kMaxFileNameBytes = 32;
constexpr int32_t kErrNameHasFolder = 102150;
constexpr int32_t kErrNameTooLong = 102160;

struct SaveFileName {
  std::string converted;  // lowered, "/" turned into "\": what errors name
  std::string file;       // converted with ".sd"
};

// Applies the rules to a script's name: 0, kErrNameTooLong (more than 32
// bytes after conversion) or kErrNameHasFolder (a "\" in it). Reports
// nothing.
int32_t MakeSaveFileName(std::string_view scriptName, SaveFileName& out);

// The game's folder name below vavevo/ in the user's data folder: the game
// folder's own name (bytes that cannot stand in a file name become "_"),
// "-", and the CRC-32 of the configured title in eight hex digits, so that
// two games installed under the same folder name keep apart.
std::string GameId(const Engine& engine);

// The engine path of the save folder, ending in "\".
std::string SaveFolder(const Engine& engine);

// Creates the folder and every missing folder above it. False when one
// cannot be made (the file system's LastError() tells why).
bool EnsureFolder(Engine& engine, std::string_view folder);

// The text error 102140 shows for an errno value: the command table file's
// file-error text for 0..36, the system's own description beyond.
std::string FileErrorTextOf(const Engine& engine, int error);

}  // namespace vv::save
