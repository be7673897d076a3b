// Script contexts end to end (run order, enable bytes, creation, deletion,
// queries) and the context state text.
#include <gtest/gtest.h>

#include "compiled_script_test.h"
#include "script/context_state.h"
#include "script/state_dump.h"

namespace vv::script {
namespace {

using namespace testing;

constexpr int32_t kLog = 1000, kCount = 1001;

// Globals every script here starts with: a log and its length.
constexpr char kLogDecl[] =
    "@global int log[16] = 0\n"
    "@global int n = 0\n";

class Contexts : public CompiledScriptTest {
 protected:
  std::vector<int64_t> Logged() { return Ints(kLog, Int(kCount)); }
  NameNode* Find(std::string_view path) {
    return FindNode(engine(), *engine().script.trees[TreeId::kContexts].root, path, kFindLeaf);
  }
};

TEST_F(Contexts, RunOrderFollowsKeyThenAgeAndEnableBytes) {
  ASSERT_TRUE(StartScript(std::string(kLogDecl) +
                          "@global int go = 0\n"
                          "*SYSTEM_START\n"
                          "@context \"a\", order=100, label=*A\n"
                          "@context \"b\", order=50, label=*B\n"
                          "@context \"c\", order=100, label=*C\n"
                          "@context \"d\", enableA=2, label=*D\n"
                          "@context \"e\", 3, label=*D, enableB=0\n"
                          "@wait frames=1\n"
                          "@go = 1\n"
                          "@wait frames=1\n"
                          "@go = 2\n"
                          "*Idle\n"
                          "@wait frames=1\n"
                          "@goto *Idle\n"
                          "*A\n@if go == 1\n@log[n] = 1\n@n += 1\n@end\n@wait frames=1\n@goto *A\n"
                          "*B\n@if go == 1\n@log[n] = 2\n@n += 1\n@end\n@wait frames=1\n@goto *B\n"
                          "*C\n@if go == 1\n@log[n] = 3\n@n += 1\n@end\n@wait frames=1\n@goto *C\n"
                          "*D\n@log[n] = 4\n@n += 1\n@wait frames=1\n@goto *D\n"));
  Frames(4);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  // Higher keys first; of two equal keys the older one; "d" (2 & 1 == 0)
  // and "e" (enable B 0) never run.
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1, 3, 2}));
  ASSERT_NE(Find("e.3"), nullptr);
  EXPECT_EQ(Find("e.3")->key, 3);  // the number is the default key
  EXPECT_EQ(Find("d")->key, 1);
}

TEST_F(Contexts, OrderOperatorsAndQueries) {
  ASSERT_TRUE(StartScript(std::string(kLogDecl) +
                          "@global text who = \"\"\n"
                          "@global float f = 9.5\n"
                          "*SYSTEM_START\n"
                          "@context \"k\", order=5, label=*Idle\n"
                          "@context \"k\", order-=10\n"
                          "@contextGet \"k\", target=log[0], order\n"
                          "@context \"k\", order=5\n"
                          "@context \"k\", order+=-10\n"
                          "@contextGet \"k\", target=log[1], order\n"
                          "@context \"k\", order*=4\n"
                          "@contextGet \"k\", target=log[2], order\n"
                          "@context \"k\", order/=0\n"
                          "@contextGet \"k\", target=log[3], order\n"
                          "@contextGet \"k\", target=log[4], exists\n"
                          "@contextGet \"nobody\", target=log[5], exists\n"
                          "@contextGet \"nobody\", target=f, order\n"
                          "@contextGet \"nobody\", target=who, state\n"
                          "@contextGet target=log[6], callDepth\n"
                          "@contextGet target=log[7], order\n"
                          "@contextGet \"k\", target=who, fileName\n"
                          "@context \"k\", enableA=7, enableB=6\n"
                          "@contextGet \"k\", target=log[8], enableA\n"
                          "@contextGet \"k\", target=log[9], enableB\n"
                          "@n = 10\n"
                          "*Idle\n"
                          "@wait frames=1\n"
                          "@goto *Idle\n"));
  Frames(1);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  // 5 - 10 stops at 1; 5 + -10 is -5; -5 * 4 = -20 stops at 1; / 0 leaves it.
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1, -5, 1, 1, 1, 0, 0, 100, 7, 6}));
  EXPECT_EQ(Float(1003), 0.0);
  EXPECT_EQ(Text(1002), "main.vvs");
}

