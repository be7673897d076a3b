// The command reference docs/commands.md, generated from the one command
// table definition (`dorov --command-docs`). A test checks that the file
// in the tree is what this writes.
#pragma once

#include <string>

namespace vv::dorov {

std::string CommandReferenceMarkdown();

}  // namespace vv::dorov
