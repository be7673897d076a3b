// Reading a project folder and writing nvbin.
#include "dorov/project.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vv::dorov {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(Project, ReadsSettingsAndScriptsBelowTheFolderButNotTheOutput) {
  const fs::path root = fs::path(::testing::TempDir()) / "dorov_project_read";
  fs::remove_all(root);
  Write(root / "game.ini", "title = x\nbuild = 42\n");
  Write(root / "main.vvs", "*SYSTEM_START\n");
  Write(root / "story" / "b.vvs", "*b\n");
  Write(root / "story" / "a.vvs", "*a\n");
  Write(root / "notes.txt", "not a script");
  Write(root / "out" / "old.vvs", "*stale\n");
  Project p;
  std::string error;
  ASSERT_TRUE(LoadProject(root.string(), (root / "out").string(), p, error)) << error;
  ASSERT_EQ(p.sources.size(), 3u);
  EXPECT_EQ(p.sources[0].name, "main.vvs");
  EXPECT_EQ(p.sources[1].name, "story/a.vvs");
  EXPECT_EQ(p.sources[2].name, "story/b.vvs");
  EXPECT_EQ(p.sources[2].bytes, "*b\n");
  EXPECT_EQ(p.options.build, 42);
  EXPECT_EQ(p.settings.title, "x");

  Project missing;
  EXPECT_FALSE(LoadProject((root / "nowhere").string(), "", missing, error));
  EXPECT_NE(error.find("game.ini"), std::string::npos);
  Write(root / "game.ini", "build = many\n");
  EXPECT_FALSE(LoadProject(root.string(), "", missing, error));
  EXPECT_NE(error.find(":1: 'build' needs a number"), std::string::npos) << error;
}

TEST(Project, WritingRemovesCodeFilesOfScriptsThatAreGone) {
  const fs::path out = fs::path(::testing::TempDir()) / "dorov_project_write" / "nvbin";
  fs::remove_all(out.parent_path());
  Write(out / "nvt00003.nbn", "old");
  Write(out / "readme.txt", "kept");
  std::string error;
  ASSERT_TRUE(WriteNvbin(out.string(), {{"nvt00000.nbn", {1, 2}}, {"nvc.nbn", {3}}}, error)) << error;
  EXPECT_FALSE(fs::exists(out / "nvt00003.nbn"));
  EXPECT_TRUE(fs::exists(out / "readme.txt"));
  EXPECT_EQ(fs::file_size(out / "nvt00000.nbn"), 2u);
  EXPECT_EQ(fs::file_size(out / "nvc.nbn"), 1u);
}

}  // namespace
}  // namespace vv::dorov
