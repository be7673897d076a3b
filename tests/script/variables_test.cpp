#include <gtest/gtest.h>

#include <limits>

#include "script/system_variables.h"
#include "script/variables.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

using namespace testing;

constexpr uint16_t kI = 1000, kF = 1001, kT = 1002, kArr = 1003;

class Variables : public ScriptTest {
 protected:
  // A game whose start label runs `build`'s commands and then ends.
  template <typename Build>
  bool Run(Build build, int passes = 1) {
    CodeFile& f = game.File();
    game.labels.push_back({"SYSTEM_START", f.Here(), 0});
    build(f);
    f.Add(kEnd);
    if (!StartGame(game)) return false;
    Passes(passes);
    return true;
  }
  Game game;
};

TEST_F(Variables, DeclarationLimits) {
  engine().script.variables.resize(1100);
  struct Case {
    std::vector<int32_t> sizes;
    int32_t code;
  } cases[] = {
      {{2000, 2000}, 0},
      {{2001, 2000}, kErrTooManyElements},
      {{0}, kErrNoElements},
      {{-1, -1}, kErrNoElements},
      {{65536, 65536, 65536}, kErrTooManyElements},
      {{}, 0},
  };
  for (const Case& c : cases) {
    engine().errors.reports.clear();
    VariableSlot& s = engine().script.variables[kArr];
    s.dimensionCount = static_cast<uint8_t>(c.sizes.size());
    std::copy(c.sizes.begin(), c.sizes.end(), s.sizes.begin());
    EXPECT_EQ(DeclareInteger(engine(), kArr, 5), c.code == 0 ? 0 : -1);
    EXPECT_EQ(FirstCode(), c.code);
    if (c.code == 0) {
      EXPECT_EQ(ReadInteger(engine(), kArr, s.elementCount - 1), 5);
    }
  }
}

TEST_F(Variables, TextStoresAndResults) {
  engine().script.variables.resize(1100);
  VariableSlot& t = engine().script.variables[kT];
  t.dimensionCount = 1;
  t.sizes[0] = 3;
  ASSERT_EQ(DeclareText(engine(), kT, "a long initial text"), 0);
  ASSERT_EQ(DeclareText(engine(), kT, "s"), 0);  // re-declared shorter
  EXPECT_EQ(StoreText(engine(), kT, 2, "grown beyond the first text"), 0);
  EXPECT_EQ(Text(kT, 2), "grown beyond the first text");
  EXPECT_EQ(Text(kT, 0), "s");
  EXPECT_EQ(StoreText(engine(), kT, 3, "x"), -1);  // outside: no report
  EXPECT_TRUE(engine().errors.reports.empty());

  ASSERT_EQ(DeclareFloat(engine(), kF, 0.0), 0);
  ASSERT_EQ(DeclareInteger(engine(), kI, 0), 0);
  EXPECT_EQ(StoreIntegerResult(engine(), kF, 0, 3), 0);
  EXPECT_EQ(StoreFloatResult(engine(), kI, 0, -2.9), 0);
  EXPECT_DOUBLE_EQ(Float(kF), 3.0);
  EXPECT_EQ(Int(kI), -2);
  EXPECT_EQ(StoreIntegerResult(engine(), kI, 1, 3), -1);
  EXPECT_TRUE(engine().errors.reports.empty());
  EXPECT_EQ(StoreIntegerResult(engine(), kT, 0, 3), -1);
  EXPECT_EQ(StoreText(engine(), kI, 0, "x"), -1);
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kErrWrongVariableType, kErrWrongVariableType}));
}

TEST_F(Variables, AssignmentOperators) {
  struct Case {
    uint8_t type;
    uint8_t op;
    double start, value, want;
  } cases[] = {
      {kTypeInteger, 0, 5, 3, 3},  {kTypeInteger, 1, 5, 3, 8},   {kTypeInteger, 2, 5, 3, 2},
      {kTypeInteger, 3, 5, 3, 15}, {kTypeInteger, 4, -7, 2, -3}, {kTypeInteger, 4, 5, 0, 5},
      {kTypeInteger, 5, -7, 2, -1}, {kTypeInteger, 5, 5, 0, 5},  {kTypeInteger, 6, 12, 10, 8},
      {kTypeInteger, 7, 12, 10, 14}, {kTypeInteger, 8, 12, 10, 6},
      {kTypeFloat, 0, 1.5, 2.25, 2.25}, {kTypeFloat, 1, 1.5, 2.25, 3.75}, {kTypeFloat, 2, 1.5, 2.25, -0.75},
      {kTypeFloat, 3, 1.5, 2.0, 3.0},  {kTypeFloat, 4, 1.5, 0.0, 1.5},   {kTypeFloat, 4, 3.0, 2.0, 1.5},
      {kTypeFloat, 5, 7.9, 2.5, 1.0},  {kTypeFloat, 5, 7.9, 0.0, 7.9},   {kTypeFloat, 6, 12.7, 10.2, 8.0},
      {kTypeFloat, 7, 12.7, 10.2, 14.0}, {kTypeFloat, 8, 12.7, 10.2, 6.0},
  };
  int i = 0;
  for (const Case& c : cases) {
    game.Declare(static_cast<uint16_t>(1000 + i), c.type);
    ++i;
  }
  ASSERT_TRUE(Run([&](CodeFile& f) {
    int n = 0;
    for (const Case& c : cases) {
      const uint16_t v = static_cast<uint16_t>(1000 + n++);
      const bool isFloat = c.type == kTypeFloat;
      f.Add(kAssign, Assign(VarOf(v), 0, isFloat ? Real(c.start) : Num(static_cast<int64_t>(c.start)), isFloat ? 2 : 1));
      f.Add(kAssign, Assign(VarOf(v), c.op, isFloat ? Real(c.value) : Num(static_cast<int64_t>(c.value)), isFloat ? 2 : 1));
    }
  }));
  EXPECT_TRUE(engine().errors.reports.empty());
  i = 0;
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(Float(1000 + i), c.want) << "case " << i;
    ++i;
  }
}

