#include <gtest/gtest.h>

#include "common/encoding.h"
#include "script/script_commands.h"
#include "script/variables.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

using namespace testing;

constexpr uint16_t kLog = 1000, kCount = 1001;

class Interpreter : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    game.Declare(kLog, kTypeInteger, {64});
    game.Declare(kCount, kTypeInteger);
  }
  // log[count] = value; count += 1
  void Log(CodeFile& f, Expr value) {
    f.Add(kAssign, Assign(Expr().Elem(kLog).Var(kCount).Close(), 0, std::move(value)));
    f.Add(kAssign, Assign(VarOf(kCount), 1, Num(1)));
  }
  std::vector<int64_t> Logged() {
    std::vector<int64_t> out;
    for (int64_t i = 0; i < Int(kCount); ++i) out.push_back(Int(kLog, i));
    return out;
  }
  // A leaf context under the root at `label`, with `key`.
  ScriptContext* AddContext(const std::string& name, int64_t key, const std::string& label) {
    NameNode& root = *engine().script.trees[TreeId::kContexts].root;
    NameNode* node = NewNodeFromPath(engine(), name, kLeafNode, key, root, nullptr);
    ScriptContext* c = NewContext(*node);
    const LabelEntry* l = LabelAt(engine(), FindLabel(engine(), label));
    EXPECT_NE(l, nullptr);
    EXPECT_TRUE(PlaceInFile(engine(), *c, l->file));
    c->position = l->position;
    return c;
  }
  Game game;
};

TEST_F(Interpreter, ContextsRunInKeyOrderOncePerPass) {
  CodeFile& f = game.File();
  game.labels.push_back({"SYSTEM_START", f.Here(), 0});
  Log(f, Num(0));
  f.Add(kWait, {{0, Num(1)}});
  f.Add(kEnd);
  for (int id : {1, 2, 3, 4}) {
    game.labels.push_back({"c" + std::to_string(id), f.Here(), 0});
    Log(f, Num(id));
    f.Add(kWait, {{0, Num(1)}});
  }
  ASSERT_TRUE(StartGame(game));
  AddContext("k50", 50, "c1");
  AddContext("k100old", 100, "c2");
  AddContext("k100new", 100, "c3");
  ScriptContext* off = AddContext("off", 200, "c4");
  off->enableA = 2;
  off->enableB = 1;
  Passes(1);
  // Higher keys first; among equal keys the older first; "SYSTEM" (key
  // 100, oldest) before both new ones; the disabled one never.
  EXPECT_EQ(Logged(), (std::vector<int64_t>{0, 2, 3, 1}));
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(Interpreter, Waits) {
  CodeFile& f = game.File();
  game.labels.push_back({"SYSTEM_START", f.Here(), 0});
  Log(f, Num(1));
  f.Add(kWait, {{0, Num(1)}});
  Log(f, Num(2));
  f.Add(kWait, {{0, Num(3)}, {1, Num(5000)}});  // frames win over milliseconds
  Log(f, Num(3));
  f.Add(kWait, {{1, Num(50)}});
  Log(f, Num(4));
  f.Add(kEnd);
  ASSERT_TRUE(StartGame(game));
  Passes(1);
  EXPECT_EQ(Int(kCount), 1);
  Passes(1);
  EXPECT_EQ(Int(kCount), 2);
  Passes(2);
  EXPECT_EQ(Int(kCount), 2);
  Passes(1);
  EXPECT_EQ(Int(kCount), 3);
  Passes(3);
  EXPECT_EQ(Int(kCount), 3);  // the clock has not moved
  headless().VirtualTime().SleepMs(50);
  Passes(1);
  EXPECT_EQ(Int(kCount), 4);
  EXPECT_TRUE(engine().shell.flags.halted);
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(Interpreter, UnboundAndDamagedCommands) {
  for (uint8_t index : {uint8_t{20}, uint8_t{41}, uint8_t{90}, uint8_t{91}, uint8_t{200}}) {
    MakeEngine();
    Game g = game;
    g.labels.push_back({"SYSTEM_START", 0, 0});
    g.File().Add(index);
    ASSERT_TRUE(StartGame(g));
    Passes(1);
    EXPECT_EQ(Codes(), std::vector<int32_t>{kErrUnboundCommand}) << int(index);
    EXPECT_TRUE(engine().shell.flags.halted);
  }
  // Running off the end of the code, and a record that names an
  // expression outside the file.
  MakeEngine();
  Game g = game;
  g.labels.push_back({"SYSTEM_START", 0, 0});
  g.File().Add(kCheck, {{0, Num(1)}});
  ASSERT_TRUE(StartGame(g));
  Passes(1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrDamagedCode});
  MakeEngine();
  g.File().code.clear();
  g.File().Add(kCheck, {{0, Num(1), 1, 0, 1000}});
  g.File().Add(kEnd);
  ASSERT_TRUE(StartGame(g));
  Passes(1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrDamagedCode});
}