// Each case runs one statement in SYSTEM and expects its error.
TEST_F(Contexts, CommandErrors) {
  const struct {
    const char* statement;
    int32_t code;
  } kCases[] = {
      {"@context \"x/\", label=*Idle", 101293},
      {"@context \"x\"", 101400},
      {"@context \"SYSTEM\", label=*Idle", 101410},
      {"@context \"x\", label=t", 108180},
      {"@context \"nofolder/x\", label=*Idle", 100230},
      {"@contextDelete \"SYSTEM\"", 101420},
      {"@contextDelete", 101420},
      {"@contextDelete \"x\"", 101400},
      {"@contextGet target=t, exists", 101140},
      {"@context state=\"abc\"", 900000},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.statement);
    MakeEngine();
    ASSERT_TRUE(StartScript(std::string("@global text t = \"\"\n*SYSTEM_START\n") + c.statement +
                            "\n*Idle\n@wait frames=1\n@goto *Idle\n"));
    Frames(1);
    EXPECT_EQ(FirstCode(), c.code);
    EXPECT_TRUE(engine().shell.flags.halted);
  }
}

// Context "a" jumps into the second file, opens a call, a counted loop and
// a block, takes its state and deletes itself there; "b" is created with
// that state and carries on where "a" stopped.
TEST_F(Contexts, StateTextMovesAThreadIntoAnotherContextAcrossFiles) {
  const std::string main = std::string(kLogDecl) +
                           "@global text st = \"\"\n"
                           "@global text where = \"\"\n"
                           "@global int depth[3] = -1\n"
                           "*SYSTEM_START\n"
                           "@context \"a\", label=*InSub\n"
                           "@wait frames=3\n"
                           "@context \"b\", label=*Idle, state=st, runNow\n"
                           "*Idle\n"
                           "@wait frames=1\n"
                           "@goto *Idle\n";
  const std::string sub =
      "*InSub\n"
      "@call *Work\n"
      "@log[n] = 99\n"
      "@n += 1\n"
      "@contextGet target=where, fileName\n"
      "@contextGet target=depth[0], callDepth\n"
      "@contextGet target=depth[1], loopDepth\n"
      "@contextGet target=depth[2], blockDepth\n"
      "*Rest\n"
      "@wait frames=1\n"
      "@goto *Rest\n"
      "*Work\n"
      "@loop 3\n"
      "  @if sys.loop == 2\n"
      "    @contextGet target=st, state\n"
      "    @if sys.context_name == \"a\"\n"
      "      @contextDelete\n"
      "      @log[n] = -1\n"
      "    @end\n"
      "  @end\n"
      "  @log[n] = sys.loop\n"
      "  @n += 1\n"
      "@end\n"
      "@return\n";
  ASSERT_TRUE(StartSources({{"main.vvs", main}, {"sub.vvs", sub}}));
  Frames(2);
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1}));
  // Taken inside one block, one loop and one call, in sub.vvs.
  EXPECT_EQ(Text(1002).size(), ContextStateLength(1, 1, 1, 7));
  EXPECT_EQ(Find("a"), nullptr);  // gone at once, before logging -1

  Frames(3);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  EXPECT_EQ(Logged(), (std::vector<int64_t>{1, 2, 3, 99}));
  EXPECT_EQ(Text(1003), "sub.vvs");
  EXPECT_EQ(Ints(1004, 3), (std::vector<int64_t>{0, 0, 0}));
  const ScriptContext* b = ContextOf(Find("b"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->file, 1);

  // The dump lists every context with its depths and position.
  const std::string dump = StateDumpJson(engine());
  EXPECT_NE(dump.find("\"path\": \"b\", \"file\": 1, \"fileName\": \"sub.vvs\""), std::string::npos) << dump;
  EXPECT_EQ(dump.find("\"path\": \"a\""), std::string::npos);
}

TEST_F(Contexts, DeletingAnotherContextAndRunNow) {
  ASSERT_TRUE(StartScript(std::string(kLogDecl) +
                          "*SYSTEM_START\n"
                          "@context \"w\", label=*W, order=200\n"
                          "@context \"v\", label=*V, order=10, runNow\n"
                          "@log[n] = 10\n"
                          "@n += 1\n"
                          "@wait frames=1\n"
                          "@contextDelete \"w\"\n"
                          "*Idle\n@wait frames=1\n@goto *Idle\n"
                          "*W\n@log[n] = 1\n@n += 1\n@wait frames=1\n@goto *W\n"
                          "*V\n@log[n] = 2\n@n += 1\n@wait frames=1\n@goto *V\n"));
  Frames(1);
  // runNow gives the frame a second pass: "w" and "v" run in it, and so
  // does SYSTEM, whose one-frame wait ends there; it deletes "w".
  EXPECT_EQ(Logged(), (std::vector<int64_t>{10, 1, 2}));
  Frames(3);
  EXPECT_TRUE(Codes().empty()) << FirstCode();
  EXPECT_EQ(Logged(), (std::vector<int64_t>{10, 1, 2, 2, 2, 2}));
  EXPECT_EQ(Find("w"), nullptr);
}

