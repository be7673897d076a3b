#pragma once

#include <memory>
#include <string_view>

namespace vv::platform {

// One instance per game. The first start owns a lock named after the game;
// a later start finds it taken, asks the owner to raise its window and ends.
class InstanceGuard {
 public:
  enum class Result {
    Acquired,        // this process is the instance
    AlreadyRunning,  // another process holds the name; it was asked to raise
    Failed,          // the lock could not be created at all
  };
  virtual ~InstanceGuard() = default;
  // `name` identifies the game (its program path). Releasing happens when
  // the guard is destroyed.
  virtual Result Acquire(std::string_view name) = 0;
  // True once for every raise request that reached this instance since the
  // last call. Never blocks.
  virtual bool TakeRaiseRequest() = 0;
};

// Held while a starting engine program finds out whether its game already
// runs, so that two programs starting at the same moment do not both pass
// that check. Released when destroyed.
class StartGuard {
 public:
  virtual ~StartGuard() = default;
};

// The start guard named "vavevo1": null when another engine program holds
// it right now (or it cannot be created); such a start ends silently.
std::unique_ptr<StartGuard> TryStartGuard(std::string_view folder = {});

// Lock file plus a local socket, in $XDG_RUNTIME_DIR (or the temp folder).
// `folder` overrides the location (tests).
std::unique_ptr<InstanceGuard> CreatePosixInstanceGuard(std::string_view folder = {});

}  // namespace vv::platform
