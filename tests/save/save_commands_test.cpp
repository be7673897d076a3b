// The save, load and save-cache commands as scripts use them: block
// layouts in the file, the checks and their errors, round trips of every
// variable kind and of layers, and the save folder of a read-only game.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "common/checksum.h"
#include "common/encoding.h"
#include "platform/host_paths.h"
#include "save/save_file.h"
#include "save/save_folder.h"
#include "save_test_support.h"

namespace vv::save {
namespace {

using testing::I32At;

class SaveCommands : public testing::SaveTest {
 protected:
  void Put(int block, int global, bool whole = true, int64_t element = 0) {
    BlockTarget t;
    t.variable = script::kFirstScriptVariable + global;
    t.whole = whole;
    t.element = element;
    ASSERT_EQ(PutPendingBlock(engine(), block, t), 0) << Codes().size();
  }
  int WriteFile(const std::string& name) {
    SaveFileName n;
    EXPECT_EQ(MakeSaveFileName(name, n), 0);
    return WritePendingBlocks(engine(), n);
  }
  int LoadInto(const std::string& name, int block, int global, bool whole = true) {
    SaveFileName n;
    EXPECT_EQ(MakeSaveFileName(name, n), 0);
    BlockTarget t;
    t.variable = script::kFirstScriptVariable + global;
    t.whole = whole;
    return LoadBlock(engine(), n, block, t);
  }
  static int32_t Directory(const std::vector<uint8_t>& file, int block) { return I32At(file, 16 + 4 * (block - 1)); }
  // Bytes of the stored block at `offset`: its head and compressed payload.
  static size_t BlockLength(const std::vector<uint8_t>& file, int32_t offset) {
    return kBlockHeadBytes + static_cast<size_t>(I32At(file, static_cast<size_t>(offset) + 8));
  }
};

TEST_F(SaveCommands, NewFileHoldsBlocksInNumberOrder) {
  Run(R"(@global int a = 7, b = 9
*SYSTEM_START
@save block=3, variable=a
@save block=1, variable=b
@save file="First"
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << engine().errors.reports[0].code;
  const auto file = SaveFile("first.sd");
  ASSERT_GE(file.size(), kFirstBlockOffset);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "NVSD");
  EXPECT_EQ(I32At(file, 4), 192);
  EXPECT_EQ(I32At(file, 8), 2);
  EXPECT_EQ(I32At(file, 12), 1024);
  EXPECT_EQ(Directory(file, 1), 4112);
  EXPECT_EQ(Directory(file, 2), 0);
  const int32_t third = Directory(file, 3);
  EXPECT_EQ(static_cast<size_t>(third), 4112 + BlockLength(file, 4112));
  EXPECT_EQ(file.size(), third + BlockLength(file, third));
  for (int block = 4; block <= 1024; ++block) ASSERT_EQ(Directory(file, block), 0) << block;
  // Number, kind (variable), the bytes 1, 0, 0, then C and U.
  EXPECT_EQ(I32At(file, 4112), 1);
  EXPECT_EQ(I32At(file, static_cast<size_t>(third)), 3);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 4116, file.begin() + 4120), (std::vector<uint8_t>{0, 1, 0, 0}));
  EXPECT_EQ(I32At(file, 4124), 3 * 4 + 8);  // type, 0, 8, the int64
  // The pending blocks went with the write.
  for (const auto& slot : engine().save.pending) ASSERT_TRUE(slot.empty());
}