// The state text on its own: a round trip, then every way a text can be
// damaged is refused without touching the context.
class ContextState : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    engine().script.compiled.fileNames = {"main.vvs", "sub/Scene.vvs"};
    source.file = 1;
    source.blockDepth = 2;
    source.blockSavedLoopDepth = {0, 1};
    source.blockStart = {100, 200};
    source.blockExit = {150, 0x7FFFFFF0};
    source.reservedA = 0xA5;
    source.callDepth = 1;
    source.callSavedBlockDepth = {1};
    source.callSavedLoopDepth = {1};
    source.returnPosition = {4242};
    source.returnFile = {0};
    source.loopDepth = 1;
    source.loopSavedBlockDepth = {1};
    source.loopBodyStart = {120};
    source.loopEnd = {300};
    source.loopCounter = {0, 2};
    source.loopLimit = {0, -1};
    source.reservedB = 0x5A;
    source.line = 17;
    source.position = 512;
  }
  std::string Encode(const ScriptContext& c) {
    std::string out;
    EncodeContextState(engine(), c, out);
    return out;
  }
  ScriptContext source;
};

TEST_F(ContextState, RoundTripKeepsEveryField) {
  const std::string text = Encode(source);
  EXPECT_EQ(text.size(), ContextStateLength(2, 1, 1, 13));
  EXPECT_EQ(text.substr(0, 8), std::string("\1\2\3\4\5\6\7\10"));
  EXPECT_EQ(text.substr(8, 2), "ac");  // block depth 2
  EXPECT_EQ(text.substr(text.size() - 13), "sub/Scene.vvs");

  ScriptContext target;
  ASSERT_EQ(DecodeContextState(engine(), text, target), 0);
  EXPECT_EQ(Encode(target), text);
  EXPECT_EQ(target.loopLimit[1], -1);  // sign-extended from 32 bits
  EXPECT_EQ(target.blockExit[1], 0x7FFFFFF0);
  EXPECT_EQ(target.reservedA, 0xA5);
  EXPECT_EQ(target.file, 1);
  EXPECT_FALSE(target.hasCode);  // entered by the caller

  // The file name is found whatever the case of its letters.
  std::string upper = text;
  upper.replace(upper.size() - 13, 13, "SUB/SCENE.VVS");
  ScriptContext other;
  EXPECT_EQ(DecodeContextState(engine(), upper, other), 0);
  EXPECT_EQ(other.file, 1);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(ContextState, DamagedTextsAreRefusedWhole) {
  const std::string good = Encode(source);
  const auto with = [&](size_t at, std::string_view bytes) {
    std::string t = good;
    t.replace(at, bytes.size(), bytes);
    return t;
  };
  std::vector<std::pair<std::string, int32_t>> cases = {
      {with(0, "\1\2\3\4\5\6\7\11"), 900000},  // header
      {with(9, "q"), 900000},                 // not a letter of the code
      {with(8, "ba"), 900000},                // block depth 16
      {with(10, "bb"), 900000},               // saved loop depth 17
      {good + "x", 900000},                   // longer than its layout
      {with(good.size() - 13, "sub/Scene.vvx"), 102130},
  };
  // The return file of the call level beyond the list.
  const size_t returnFile = 8 + 2 + 2 * 18 + 2 + 2 + 2 + 2 + 8;
  cases.push_back({with(returnFile, "aaaaaaac"), 900000});
  // Every truncation.
  for (size_t n = 0; n < good.size(); ++n) cases.push_back({good.substr(0, n), 900000});

  ScriptContext target;
  target.line = 5;
  const std::string before = Encode(target);
  for (const auto& [text, code] : cases) {
    engine().errors.reports.clear();
    EXPECT_EQ(DecodeContextState(engine(), text, target), -1);
    EXPECT_EQ(FirstCode(), code) << text.size();
    EXPECT_EQ(Encode(target), before);
  }
}

}  // namespace
}  // namespace vv::script
