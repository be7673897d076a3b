// The file layout and the payload checks on damaged data: every damaged
// file is reported with its code, never read past its end, and never
// taken for a good one.
#include <gtest/gtest.h>

#include "save/save_file.h"
#include "save/save_folder.h"
#include "save/save_payloads.h"
#include "save_test_support.h"

namespace vv::save {
namespace {

class SaveFiles : public testing::SaveTest {};

TEST_F(SaveFiles, TruncatedFilesAreReportedAtEveryLength) {
  Prepare("@global int d[40] = 3\n*SYSTEM_START\n@quit\n");
  graphics::Layer& layer = MakeLayer("bg", 6, 5);
  BlockTarget array;
  array.variable = script::kFirstScriptVariable;
  array.whole = true;
  BlockTarget picture;
  picture.layer = layer.node;
  picture.layerPath = "W0/bg";
  ASSERT_EQ(PutPendingBlock(engine(), 1, array), 0);
  ASSERT_EQ(PutPendingBlock(engine(), 2, picture), 0);
  SaveFileName name;
  ASSERT_EQ(MakeSaveFileName("cut", name), 0);
  ASSERT_EQ(WritePendingBlocks(engine(), name), 0);
  const auto good = SaveFile("cut.sd");

  // Block 2 is the last in the file: every cut takes some of it. Every cut
  // inside the header and the blocks; inside the directory, whose bytes
  // all fail alike, its first and last bytes.
  std::vector<size_t> lengths;
  for (size_t length = 0; length < good.size(); ++length) {
    if (length < 64 || length + 64 > kFirstBlockOffset) lengths.push_back(length);
  }
  for (const size_t length : lengths) {
    SCOPED_TRACE(length);
    WriteSaveFile("cut.sd", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    const size_t boxes = headless().DialogRecorder().Records().size();
    ForgetErrors();
    picture.layer = FindLayer("W0/bg");
    ASSERT_NE(picture.layer, nullptr);
    EXPECT_NE(LoadBlock(engine(), name, 2, picture), 0);
    const bool reported = !engine().errors.reports.empty();
    const bool boxed = headless().DialogRecorder().Records().size() > boxes;
    ASSERT_TRUE(reported || boxed);
    if (reported) {
      const int32_t code = engine().errors.reports[0].code;
      EXPECT_TRUE(code == kErrNotSaveFile || code == kErrWrongSaveVersion || code == kErrBadSaveData) << code;
    }
  }
  // The whole file still loads.
  WriteSaveFile("cut.sd", good);
  ForgetErrors();
  EXPECT_EQ(LoadBlock(engine(), name, 2, picture), 0);
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(SaveFiles, DamagedOldFileIsNeitherRewrittenNorAppendedTo) {
  Prepare("@global int a = 1\n*SYSTEM_START\n@quit\n");
  BlockTarget t;
  t.variable = script::kFirstScriptVariable;
  PendingBlocks pending;
  ASSERT_TRUE(BuildStoredBlock(1, kKindVariable, VariablePayload(engine(), t.variable, 0, false), pending[0]));
  ComposedFile good;
  ASSERT_EQ(ComposeSaveFile({}, pending, good), 0);
  std::vector<uint8_t> file;
  for (const auto& piece : good.pieces) file.insert(file.end(), piece.begin(), piece.end());

  // A block that claims more bytes than the file holds, and one whose
  // number is outside 1..1024; block 1 pending again makes a rewrite walk
  // over them.
  auto longer = file;
  common::StoreU32(longer.data() + kFirstBlockOffset + 8, 1u << 20);
  auto misnumbered = file;
  common::StoreU32(misnumbered.data() + kFirstBlockOffset, 1025);
  for (const auto& damaged : {longer, misnumbered}) {
    ComposedFile out;
    EXPECT_EQ(ComposeSaveFile(damaged, pending, out), kErrBadSaveData);
  }
  const std::vector<uint8_t> shortDirectory(file.begin(), file.begin() + 100);
  ComposedFile out;
  EXPECT_EQ(ComposeSaveFile(shortDirectory, pending, out), kErrBadSaveData);
}

TEST_F(SaveFiles, LayerPayloadNeedsItsStoredSize) {
  Prepare("*SYSTEM_START\n@quit\n");
  const auto good = LayerPayload(MakeLayer("bg", 5, 7));
  graphics::StoredLayerHeader header;
  ASSERT_TRUE(CheckLayerPayload(good, header));
  EXPECT_EQ(header.width, 5);
  EXPECT_EQ(header.height, 7);

  struct Damage {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const Damage cases[] = {
      {"record size", 0, 687},     {"pixel size", 4, 5 * 4 * 7 - 4}, {"width 0", 8 + 600, 0},
      {"width 8193", 8 + 600, 8193}, {"negative height", 8 + 604, 0xFFFFFFFF}, {"height 8", 8 + 604, 8},
  };
  for (const Damage& d : cases) {
    auto bad = good;
    common::StoreU32(bad.data() + d.at, d.value);
    EXPECT_FALSE(CheckLayerPayload(bad, header)) << d.what;
  }
  auto shorter = good;
  shorter.pop_back();
  EXPECT_FALSE(CheckLayerPayload(shorter, header));
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(CheckLayerPayload(longer, header));
}

TEST(SaveFileName, FollowsTheNamingRules) {
  struct Case {
    const char* script;
    int32_t code;
    const char* file;
  };
  const Case cases[] = {
      {"Save01", 0, "save01.sd"},
      {"data.SD", 0, "data.sd"},
      {"a/b", kErrNameHasFolder, ""},
      {"a\\b", kErrNameHasFolder, ""},
      // "ソ" is 0x83 0x5C: its second byte is no separator.
      {"\x83\x5C", 0, "\x83\x5C.sd"},
      {"12345678901234567890123456789012", 0, "12345678901234567890123456789012.sd"},
      {"123456789012345678901234567890123", kErrNameTooLong, ""},
  };
  for (const Case& c : cases) {
    SaveFileName out;
    EXPECT_EQ(MakeSaveFileName(c.script, out), c.code) << c.script;
    if (c.code == 0) {
      EXPECT_EQ(out.file, c.file);
    }
  }
}

}  // namespace
}  // namespace vv::save