TEST_F(SaveCommands, AppendsNewBlocksAndRewritesKnownOnesInPlace) {
  Prepare("@global int a = 1, b = 2, c = 3, d[64] = 0\n*SYSTEM_START\n@quit\n");
  Put(3, 0);
  Put(1, 3);
  ASSERT_EQ(WriteFile("f"), 0);
  const auto first = SaveFile("f.sd");

  Put(5, 2);
  ASSERT_EQ(WriteFile("f"), 0);
  const auto appended = SaveFile("f.sd");
  EXPECT_EQ(I32At(appended, 8), 3);
  EXPECT_EQ(Directory(appended, 5), static_cast<int32_t>(first.size()));
  EXPECT_EQ(Directory(appended, 1), Directory(first, 1));
  EXPECT_EQ(Directory(appended, 3), Directory(first, 3));
  EXPECT_TRUE(std::equal(first.begin() + kFirstBlockOffset, first.end(), appended.begin() + kFirstBlockOffset));
  EXPECT_EQ(I32At(appended, static_cast<size_t>(first.size())), 5);

  // Block 1 again, now far less compressible: it grows where it stood, and
  // the blocks behind it move up.
  for (size_t i = 0; i < 64; ++i) Slot(3).integers[i] = static_cast<int64_t>(i * 0x9E3779B97F4A7C15ull);
  Put(1, 3);
  ASSERT_EQ(WriteFile("f"), 0);
  const auto rewritten = SaveFile("f.sd");
  EXPECT_EQ(I32At(rewritten, 8), 3);
  EXPECT_EQ(Directory(rewritten, 1), 4112);
  const int32_t grown = static_cast<int32_t>(BlockLength(rewritten, 4112) - BlockLength(first, 4112));
  EXPECT_GT(grown, 0);
  EXPECT_EQ(Directory(rewritten, 3), Directory(appended, 3) + grown);
  EXPECT_EQ(Directory(rewritten, 5), Directory(appended, 5) + grown);
  EXPECT_EQ(rewritten.size(), appended.size() + static_cast<size_t>(grown));

  Slot(3).integers.assign(64, 0);
  Slot(0).integers[0] = Slot(2).integers[0] = 0;
  EXPECT_EQ(LoadInto("f", 1, 3), 0);
  EXPECT_EQ(LoadInto("f", 3, 0), 0);
  EXPECT_EQ(LoadInto("f", 5, 2), 0);
  EXPECT_EQ(Slot(3).integers[63], static_cast<int64_t>(63 * 0x9E3779B97F4A7C15ull));
  EXPECT_EQ(Slot(0).integers[0], 1);
  EXPECT_EQ(Slot(2).integers[0], 3);
  EXPECT_TRUE(engine().errors.reports.empty());
}

// The checks of both commands, each with the code it reports.
struct ErrorCase {
  const char* what;
  std::string body;
  int32_t code;           // 0: no report
  std::string inMessage;  // a part of the composed message
  std::function<void(testing::SaveTest&)> before = nullptr;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.what; }

class SaveErrors : public testing::SaveTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(SaveErrors, ReportsItsCode) {
  const ErrorCase& c = GetParam();
  Prepare(R"(@global int n = 5, arr[3] = 1, arr2[4] = 1, grid[3][1] = 0
@global float f = 1.5
@global text t = "x"
*SYSTEM_START
)" + c.body + "\n@quit\n");
  MakeLayer("bg", 4, 4);
  if (c.before) c.before(*this);
  Passes(5);
  if (c.code == 0) {
    EXPECT_TRUE(engine().errors.reports.empty()) << engine().errors.reports[0].code;
    return;
  }
  ASSERT_FALSE(engine().errors.reports.empty());
  const resource::ErrorRecord& r = engine().errors.reports[0];
  EXPECT_EQ(r.code, c.code);
  EXPECT_TRUE(r.halt);
  EXPECT_NE(r.message.find(c.inMessage), std::string::npos) << r.message;
}

