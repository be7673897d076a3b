#include "shell/appended_block.h"

#include <gtest/gtest.h>


#include "common/bytes.h"
#include "platform/memory_file.h"

namespace vv::shell {
namespace {

using platform::MemoryFile;

// A minimal PE32 image with one .rsrc section holding the resource
// "NV_RES" 201 (language 0x411) whose first four bytes are `locator`.
std::vector<uint8_t> BuildPe(uint32_t locator, const char* typeName = "NV_RES", uint32_t id = 201) {
  constexpr uint32_t kRawOffset = 0x200, kRva = 0x1000, kOptionalSize = 224;
  common::ByteWriter w;
  w.Text("MZ");
  w.Zeros(0x3C - 2);
  w.U32(64);                      // e_lfanew
  w.Text(std::string_view("PE\0\0", 4));
  w.U16(0x14C);                   // i386
  w.U16(1);                       // one section
  w.Zeros(12);
  w.U16(kOptionalSize);
  w.U16(0x102);
  const size_t opt = w.size();
  w.U16(0x10B);                   // PE32
  w.Zeros(92 - 2);
  w.U32(16);                      // data directories
  w.Zeros(16);                    // export, import
  w.U32(kRva);                    // resource table
  w.U32(0x80);
  w.Zeros(opt + kOptionalSize - w.size());
  w.Text(std::string_view(".rsrc\0\0\0", 8));
  w.U32(0x80);                    // virtual size
  w.U32(kRva);
  w.U32(0x80);                    // raw size
  w.U32(kRawOffset);
  w.Zeros(16);
  w.Zeros(kRawOffset - w.size());

  // Resource section: root, type, language directories; data entry; name.
  auto dir = [&](uint16_t named, uint16_t ids) {
    w.Zeros(12);
    w.U16(named);
    w.U16(ids);
  };
  dir(1, 0);
  w.U32(0x80000000u | 0x58);      // named entry -> "NV_RES" at 0x58
  w.U32(0x80000000u | 0x18);
  dir(0, 1);                      // at 0x18
  w.U32(id);
  w.U32(0x80000000u | 0x30);
  dir(0, 1);                      // at 0x30
  w.U32(0x411);
  w.U32(0x48);
  w.U32(kRva + 0x70);             // data entry at 0x48
  w.U32(4);
  w.Zeros(8);
  w.Zeros(kRawOffset + 0x58 - w.size());
  w.U16(static_cast<uint16_t>(std::strlen(typeName)));
  for (const char* c = typeName; *c; ++c) w.U16(static_cast<uint8_t>(*c));
  w.Zeros(kRawOffset + 0x70 - w.size());
  w.U32(locator);
  w.Zeros(kRawOffset + 0x80 - w.size());
  return w.Take();
}

void AppendBlock(std::vector<uint8_t>& file, uint32_t archiveOffset, uint32_t previewSize) {
  common::ByteWriter w(std::move(file));
  w.Text("VODU");
  w.U32(archiveOffset);
  w.U32(previewSize);
  w.U32(0);
  w.Zeros(64);  // stands in for the archive
  file = w.Take();
}

TEST(AppendedBlock, WindowsProgramLocatorFromItsResource) {
  auto pe = BuildPe(0);
  const uint32_t d = static_cast<uint32_t>(pe.size());
  pe = BuildPe(d);
  AppendBlock(pe, 16, 0);
  MemoryFile file(pe);
  EXPECT_EQ(LocatorFromPeResource(file), d);
  const AppendedBlock b = ReadAppendedBlock(file, true);
  EXPECT_TRUE(b.present);
  EXPECT_EQ(b.locator, d);
  EXPECT_EQ(b.archiveOffset, 16u);
  EXPECT_EQ(b.previewSize, 0u);
}

TEST(AppendedBlock, MissingOrForeignResourcesGiveNoLocator) {
  MemoryFile otherType(BuildPe(1234, "NV_RET"));
  EXPECT_FALSE(LocatorFromPeResource(otherType).has_value());
  MemoryFile otherId(BuildPe(1234, "NV_RES", 202));
  EXPECT_FALSE(LocatorFromPeResource(otherId).has_value());
  MemoryFile notPe(std::vector<uint8_t>(300, 'M'));
  EXPECT_FALSE(LocatorFromPeResource(notPe).has_value());
  // No resource reads as locator 0, which start-up answers with "FS".
  EXPECT_EQ(ReadAppendedBlock(otherType, true).locator, 0u);
}

TEST(AppendedBlock, TruncatedPeImagesNeverReadPastTheirEnd) {
  const auto pe = BuildPe(0x300);
  for (size_t cut = 0; cut < pe.size(); cut += 7) {
    MemoryFile file(std::vector<uint8_t>(pe.begin(), pe.begin() + static_cast<long>(cut)));
    EXPECT_FALSE(LocatorFromPeResource(file).has_value()) << cut;
  }
}

TEST(AppendedBlock, TrailerRulesOfOurOwnProgram) {
  auto withTrailer = [](std::vector<uint8_t> body, uint32_t d) {
    common::ByteWriter w(std::move(body));
    w.U32(d);
    w.Text(std::string_view(kLocatorTrailerMagic, 8));
    return w.Take();
  };
  std::vector<uint8_t> program(100, 0x7F);

  // No trailer: an unpacked program, "no block".
  MemoryFile plain(program);
  EXPECT_EQ(ReadAppendedBlock(plain, false).locator, kNoBlock);

  // A screen-saver build: block with a preview.
  auto packed = program;
  AppendBlock(packed, 16, 40);
  MemoryFile saver(withTrailer(packed, 100));
  const AppendedBlock b = ReadAppendedBlock(saver, false);
  EXPECT_TRUE(b.present);
  EXPECT_EQ(b.previewSize, 40u);

  // D + 12 beyond the file: forced to 4.
  MemoryFile beyond(withTrailer(program, 200));
  EXPECT_EQ(ReadAppendedBlock(beyond, false).locator, kNoBlock);
  EXPECT_FALSE(ReadAppendedBlock(beyond, false).present);

  // A locator that points at something other than "VODU".
  MemoryFile wrong(withTrailer(program, 10));
  const AppendedBlock w = ReadAppendedBlock(wrong, false);
  EXPECT_EQ(w.locator, 10u);
  EXPECT_FALSE(w.present);
}

}  // namespace
}  // namespace vv::shell
