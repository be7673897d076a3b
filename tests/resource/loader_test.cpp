// The loader over loose files, pack archives beside the program and the
// archive embedded in the program.
#include <gtest/gtest.h>

#include <map>

#include "npf/archive_reader.h"
#include "npf/embed.h"
#include "resource/archives.h"
#include "resource/loader.h"
#include "resource/resource_test_support.h"
#include "shell/appended_block.h"

namespace vv::resource {
namespace {

using testing::Archive;
using testing::Bytes;
using testing::NoiseBytes;
using testing::TextBytes;

class LoaderTest : public testing::GameFolder {
 protected:
  // Makes `program` the game's program with its appended block read as
  // start-up reads it.
  void UseEmbeddedProgram(const std::vector<uint8_t>& program) {
    Write("game", program);
    auto file = engine().platform.files->Open(platform::HostToEnginePath(Host("game")), platform::OpenMode::Read);
    ASSERT_TRUE(file);
    engine().shell.block = shell::ReadAppendedBlock(*file, false);
    ASSERT_TRUE(engine().shell.block.present);
    engine().shell.flags.releaseMode = true;
    engine().shell.flags.embeddedArchive = true;
  }

  // Loads `name` and expects success from `source` with `expected` bytes.
  void ExpectLoads(std::string_view name, uint8_t source, const std::vector<uint8_t>& expected) {
    LoadedFile f;
    ASSERT_EQ(LoadFile(engine(), f, name), 0) << common::SjisToUtf8(name) << ": " << LastMessage();
    EXPECT_EQ(f.source, source) << common::SjisToUtf8(name);
    EXPECT_EQ(f.fileType, FileTypeFromName(name)) << common::SjisToUtf8(name);
    EXPECT_TRUE(f.data == expected) << common::SjisToUtf8(name) << ": content differs";
  }
};

// A source folder with every kind of name and size a game has.
struct SourceFile {
  std::string hostName;  // as written on the host (UTF-8 or raw Shift-JIS)
  std::vector<uint8_t> data;
};

std::vector<SourceFile> MixedFiles() {
  return {
      {"nvbin/nvc.nbn", TextBytes(3000, 1)},
      {"BG/Title.PNG", NoiseBytes(4000, 2)},
      // 表 ends in the byte 0x5C, which must not split the name.
      {"画像/表示.bmp", NoiseBytes(1500, 3)},
      // A host name that is Shift-JIS already (テスト.ogg).
      {"se/\x83\x65\x83\x58\x83\x67.ogg", TextBytes(2048, 4)},
      {"se/empty.wav", {}},
      {"movie/op.avi", TextBytes(5 * 1024 * 1024, 5)},
      {"movie/op2.jpe", NoiseBytes(5 * 1024 * 1024, 6)},
  };
}

std::string EngineName(const std::string& hostName) {
  std::string sjis = common::IsValidUtf8(hostName) ? *common::Utf8ToSjis(hostName) : hostName;
  return common::CanonicalPath(sjis);
}

TEST_F(LoaderTest, EveryFileOfAFolderLoadsFromItsArchiveAndFromTheProgram) {
  const std::string source = root_ + "-src";
  for (const SourceFile& f : MixedFiles()) {
    const std::filesystem::path p = source + "/" + f.hostName;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(f.data.data()),
                                             static_cast<std::streamsize>(f.data.size()));
  }
  std::string error;
  auto entries = npf::CollectFolder(source, error);
  std::filesystem::remove_all(source);
  ASSERT_TRUE(entries) << error;
  const std::vector<uint8_t> archive = Archive(std::move(*entries));

  // Beside the program.
  Write("data.npf", archive);
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  for (const SourceFile& f : MixedFiles()) ExpectLoads(EngineName(f.hostName), kSourcePack, f.data);