std::vector<uint8_t> Header(const char* magic, int32_t version) {
  common::ByteWriter w;
  w.Text(magic);
  w.I32(version);
  w.I32(0);
  w.I32(1024);
  w.Zeros(4096);
  return w.Take();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveErrors,
    ::testing::Values(
        ErrorCase{"pending twice", "@save block=2, variable=n\n@save block=2, variable=arr[1]", 102170, "2"},
        ErrorCase{"cleared cache", "@save block=2, variable=n\n@saveClear\n@save block=2, variable=n", 0, ""},
        ErrorCase{"block 0", "@save block=0, variable=n", 101000, "[block]"},
        ErrorCase{"block 1025", "@save block=1025, variable=n", 101000, "1025"},
        ErrorCase{"slash", "@save file=\"A/b\", block=1, variable=n", 102150, "[a\\b]"},
        ErrorCase{"33 bytes", "@save file=\"" + std::string(33, 'x') + "\", block=1, variable=n", 102160,
                  std::string(33, 'x')},
        ErrorCase{"32 bytes", "@save file=\"" + std::string(32, 'x') + "\", block=1, variable=n\n@load file=\"" +
                                  std::string(32, 'x') + "\", block=1, variable=n",
                  0, ""},
        ErrorCase{"missing file", "@load file=\"none\", block=1, variable=n", 102100, "none.sd"},
        ErrorCase{"missing block", "@save file=\"s\", block=1, variable=n\n@load file=\"s\", block=2, variable=n",
                  102110, "[block]"},
        ErrorCase{"float target", "@save file=\"s\", block=1, variable=&arr\n@load file=\"s\", block=1, variable=&f",
                  102120, "[float]"},
        ErrorCase{"text target", "@save file=\"s\", block=1, variable=n\n@load file=\"s\", block=1, variable=t",
                  102120, "[text]"},
        ErrorCase{"other sizes",
                  "@save file=\"s\", block=1, variable=&arr\n@load file=\"s\", block=1, variable=&arr2", 108090, ""},
        ErrorCase{"other dimensions",
                  "@save file=\"s\", block=1, variable=&arr\n@load file=\"s\", block=1, variable=&grid", 108080, ""},
        ErrorCase{"whole into element",
                  "@save file=\"s\", block=1, variable=&arr\n@load file=\"s\", block=1, variable=arr[0]", 108080, ""},
        ErrorCase{"missing layer", "@save block=1, layer=\"nothing\"", 101250, "W0/nothing"},
        ErrorCase{"layer into variable", "@save file=\"s\", block=1, layer=\"bg\"\n@load file=\"s\", block=1, variable=n",
                  108050, ""},
        ErrorCase{"variable into layer", "@save file=\"s\", block=1, variable=n\n@load file=\"s\", block=1, layer=\"bg\"",
                  108100, ""},
        ErrorCase{"not a save file", "@load file=\"bad\", block=1, variable=n", 108030, "",
                  [](testing::SaveTest& t) { t.WriteSaveFile("bad.sd", Header("NVSX", 192)); }},
        ErrorCase{"saving into a foreign file", "@save file=\"bad\", block=1, variable=n", 108030, "",
                  [](testing::SaveTest& t) { t.WriteSaveFile("bad.sd", Header("NVSX", 192)); }},
        ErrorCase{"other version", "@load file=\"old\", block=1, variable=n", 108040, "",
                  [](testing::SaveTest& t) { t.WriteSaveFile("old.sd", Header("NVSD", 191)); }}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST_F(SaveCommands, VariablesComeBackWholeAndByElement) {
  Run(R"(@global int i = 0, ia[3][4] = 0, big[4000000] = 0
@global float fl = 0.0, fa[5] = 0.0, bigf[4000000] = 0.0
@global text tx = "", ta[3] = ""
*SYSTEM_START
@i = -9223372036854775807
@ia[2][3] = 77
@ia[0][1] = -4
@big[0] = -1
@big[3999999] = 123456789012
@fl = -2.5e300
@fa[4] = 0.125
@bigf[3999999] = 3.75
@tx = "太郎とハナコ"
@ta[0] = "テスト"
@ta[2] = "a\\b"
@save block=1, variable=&ia
@save block=2, variable=ia[2][3]
@save block=3, variable=&big
@save block=4, variable=&fa
@save block=5, variable=fl
@save block=6, variable=&bigf
@save block=7, variable=&ta
@save block=8, variable=tx
@save block=9, variable=ta[0]
@save block=10, variable=i
@save file="rt"
@ia[2][3] = 0
@ia[0][1] = 0
@big[0] = 0
@big[3999999] = 0
@fa[4] = 0.0
@bigf[3999999] = 0.0
@ta[0] = ""
@ta[2] = ""
@load file="rt", block=1, variable=&ia
@load file="rt", block=2, variable=ia[1][0]
@load file="rt", block=3, variable=&big
@load file="rt", block=4, variable=&fa
@load file="rt", block=5, variable=fa[0]
@load file="rt", block=6, variable=&bigf
@load file="rt", block=7, variable=&ta
@load file="rt", block=8, variable=ta[1]
@load file="rt", block=9, variable=tx
@load file="rt", block=10, variable=ia[0][0]
@quit
)");
  ASSERT_TRUE(engine().errors.reports.empty()) << engine().errors.reports[0].message;
  const int32_t ia = script::kFirstScriptVariable + 1, big = ia + 1, fa = big + 2, bigf = fa + 1, tx = bigf + 1,
                ta = tx + 1;
  EXPECT_EQ(Int(ia, 2 * 4 + 3), 77);
  EXPECT_EQ(Int(ia, 1), -4);
  EXPECT_EQ(Int(ia, 4), 77);  // the element block went into ia[1][0]
  EXPECT_EQ(Int(ia, 0), -9223372036854775807);
  EXPECT_EQ(Int(big, 0), -1);
  EXPECT_EQ(Int(big, 3999999), 123456789012);
  EXPECT_DOUBLE_EQ(Float(fa, 4), 0.125);
  EXPECT_DOUBLE_EQ(Float(fa, 0), -2.5e300);
  EXPECT_DOUBLE_EQ(Float(bigf, 3999999), 3.75);
  EXPECT_EQ(Text(ta, 0), common::Sjis("テスト"));
  EXPECT_EQ(Text(ta, 1), common::Sjis("太郎とハナコ"));
  EXPECT_EQ(Text(ta, 2), "a\\b");
  EXPECT_EQ(Text(tx), common::Sjis("テスト"));
}

TEST_F(SaveCommands, LayerComesBackWithItsPixelsAndNewLayerDefaults) {
  Prepare(R"(*SYSTEM_START
@save block=1, layer="bg"
@save block=2, layer="grp/"
@save block=3, layer="ch", layerNumber=2
@save file="layers"
@load file="layers", block=1, layer="bg"
@load file="layers", block=2, layer="grp/"
@load file="layers", block=3, layer="ch", layerNumber=2
@quit
)");
  // 5 x 7: the pixel byte count 140 is no multiple of 3.
  graphics::Layer& bg = MakeLayer("bg", 5, 7);
  bg.x = 10;
  bg.y = -20;
  bg.opacity = 100;
  bg.image.hasAlpha = 1;
  bg.blendOp = 3;
  bg.visible = 0;
  MakeLayer("grp", 3, 3, 9, true);
  MakeLayer("ch.2", 2, 2);
  const auto pattern = [](int w, int h) {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < out.size() / 4; ++i) common::StoreU32(out.data() + 4 * i, static_cast<uint32_t>(i * 2654435761u));
    return out;
  };
  Passes(3);
  ASSERT_TRUE(engine().errors.reports.empty()) << engine().errors.reports[0].message;

  struct Expect {
    const char* path;
    int w, h;
  };
  for (const Expect& e : {Expect{"W0/bg", 5, 7}, Expect{"W0/grp", 3, 3}, Expect{"W0/ch.2", 2, 2}}) {
    SCOPED_TRACE(e.path);
    script::NameNode* node = FindLayer(e.path);
    ASSERT_NE(node, nullptr);
    const graphics::Layer* l = graphics::LayerOf(node);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(node->kind, script::kLeafNode);
    EXPECT_EQ(node->key, 1);
    EXPECT_EQ(l->Width(), e.w);
    EXPECT_EQ(l->Height(), e.h);
    EXPECT_EQ(l->x, 0);
    EXPECT_EQ(l->y, 0);
    EXPECT_EQ(l->opacity, 256);
    EXPECT_EQ(l->image.hasAlpha, 0);
    EXPECT_EQ(l->blendOp, 0);
    EXPECT_EQ(l->visible, 1);
    EXPECT_EQ(l->bitsPerPixel, 32);
    const auto want = pattern(e.w, e.h);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), l->image.pixels.get()));
  }
  EXPECT_EQ(FindLayer("W0/grp", script::kFindFolder), nullptr);
}

TEST_F(SaveCommands, ReadOnlyGameSavesInTheUserDataFolder) {
  const std::string data = root_ + "/xdg";
  const std::string oldXdg = platform::EnvironmentValue("XDG_DATA_HOME");
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  engine().shell.flags.readOnlyFolder = true;
  Run(R"(@global int a = 41, b = 0
*SYSTEM_START
@a += 1
@save file="s", block=1, variable=a
@load file="s", block=1, variable=b
@quit
)");
  if (oldXdg.empty()) unsetenv("XDG_DATA_HOME");
  else setenv("XDG_DATA_HOME", oldXdg.c_str(), 1);
  ASSERT_TRUE(engine().errors.reports.empty()) << engine().errors.reports[0].message;
  EXPECT_EQ(Global(1), 42);
  const std::string id = GameId(engine());
  const std::string base = std::filesystem::path(root_).filename().string();
  char crc[16];
  std::snprintf(crc, sizeof crc, "-%08x", static_cast<unsigned>(common::Crc32(engine().config.title)));
  EXPECT_EQ(id, base + crc);
  EXPECT_TRUE(std::filesystem::is_regular_file(data + "/vavevo/" + id + "/save/s.sd"));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/save"));
}

}  // namespace
}  // namespace vv::save
