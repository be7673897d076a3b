// Opening the failing script line in the author's text editor, for the
// error dialog's edit button.
//
// The editor is the program the desktop associates with the script file
// (through the platform's Processes), or, when none is known, $VISUAL and
// then $EDITOR. Its command-line arguments come from a table by program
// file name: the Windows editors that script authors have long used and
// the common Linux editors, each started at the failing line. Editors that
// need a terminal (vim, nvim, vi, nano, emacs -nw) are started inside
// x-terminal-emulator -e, or xterm -e when that is missing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vv {
struct Engine;
}

namespace vv::resource {

struct EditorLaunch {
  std::string program;            // what is started
  std::vector<std::string> args;  // its arguments, one per element
  bool terminal = false;          // needs a terminal around it
};

// The launch for `program` (a path or command name; `extraArgs` are words
// that came with it, as in EDITOR="emacs -nw") opening `hostPath` at
// `line`. Programs the table does not know get the path alone.
EditorLaunch EditorCommand(std::string_view program, const std::vector<std::string>& extraArgs,
                           std::string_view hostPath, int line);

// Opens the script file (a source name, relative to the project folder) at
// `line`. True when the editor started.
bool OpenScriptInEditor(Engine& engine, std::string_view scriptFile, int line);

}  // namespace vv::resource
