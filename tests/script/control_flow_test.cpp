#include <gtest/gtest.h>

#include "script/variables.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

using namespace testing;

constexpr uint16_t kLog = 1000, kCount = 1001, kX = 1002, kF = 1003, kT = 1004;

class ControlFlow : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    ResetGame();
  }
  void ResetGame() {
    game = Game();
    game.Declare(kLog, kTypeInteger, {64});
    game.Declare(kCount, kTypeInteger);
    game.Declare(kX, kTypeInteger);
    game.Declare(kF, kTypeFloat);
    game.Declare(kT, kTypeText);
    game.labels.push_back({"SYSTEM_START", 0, 0});
  }
  CodeFile& F() { return game.File(); }
  void Log(Expr value) {
    F().Add(kAssign, Assign(Expr().Elem(kLog).Var(kCount).Close(), 0, std::move(value)));
    F().Add(kAssign, Assign(VarOf(kCount), 1, Num(1)));
  }
  void Set(uint16_t v, int64_t value) { F().Add(kAssign, Assign(VarOf(v), 0, Num(value))); }
  // loop count { body } with the end position patched in.
  template <typename Body>
  void Loop(Expr count, Body body) {
    const int32_t begin = F().Add(kLoop, {{0, std::move(count)}, {1, Expr(), 1, 0, 0}});
    body();
    F().SetLength(begin, 1, F().Add(kLoopEnd));
  }
  Expr Equals(uint16_t v, int64_t value) { return VarOf(v).Long(value).Op('='); }
  void Label(const std::string& name) { game.labels.push_back({name, F().Here(), 0}); }
  std::vector<int64_t> Logged() {
    std::vector<int64_t> out;
    for (int64_t i = 0; i < Int(kCount); ++i) out.push_back(Int(kLog, i));
    return out;
  }
  // Ends the code, starts and runs one pass.
  bool RunAll(int passes = 1) {
    F().Add(kEnd);
    if (!StartGame(game)) return false;
    Passes(passes);
    return true;
  }
  Game game;
};

TEST_F(ControlFlow, CountedLoops) {
  Loop(Num(3), [&] { Log(VarOf(32)); });
  Log(Num(-1));
  Loop(Num(0), [&] { Log(Num(100)); });
  Loop(Num(-5), [&] { Log(VarOf(32)); });
  Log(VarOf(32));  // outside every loop
  ASSERT_TRUE(RunAll());
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1, 2, 3, -1, 1, 0}));
  EXPECT_EQ(SystemContext(engine())->loopDepth, 0);
}

TEST_F(ControlFlow, LoopBreakAndNext) {
  Loop(Num(3), [&] {
    Loop(Num(3), [&] {
      Log(VarOf(32));
      F().Add(kLoopBreak, {{0, Num(2)}});
    });
    Log(Num(100));
  });
  Loop(Num(3), [&] {
    Log(VarOf(32));
    F().Add(kLoopNext);
    Log(Num(200));
  });
  ASSERT_TRUE(RunAll());
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1, 1, 2, 3}));
  EXPECT_EQ(SystemContext(engine())->loopDepth, 0);
}

