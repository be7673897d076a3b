#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "script/evaluator.h"
#include "script/variables.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

using testing::Expr;
using testing::Num;
using testing::Real;
using testing::Str;

class Evaluator : public testing::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    engine().script.variables.resize(1200);
  }
  void DeclareInt(int32_t v, std::vector<int32_t> sizes, int64_t initial) {
    VariableSlot& s = engine().script.variables[v];
    s.dimensionCount = static_cast<uint8_t>(sizes.size());
    std::copy(sizes.begin(), sizes.end(), s.sizes.begin());
    ASSERT_EQ(DeclareInteger(engine(), v, initial), 0);
  }
  int64_t I(const Expr& e) { return EvalInteger(engine(), e.bytes); }
  double F(const Expr& e) { return EvalFloat(engine(), e.bytes); }
  std::string T(const Expr& e, bool floatArith = false) {
    char out[kEvalTextBytes] = "untouched";
    const int32_t n = floatArith ? EvalTextFloat(engine(), e.bytes, out) : EvalText(engine(), e.bytes, out);
    return n == 0 && std::string(out) == "untouched" ? "<none>" : std::string(out, n);
  }
};

TEST_F(Evaluator, IntegerArithmetic) {
  struct Case {
    Expr e;
    int64_t want;
  } cases[] = {
      {Expr().Byte(-5), -5},
      {Expr().Word(-300), -300},
      {Expr().Int(-70000), -70000},
      {Num(7).Long(3).Op('+'), 10},
      {Num(7).Long(0).Op('/'), 0},
      {Num(-7).Long(2).Op('/'), -3},
      {Num(-7).Long(2).Op('%'), -1},
      {Num(7).Long(0).Op('%'), 0},
      {Num(std::numeric_limits<int64_t>::min()).Long(-1).Op('/'), std::numeric_limits<int64_t>::min()},
      {Num(std::numeric_limits<int64_t>::max()).Long(1).Op('+'), std::numeric_limits<int64_t>::min()},
      {Num(std::numeric_limits<int64_t>::min()).Op('R'), std::numeric_limits<int64_t>::min()},
      {Num(0x0F).Long(0x3C).Op('A'), 0x0C},
      {Num(0x0F).Long(0x3C).Op('O'), 0x3F},
      {Num(0x0F).Long(0x3C).Op('^'), 0x33},
      {Num(2).Long(0).Op('&'), 0},
      {Num(2).Long(0).Op('|'), 1},
      {Num(-1).Long(1).Op('<'), 1},
      {Num(3).Long(3).Op('S'), 1},
      {Num(3).Long(4).Op('Z'), 0},
      {Num(3).Long(4).Op('>'), 0},
      {Num(3).Long(3).Op('='), 1},
      {Num(3).Long(3).Op('!'), 0},
      {Expr().Real(-2.7), -2},       // F truncates in integer arithmetic
      {Str("  -42xyz").Op('i'), -42},
      {Str("abc").Text("abc").Op('='), 1},
      {Str("abc").Text("abd").Op('='), 0},
      {Str("abc").Text("abd").Op('!'), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(I(c.e), c.want) << ::testing::PrintToString(c.e.bytes);
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(Evaluator, FloatArithmetic) {
  EXPECT_DOUBLE_EQ(F(Real(7.0).Real(0.0).Op('/')), 0.0);
  EXPECT_DOUBLE_EQ(F(Real(1.0).Real(4.0).Op('/')), 0.25);
  EXPECT_DOUBLE_EQ(F(Real(7.9).Real(2.5).Op('%')), 1.0);
  EXPECT_DOUBLE_EQ(F(Expr().Byte(3)), 3.0);  // numbers become doubles
  EXPECT_DOUBLE_EQ(F(Real(2.5).Real(2.5).Op('Z')), 1.0);
  EXPECT_DOUBLE_EQ(F(Real(2.5).Op('R')), -2.5);
  EXPECT_EQ(EvalFloatAsInteger(engine(), Real(-2.7).bytes), -2);
  EXPECT_DOUBLE_EQ(EvalIntegerAsFloat(engine(), Num(5).Long(2).Op('/').bytes), 2.0);
  // "=" on texts sets both parts, so a float run sees the result too.
  EXPECT_DOUBLE_EQ(F(Str("a").Text("a").Op('=')), 1.0);
  EXPECT_DOUBLE_EQ(F(Str("12").Op('i')), 12.0);
}

TEST_F(Evaluator, TextsAndLiterals) {
  EXPECT_EQ(T(Str("ab").Text("cd").Op('+')), "abcd");
  EXPECT_EQ(T(Str("a\\nb\\tc\\\\d\\qe")), "a\nb\tc\\dqe");
  EXPECT_EQ(T(Str("stop\\\"after")), "stop");  // an escaped quote still ends the literal
  EXPECT_EQ(T(Expr().Text("x'y", '\'')), "x");
  // A two-byte character whose second byte is a backslash or the quote.
  EXPECT_EQ(T(Str("\x95\\\x81\"z")), "\x95\\\x81\"z");
  EXPECT_EQ(T(Num(-12).Op('s')), "-12");
  EXPECT_EQ(T(Real(1.5).Op('s'), true), "1.500000");
  EXPECT_EQ(T(Num(5)), "<none>");  // a number evaluated as text has no text
  EXPECT_EQ(T(Str("")), "");
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(Evaluator, VariablesElementsAndLastReference) {
  DeclareInt(1000, {}, 41);
  DeclareInt(1001, {3, 4}, 0);
  engine().script.variables[1001].integers[1 * 4 + 2] = 99;
  EXPECT_EQ(I(Expr().Var(1000).Byte(1).Op('+')), 42);
  EXPECT_EQ(T(Expr().Var(1000, '#')), "41");

  const Expr element = Expr().Elem(1001).Byte(1).Op(',').Byte(2).Close();
  EXPECT_EQ(I(element), 99);
  const LastReference& last = engine().script.eval.last;
  EXPECT_EQ(last.variable, 1001u);
  EXPECT_EQ(last.element, 6);
  EXPECT_EQ(last.subscriptCount, 2);

  // A subscript computed in a float run is still integer: 5 / 2 picks element 2.
  DeclareInt(1002, {5}, 0);
  engine().script.variables[1002].integers[2] = 7;
  EXPECT_DOUBLE_EQ(F(Expr().Elem(1002).Byte(5).Byte(2).Op('/').Close()), 7.0);

  EXPECT_EQ(I(Expr().Ref(1001)), 0);
  EXPECT_EQ(last.referenceFlag, 1);
  EXPECT_EQ(last.variable, 1001u);
  EXPECT_TRUE(engine().errors.reports.empty());
}

TEST_F(Evaluator, DeclarationModeAndAccessOff) {
  EvaluatorState& e = engine().script.eval;
  e.declarationMode = true;
  EXPECT_TRUE(RunExpression(engine(), Expr().Elem(1100).Byte(3).Op(',').Byte(2).Byte(2).Op('*').Close().bytes, kModeInteger));
  e.declarationMode = false;
  EXPECT_EQ(e.last.variable, 1100u);
  ASSERT_EQ(e.last.subscriptCount, 2);
  EXPECT_EQ(e.last.subscripts[0], 3);
  EXPECT_EQ(e.last.subscripts[1], 4);

  e.variableAccessOff = true;
  EXPECT_FALSE(RunExpression(engine(), Expr().Var(1000).bytes, kModeText));
  e.variableAccessOff = false;
  EXPECT_TRUE(engine().errors.reports.empty());  // silent
}

TEST_F(Evaluator, FailuresAreReported) {
  DeclareInt(1000, {2}, 0);
  Expr deep;
  for (int i = 0; i < kEvalStackSize + 1; ++i) deep.Byte(1);
  Expr manyTexts;
  for (int i = 0; i < kEvalTextBuffers + 1; ++i) manyTexts.Text("t");
  Expr longText = Str(std::string(3000, 'x'));
  longText.Text(std::string(1096, 'y')).Op('+');
  Expr cut = Num(1);
  cut.bytes.resize(cut.bytes.size() - 1);
  struct Case {
    Expr e;
    int32_t code;
  } cases[] = {
      {deep, kErrEvalStackOverflow},
      {manyTexts, kErrTooManyTexts},
      {longText, kErrTextTooLong},
      {Str("a").Byte(1).Op('+'), kErrTextNumberMix},
      {Str("a").Byte(1).Op('='), kErrTextNumberMix},
      {Expr().Elem(1000).Text("0").Close(), kErrTextNumberMix},
      {Expr().Byte(1).Op('+'), kErrBrokenExpression},
      {Expr().Close(), kErrBrokenExpression},
      {Expr().Var(1000, '`'), kErrBrokenExpression},
      {Expr().Elem(1000).Byte(2).Close(), kErrSubscriptRange},
      {Expr().Elem(1000).Byte(-1).Close(), kErrSubscriptRange},
      {Expr().Elem(1000).Byte(0).Byte(0).Close(), kErrSubscriptRange},
      {Expr().Var(1001), kErrUndeclaredVariable},
      {Expr().Op('?'), kErrUnknownOpcode},
      {Expr().Op('I', {1, 2}), kErrDamagedCode},
      {cut, kErrDamagedCode},
  };
  for (Case& c : cases) {
    engine().errors.reports.clear();
    EXPECT_FALSE(RunExpression(engine(), c.e.bytes, kModeText)) << c.code;
    EXPECT_EQ(FirstCode(), c.code);
  }
  engine().errors.reports.clear();
  EXPECT_EQ(EvalIntegerByType(engine(), 5, Num(1).bytes), 0);
  EXPECT_EQ(FirstCode(), kErrBadExprType);
}

}  // namespace
}  // namespace vv::script
