// The archive tool: embedding into Linux and Windows programs (read back by
// the shell's locator readers and mounted by the engine), and the command
// line's results.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

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

// A minimal PE32 image with one ".rsrc" section. With `resourceType` set
// the resource tree holds that type, id 201, one language, 4 data bytes
// holding `value`.
std::vector<uint8_t> MinimalPe(const std::string& resourceType, uint32_t value) {
  std::vector<uint8_t> pe(0x400, 0);
  auto u16 = [&](size_t at, uint16_t v) { common::StoreU16(pe.data() + at, v); };
  auto u32 = [&](size_t at, uint32_t v) { common::StoreU32(pe.data() + at, v); };
  pe[0] = 'M';
  pe[1] = 'Z';
  u32(0x3C, 0x40);
  std::memcpy(pe.data() + 0x40, "PE\0\0", 4);
  u16(0x44, 0x14C);  // i386
  u16(0x46, 1);      // one section
  u16(0x54, 224);    // optional header size
  const size_t opt = 0x58;
  u16(opt, 0x10B);
  u32(opt + 92, 16);              // data directories
  u32(opt + 96 + 2 * 8, 0x1000);  // resource table RVA
  u32(opt + 96 + 2 * 8 + 4, 0x100);
  const size_t section = opt + 224;
  std::memcpy(pe.data() + section, ".rsrc", 5);
  u32(section + 8, 0x200);   // virtual size
  u32(section + 12, 0x1000); // virtual address
  u32(section + 16, 0x200);  // raw size
  u32(section + 20, 0x200);  // raw offset
  const size_t res = 0x200;
  // Root: one named entry -> type directory at 0x18.
  u16(res + 12, 1);
  u32(res + 16, 0x80000000u | 0x58);
  u32(res + 20, 0x80000000u | 0x18);
  // Type: one id entry 201 -> language directory at 0x30.
  u16(res + 0x18 + 14, 1);
  u32(res + 0x18 + 16, 201);
  u32(res + 0x18 + 20, 0x80000000u | 0x30);
  // Language 1041 -> data entry at 0x48.
  u16(res + 0x30 + 14, 1);
  u32(res + 0x30 + 16, 1041);
  u32(res + 0x30 + 20, 0x48);
  u32(res + 0x48, 0x1000 + 0x70);
  u32(res + 0x48 + 4, 4);
  // The type's name, UTF-16.
  u16(res + 0x58, static_cast<uint16_t>(resourceType.size()));
  for (size_t i = 0; i < resourceType.size(); ++i) u16(res + 0x5A + 2 * i, static_cast<uint8_t>(resourceType[i]));
  u32(res + 0x70, value);
  return pe;
}

class NpfTest : public testing::GameFolder {
 protected:
  shell::AppendedBlock ReadBlock(const std::string& relative, bool windows) {
    auto file = engine().platform.files->Open(platform::HostToEnginePath(Host(relative)), platform::OpenMode::Read);
    EXPECT_TRUE(file);
    return file ? shell::ReadAppendedBlock(*file, windows) : shell::AppendedBlock{};
  }
  // Mounts the program as start-up would and loads `name`.
  std::vector<uint8_t> LoadEmbedded(const std::string& relative, bool windows, std::string_view name) {
    engine().shell.paths.programHostPath = Host(relative);
    engine().shell.block = ReadBlock(relative, windows);
    EXPECT_TRUE(engine().shell.block.present);
    engine().shell.flags.releaseMode = engine().shell.flags.embeddedArchive = true;
    EXPECT_EQ(MountArchives(engine()), 0) << LastMessage();
    LoadedFile f;
    EXPECT_EQ(LoadFile(engine(), f, name), 0) << LastMessage();
    return f.data;
  }
};

TEST_F(NpfTest, EmbeddingTwiceReplacesTheFirstArchive) {
  const std::vector<uint8_t> program = NoiseBytes(5000, 3);
  const auto first = Archive({{"a.txt", Bytes("first"), std::nullopt}});
  const auto second = Archive({{"a.txt", Bytes("second, longer"), std::nullopt}});
  std::string error;
  auto once = npf::EmbedArchive(program, first, error);
  ASSERT_TRUE(once) << error;
  EXPECT_EQ(once->locator, program.size());
  auto twice = npf::EmbedArchive(once->bytes, second, error);
  ASSERT_TRUE(twice) << error;
  EXPECT_TRUE(twice->replacedBlock);
  EXPECT_EQ(twice->locator, program.size());
  EXPECT_EQ(twice->bytes.size(), program.size() + 16 + second.size() + 12);
  EXPECT_TRUE(std::equal(program.begin(), program.end(), twice->bytes.begin()));

  Write("game", twice->bytes);
  EXPECT_EQ(LoadEmbedded("game", false, "a.txt"), Bytes("second, longer"));
}

