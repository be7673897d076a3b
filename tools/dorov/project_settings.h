// A game project's settings file (game.ini): what the compiler turns into
// the engine's configuration file.
//
//   # comment
//   title = 体験版          (UTF-8 in the file; stored as Shift-JIS)
//   width = 640             (0 with height 0: the player's desktop size)
//   height = 480
//   framed = 1              (0: a borderless window)
//   maximize_box = 0
//   debug = 0
//   sound = 1
//   worker_thread = 0
//   image_order = png bmp jpg gif avi
//   sound_order = ogg wav
//   build = 0               (any number; scripts read it as sys.build)
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shell/configuration.h"

namespace vv::dorov {

struct ProjectFile {
  shell::ConfigurationFile config;
  int32_t build = 0;
};

// Parses the settings text, with the values that are not engine
// configuration. On a bad line returns nullopt and sets `error` to
// "<file>:<line>: <reason>".
std::optional<ProjectFile> ParseProjectFile(std::string_view text, std::string_view fileName, std::string& error);

// Parses the settings text. On a bad line returns nullopt and sets `error`
// to "<file>:<line>: <reason>".
std::optional<shell::ConfigurationFile> ParseProjectSettings(std::string_view text,
                                                             std::string_view fileName,
                                                             std::string& error);

}  // namespace vv::dorov
