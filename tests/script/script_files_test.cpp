#include <gtest/gtest.h>

#include "common/bytes.h"
#include "script/variables.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

using namespace testing;

class ScriptFiles : public ScriptTest {
 protected:
  // SYSTEM_START in file 0 at a command that ends the run.
  Game Minimal() {
    Game g;
    g.labels.push_back({"SYSTEM_START", g.File().Here(), 0});
    g.File().Add(kEnd);
    return g;
  }
};

TEST_F(ScriptFiles, StartsAtTheStartLabel) {
  Game g = Minimal();
  g.File().Add(kNop);
  g.labels[0].position = g.File().Add(kAssign, Assign(VarOf(1000), 0, Num(1)));
  g.labels[0].blockDepth = 2;
  g.labels[0].loopDepth = 3;
  g.Declare(1000, kTypeInteger);
  ASSERT_TRUE(StartGame(g));
  const ScriptContext* system = SystemContext(engine());
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->position, g.labels[0].position);
  EXPECT_EQ(system->blockDepth, 2);
  EXPECT_EQ(system->loopDepth, 3);
  EXPECT_EQ(engine().script.variables.size(), 1201u);
  EXPECT_EQ(ScriptFileName(engine(), 0), "main.vvs");
  EXPECT_EQ(FileErrorText(engine(), 36), "error 36");
  EXPECT_EQ(CommandName(engine(), 35), CommandTable()[35].name);
  EXPECT_EQ(ArgValueClass(engine(), 25, 9), CommandTable()[25].args[9].valueClass);
  Passes(1);
  EXPECT_EQ(Int(1000), 1);
}

TEST_F(ScriptFiles, LabelLookup) {
  Game g = Minimal();
  const std::string longest(255, 'L'), tooLong(256, 'L');
  // "plumless" and "buckeroo" share their CRC-32.
  ASSERT_EQ(common::Crc32(std::string_view("plumless")), common::Crc32(std::string_view("buckeroo")));
  g.labels.push_back({"plumless", 11, 0});
  g.labels.push_back({"buckeroo", 22, 0});
  g.labels.push_back({longest, 33, 0});
  for (int i = 0; i < 300; ++i) g.labels.push_back({"label" + std::to_string(i), 100 + i, 0});
  ASSERT_TRUE(StartGame(g));
  auto positionOf = [&](std::string_view name) {
    const LabelEntry* l = LabelAt(engine(), FindLabel(engine(), name));
    return l != nullptr ? l->position : -1;
  };
  EXPECT_EQ(positionOf("plumless"), 11);
  EXPECT_EQ(positionOf("buckeroo"), 22);
  EXPECT_EQ(positionOf(longest), 33);
  EXPECT_EQ(FindLabel(engine(), tooLong), -1);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(positionOf("label" + std::to_string(i)), 100 + i);
  EXPECT_EQ(FindLabel(engine(), "label300"), -1);
  EXPECT_EQ(FindLabel(engine(), "Label1"), -1);  // exact case
}

TEST_F(ScriptFiles, StartUpFailures) {
  struct Case {
    const char* what;
    void (*damage)(Game&);
    int32_t code;
  } cases[] = {
      {"version", [](Game& g) { g.version = 287; }, kErrWrongVersion},
      {"start label", [](Game& g) { g.labels.clear(); }, kErrNoStartLabel},
      {"declared beyond V", [](Game& g) { g.Declare(1201, kTypeInteger); }, kErrBadDeclaration},
      {"start file missing", [](Game& g) { g.files.clear(); }, kErrFileMissing},
      {"label beyond the files", [](Game& g) { g.labels.push_back({"x", 0, 5}); }, kErrFileDamaged},
      {"too many elements", [](Game& g) { g.Declare(1000, kTypeFloat, {4000001}); }, kErrTooManyElements},
  };
  for (const Case& c : cases) {
    MakeEngine();
    std::filesystem::remove_all(root_ + "/nvbin");
    Game g = Minimal();
    c.damage(g);
    EXPECT_FALSE(StartGame(g)) << c.what;
    EXPECT_EQ(FirstCode(), c.code) << c.what;
  }

  // A list record whose number is not below the count.
  MakeEngine();
  Game g = Minimal();
  WriteGame(g);
  std::vector<uint8_t> list = dorov::EncodeFileList(g.fileNames);
  common::StoreU32(list.data() + 12, 1);
  Write("nvbin/nvt_list.nbn", list);
  EXPECT_FALSE(Start());
  EXPECT_EQ(FirstCode(), kErrBadFileNumber);

  // Without a label file the start fails and says nothing.
  MakeEngine();
  WriteGame(g);
  std::filesystem::remove(root_ + "/nvbin/nvl.nbn");
  EXPECT_FALSE(Start());
  EXPECT_TRUE(engine().errors.reports.empty());
}