TEST_F(Interpreter, RangeChecks) {
  CodeFile& f = game.File();
  game.labels.push_back({"SYSTEM_START", 0, 0});
  f.Add(kEnd);
  ASSERT_TRUE(StartGame(game));
  struct Case {
    uint8_t kind;
    int64_t value;
    int32_t code;
  } cases[] = {
      {0, -5, 0},       {1, 0, 0},           {1, -1, kErrBelowMinimum},  {2, 0, kErrBelowMinimum},
      {2, 1, 0},        {3, 1, 0},           {3, 2, kErrOutOfRange},     {6, 0, kErrOutOfRange},
      {11, 256, 0},     {11, -1, kErrOutOfRange}, {16, 127, kErrOutOfRange}, {21, 8192, 0},
      {21, 0x100000001, 0},  // only the low 32 bits count
      {22, -1, 0},      {22, -2, kErrNotColourOrNone}, {22, 0xFFFFFF, 0}, {23, -1, kErrNotColour},
      {23, 0x1000000, kErrNotColour}, {24, 639, 0}, {24, 640, kErrOutOfRange}, {25, 480, kErrOutOfRange},
      {26, 3, 0},       {26, 4, kErrAboveMaximum}, {26, -1, kErrNegative}, {27, -99, 0},
  };
  for (const Case& c : cases) {
    engine().errors.reports.clear();
    EXPECT_EQ(CheckArgument(engine(), c.kind, c.value, 10, 0), c.code == 0 ? 0 : -1) << int(c.kind) << " " << c.value;
    EXPECT_EQ(FirstCode(), c.code) << int(c.kind) << " " << c.value;
  }
}

TEST_F(Interpreter, EvaluateOnlyStillChecks) {
  CodeFile& f = game.File();
  game.labels.push_back({"SYSTEM_START", 0, 0});
  f.Add(kCheck, {{3, Num(1)}, {11, Num(256)}});
  Log(f, Num(1));
  f.Add(kCheck, {{12, Num(0)}});  // range 1..256
  Log(f, Num(2));
  f.Add(kEnd);
  ASSERT_TRUE(StartGame(game));
  Passes(2);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrOutOfRange});
  EXPECT_EQ(Logged(), std::vector<int64_t>{1});
}

