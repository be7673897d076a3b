// The SDL desktop platform: the SDL services plus the POSIX file system and
// instance guard.
#include "platform/sdl/sdl_platform.h"

namespace vv::platform {

std::unique_ptr<Platform> CreateSdlPlatform(const SdlOptions& options, std::string& error) {
  std::unique_ptr<Platform> platform = sdl::CreateSdlServices(options, error);
  if (!platform) return nullptr;
  platform->files = CreatePosixFileSystem(options.gameDir);
  platform->instanceGuard = CreatePosixInstanceGuard(options.instanceDir);
  return platform;
}

}  // namespace vv::platform
