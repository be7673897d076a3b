// A game project on disk: the settings file game.ini and the script
// sources (*.vvs, in any folder below the project), and the nvbin folder
// the compiler writes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dorov/compiler.h"
#include "dorov/diagnostics.h"
#include "shell/configuration.h"

namespace vv::dorov {

struct Project {
  shell::ConfigurationFile settings;
  CompileOptions options;
  std::vector<SourceFile> sources;  // sorted by name; names use "/"
};

// Reads PROJECT/game.ini and every *.vvs below PROJECT (the output folder
// `skip` is left out). False with `error` when something cannot be read.
bool LoadProject(const std::string& folder, const std::string& skip, Project& project, std::string& error);

// Writes the files into `folder` (created when missing). Files of an
// earlier build that this build does not write (code files of removed
// scripts) are deleted.
bool WriteNvbin(const std::string& folder, const std::map<std::string, std::vector<uint8_t>>& files,
                std::string& error);

}  // namespace vv::dorov