TEST_F(Interpreter, SwitchesFlagsFrameRateAndEnd) {
  CodeFile& f = game.File();
  game.labels.push_back({"SYSTEM_START", 0, 0});
  f.Add(kOptions, {{2, Num(0)}, {92, Num(7)}});
  f.Add(kEngineSwitch, {{0, Num(0)}, {1, Num(0)}});
  f.Add(kFrameRate, {{0, Num(30)}, {1, Num(0)}});
  f.Add(kEnd, {{0, Num(1)}});
  ASSERT_TRUE(StartGame(game));
  Passes(1);
  const InterpreterState& in = engine().script.interp;
  EXPECT_EQ(in.optionFlags[0], 0);
  EXPECT_EQ(in.optionFlags[90], 7);
  EXPECT_EQ(in.optionFlags[1], 1);
  EXPECT_EQ(in.blockScreenSaver, 0);
  EXPECT_EQ(in.runWhileInactive, 0);
  EXPECT_EQ(engine().shell.clock.framesPerSecond, 30);
  EXPECT_EQ(engine().shell.clock.frameSkipEnabled, 0u);
  EXPECT_TRUE(engine().shell.flags.restartOnExit);
  EXPECT_TRUE(engine().shell.flags.halted);
  EXPECT_TRUE(engine().errors.reports.empty());

  // A rate below 1 is refused (pacing divides by it), whatever the table says.
  MakeEngine();
  Game g = game;
  g.File().code.clear();
  g.File().Add(kFrameRate, {{0, Num(0)}});
  ASSERT_TRUE(StartGame(g));
  Passes(1);
  EXPECT_EQ(FirstCode(), kErrBelowMinimum);
  EXPECT_EQ(engine().shell.clock.framesPerSecond, 60);
}

TEST_F(Interpreter, InactiveWindowPausesAtTheCommand) {
  CodeFile& f = game.File();
  game.labels.push_back({"SYSTEM_START", 0, 0});
  Log(f, Num(1));
  f.Add(kWait, {{0, Num(1)}});
  Log(f, Num(2));
  f.Add(kEnd);
  ASSERT_TRUE(StartGame(game));
  InterpreterState& in = engine().script.interp;
  in.runWhileInactive = 0;
  Passes(1);
  in.mainWindowActive = false;
  int pumps = 0;
  in.pumpEvents = [&] {
    // The window comes back after three looks at it.
    if (++pumps == 3) in.mainWindowActive = true;
  };
  Passes(1);
  EXPECT_EQ(pumps, 3);
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1, 2}));

  // Without a pump nothing can activate the window: the context waits at
  // its command and runs it once the window is back.
  MakeEngine();
  ASSERT_TRUE(StartGame(game));
  engine().script.interp.runWhileInactive = 0;
  engine().script.interp.mainWindowActive = false;
  Passes(3);
  EXPECT_EQ(Int(kCount), 0);
  engine().script.interp.mainWindowActive = true;
  Passes(1);
  EXPECT_EQ(Logged(), std::vector<int64_t>{1});
}

TEST_F(Interpreter, DebugRunAsksWhenTheMouseVisitsAllCorners) {
  CodeFile& f = game.File();
  // 1000 or 1001 commands a pass, so every pass takes one mouse sample.
  game.labels.push_back({"SYSTEM_START", f.Here(), 0});
  for (int i = 0; i < 999; ++i) f.Add(kNop);
  f.Add(kWait, {{0, Num(1)}});
  f.Add(kJump, {{0, Str("SYSTEM_START")}});
  ASSERT_TRUE(StartGame(game));
  engine().config.debugMode = 1;
  platform::WindowDesc desc;
  desc.client = {640, 480};
  ASSERT_TRUE(engine().platform.display->CreateWindow(0, desc));
  engine().windows[0].created = true;
  const platform::Point origin = engine().platform.display->Position(0);
  const int w = engine().shell.system.desktopWidth = 1920, h = engine().shell.system.desktopHeight = 1080;
  const platform::Point corners[] = {{0, 0}, {0, h - 1}, {w - 1, 0}, {w - 5, h - 5}};
  for (const platform::Point& p : corners) {
    EXPECT_FALSE(engine().shell.flags.halted);
    engine().platform.input->WarpCursor(0, {p.x - origin.x, p.y - origin.y});
    Passes(1);
  }
  const auto& dialogs = headless().DialogRecorder().Records();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].caption, "[デバッグ機能]");
  EXPECT_TRUE(engine().shell.flags.halted);  // the first button is Yes
}

}  // namespace
}  // namespace vv::script
