#include "platform/filesystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "common/encoding.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

std::string Sjis(const std::string& utf8) { return common::Utf8ToSjis(utf8).value(); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// "表" is 0x95 0x5C in Shift-JIS: its trail byte is a backslash.
const std::string kRawSjisName = "\x95\x5c.TXT";

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game.Write("Data/Image.BMP", "upper");
    game.Write("Data/image.bmp", "lower");
    game.Write("音楽/曲A.ogg", "song");
    game.Write("ア.txt", "a");
    game.Write(kRawSjisName, "raw");
    game.Write("Save/slot.sd", "save");
    fs = CreatePosixFileSystem(game.dir());
  }
  std::string Host(const std::string& relative) const { return game.dir() + "/" + relative; }

  testing::TempGame game;
  std::unique_ptr<FileSystem> fs;
};

TEST_F(FileSystemTest, ResolvesComponentsIgnoringAsciiCase) {
  struct Case {
    std::string engine;
    std::optional<std::string> host;  // relative to the game folder
  };
  const std::vector<Case> cases = {
      {"Data\\image.bmp", "Data/image.bmp"},  // the exact spelling wins
      {"Data\\Image.BMP", "Data/Image.BMP"},
      {"data\\IMAGE.BMP", "Data/Image.BMP"},  // else the first in byte order
      {"DATA/Image.bmp", "Data/Image.BMP"},
      {Sjis("音楽\\曲a.OGG"), "音楽/曲A.ogg"},
      {Sjis("ア.TXT"), "ア.txt"},
      // ヂ is 0x83 0x61, ア is 0x83 0x41: two-byte characters never fold.
      {Sjis("ヂ.txt"), std::nullopt},
      {"\x95\x5c.txt", kRawSjisName},
      {"data\\..\\Data\\.\\image.bmp", "Data/image.bmp"},
      {"save\\\\SLOT.SD", "Save/slot.sd"},
      {"data\\missing.bmp", std::nullopt},
      {"missing\\image.bmp", std::nullopt},
      {"data\\image.bmp\\more", std::nullopt},
      {std::string("data\\image.bmp\0x", 16), std::nullopt},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(common::SjisToUtf8(c.engine));
    const auto got = fs->Resolve(c.engine);
    if (!c.host) {
      EXPECT_FALSE(got.has_value()) << *got;
    } else {
      EXPECT_EQ(got.value_or("<none>"), c.host->empty() ? game.dir() : Host(*c.host));
    }
  }
  // A path that starts with a separator is absolute.
  EXPECT_EQ(fs->Resolve(HostToEnginePath(game.dir()) + "\\DATA\\IMAGE.bmp"),
            Host("Data/Image.BMP"));
}

TEST_F(FileSystemTest, ResolveForCreateKeepsExistingFoldersAndConvertsTheRest) {
  EXPECT_EQ(fs->ResolveForCreate("DATA\\new.txt"), Host("Data/new.txt"));
  EXPECT_EQ(fs->ResolveForCreate(Sjis("新規\\ファイル.txt")), Host("新規/ファイル.txt"));
  EXPECT_EQ(fs->ResolveForCreate("data\\IMAGE.BMP"), Host("Data/Image.BMP"));
  EXPECT_EQ(fs->ResolveForCreate("new\\..\\save\\x"), Host("Save/x"));
}

TEST_F(FileSystemTest, ListShowsEngineNamesAndSizes) {
  const auto root = fs->List("");
  ASSERT_TRUE(root.has_value());
  std::map<std::string, DirEntry> byHost;
  for (const DirEntry& e : *root) byHost[e.hostName] = e;
  ASSERT_EQ(byHost.size(), 5u);
  EXPECT_EQ(byHost[kRawSjisName].nameSjis, kRawSjisName);
  EXPECT_EQ(byHost["ア.txt"].nameSjis, Sjis("ア.txt"));
  EXPECT_EQ(byHost["ア.txt"].size, 1u);
  EXPECT_TRUE(byHost["音楽"].isDirectory);
  EXPECT_FALSE(fs->List("data\\image.bmp").has_value());
  EXPECT_EQ(fs->LastError(), ENOTDIR);
}

TEST_F(FileSystemTest, OpenModesReadWriteAndFail) {
  {
    auto f = fs->Open("save\\Log.txt", OpenMode::Write);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Write("hello", 5), 5u);
    EXPECT_TRUE(f->Flush(true));
  }
  {
    auto f = fs->Open("SAVE\\LOG.TXT", OpenMode::Append);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Write(" world", 6), 6u);
  }
  auto f = fs->Open("save\\log.txt", OpenMode::Read);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Size(), 11);
  ASSERT_TRUE(f->Seek(6));
  char buf[16] = {};
  EXPECT_EQ(f->Read(buf, sizeof buf), 5u);  // short at the end
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(f->Tell(), 11);
  EXPECT_EQ(f->Write("x", 1), 0u);  // opened read-only
  EXPECT_EQ(f->LastError(), EBADF);

  EXPECT_FALSE(fs->Open("save\\none.txt", OpenMode::ReadWrite));
  EXPECT_EQ(fs->LastError(), ENOENT);
  EXPECT_FALSE(fs->Open("data", OpenMode::Read));
  EXPECT_EQ(fs->LastError(), EISDIR);
}