TEST_F(ControlFlow, ConditionalChains) {
  for (int64_t x : {1, 2, 3}) {
    Set(kX, x);
    const int32_t begin = F().Add(kBlock, {{0, Equals(kX, 1)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
    Log(Num(10));
    F().Add(kBlockExit);
    const int32_t elseIf = F().Add(kElse, {{0, Equals(kX, 2)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
    Log(Num(20));
    F().Add(kBlockExit);
    const int32_t plainElse = F().Add(kElse);
    Log(Num(30));
    const int32_t end = F().Add(kBlockEnd);
    F().SetLength(begin, 1, elseIf);
    F().SetLength(begin, 2, end);
    F().SetLength(elseIf, 1, plainElse);
    F().SetLength(elseIf, 2, end);
  }
  ASSERT_TRUE(RunAll());
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(Logged(), (std::vector<int64_t>{10, 20, 30}));
  EXPECT_EQ(SystemContext(engine())->blockDepth, 0);
}

TEST_F(ControlFlow, ConditionLoopsRepeatAndBreak) {
  // while x < 3 { log x; x += 1 }
  const int32_t loop = F().Add(kBlock, {{0, VarOf(kX).Byte(3).Op('<')}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
  Log(VarOf(kX));
  F().Add(kAssign, Assign(VarOf(kX), 1, Num(1)));
  F().Add(kBlockRepeat);
  F().SetLength(loop, 2, F().Add(kBlockEnd));
  // while 1 { x += 1; if x == 6 { break 2 } }
  const int32_t outer = F().Add(kBlock, {{0, Num(1)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
  F().Add(kAssign, Assign(VarOf(kX), 1, Num(1)));
  const int32_t inner = F().Add(kBlock, {{0, Equals(kX, 6)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
  F().Add(kBlockBreak, {{0, Num(2)}});
  F().SetLength(inner, 2, F().Add(kBlockEnd));
  F().Add(kBlockRepeat, {{0, Num(1)}});
  F().SetLength(outer, 2, F().Add(kBlockEnd));
  Log(VarOf(kX));
  ASSERT_TRUE(RunAll());
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(Logged(), (std::vector<int64_t>{0, 1, 2, 6}));
  EXPECT_EQ(SystemContext(engine())->blockDepth, 0);
}

TEST_F(ControlFlow, CallParametersAndReturnValues) {
  F().Add(kCall, {{0, Str("sub")}, {1, Num(7)}, {10, Real(2.5), 2}, {19, Str("x")}});
  F().Add(kAssign, Assign(VarOf(kX), 0, Expr().Elem(38).Byte(1).Close()));
  F().Add(kAssign, Assign(VarOf(kF), 0, Expr().Elem(39).Byte(2).Close(), 2));
  F().Add(kAssign, Assign(VarOf(kT), 1, Expr().Elem(40).Byte(3).Close()));
  F().Add(kEnd);
  Label("sub");
  Log(Expr().Elem(34).Byte(1).Close());
  Log(Expr().Elem(34).Byte(2).Close());  // a float parameter leaves the integer 0
  F().Add(kAssign, Assign(VarOf(kF), 0, Expr().Elem(35).Byte(2).Close(), 2));
  F().Add(kAssign, Assign(VarOf(kT), 0, Expr().Elem(36).Byte(3).Close()));
  F().Add(kReturn, {{0, Num(42)}, {9, Real(1.5), 2}, {18, Str("r")}});
  ASSERT_TRUE(RunAll());
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(Logged(), (std::vector<int64_t>{7, 0}));
  EXPECT_EQ(Int(kX), 42);
  EXPECT_DOUBLE_EQ(Float(kF), 1.5);
  EXPECT_EQ(Text(kT), "xr");
  EXPECT_EQ(SystemContext(engine())->callDepth, 0);
}

TEST_F(ControlFlow, CallDepthLimit) {
  for (int calls : {15, 16}) {
    MakeEngine();
    ResetGame();
    F().Add(kCall, {{0, Str("s1")}});
    Log(Num(-1));
    F().Add(kEnd);
    for (int i = 1; i <= calls; ++i) {
      Label("s" + std::to_string(i));
      if (i < calls) F().Add(kCall, {{0, Str("s" + std::to_string(i + 1))}});
      else Log(Num(i));
      F().Add(kReturn);
    }
    ASSERT_TRUE(StartGame(game));
    Passes(1);
    if (calls == 15) {
      EXPECT_TRUE(engine().errors.reports.empty());
      EXPECT_EQ(Logged(), (std::vector<int64_t>{15, -1}));
    } else {
      EXPECT_EQ(Codes(), std::vector<int32_t>{kErrDepthLimit});
      EXPECT_EQ(SystemContext(engine())->callDepth, 15);
    }
  }
}

TEST_F(ControlFlow, JumpDepthsCountFromTheCall) {
  F().Add(kBlock, {{0, Num(1)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
  F().Add(kCall, {{0, Str("s1")}});
  F().Add(kEnd);
  Label("s1");
  F().Add(kBlock, {{0, Num(1)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
  F().Add(kLoop, {{0, Num(-1)}, {1, Expr(), 1, 0, 0}});
  F().Add(kCall, {{0, Str("s2")}});
  Label("s2");
  F().Add(kJump, {{0, Str("inner")}});
  game.labels.push_back({"inner", F().Here(), 0, 1, 2});
  F().Add(kWait, {{0, Num(1)}});
  ASSERT_TRUE(RunAll());
  const ScriptContext* c = SystemContext(engine());
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(c->callDepth, 2);
  EXPECT_EQ(c->blockDepth, 1 + 2);  // the label's depth plus the second call's saved depth
  EXPECT_EQ(c->loopDepth, 2 + 1);
}

TEST_F(ControlFlow, ReturnFromTheTopLevel) {
  F().Add(kWait, {{0, Num(1)}});
  F().Add(kReturn);
  Label("worker");
  Log(Num(5));
  F().Add(kReturn);
  ASSERT_TRUE(StartGame(game));
  NameNode& root = *engine().script.trees[TreeId::kContexts].root;
  NameNode* node = NewNodeFromPath(engine(), "worker", kLeafNode, 1, root, nullptr);
  ScriptContext* worker = NewContext(*node);
  ASSERT_TRUE(PlaceInFile(engine(), *worker, 0));
  worker->position = LabelAt(engine(), FindLabel(engine(), "worker"))->position;
  ASSERT_EQ(root.childCount, 3);
  Passes(1);
  EXPECT_EQ(root.childCount, 2);  // the worker left the tree
  EXPECT_TRUE(engine().script.endedContexts.empty());
  EXPECT_EQ(Logged(), std::vector<int64_t>{5});
  EXPECT_TRUE(engine().errors.reports.empty());
  Passes(1);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrNoEnclosing});  // the system context may not
}

TEST_F(ControlFlow, MisuseIsReported) {
  struct Case {
    const char* what;
    void (*build)(CodeFile&);
    int32_t code;
  } cases[] = {
      {"end without block", [](CodeFile& f) { f.Add(kBlockEnd); }, kErrNoEnclosing},
      {"else without block", [](CodeFile& f) { f.Add(kElse); }, kErrNoEnclosing},
      {"exit without block", [](CodeFile& f) { f.Add(kBlockExit); }, kErrNoEnclosing},
      {"break beyond blocks", [](CodeFile& f) { f.Add(kBlockBreak, {{0, Num(1)}}); }, kErrNoEnclosing},
      {"loop end without loop", [](CodeFile& f) { f.Add(kLoopEnd); }, kErrLoopEndWithoutLoop},
      {"loop break without loop", [](CodeFile& f) { f.Add(kLoopBreak); }, kErrNoEnclosing},
      {"missing label", [](CodeFile& f) { f.Add(kJump, {{0, Str("nowhere")}}); }, kErrLabelMissing},
      {"missing call label", [](CodeFile& f) { f.Add(kCall, {{0, Str("nowhere")}}); }, kErrLabelMissing},
      {"16 blocks",
       [](CodeFile& f) {
         for (int i = 0; i < 16; ++i) f.Add(kBlock, {{0, Num(1)}, {1, Expr(), 1, 0, 0}, {2, Expr(), 1, 0, 0}});
       },
       kErrDepthLimit},
      {"16 loops",
       [](CodeFile& f) {
         for (int i = 0; i < 16; ++i) f.Add(kLoop, {{0, Num(1)}, {1, Expr(), 1, 0, 0}});
       },
       kErrDepthLimit},
      {"block without its records", [](CodeFile& f) { f.Add(kBlock, {{0, Num(1)}}); }, kErrDamagedCode},
  };
  for (const Case& c : cases) {
    MakeEngine();
    game.File().code.clear();
    c.build(game.File());
    game.File().Add(kEnd);
    ASSERT_TRUE(StartGame(game)) << c.what;
    Passes(1);
    EXPECT_EQ(Codes(), std::vector<int32_t>{c.code}) << c.what;
  }
}

TEST_F(ControlFlow, LabelExists) {
  Label("here");
  F().Add(kLabelExists, {{0, Str("here")}, {1, VarOf(kX)}, {2, Num(1)}});
  F().Add(kLabelExists, {{0, Str("there")}, {1, VarOf(kF)}, {2, Num(1)}});
  F().Add(kAssign, Assign(VarOf(kCount), 0, Num(9)));
  F().Add(kLabelExists, {{0, Str("here")}, {1, VarOf(kCount)}});  // no request: nothing
  F().Add(kLabelExists, {{0, Str("here")}, {1, VarOf(kT)}, {2, Num(1)}});
  Set(kCount, 0);
  game.Declare(kF, kTypeFloat, {}, 7);
  ASSERT_TRUE(RunAll());
  EXPECT_EQ(Int(kX), 1);
  EXPECT_DOUBLE_EQ(Float(kF), 0.0);
  EXPECT_EQ(Int(kCount), 9);
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrWrongVariableType});
}

}  // namespace
}  // namespace vv::script
