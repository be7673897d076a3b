#include "platform/executable_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "helper_process.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

const std::string kMz = "MZ\x90";

TEST(DescribeExecutableTest, PicksTheGamesWindowsProgram) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> files;  // name, contents
    std::string expected;  // file name of the program; empty: none
  };
  const std::vector<Case> cases = {
      // Named after the folder wins over byte order.
      {{{"a.exe", kMz}, {"mygame.EXE", kMz}}, "mygame.EXE"},
      // Else the first in byte order ('B' sorts before 'a').
      {{{"b.exe", kMz}, {"B.Exe", kMz}}, "B.Exe"},
      // Only files that start with "MZ" count.
      {{{"a.exe", "not a program"}, {"mygame.exe", "PK"}, {"z.exe", kMz}}, "z.exe"},
      {{{"a.exe", "M"}, {"readme.txt", kMz}, {"exe", kMz}}, ""},
  };
  for (const Case& c : cases) {
    testing::TempGame temp;
    for (const auto& [name, contents] : c.files) temp.Write("mygame/" + name, contents);
    const std::string dir = std::filesystem::canonical(temp.dir() + "/mygame").string();
    SCOPED_TRACE(c.expected);
    const ExecutableInfo info = DescribeExecutable(dir);
    EXPECT_FALSE(info.selfPath.empty());
    if (c.expected.empty()) {
      EXPECT_FALSE(info.windowsExecutable);
      // Whatever our own binary is called, the game's program is "vavevo".
      EXPECT_EQ(info.programPath, dir + "/vavevo");
      EXPECT_EQ(info.dataPath, "");
    } else {
      EXPECT_TRUE(info.windowsExecutable);
      EXPECT_EQ(info.programPath, dir + "/" + c.expected);
      EXPECT_EQ(info.dataPath, info.programPath);
    }
  }
}

TEST(DescribeExecutableTest, OurOwnExecutableInTheGameFolderCarriesTheData) {
  testing::TempGame temp;
  const std::string copy = std::filesystem::canonical(temp.dir()).string() + "/vavevo";
  std::filesystem::copy_file(VV_PLATFORM_TEST_HELPER, copy);
  std::string out;
  ASSERT_EQ(testing::RunHelper(copy, {"describe", temp.dir()}, &out), 0);
  EXPECT_EQ(out, copy + "\n" + copy + "\n0\n" + copy + "\n");
}

}  // namespace
}  // namespace vv::platform