TEST_F(FileSystemTest, SeesChangesThroughTheInterfaceAndBehindItsBack) {
  ASSERT_FALSE(fs->Exists("data\\later.txt"));
  // Created by another program: the folder's time shows the listing is old.
  game.Write("Data/Later.txt", "x");
  EXPECT_EQ(fs->Resolve("data\\later.txt"), Host("Data/Later.txt"));
  // Removed behind our back: never reported as present.
  std::filesystem::remove(Host("Data/Later.txt"));
  EXPECT_FALSE(fs->Exists("data\\later.txt"));

  ASSERT_TRUE(fs->CreateDirectory("Data\\Sub"));
  EXPECT_TRUE(fs->CreateDirectory("DATA\\SUB"));  // already there
  EXPECT_TRUE(fs->IsDirectory("data\\sub"));
  ASSERT_TRUE(fs->Open("data\\sub\\f.bin", OpenMode::Write));
  EXPECT_TRUE(fs->Exists("DATA\\SUB\\F.BIN"));
  EXPECT_FALSE(fs->RemoveDirectory("data\\sub"));  // not empty
  EXPECT_EQ(fs->LastError(), ENOTEMPTY);
  EXPECT_TRUE(fs->Remove("data\\sub\\F.bin"));
  EXPECT_TRUE(fs->RemoveDirectory("data\\SUB"));
  EXPECT_FALSE(fs->Exists("data\\sub"));
  EXPECT_FALSE(fs->Remove("data"));  // a folder is not a file
}

TEST_F(FileSystemTest, RenameReplacesTheTargetInOneStep) {
  game.Write("Save/slot.tmp", "new");
  struct stat before {};
  ASSERT_EQ(stat(Host("Save/slot.tmp").c_str(), &before), 0);
  // A reader that has the old file open keeps reading the old bytes.
  std::ifstream oldReader(Host("Save/slot.sd"), std::ios::binary);

  ASSERT_TRUE(fs->Rename("SAVE\\SLOT.TMP", "save\\SLOT.SD"));
  struct stat after {};
  ASSERT_EQ(stat(Host("Save/slot.sd").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // moved, not copied
  EXPECT_EQ(ReadAll(Host("Save/slot.sd")), "new");
  EXPECT_FALSE(fs->Exists("save\\slot.tmp"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(oldReader), {}), "save");
  EXPECT_TRUE(fs->SyncDirectory("save"));

  // Changing only the letter case renames on the host too.
  ASSERT_TRUE(fs->Rename("save\\slot.sd", "save\\Slot.SD"));
  EXPECT_EQ(fs->Resolve("save\\slot.sd"), Host("Save/Slot.SD"));
  EXPECT_FALSE(fs->Rename("save\\gone.sd", "save\\x.sd"));
  EXPECT_EQ(fs->LastError(), ENOENT);
}

TEST_F(FileSystemTest, CopyReplacesTheTargetAndLeavesNoTemporaryFile) {
  game.Write("Save/copy.bmp", "old contents that are longer");
  ASSERT_TRUE(fs->Copy("data\\IMAGE.BMP", "SAVE\\COPY.BMP"));
  EXPECT_EQ(ReadAll(Host("Save/copy.bmp")), "upper");
  ASSERT_TRUE(fs->Copy("data\\image.bmp", Sjis("save\\写し.bmp")));
  EXPECT_EQ(ReadAll(Host("Save/写し.bmp")), "lower");

  EXPECT_FALSE(fs->Copy("data\\none.bmp", "save\\copy.bmp"));
  EXPECT_EQ(fs->LastError(), ENOENT);
  EXPECT_FALSE(fs->Copy("data", "save\\folder"));
  EXPECT_EQ(ReadAll(Host("Save/copy.bmp")), "upper");
  for (const auto& e : std::filesystem::directory_iterator(Host("Save"))) {
    EXPECT_NE(e.path().filename().string().rfind(".vvcopy", 0), 0u) << e.path();
  }
}

TEST(HostToEnginePathTest, ConvertsUtf8AndKeepsRawBytes) {
  EXPECT_EQ(HostToEnginePath("/tmp/音楽/a.txt"), "\\tmp\\" + Sjis("音楽") + "\\a.txt");
  EXPECT_EQ(HostToEnginePath("rel/" + kRawSjisName), "rel\\" + kRawSjisName);
  EXPECT_EQ(HostToEnginePath("snow☃.txt"), "snow?.txt");  // no Shift-JIS form
}

}  // namespace
}  // namespace vv::platform