TEST_F(Variables, TextAssignmentAndElements) {
  game.Declare(kT, kTypeText);
  game.Declare(kArr, kTypeInteger, {4});
  game.Declare(kI, kTypeInteger, {}, std::numeric_limits<int64_t>::max());
  ASSERT_TRUE(Run([&](CodeFile& f) {
    f.Add(kAssign, Assign(VarOf(kT), 0, Str("ab")));
    f.Add(kAssign, Assign(VarOf(kT), 1, Str("cd")));
    f.Add(kAssign, Assign(VarOf(kT), 1, Num(5)));  // a number appends nothing
    f.Add(kAssign, Assign(Expr().Elem(kArr).Byte(2).Close(), 0, Num(9)));
    f.Add(kAssign, Assign(VarOf(kI), 1, Num(1)));
  }));
  EXPECT_EQ(Text(kT), "abcd");
  EXPECT_EQ(Int(kArr, 2), 9);
  EXPECT_EQ(Int(kArr, 0), 0);
  EXPECT_EQ(Int(kI), std::numeric_limits<int64_t>::min());
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(Variables, AssignmentErrors) {
  struct Case {
    std::vector<Arg> args;
    int32_t code;
  } cases[] = {
      {Assign(VarOf(kT), 2, Str("x")), kErrWrongVariableType},
      {Assign(VarOf(10), 0, Real(1.0)), 0},                              // float system variable: nothing
      {Assign(VarOf(52), 0, Num(1)), kErrReadOnlySystemVariable},
      {Assign(VarOf(kArr), 0, Num(1)), kErrUndeclaredVariable},
  };
  for (Case& c : cases) {
    MakeEngine();
    game = Game();
    game.Declare(kT, kTypeText);
    ASSERT_TRUE(Run([&](CodeFile& f) { f.Add(kAssign, c.args); }));
    EXPECT_EQ(FirstCode(), c.code);
  }
}

TEST_F(Variables, DeclarationCommands) {
  ASSERT_TRUE(Run([&](CodeFile& f) {
    f.Add(kDeclareInt, {{0, Expr().Elem(kArr).Byte(2).Op(',').Byte(3).Close(), 1}, {1, Num(7), 1}});
    f.Add(kDeclareFloat, {{0, Expr().Var(kF), 1}, {1, Real(2.5), 2}});
    f.Add(kDeclareText, {{0, Expr().Elem(kT).Byte(2).Close(), 1}, {1, Str("hi"), 3}});
    f.Add(kAssign, Assign(Expr().Elem(kArr).Byte(1).Op(',').Byte(2).Close(), 1, Num(1)));
  }));
  EXPECT_TRUE(engine().errors.reports.empty());
  const VariableSlot& a = engine().script.variables[kArr];
  EXPECT_EQ(a.dimensionCount, 2);
  EXPECT_EQ(a.elementCount, 6);
  EXPECT_EQ(Int(kArr, 5), 8);
  EXPECT_EQ(Int(kArr, 4), 7);
  EXPECT_DOUBLE_EQ(Float(kF), 2.5);
  EXPECT_EQ(Text(kT, 1), "hi");
}

TEST_F(Variables, SystemValues) {
  game.highestVariable = 1100;
  engine().shell.commandLine.args[1] = "first";
  engine().shell.commandLine.count = 1;
  engine().shell.system.desktopWidth = 1920;
  ASSERT_TRUE(Run([&](CodeFile&) {}));
  EXPECT_EQ(Text(63, 65), "A");
  EXPECT_EQ(Text(63, 0), "");
  EXPECT_EQ(Int(52), 288);
  EXPECT_EQ(Int(33), 999);
  EXPECT_EQ(Int(54), 1920);
  EXPECT_EQ(Int(60), 77);  // the build value of the variable table
  EXPECT_EQ(Text(12, 1), "first");
  EXPECT_EQ(Int(13), 1);
  EXPECT_DOUBLE_EQ(Float(10), 3.141592653589793);
  EXPECT_EQ(Int(62), 2);  // "SYSTEM" and the empty-named folder
  EXPECT_EQ(Text(64), "W0");
  EXPECT_EQ(Text(67), "M0");
  // The key map of the command table (255 - i in these tests) behind the
  // key-code variables, and the joystick codes.
  EXPECT_EQ(Int(349), 255);
  EXPECT_EQ(Int(350), 254);
  EXPECT_EQ(Int(477, 1), 256 + 36);
  EXPECT_EQ(Int(481, 33), 260 + 36 + 1);
  engine().shell.sampledKeys[KeyMap(engine(), 0)] = platform::kKeyDown;
  EXPECT_EQ(Int(81), 1);
  EXPECT_EQ(Int(82), 0);
  EXPECT_EQ(WriteSystemText(engine(), 64, 0, std::string(300, 'x')), 0);
  EXPECT_EQ(Text(64).size(), 255u);
}

TEST(KeyState, WriteRule) {
  struct Case {
    bool held;
    int64_t value, stored;
  } cases[] = {{true, 5, 5}, {true, 0, 0}, {true, -3, 0}, {false, -3, -3}, {false, 0, 0}, {false, 5, 0}};
  for (const Case& c : cases) EXPECT_EQ(KeyHoldWriteValue(c.held, c.value), c.stored);
}

}  // namespace
}  // namespace vv::script