TEST_F(NpfTest, WindowsProgramsGetTheirResourcePatched) {
  const auto archive = Archive({{"bg\\title.png", TextBytes(3000, 1), std::nullopt}});
  std::string error;
  const std::vector<uint8_t> pe = MinimalPe("NV_RES", 0);
  ASSERT_EQ(npf::FindPeLocatorOffset(pe), 0x270u);
  auto once = npf::EmbedArchive(pe, archive, error);
  ASSERT_TRUE(once) << error;
  EXPECT_TRUE(once->windows);
  EXPECT_EQ(once->locator, pe.size());
  auto twice = npf::EmbedArchive(once->bytes, archive, error);
  ASSERT_TRUE(twice) << error;
  EXPECT_TRUE(twice->replacedBlock);
  EXPECT_EQ(twice->bytes.size(), pe.size() + 16 + archive.size());

  Write("game.exe", twice->bytes);
  EXPECT_EQ(ReadBlock("game.exe", true).locator, pe.size());
  EXPECT_EQ(LoadEmbedded("game.exe", true, "bg\\title.png"), TextBytes(3000, 1));

  EXPECT_FALSE(npf::EmbedArchive(MinimalPe("OTHER!", 0), archive, error));
  EXPECT_NE(error.find("NV_RES"), std::string::npos) << error;
  // A damaged resource tree is refused, not followed.
  std::vector<uint8_t> broken = pe;
  common::StoreU32(broken.data() + 0x200 + 20, 0x80000000u | 0x7FFFFFF0u);
  EXPECT_FALSE(npf::FindPeLocatorOffset(broken));
}

// The npf program itself, run as a user runs it.
class NpfCommandTest : public testing::GameFolder {
 protected:
  int Run(const std::string& arguments) {
    const char* bin = std::getenv("VAVEVO_TEST_BIN");
    const std::string npf = std::string(bin ? bin : ".") + "/tools/npf/npf";
    const std::string command = "'" + npf + "' " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(NpfCommandTest, ExitCodesTellIntactRepairableAndLost) {
  Write("src/a.bin", NoiseBytes(5000, 1));
  Write("src/sub/b.txt", TextBytes(2000, 2));
  ASSERT_EQ(Run("create " + Host("a.npf") + " " + Host("src")), 0);
  ASSERT_EQ(Run("create " + Host("b.npf") + " " + Host("src")), 0);
  EXPECT_EQ(Read("a.npf"), Read("b.npf")) << "the same folder gives the same bytes";
  EXPECT_EQ(Run("verify " + Host("a.npf")), 0);

  std::vector<uint8_t> bytes = Read("a.npf");
  std::string error;
  auto view = npf::OpenArchive(bytes, error);
  ASSERT_TRUE(view) << error;
  const auto& e = view->entries[0];  // a.bin, stored
  ASSERT_EQ(e.Name(), "a.bin");
  bytes[e.descriptor.dataOffset + 10] ^= 0xFF;
  Write("one.npf", bytes);
  EXPECT_EQ(Run("verify " + Host("one.npf")), 3);
  ASSERT_EQ(Run("extract " + Host("one.npf") + " " + Host("out")), 0);
  EXPECT_EQ(Read("out/a.bin"), NoiseBytes(5000, 1));
  EXPECT_EQ(Read("out/sub/b.txt"), TextBytes(2000, 2));
  bytes[e.descriptor.dataOffset + 3000] ^= 0xFF;
  Write("two.npf", bytes);
  EXPECT_EQ(Run("verify " + Host("two.npf")), 1);

  Write("prog", NoiseBytes(100, 4));
  EXPECT_EQ(Run("embed " + Host("prog") + " " + Host("a.npf") + " -o " + Host("prog2")), 0);
  EXPECT_EQ(Read("prog2").size(), 100 + 16 + Read("a.npf").size() + 12);
  EXPECT_EQ(Run("embed " + Host("prog") + " " + Host("src/a.bin") + " -o " + Host("prog3")), 1);
  EXPECT_EQ(Run("create " + Host("c.npf")), 2);
  EXPECT_EQ(Run("--help"), 0);
}

}  // namespace
}  // namespace vv::resource