// Every truncation of every compiled file is reported, never read past.
TEST_F(ScriptFiles, TruncatedFilesAreReported) {
  Game g = Minimal();
  g.Declare(1000, kTypeText, {2});
  g.declarations.back().text = Str("init");
  g.Declare(1001, kTypeFloat, {3, 2});
  g.File().Add(kAssign, Assign(VarOf(1000), 0, Str("abc")));
  const auto images = g.Images();
  for (const auto& [name, image] : images) {
    if (name == "nvbin/nve.nbn") continue;  // the error texts keep what they have
    const size_t step = image.size() > 400 ? 37 : 1;
    for (size_t cut = 0; cut < image.size(); cut += step) {
      MakeEngine();
      WriteGame(g);
      Write(name, std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(cut)));
      EXPECT_FALSE(Start()) << name << " cut at " << cut;
      ASSERT_FALSE(engine().errors.reports.empty()) << name << " cut at " << cut;
    }
  }
}

TEST_F(ScriptFiles, FileScopeDeclarationsAndPreResolvedLabels) {
  Game g;
  g.fileNames = {"main.vvs", "other.vvs"};
  Declaration d;
  d.scope = 2;
  d.file = 1;
  d.variable = 1000;
  d.type = kTypeInteger;
  d.integer = 10;
  g.declarations.push_back(d);
  g.Declare(1001, kTypeInteger);
  g.Declare(1002, kTypeText);
  g.declarations.back().text = Str("sub");

  CodeFile& main = g.File(0);
  CodeFile& other = g.File(1);
  g.labels.push_back({"SYSTEM_START", main.Here(), 0});
  main.Add(kCall, {{0, Str("sub")}});                       // constant: resolved at load
  main.Add(kAssign, Assign(VarOf(1000), 1, Num(5)));
  main.Add(kCall, {{0, VarOf(1002)}});                      // from a variable: resolved when run
  const int32_t jump = main.Add(kJump, {{0, Str("finish")}});
  g.labels.push_back({"finish", main.Here(), 0});
  main.Add(kEnd);
  g.labels.push_back({"sub", other.Here(), 1});
  other.Add(kAssign, Assign(VarOf(1001), 1, VarOf(1000)));
  other.Add(kReturn);

  ASSERT_TRUE(StartGame(g));
  // The jump's record now carries the label index; the code is descrambled.
  const ScriptFile& f0 = engine().script.compiled.files[0];
  ASSERT_TRUE(f0.loaded);
  const uint32_t length = common::LoadU32(f0.code + jump + kCommandHeader + 4);
  EXPECT_EQ(length, kResolvedJumpFlag + static_cast<uint32_t>(FindLabel(engine(), "finish")));
  EXPECT_FALSE(engine().script.compiled.files[1].attempted);  // loaded on first entry
  Passes(1);
  EXPECT_TRUE(engine().errors.reports.empty());
  // First call: 10 (the file-scope initial value); then 15: entering the
  // file again keeps the value.
  EXPECT_EQ(Int(1001), 25);
  EXPECT_EQ(Int(1000), 15);
  EXPECT_TRUE(engine().shell.flags.halted);
}

TEST_F(ScriptFiles, PreResolutionStepsOverMessageEndRecords) {
  Game g = Minimal();
  CodeFile& f = g.File();
  // A command 56 record: header and a 4-byte operand, no argument records.
  common::ByteWriter w(std::move(f.code));
  w.U8(kCmdMessageEnd);
  w.U8(0);
  w.I32(9);
  w.U32(0xFFFFFFFF);
  f.code = w.Take();
  const int32_t jump = f.Add(kJump, {{0, Str("SYSTEM_START")}});
  ASSERT_TRUE(StartGame(g));
  const ScriptFile& loaded = engine().script.compiled.files[0];
  EXPECT_EQ(common::LoadU32(loaded.code + jump + kCommandHeader + 4), kResolvedJumpFlag + 0);
}

TEST_F(ScriptFiles, MissingCodeFileStopsTheContext) {
  Game g = Minimal();
  g.fileNames = {"main.vvs", "gone.vvs"};
  g.labels.push_back({"elsewhere", 0, 1});
  CodeFile& f = g.File();
  g.labels[0].position = f.Add(kJump, {{0, Str("elsewhere")}});
  ASSERT_TRUE(StartGame(g));
  Passes(2);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrFileMissing});
  EXPECT_FALSE(SystemContext(engine())->hasCode);
}

}  // namespace
}  // namespace vv::script
