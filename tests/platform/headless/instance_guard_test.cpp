#include "platform/instance_guard.h"

#include <gtest/gtest.h>

#include "helper_process.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

enum HelperExit { kAcquired = 0, kAlreadyRunning = 1, kFailed = 2 };

int TryInOtherProcess(const std::string& folder, const std::string& name) {
  return testing::RunHelper(VV_PLATFORM_TEST_HELPER, {"try", folder, name});
}

TEST(InstanceGuardTest, SecondStartOfAGameAsksTheFirstToRaiseOnce) {
  testing::TempGame temp;
  auto guard = CreatePosixInstanceGuard(temp.dir());
  ASSERT_EQ(guard->Acquire("/games/one/one.exe"), InstanceGuard::Result::Acquired);
  EXPECT_FALSE(guard->TakeRaiseRequest());

  EXPECT_EQ(TryInOtherProcess(temp.dir(), "/games/one/one.exe"), kAlreadyRunning);
  EXPECT_TRUE(guard->TakeRaiseRequest());
  EXPECT_FALSE(guard->TakeRaiseRequest());

  // Two more starts, two more requests.
  EXPECT_EQ(TryInOtherProcess(temp.dir(), "/games/one/one.exe"), kAlreadyRunning);
  EXPECT_EQ(TryInOtherProcess(temp.dir(), "/games/one/one.exe"), kAlreadyRunning);
  EXPECT_TRUE(guard->TakeRaiseRequest());
  EXPECT_TRUE(guard->TakeRaiseRequest());
  EXPECT_FALSE(guard->TakeRaiseRequest());

  // Another game is not excluded, and asks nothing of this one.
  EXPECT_EQ(TryInOtherProcess(temp.dir(), "/games/two/two.exe"), kAcquired);
  EXPECT_FALSE(guard->TakeRaiseRequest());
}

TEST(InstanceGuardTest, ReleasedWhenTheOwnerEndsOrCrashes) {
  testing::TempGame temp;
  const std::string name = "/games/three/three.exe";
  {
    auto guard = CreatePosixInstanceGuard(temp.dir());
    ASSERT_EQ(guard->Acquire(name), InstanceGuard::Result::Acquired);
  }
  EXPECT_EQ(TryInOtherProcess(temp.dir(), name), kAcquired);

  testing::HelperProcess holder =
      testing::SpawnHelper(VV_PLATFORM_TEST_HELPER, {"hold", temp.dir(), name});
  ASSERT_GT(holder.pid, 0);
  ASSERT_EQ(testing::ReadLine(holder), "0");  // it holds the game now
  {
    auto second = CreatePosixInstanceGuard(temp.dir());
    EXPECT_EQ(second->Acquire(name), InstanceGuard::Result::AlreadyRunning);
  }
  kill(holder.pid, SIGKILL);
  const int status = testing::Finish(holder);
  ASSERT_TRUE(WIFSIGNALED(status));

  auto next = CreatePosixInstanceGuard(temp.dir());
  EXPECT_EQ(next->Acquire(name), InstanceGuard::Result::Acquired);
  // The crashed owner's socket was replaced: raise requests reach us.
  EXPECT_EQ(TryInOtherProcess(temp.dir(), name), kAlreadyRunning);
  EXPECT_TRUE(next->TakeRaiseRequest());
}

TEST(InstanceGuardTest, FailsWhenTheFolderIsUnusable) {
  testing::TempGame temp;
  temp.Write("file", "not a folder");
  auto guard = CreatePosixInstanceGuard(temp.dir() + "/file");
  EXPECT_EQ(guard->Acquire("game"), InstanceGuard::Result::Failed);
}

}  // namespace
}  // namespace vv::platform