  // Appended to the program: the loose archive is gone, the program holds it.
  MakeEngine();
  std::filesystem::remove(Host("data.npf"));
  std::string embedError;
  auto embedded = npf::EmbedArchive(NoiseBytes(10000, 7), archive, embedError);
  ASSERT_TRUE(embedded) << embedError;
  UseEmbeddedProgram(embedded->bytes);
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();
  ASSERT_EQ(engine().archives.archives.size(), 1u);
  EXPECT_TRUE(engine().archives.archives[0].embedded);
  for (const SourceFile& f : MixedFiles()) ExpectLoads(EngineName(f.hostName), kSourcePack, f.data);
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(LoaderTest, LooseFilesWinUnlessTheArchiveIsEmbedded) {
  const std::vector<npf::WriterEntry> packed = {{"bg\\a.png", Bytes("packed"), std::nullopt}};
  Write("bg/a.png", Bytes("loose"));
  Write("data.npf", Archive(packed));
  ASSERT_EQ(MountArchives(engine()), 0);
  ExpectLoads("bg\\a.png", kSourceLoose, Bytes("loose"));

  MakeEngine();
  std::filesystem::remove(Host("data.npf"));
  std::string error;
  auto program = npf::EmbedArchive(NoiseBytes(64, 1), Archive(packed), error);
  ASSERT_TRUE(program) << error;
  UseEmbeddedProgram(program->bytes);
  ASSERT_EQ(MountArchives(engine()), 0);
  ExpectLoads("bg\\a.png", kSourcePack, Bytes("packed"));
  // A loose file is still read from its own first byte.
  Write("only_loose.txt", Bytes("abc"));
  ExpectLoads("only_loose.txt", kSourceLoose, Bytes("abc"));
}

TEST_F(LoaderTest, MemoryTablesComeBeforeFoldersAndArchives) {
  Write("nvbin/nvc.nbn", Bytes("loose"));
  engine().loader.compilerFiles.push_back({"NVBIN\\NVC.NBN", kTypeUnknown, Bytes("compiler")});
  ExpectLoads("nvbin\\nvc.nbn", kSourceCompiler, Bytes("compiler"));
  engine().loader.preloads.push_back({"nvbin\\nvc.nbn", kTypeUnknown, Bytes("preload")});
  ExpectLoads("nvbin\\nvc.nbn", kSourcePreload, Bytes("preload"));
}

TEST_F(LoaderTest, MissingFilesAreReportedOnlyWhenAsked) {
  LoadedFile f;
  EXPECT_EQ(LoadFile(engine(), f, "nothing.txt", false), -1);
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_TRUE(dialogs().empty());
  EXPECT_FALSE(engine().shell.flags.halted);

  EXPECT_EQ(LoadFile(engine(), f, "nothing.txt", true), -1);
  EXPECT_EQ(Codes(), std::vector<ErrorCode>{104060});
  EXPECT_TRUE(engine().shell.flags.halted);
  EXPECT_NE(LastMessage().find("[nothing.txt]"), std::string::npos) << LastMessage();
}

TEST_F(LoaderTest, ZeroLengthLooseFileLoads) {
  Write("empty.bmp", {});
  ExpectLoads("empty.bmp", kSourceLoose, {});
}

// One entry of each compression, damaged in place inside the archive file.
struct DamageCase {
  const char* label;
  npf::Compression compression;
  std::vector<size_t> damagedBlocks;  // 1024-byte blocks of the stored bytes
  int expected;                       // LoadFile's result
};

class DamagedEntryTest : public LoaderTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedEntryTest, OneBlockIsRebuiltTwoAreReported) {
  const DamageCase& c = GetParam();
  // Stored: noise. Deflated: text, whose deflate stream spans many blocks
  // of Huffman codes.
  const std::vector<uint8_t> content =
      c.compression == npf::Compression::Store ? NoiseBytes(10 * 1024 + 300, 9) : TextBytes(40000, 9);
  npf::WriterOptions options;
  options.compression = c.compression;
  std::vector<uint8_t> archive = Archive({{"se\\hit.wav", content, std::nullopt}}, options);

