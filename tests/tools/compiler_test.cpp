// Statements: what each compiles to, the code positions that blocks and
// loops carry, calls, dialogue, declarations, and the diagnostics.
#include <gtest/gtest.h>

#include "common/encoding.h"
#include "compiled_reader.h"
#include "dorov/compiler.h"

namespace vv::dorov {
namespace {

using testing::CodeOf;
using testing::Command;
using testing::MustCompile;

// Index of the first command with this command number at or after `from`.
size_t Find(const std::vector<Command>& code, uint8_t index, size_t from = 0) {
  for (size_t i = from; i < code.size(); ++i)
    if (code[i].index == index) return i;
  ADD_FAILURE() << "no command " << int(index);
  return code.size();
}

std::vector<int> Indexes(const std::vector<Command>& code) {
  std::vector<int> out;
  for (const auto& c : code) out.push_back(c.index);
  return out;
}

TEST(Statements, IfElifElseCarryTheirBranchPositions) {
  auto r = MustCompile(
      "@global int x\n"
      "*SYSTEM_START\n"
      "@if x == 1\n"
      "@x = 10\n"
      "@elif x == 2\n"
      "@x = 20\n"
      "@else\n"
      "@x = 30\n"
      "@end\n");
  const auto code = CodeOf(r);
  // block, assign, blockExit, else(3 records), assign, blockExit, else(none), assign, blockEnd, quit
  ASSERT_EQ(Indexes(code), (std::vector<int>{26, 35, 27, 7, 35, 27, 7, 35, 30, 8}));
  const auto& block = code[0];
  ASSERT_EQ(block.records.size(), 3u);
  EXPECT_EQ(block.records[1].length, code[3].position);  // first else branch: the elif
  EXPECT_EQ(block.records[2].length, code[8].position);  // block end
  ASSERT_EQ(code[3].records.size(), 3u);
  EXPECT_EQ(code[3].records[1].length, code[6].position);  // next branch: the else
  EXPECT_EQ(code[3].records[2].length, code[8].position);
  EXPECT_TRUE(code[6].records.empty());
  // positions are in length fields; they are no expressions
  EXPECT_EQ(block.records[1].offset, 0);
  EXPECT_EQ(block.records[1].exprType, 1);
}

TEST(Statements, ConditionAndCountedLoops) {
  auto r = MustCompile(
      "@global int x\n"
      "*SYSTEM_START\n"
      "@while x < 10\n"
      "  @loop 3\n"
      "    @if x == 5\n"
      "      @break\n"           // leaves the counted loop
      "    @end\n"
      "    @next\n"
      "  @end\n"
      "  @if x == 7\n"
      "    @break\n"             // two blocks up: the if and the while
      "  @end\n"
      "  @next\n"
      "@end\n"
      "@loop\n"                  // endless
      "@break\n"
      "@end\n");
  const auto code = CodeOf(r);
  ASSERT_EQ(Indexes(code),
            (std::vector<int>{26, 37, 26, 38, 30, 39, 40, 26, 28, 30, 29, 29, 30, 37, 38, 40, 8}));
  // while: no else, ends at its blockEnd (after the closing blockRepeat)
  EXPECT_EQ(code[0].records[1].length, 0);
  EXPECT_EQ(code[0].records[2].length, code[12].position);
  // loop 3: count record and end position of its loopEnd
  EXPECT_EQ(code[1].records[1].length, code[6].position);
  EXPECT_EQ(code[1].records[0].expr, (std::vector<uint8_t>{'B', 1, 0, 3}));
  // @break inside the loop: loopBreak without levels (1); @next: loopNext
  EXPECT_TRUE(code[3].records.empty());
  EXPECT_TRUE(code[5].records.empty());
  // @break inside the while, under an if: blockBreak 2
  ASSERT_EQ(code[8].records.size(), 1u);
  EXPECT_EQ(code[8].records[0].expr, (std::vector<uint8_t>{'B', 1, 0, 2}));
  // @next at the while's level and the closing repeat: blockRepeat without levels
  EXPECT_TRUE(code[10].records.empty());
  EXPECT_TRUE(code[11].records.empty());
  // endless loop: count -1
  EXPECT_EQ(code[13].records[0].expr, (std::vector<uint8_t>{'B', 1, 0, 0xFF}));
}

TEST(Statements, BreakAndNextLevelsAcrossNestedLoops) {
  auto r = MustCompile(
      "*SYSTEM_START\n"
      "@loop 2\n"
      "@loop 2\n"
      "@break 2\n"
      "@next 2\n"
      "@end\n"
      "@end\n");
  const auto code = CodeOf(r);
  ASSERT_EQ(Indexes(code), (std::vector<int>{37, 37, 38, 39, 40, 40, 8}));
  EXPECT_EQ(code[2].records[0].expr, (std::vector<uint8_t>{'B', 1, 0, 2}));
  EXPECT_EQ(code[3].records[0].expr, (std::vector<uint8_t>{'B', 1, 0, 2}));
}

TEST(Statements, LabelsRecordTheirPositionAndDepths) {
  auto r = MustCompile(
      "*SYSTEM_START\n"
      "@wait 1\n"
      "@if 1\n"
      "@loop 2\n"
      "*inside\n"
      "@wait 2\n"
      "@end\n"
      "@end\n"
      "*last\n");
  const auto code = CodeOf(r);
  const auto& nvl = r.files.at("nvl.nbn");
  std::map<std::string, std::tuple<int32_t, int, int>> labels;
  size_t p = 12 + 1024;
  for (uint32_t n = testing::Le32(nvl, 8); n > 0; --n) {
    const size_t len = nvl[p];
    const std::string name(nvl.begin() + static_cast<long>(p) + 1, nvl.begin() + static_cast<long>(p + 1 + len));
    p += 1 + len + 4;
    labels[name] = {static_cast<int32_t>(testing::Le32(nvl, p)), static_cast<int8_t>(nvl[p + 6]),
                    static_cast<int8_t>(nvl[p + 7])};
    p += 8;
  }
  EXPECT_EQ(labels["SYSTEM_START"], std::make_tuple(0, 0, 0));
  EXPECT_EQ(labels["inside"], std::make_tuple(code[Find(code, 80, 1)].position, 1, 1));
  // a label after the last line stands before the closing quit
  EXPECT_EQ(labels["last"], std::make_tuple(code.back().position, 0, 0));
}

TEST(Statements, CallsPassParametersBySlotAndReadResultsByType) {
  auto r = MustCompile(
      "@global int n\n"
      "@global float g\n"
      "@global text s\n"
      "*SYSTEM_START\n"
      "@n, s = call *sub(1, 2, \"x\")\n"
      "@call (s)(2.5, 1, 7)\n"
      "@quit\n"
      "*sub(int a, float b, text c)\n"
      "@return a + 1, c + \"!\"\n");
  const auto code = CodeOf(r);
  // call with its label first, then parameter i as id i, i + 8 (float), i + 16 (text)
  const auto& call = code[0];
  ASSERT_EQ(call.index, 25);
  ASSERT_EQ(call.records.size(), 4u);
  EXPECT_EQ(call.records[0].id, 0);
  EXPECT_EQ(call.records[1].id, 1);
  EXPECT_EQ(call.records[2].id, 10);  // the int 2 is passed as the float parameter b
  EXPECT_EQ(call.records[3].id, 19);
  // results: n from the integer results, s from the text results
  ASSERT_EQ(code[1].index, 35);
  EXPECT_EQ(r.listing[1].args[1].value, "sys.int_result[1]");
  EXPECT_EQ(r.listing[2].args[1].value, "sys.text_result[2]");
  // a computed label: parameters go by their own types
  const auto& call2 = code[3];
  ASSERT_EQ(call2.index, 25);
  EXPECT_EQ(call2.records[1].id, 9);
  EXPECT_EQ(call2.records[2].id, 2);
  EXPECT_EQ(call2.records[3].id, 3);
  // return: value i has id i - 1 (int) or i + 15 (text)
  const auto& ret = code[Find(code, 54)];
  ASSERT_EQ(ret.records.size(), 2u);
  EXPECT_EQ(ret.records[0].id, 0);
  EXPECT_EQ(ret.records[1].id, 17);
  // parameters read their call slots
  EXPECT_EQ(r.listing[static_cast<size_t>(Find(code, 54))].args[0].value, "sys.int_param[1] + 1");
}

TEST(Statements, DialogueBecomesMessageCommands) {
  auto r = MustCompile(
      "@global int score = 7\n"
      "*SYSTEM_START\n"
      "  太郎「{score}点。\\wすごい\\n\\{本当\\}」\n"
      "続く\\\n"
      "ここまで\n");
  const auto code = CodeOf(r);
  ASSERT_EQ(Indexes(code), (std::vector<int>{84, 79, 84, 73, 84, 73, 84, 56, 84, 84, 56, 8}));
  const auto text = [&](size_t i) { return common::SjisToUtf8(r.listing[i].args[0].value); };
  EXPECT_EQ(text(0), "\"太郎「\"");
  EXPECT_EQ(text(1), "v1000");
  EXPECT_EQ(code[1].records[0].exprType, 1);  // an integer value
  EXPECT_EQ(text(2), "\"点。\"");
  EXPECT_EQ(code[3].records[0].id, 16);  // click wait
  EXPECT_EQ(code[5].records[0].id, 12);  // line feed
  EXPECT_EQ(text(6), "\"{本当}」\"");
  // the message numbers count over the project
  EXPECT_EQ(code[7].operand, 1);
  EXPECT_EQ(code[10].operand, 2);
  EXPECT_EQ(code[7].line, 3);
}

TEST(Statements, ShiftJisAndUtf8SourcesCompileToTheSameCode) {
  const std::string utf8 = "*SYSTEM_START\n@global text 名前 = \"表示\"\n{名前}「予定」\n";
  const auto sjis = common::Utf8ToSjis(utf8);
  ASSERT_TRUE(sjis);
  auto a = MustCompile(utf8);
  auto b = MustCompile(*sjis);
  EXPECT_EQ(a.files.at("nvt00000.nbn"), b.files.at("nvt00000.nbn"));
  EXPECT_EQ(a.files.at("nvv.nbn"), b.files.at("nvv.nbn"));
  // a byte-order mark is no part of the script
  auto c = MustCompile("\xEF\xBB\xBF" + utf8);
  EXPECT_EQ(a.files.at("nvt00000.nbn"), c.files.at("nvt00000.nbn"));
}

TEST(Statements, DeclarationsAtRunTimeAndInTheDeclarationFile) {
  auto r = MustCompile(
      "@global int g[2, 3] = 4\n"
      "@file text t = \"a\"\n"
      "*SYSTEM_START\n"
      "@int g[g[1, 2], 5] = 9\n"   // re-declares the global with new sizes
      "@float tmp = 1\n"           // a new variable of the file
      "@text u[2]\n");
  const auto code = CodeOf(r);
  ASSERT_EQ(Indexes(code), (std::vector<int>{32, 16, 68, 8}));
  // the variable with its sizes as subscripts (declaration mode), then the value
  EXPECT_EQ(r.listing[0].args[0].value, "v1000[v1000[1, 2], 5]");
  EXPECT_EQ(r.listing[0].args[1].value, "9");
  EXPECT_EQ(r.listing[1].args[0].value, "v1002");
  EXPECT_EQ(code[1].records[0].expr, (std::vector<uint8_t>{'H', 3, 0, 0, 0xEA, 0x03}));
  EXPECT_EQ(r.listing[2].args[1].value, "\"\"");
  // variables declared only at run time exist from the file's first entry
  auto d = testing::ScriptDeclarations(r);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[1000].sizes, (std::vector<int32_t>{2, 3}));  // the global keeps its own declaration
  EXPECT_EQ(d[1000].i, 4);
  EXPECT_EQ(d[1002].scope, 2);
  EXPECT_EQ(d[1002].type, 2);
  EXPECT_DOUBLE_EQ(d[1002].f, 1.0);
  EXPECT_EQ(d[1003].sizes, (std::vector<int32_t>{2}));
  EXPECT_EQ(d[1003].type, 3);
  // nvt.nbn counts the script's variables
  EXPECT_EQ(testing::Le32(r.files.at("nvt.nbn"), 4), 288u);
  EXPECT_EQ(testing::Le32(r.files.at("nvt.nbn"), 8), 1003u);
}

TEST(Statements, CommandsTakeNamedUnnamedFlagAndOperatorArguments) {
  auto r = MustCompile(
      "@global int found\n"
      "@global int all[3]\n"
      "*SYSTEM_START\n"
      "@layer \"bg\", 2, file=\"bg01\", x+=10, opacity=128\n"
      "@layerGet \"bg\" exists target=found\n"
      "@save file=\"s1\", block=1, variable=&all\n"
      "@wait 30\n");
  const auto code = CodeOf(r);
  ASSERT_EQ(Indexes(code), (std::vector<int>{0, 3, 61, 80, 8}));
  const auto& layer = code[0];
  ASSERT_EQ(layer.records.size(), 5u);
  EXPECT_EQ(layer.records[0].id, 0);
  EXPECT_EQ(layer.records[1].id, 1);
  EXPECT_EQ(layer.records[2].id, 9);
  EXPECT_EQ(layer.records[3].id, 4);
  EXPECT_EQ(layer.records[3].assignOp, 1);
  EXPECT_EQ(layer.records[4].id, 3);
  EXPECT_EQ(layer.records[0].exprType, 3);
  EXPECT_EQ(code[1].Arg(2)->expr, (std::vector<uint8_t>{'B', 1, 0, 1}));  // the flag
  EXPECT_EQ(code[2].Arg(2)->expr, (std::vector<uint8_t>{'v', 3, 0, 0, 0xE9, 0x03}));  // the whole variable
  EXPECT_EQ(code[3].Arg(0)->expr, (std::vector<uint8_t>{'B', 1, 0, 30}));
}

TEST(Statements, LowLevelCommandsAreWrittenAsGiven) {
  auto r = MustCompile(
      "*SYSTEM_START\n"
      "@raw 20\n"
      "@raw 200 3=1, 0+=\"x\"\n"
      "@raw 56 7\n");
  const auto code = CodeOf(r);
  ASSERT_EQ(Indexes(code), (std::vector<int>{20, 200, 56, 8}));
  EXPECT_EQ(code[1].records[0].id, 3);
  EXPECT_EQ(code[1].records[1].assignOp, 1);
  EXPECT_EQ(code[2].operand, 7);
}

TEST(Diagnostics, SeveralErrorsWithFileLineColumnAndExcerpt) {
  auto r = CompileSource(
      "*SYSTEM_START\n"
      "@if scroe > 10\n"
      "@x = 1\n"
      "@layer nam=\"bg\"\n"
      "@wait frames+=3\n"
      "@goto *nowhere\n"
      "{hero\n"
      "@while 1\n",
      "story/a.vvs");
  ASSERT_FALSE(r.ok());
  EXPECT_TRUE(r.files.empty());
  struct Want {
    int line, column;
    const char* message;
  } wants[] = {
      {2, 5, "unknown name 'scroe'"},
      {3, 2, "unknown name 'x'"},
      {4, 8, "'layer' has no argument 'nam'"},
      {5, 7, "the argument 'frames' takes only '='"},
      {6, 7, "there is no label *nowhere"},
      {7, 1, "'{' without its '}'"},
      {8, 1, "@while without its @end"},
      {2, 1, "@if without its @end"},
  };
  for (const auto& w : wants) {
    bool seen = false;
    for (const auto& d : r.diagnostics)
      if (d.file == "story/a.vvs" && d.line == w.line && d.column == w.column && d.message.find(w.message) == 0)
        seen = true;
    EXPECT_TRUE(seen) << w.line << ":" << w.column << " " << w.message << "\n" << r.ErrorText();
  }
  EXPECT_EQ(r.diagnostics.size(), std::size(wants)) << r.ErrorText();
  // the excerpt shows the line and a caret under the column
  EXPECT_NE(r.ErrorText().find("story/a.vvs:4:8: 'layer' has no argument 'nam'\n    @layer nam=\"bg\"\n           ^"),
            std::string::npos)
      << r.ErrorText();
}

TEST(Diagnostics, ProjectLevelMistakes) {
  struct Case {
    const char* source;
    const char* message;
  } cases[] = {
      {"@wait 1\n", "no script defines the label *SYSTEM_START"},
      {"*SYSTEM_START\n*SYSTEM_START\n", "is already defined in main.vvs:1"},
      {"*SYSTEM_START\n@global int a\n@global int a\n", "is declared twice"},
      {"*SYSTEM_START\n@global int a\n@text a\n", "is declared elsewhere as int"},
      {"*SYSTEM_START\n@int wait\n", "'wait' is a word of the language"},
      {"*SYSTEM_START\n@end\n", "@end without an open block"},
      {"*SYSTEM_START\n@break\n", "@break outside a loop"},
      {"*SYSTEM_START\n@while 1\n@loop 2\n@break 2\n@end\n@end\n", "would leave a @while and a @loop at once"},
      {"*SYSTEM_START\n@block condition=1\n", "'block' is written by the compiler; use @if or @while"},
      {"*SYSTEM_START\n@unbound20\n", "'unbound20' is not a command"},
      {"*SYSTEM_START\n@sys.loop = 3\n", "'sys.loop' cannot be assigned to"},
      {"*SYSTEM_START\n@global text t\n@t -= \"a\"\n", "a text takes only = and += (append)"},
      {"*SYSTEM_START\n@call *f(1)\n*f(int a, int b)\n", "*f takes 2 parameter(s), not 1"},
      {"*SYSTEM_START\n@global int a[0]\n", "a dimension size must be 1..4000000"},
      {"*SYSTEM_START\n@global int a[2001, 2000]\n", "at most 4000000 elements"},
      {"*SYSTEM_START\n@global int n\n@global int a[n]\n", "must be a constant"},
      {"*SYSTEM_START\n@layer \"a\", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18\n",
       "takes no more unnamed arguments"},
      {"*SYSTEM_START\n@layer x=1, \"a\"\n", "unnamed arguments must come before the named ones"},
      {"*SYSTEM_START\n@wait frames=1, frames=2\n", "is given twice"},
      {"*SYSTEM_START\n@wait frames=\"a\"\n", "takes a number, not a text"},
  };
  for (const auto& c : cases) {
    auto r = CompileSource(c.source);
    EXPECT_FALSE(r.ok()) << c.source;
    EXPECT_NE(r.ErrorText().find(c.message), std::string::npos) << c.source << "\n" << r.ErrorText();
  }
}

TEST(Diagnostics, LabelNamesUpTo255Bytes) {
  const std::string ok(255, 'a'), tooLong(256, 'b');
  EXPECT_TRUE(CompileSource("*SYSTEM_START\n*" + ok + "\n@goto *" + ok + "\n").ok());
  auto r = CompileSource("*SYSTEM_START\n*" + tooLong + "\n");
  EXPECT_NE(r.ErrorText().find("at most 255 bytes"), std::string::npos) << r.ErrorText();
}

TEST(Diagnostics, CharactersWithoutShiftJisForm) {
  auto r = CompileSource("*SYSTEM_START\nこんにちは😀\n");
  ASSERT_FALSE(r.ok());
  ASSERT_EQ(r.diagnostics.size(), 1u) << r.ErrorText();
  EXPECT_EQ(r.diagnostics[0].line, 2);
  EXPECT_EQ(r.diagnostics[0].column, 6);
  EXPECT_NE(r.diagnostics[0].message.find("has no Shift-JIS form"), std::string::npos);
}

}  // namespace
}  // namespace vv::dorov
