// Reading the program out of a desktop entry (a `.desktop` file), as the
// associated-program lookup needs it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vv::platform {

// The program of the entry's `Exec=` key in its [Desktop Entry] group: the
// first word of the command, quotes and escapes undone and field codes
// (%f, %U, ...) removed. Empty when the text holds no usable Exec line.
std::string ProgramFromDesktopEntry(std::string_view text);

// Host path of the desktop entry `id` (such as "org.example.Editor.desktop")
// in the `applications` folders of `dataDirs`, in order. A '-' in an id may
// stand for a subfolder ("kde-foo.desktop" in applications/kde/foo.desktop).
// Empty when none is found or the id is not a plain file name.
std::string FindDesktopEntry(std::string_view id, const std::vector<std::string>& dataDirs);

// $XDG_DATA_HOME (default ~/.local/share) followed by $XDG_DATA_DIRS
// (default /usr/local/share:/usr/share).
std::vector<std::string> DesktopDataDirs();

}  // namespace vv::platform
