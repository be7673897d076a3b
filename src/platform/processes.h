#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vv::platform {

// Starting programs and opening documents.
class Processes {
 public:
  virtual ~Processes() = default;
  // Starts `program` (a host path or a name found on PATH) with `args`;
  // false when it could not be started. Never waits for it.
  virtual bool Start(std::string_view program, const std::vector<std::string>& args) = 0;
  // Opens a document or folder with its associated program (xdg-open).
  virtual bool OpenDocument(std::string_view hostPath) = 0;
  // The program associated with the document's type (xdg-mime), as a host
  // path or command name; empty when none is known.
  virtual std::string AssociatedProgram(std::string_view hostPath) = 0;
};

// The desktop's own: posix_spawn for programs, xdg-open and xdg-mime.
std::unique_ptr<Processes> CreatePosixProcesses();

}  // namespace vv::platform
