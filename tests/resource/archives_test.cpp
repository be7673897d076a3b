// Mounting: where archives are found, the limits, versions, duplicates,
// release mode, and archives from packers with other name-length tables.
#include <gtest/gtest.h>

#include <cstdio>

#include "resource/archives.h"
#include "resource/loader.h"
#include "resource/resource_test_support.h"

namespace vv::resource {
namespace {

using testing::Archive;
using testing::Bytes;
using testing::TextBytes;

class ArchivesTest : public testing::GameFolder {
 protected:
  std::vector<std::string> MountedPaths() {
    std::vector<std::string> paths;
    for (const auto& a : engine().archives.archives) paths.push_back(a.path);
    return paths;
  }
  std::string Numbered(const char* format, int i) {
    char name[64];
    std::snprintf(name, sizeof name, format, i);
    return name;
  }
};

TEST_F(ArchivesTest, ScansTheProgramFolderAndOnePacLevel) {
  Write("Top.NPF", Archive({{"top.txt", Bytes("t"), std::nullopt}}));
  Write("PAC/inner.npf", Archive({{"inner.txt", Bytes("i"), std::nullopt}}));
  Write("PAC/sub/deep.npf", Archive({{"deep.txt", Bytes("d"), std::nullopt}}));
  Write("data/other.npf", Archive({{"other.txt", Bytes("o"), std::nullopt}}));
  Write("PAC/notes.txt", Bytes("not an archive"));
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  EXPECT_EQ(MountedPaths(), (std::vector<std::string>{".\\top.npf", ".\\pac\\inner.npf"}));
  LoadedFile f;
  EXPECT_EQ(LoadFile(engine(), f, "inner.txt"), 0);
  EXPECT_EQ(LoadFile(engine(), f, "deep.txt", false), -1);
}

TEST_F(ArchivesTest, AnotherMagicIsIgnoredSilently) {
  Write("zip.npf", Bytes("PK\x03\x04 not ours at all, longer than a header......"));
  Write("tiny.npf", Bytes("NP"));
  Write("real.npf", Archive({{"a.txt", Bytes("a"), std::nullopt}}));
  ASSERT_EQ(MountArchives(engine()), 0);
  EXPECT_EQ(MountedPaths(), std::vector<std::string>{".\\real.npf"});
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_TRUE(dialogs().empty());
}

TEST_F(ArchivesTest, VersionsBefore234AreRefused) {
  for (uint32_t version : {233u, 234u, 288u, 300u}) {
    MakeEngine();
    npf::WriterOptions options;
    options.version = version;
    Write("v.npf", Archive({{"a.txt", Bytes("a"), std::nullopt}}, options));
    if (version < 234) {
      EXPECT_EQ(MountArchives(engine()), -1);
      EXPECT_EQ(Codes(), std::vector<ErrorCode>{104120});
      EXPECT_NE(LastMessage().find("[.\\v.npf]"), std::string::npos) << LastMessage();
      EXPECT_TRUE(engine().shell.flags.halted);
    } else {
      EXPECT_EQ(MountArchives(engine()), 0) << version;
      EXPECT_TRUE(engine().errors.reports.empty()) << version;
    }
  }
}

TEST_F(ArchivesTest, AHundredArchivesMountTheNextIsRefused) {
  for (int i = 0; i < 100; ++i) {
    Write(Numbered("a%03d.npf", i), Archive({{Numbered("f%03d.txt", i), Bytes("x"), std::nullopt}}));
  }
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  EXPECT_EQ(engine().archives.archives.size(), 100u);
  LoadedFile f;
  EXPECT_EQ(LoadFile(engine(), f, "f099.txt"), 0);

  Write("a100.npf", Archive({{"f100.txt", Bytes("x"), std::nullopt}}));
  MakeEngine();
  EXPECT_EQ(MountArchives(engine()), -1);
  EXPECT_EQ(Codes(), std::vector<ErrorCode>{104130});
  EXPECT_NE(LastMessage().find(" 100 "), std::string::npos) << LastMessage();
}

TEST_F(ArchivesTest, AHundredThousandEntriesMountOneMoreIsRefused) {
  std::vector<npf::WriterEntry> entries;
  for (int i = 0; i < 100000; ++i) entries.push_back({Numbered("e\\%06d.txt", i), {}, std::nullopt});
  npf::WriterOptions options;
  options.compression = npf::Compression::Store;
  Write("big.npf", Archive(std::move(entries), options));
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  EXPECT_EQ(engine().archives.totalEntries, 100000u);
  LoadedFile f;
  EXPECT_EQ(LoadFile(engine(), f, "e\\099999.txt"), 0);
  EXPECT_EQ(f.size(), 0);

  Write("more.npf", Archive({{"one.txt", Bytes("1"), std::nullopt}}));
  MakeEngine();
  EXPECT_EQ(MountArchives(engine()), -1);
  EXPECT_EQ(Codes(), std::vector<ErrorCode>{104140});
  EXPECT_NE(LastMessage().find(" 100000 "), std::string::npos) << LastMessage();
}

TEST_F(ArchivesTest, ANameInTwoArchivesStopsTheMountWithoutHalting) {
  Write("a.npf", Archive({{"bg\\a.png", Bytes("1"), std::nullopt}, {"nvbin\\nvc.nbn", Bytes("1"), std::nullopt}}));
  Write("b.npf", Archive({{"nvbin\\nvc.nbn", Bytes("2"), std::nullopt}}));
  EXPECT_EQ(MountArchives(engine()), -1);
  EXPECT_EQ(Codes(), std::vector<ErrorCode>{104150});
  EXPECT_NE(LastMessage().find("[nvbin\\nvc.nbn]"), std::string::npos) << LastMessage();
  EXPECT_FALSE(engine().shell.flags.halted);
}

TEST_F(ArchivesTest, TheConfigurationInAnArchiveMeansReleaseMode) {
  Write("a.npf", Archive({{"nvbin\\nvc.nbn", Bytes("c"), std::nullopt}}));
  ASSERT_EQ(MountArchives(engine()), 0);
  EXPECT_FALSE(engine().shell.flags.releaseMode);

  Write("b.npf", Archive({{"NVBIN\\NVCFG.NBN", Bytes("cfg"), std::nullopt}}));
  MakeEngine();
  ASSERT_EQ(MountArchives(engine()), 0);
  EXPECT_TRUE(engine().shell.flags.releaseMode);
  // Release runs name archives from the folder the engine works in.
  LoadedFile f;
  ASSERT_EQ(LoadFile(engine(), f, "nvbin\\nvcfg.nbn"), 0);
  EXPECT_EQ(f.data, Bytes("cfg"));
}

TEST_F(ArchivesTest, StoredNamesDifferingInLetterCaseAreFoundByTheCanonicalHash) {
  std::vector<uint8_t> archive = Archive({{"bg\\a.png", Bytes("png"), std::nullopt}});
  // Another packer kept the author's spelling; the hash is the canonical one.
  const std::string stored = "BG\\A.png";
  for (size_t i = 0; i < stored.size(); ++i) {
    archive[pack::kHeaderBytes + 5 + i] = static_cast<uint8_t>(~static_cast<uint8_t>(stored[i]));
  }
  Write("a.npf", archive);
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  LoadedFile f;
  ASSERT_EQ(LoadFile(engine(), f, "bg\\a.png"), 0) << LastMessage();
  EXPECT_EQ(f.data, Bytes("png"));
  EXPECT_EQ(f.fileType, kTypePng);
  // The hash is taken over the request's bytes as given.
  EXPECT_EQ(LoadFile(engine(), f, "BG\\A.PNG", false), -1);
}

// Names of every length a length table exchanges, so that reading them
// through the wrong table goes wrong at once.
std::vector<npf::WriterEntry> EntriesOfLengths(const std::vector<int>& lengths) {
  std::vector<npf::WriterEntry> entries;
  for (size_t i = 0; i < lengths.size(); ++i) {
    std::string name = std::string(static_cast<size_t>(lengths[i]) - 4, static_cast<char>('a' + i % 26)) + ".txt";
    entries.push_back({name, TextBytes(100 + i, static_cast<uint32_t>(i)), std::nullopt});
  }
  return entries;
}

TEST_F(ArchivesTest, ArchivesOfOtherPackersMountThroughTheirOwnLengthTable) {
  // Another packer's ten pairs, overlapping ours.
  pack::LengthTable other;
  for (size_t i = 0; i < other.size(); ++i) other[i] = static_cast<uint8_t>(i);
  const std::pair<int, int> pairs[] = {{6, 9}, {8, 12}, {10, 14}, {15, 20}, {16, 21},
                                       {18, 22}, {24, 25}, {26, 27}, {28, 30}, {32, 48}};
  for (auto [a, b] : pairs) {
    other[a] = static_cast<uint8_t>(b);
    other[b] = static_cast<uint8_t>(a);
  }
  const std::vector<int> lengths = {6, 9, 8, 12, 10, 14, 15, 20, 16, 21, 18, 22, 24, 25, 26, 27, 28, 30, 32, 48, 7, 60};
  npf::WriterOptions options;
  options.lengthTable = other;
  Write("other.npf", Archive(EntriesOfLengths(lengths), options));
  Write("ours.npf", Archive(EntriesOfLengths({5, 29, 100})));

  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  ASSERT_EQ(engine().archives.archives.size(), 2u);
  EXPECT_TRUE(engine().archives.archives[0].derivedTable);
  EXPECT_FALSE(engine().archives.archives[1].derivedTable);
  for (const auto& e : EntriesOfLengths(lengths)) {
    LoadedFile f;
    ASSERT_EQ(LoadFile(engine(), f, e.name), 0) << e.name << ": " << LastMessage();
    EXPECT_EQ(f.data, e.data) << e.name;
  }
}

TEST_F(ArchivesTest, AnEntryTableNoLengthTableExplainsIsRefused) {
  std::vector<uint8_t> archive = Archive(EntriesOfLengths({12, 13, 14}));
  // The first name's last byte: no length makes the name match its hash.
  archive[pack::kHeaderBytes + 5 + 11] ^= 0x01;
  Write("bad.npf", archive);
  EXPECT_EQ(MountArchives(engine()), -1);
  EXPECT_EQ(Codes(), std::vector<ErrorCode>{104120});
}

TEST_F(ArchivesTest, EntryTablesThatDoNotFitTheFileAreRefused) {
  const std::vector<uint8_t> good = Archive(EntriesOfLengths({12, 13}));
  struct Case {
    size_t offset;
    uint32_t value;
  };
  // Entry count and table size beyond the file; more entries than the table holds.
  for (const Case& c : {Case{12, 0xFFFFFFF0u}, Case{8, 50000u}, Case{12, 10u}}) {
    MakeEngine();
    std::vector<uint8_t> broken = good;
    common::StoreU32(broken.data() + c.offset, c.value);
    Write("bad.npf", broken);
    EXPECT_EQ(MountArchives(engine()), -1) << c.offset;
    EXPECT_EQ(Codes(), std::vector<ErrorCode>{104120}) << c.offset;
  }
}

}  // namespace
}  // namespace vv::resource
