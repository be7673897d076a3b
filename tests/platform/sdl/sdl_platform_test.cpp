// The assembled SDL platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "platform/sdl/sdl_platform.h"
#include "sdl_test_support.h"

namespace vv::platform::sdl {
namespace {

TEST(SdlPlatform, OffersItsServicesAndThePosixOnes) {
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / "vv_sdl_platform_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "instance");
  std::ofstream(dir / "Data.TXT") << "x";

  SdlOptions options = test::PathOptions("surface");
  options.gameDir = dir.string();
  options.instanceDir = (dir / "instance").string();
  std::string error;
  auto platform = CreateSdlPlatform(options, error);
  ASSERT_TRUE(platform) << error;
  EXPECT_STREQ(platform->Name(), "sdl");
  EXPECT_FALSE(platform->IsHeadless());
  ASSERT_TRUE(platform->clock && platform->display && platform->events && platform->input &&
              platform->dialogs && platform->files && platform->instanceGuard);
  EXPECT_FALSE(platform->clock->IsVirtual());
  // Engine paths resolve in the game folder, whatever their letter case.
  EXPECT_TRUE(platform->files->Exists("data.txt"));
  EXPECT_EQ(platform->instanceGuard->Acquire("sdl platform test"), InstanceGuard::Result::Acquired);
  platform.reset();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vv::platform::sdl