  std::string error;
  auto view = npf::OpenArchive(archive, error);
  ASSERT_TRUE(view) << error;
  const pack::Descriptor d = view->entries[0].descriptor;
  ASSERT_EQ(d.compression, c.compression == npf::Compression::Store ? pack::kStored : pack::kDeflated);
  for (size_t block : c.damagedBlocks) {
    const size_t start = d.dataOffset + block * pack::kBlockBytes;
    ASSERT_LT(start + 700, static_cast<size_t>(d.dataOffset) + d.storedSize);
    for (size_t k = 100; k < 700; k += 7) archive[start + k] ^= 0xA5;
  }
  Write("pac/se.npf", archive);
  ASSERT_EQ(MountArchives(engine()), 0) << LastMessage();

  LoadedFile f;
  EXPECT_EQ(LoadFile(engine(), f, "se\\hit.wav"), c.expected);
  if (c.expected == 0) {
    EXPECT_TRUE(f.data == content);
    EXPECT_TRUE(engine().errors.reports.empty()) << LastMessage();
  } else {
    EXPECT_EQ(Codes(), std::vector<ErrorCode>{104100});
    EXPECT_NE(LastMessage().find("PacFile = .\\pac\\se.npf"), std::string::npos) << LastMessage();
    EXPECT_NE(LastMessage().find("File = se\\hit.wav"), std::string::npos) << LastMessage();
    EXPECT_TRUE(engine().shell.flags.halted);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, DamagedEntryTest,
    ::testing::Values(DamageCase{"StoredFirstBlock", npf::Compression::Store, {0}, 0},
                      DamageCase{"StoredLastBlock", npf::Compression::Store, {9}, 0},
                      DamageCase{"DeflatedOneBlock", npf::Compression::Deflate, {2}, 0},
                      DamageCase{"StoredTwoBlocks", npf::Compression::Store, {1, 5}, -2},
                      DamageCase{"DeflatedTwoBlocks", npf::Compression::Deflate, {0, 3}, -2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(LoaderTest, DescriptorsThatPointOutsideTheArchiveAreDamageNotCrashes) {
  std::vector<uint8_t> archive = Archive({{"a.txt", TextBytes(5000, 3), std::nullopt}});
  std::string error;
  auto view = npf::OpenArchive(archive, error);
  ASSERT_TRUE(view) << error;
  const size_t descriptor = view->entries[0].descriptorPos;
  struct Field {
    size_t offset;
    uint32_t value;
    ErrorCode code;
  };
  // Unpacked size beyond what deflate can give, stored size and data offset
  // beyond the file, and an unknown compression flag.
  for (const Field& field : {Field{1, 0x7FFFFFF0u, 104100}, Field{5, 0x40000000u, 104100},
                             Field{9, 0xFFFFFF00u, 104100}, Field{0, 7, 901040}}) {
    MakeEngine();
    std::vector<uint8_t> broken = archive;
    if (field.offset == 0) broken[descriptor] = static_cast<uint8_t>(field.value);
    else common::StoreU32(broken.data() + descriptor + field.offset, field.value);
    Write("data.npf", broken);
    ASSERT_EQ(MountArchives(engine()), 0);
    LoadedFile f;
    EXPECT_LT(LoadFile(engine(), f, "a.txt"), 0);
    EXPECT_EQ(Codes(), std::vector<ErrorCode>{field.code}) << "field at " << field.offset;
  }
}

TEST_F(LoaderTest, HasExtensionAndTypeCodes) {
  EXPECT_TRUE(HasExtension("bg\\a.PNG", ".png"));
  EXPECT_FALSE(HasExtension("png", ".png"));
  const std::map<std::string, uint8_t> types = {
      {"a.bmp", 1}, {"a.png", 2}, {"a.jpg", 3}, {"a.jpeg", 3}, {"a.JPE", 3}, {"a.gif", 4},
      {"a.avi", 5}, {"a.wav", 6}, {"a.ogg", 7}, {"a.psd", 8}, {"a.nbn", 0}, {"bmp", 0}};
  for (const auto& [name, type] : types) EXPECT_EQ(FileTypeFromName(name), type) << name;
}

}  // namespace
}  // namespace vv::resource
