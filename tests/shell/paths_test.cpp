#include "shell/paths.h"

#include <gtest/gtest.h>

namespace vv::shell {
namespace {

TEST(EnginePaths, FromTheProgramsHostPath) {
  const EnginePaths p = MakeEnginePaths("/home/Ann/Games/MyGame/Game.EXE", "/home/Ann/Games/MyGame");
  EXPECT_EQ(p.programPath, "\\home\\ann\\games\\mygame\\game.exe");
  EXPECT_EQ(p.instanceName, ":home:ann:games:mygame:game.exe");
  EXPECT_EQ(p.programDir, "\\home\\ann\\games\\mygame\\");
  EXPECT_EQ(p.projectDir, p.programDir);
  EXPECT_EQ(p.programHostPath, "/home/Ann/Games/MyGame/Game.EXE");
}

TEST(EnginePaths, JapaneseFolderNamesBecomeShiftJis) {
  // 表 (0x95 0x5C) ends in a backslash byte; it must survive both the
  // lowering and the colon replacement.
  const EnginePaths p = MakeEnginePaths("/g/表/A", "/g/表");
  EXPECT_EQ(p.programPath, "\\g\\\x95\x5C\\a");
  EXPECT_EQ(p.instanceName, ":g:\x95\x5C:a");
  EXPECT_EQ(p.programDir, "\\g\\\x95\x5C\\");
}

}  // namespace
}  // namespace vv::shell
