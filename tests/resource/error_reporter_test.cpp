// The error reporter: texts, composition, the location header, the first
// dialog of a run, and the edit button's editor start.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/bytes.h"
#include "resource/editor_launch.h"
#include "resource/error_reporter.h"
#include "resource/error_texts.h"
#include "resource/resource_test_support.h"

namespace vv::resource {
namespace {

using common::Sjis;
using common::SjisToUtf8;

// An error text file image: header, count, records of code and text.
std::vector<uint8_t> ErrorTextFile(const std::vector<std::pair<ErrorCode, std::string>>& records,
                                   int32_t count = -1) {
  common::ByteWriter w;
  w.Zeros(8);
  w.I32(count >= 0 ? count : static_cast<int32_t>(records.size()));
  w.Zeros(4);
  for (const auto& [code, text] : records) {
    w.I32(code);
    w.CString(Sjis(text));
  }
  return w.Take();
}

class ErrorReporterTest : public testing::GameFolder {};

TEST_F(ErrorReporterTest, BuiltinTextsWinOverTheFileAndUnknownCodesGetTheGenericText) {
  Write("nvbin/nve.nbn", ErrorTextFile({{104060, "ファイルの文"}, {101010, "引数 %d が範囲外です。"}}));
  ASSERT_EQ(LoadErrorTexts(engine()), 0);
  EXPECT_EQ(SjisToUtf8(ErrorText(engine(), 104060)), "[%s]ファイルが\n存在しません。");
  EXPECT_EQ(SjisToUtf8(ErrorText(engine(), 101010)), "引数 %d が範囲外です。");
  EXPECT_EQ(SjisToUtf8(ErrorText(engine(), 555555)),
            "[内部エラー]\n\nエラー文字列の指定ミスです。\nシステム開発者までお問い合わせください。");

  ReportSystemError(engine(), 101010, false, {7});
  ASSERT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(dialogs()[0].text, "引数 7 が範囲外です。");
  EXPECT_EQ(dialogs()[0].caption, "VAVEVO Debug Info.");
}

TEST_F(ErrorReporterTest, EveryFixedTextHasAShiftJisForm) {
  for (const auto& [code, utf8] : BuiltinTextsUtf8()) {
    EXPECT_TRUE(common::Utf8ToSjis(utf8)) << code << ": " << utf8;
  }
  const std::string notice = SjisToUtf8(ErrorText(engine(), kLicenceNotice));
  EXPECT_EQ(notice.rfind("■ライセンスについて", 0), 0u);
  for (const char* library : {"SDL2", "zlib", "libpng", "libjpeg-turbo", "Ogg Vorbis", "FreeType", "FFmpeg"}) {
    EXPECT_NE(notice.find(library), std::string::npos) << library;
  }
}

TEST_F(ErrorReporterTest, OnlyTheFirstReportOfARunIsShownLaterOnesStillHalt) {
  ReportSystemError(engine(), 104110, false);
  EXPECT_FALSE(engine().shell.flags.halted);
  ReportSystemError(engine(), 104111, true);
  EXPECT_TRUE(engine().shell.flags.halted);
  // A later report without halt leaves the halt in place.
  ReportSystemError(engine(), 104150, false, {"a"});
  EXPECT_TRUE(engine().shell.flags.halted);

  ASSERT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(dialogs()[0].text, "フォルダの数が多すぎます。");
  ASSERT_EQ(engine().errors.reports.size(), 3u);
  EXPECT_TRUE(engine().errors.reports[0].shown);
  EXPECT_FALSE(engine().errors.reports[1].shown);
  EXPECT_EQ(SjisToUtf8(engine().errors.reports[2].message), "パックファイル内のファイル\n[a]が\n重複しています。");
}

TEST_F(ErrorReporterTest, ScriptErrorsCarryTheLocationSystemErrorsDoNot) {
  ReportError(engine(), 104060, false, {"before.png"});
  EXPECT_EQ(dialogs().at(0).text, "[before.png]ファイルが\n存在しません。");

  // What the interpreter supplies once it runs: a file name with a '%'.
  engine().errors.scriptLocation = [] { return ScriptLocation{Sjis("シナリオ%s.txt"), 42}; };
  ReportError(engine(), 104060, true, {"bg.png"});
  EXPECT_EQ(LastMessage(),
            "[対象ファイル]\nシナリオ%s.txt\n\n[場所]\n42 行目\n\n[内容]\n\n[bg.png]ファイルが\n存在しません。");
  EXPECT_EQ(SjisToUtf8(engine().errors.locationFile), "シナリオ%s.txt");
  EXPECT_EQ(engine().errors.locationLine, 42);

  ReportSystemError(engine(), 104060, true, {"c.png"});
  EXPECT_EQ(LastMessage(), "[c.png]ファイルが\n存在しません。");
  EXPECT_TRUE(engine().errors.locationFile.empty());
  EXPECT_EQ(engine().errors.locationLine, 1);
}

TEST_F(ErrorReporterTest, LongMessagesAreCutAtACharacterBoundary) {
  // 1022 ASCII bytes, then two-byte characters: the cut may not halve one.
  const std::string name = std::string(1022 - 1, 'x') + Sjis("表表表");
  Write("nvbin/nve.nbn", ErrorTextFile({{200000, "[%s"}}));
  ASSERT_EQ(LoadErrorTexts(engine()), 0);
  ReportSystemError(engine(), 200000, false, {name});
  const std::string& message = engine().errors.reports.back().message;
  EXPECT_EQ(message.size(), 1022u);
  EXPECT_EQ(message, "[" + std::string(1021, 'x'));

  ReportSystemError(engine(), 200000, false, {std::string(5000, 'y')});
  EXPECT_EQ(engine().errors.reports.back().message.size(), kMaxMessageBytes);
}

TEST_F(ErrorReporterTest, ErrorTextFilesBeyond256RecordsKeepTheFirstWithOneWarning) {
  std::vector<std::pair<ErrorCode, std::string>> records;
  for (int i = 0; i < 300; ++i) records.emplace_back(300000 + i, "text " + std::to_string(i));
  Write("nvbin/nve.nbn", ErrorTextFile(records));
  ASSERT_EQ(LoadErrorTexts(engine()), 0);
  EXPECT_EQ(ErrorText(engine(), 300255), "text 255");
  EXPECT_EQ(ErrorText(engine(), 300256), std::string(GenericErrorText()));
  EXPECT_EQ(engine().errors.warnings.size(), 1u);

  // A count larger than the records present keeps what is there.
  MakeEngine();
  Write("nvbin/nve.nbn", ErrorTextFile({{300001, "one"}}, 5));
  ASSERT_EQ(LoadErrorTexts(engine()), 0);
  EXPECT_EQ(ErrorText(engine(), 300001), "one");
  EXPECT_EQ(engine().errors.warnings.size(), 1u);
}

TEST_F(ErrorReporterTest, AMissingErrorTextFileIsReportedByTheLoader) {
  EXPECT_EQ(LoadErrorTexts(engine()), -1);
  EXPECT_EQ(Codes(), std::vector<ErrorCode>{104060});
}

TEST(FormatMessageTest, Conversions) {
  struct Case {
    const char* format;
    std::vector<ErrorArg> args;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"%d/%i/%u", {-5, 6, 7}, "-5/6/7"},
      {"[%5d|%-5d|%05d]", {42, 42, 42}, "[   42|42   |00042]"},
      {"%x %X %o %c", {255, 255, 8, 34}, "ff FF 10 \""},
      {"%lld %I64d %ld", {1LL << 40, 3, 4}, "1099511627776 3 4"},
      {"%.3s|%5s|%-4s|", {"abcdef", "ab", "c"}, "abc|   ab|c   |"},
      {"100%% %s", {"done"}, "100% done"},
      {"%s and %d", {}, " and 0"},
      {"%d", {"text"}, "text"},
      {"%s", {12}, "12"},
      {"%*d", {4, 7}, "   7"},
      {"a %y b %", {1}, "a %y b %"},
      {"%s", {"50%d"}, "50%d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatMessage(c.format, c.args), c.expected) << c.format;
  }
  // A trail byte that looks like '%' or '\' stays part of its character.
  const std::string sjis = Sjis("表%d");
  const ErrorArg seven[] = {7};
  EXPECT_EQ(SjisToUtf8(FormatMessage(sjis, seven)), "表7");
  // Widths never grow a message beyond the buffer.
  const ErrorArg one[] = {1};
  EXPECT_LE(FormatMessage("%99999999d", one).size(), kMaxMessageBytes + 1);
}

// The dialog's buttons and the editor start.
class ErrorDialogTest : public testing::GameFolder {
 protected:
  void SetUp() override {
    testing::GameFolder::SetUp();
    unsetenv("VISUAL");
    unsetenv("EDITOR");
  }
  void TearDown() override {
    unsetenv("VISUAL");
    unsetenv("EDITOR");
    testing::GameFolder::TearDown();
  }
  void RunAtLine(int line) {
    engine().errors.scriptLocation = [line] { return ScriptLocation{"script\\main.txt", line}; };
  }
  const std::vector<platform::ProcessRecord>& starts() { return headless().ProcessRecorder().Records(); }
  std::string ScriptHostPath() { return root_ + "/script/main.txt"; }
};

TEST_F(ErrorDialogTest, TheEditButtonIsShownInDebugRunsAndEnabledWithALocation) {
  struct Case {
    bool debug;
    bool location;
    std::vector<std::string> buttons;
  };
  for (const Case& c : {Case{false, true, {"終了(&X)"}}, Case{true, false, {"編集(&E)", "終了(&X)"}},
                        Case{true, true, {"編集(&E)", "終了(&X)"}}}) {
    MakeEngine();
    engine().config.debugMode = c.debug ? 1 : 0;
    if (c.location) RunAtLine(3);
    headless().ProcessRecorder().SetAssociatedProgram("gedit");
    headless().DialogRecorder().AddAnswer("1");  // press the first button
    ReportError(engine(), 104060, false, {"x"});
    ASSERT_EQ(dialogs().size(), 1u);
    EXPECT_EQ(dialogs()[0].buttons, c.buttons);
    // Only an enabled edit button starts the editor.
    EXPECT_EQ(starts().size(), c.debug && c.location ? 1u : 0u) << c.debug << c.location;
  }
}

TEST_F(ErrorDialogTest, EditorsStartAtTheFailingLine) {
  Write("script/main.txt", testing::Bytes("line\n"));
  const std::string path = ScriptHostPath();
  struct Case {
    const char* associated;
    std::string program;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"C:\\Program Files\\sakura\\SAKURA.EXE", "C:\\Program Files\\sakura\\SAKURA.EXE", {path, "-Y=12"}},
      {"hidemaru.exe", "hidemaru.exe", {"/j12", path}},
      {"MIW.exe", "MIW.exe", {path + "+12"}},
      {"/usr/bin/code", "/usr/bin/code", {"--goto", path + ":12"}},
      {"gedit", "gedit", {"+12", path}},
      {"kate", "kate", {"--line", "12", path}},
      {"subl", "subl", {path + ":12"}},
      {"vim", "x-terminal-emulator", {"-e", "vim", "+12", path}},
      {"mousepad", "mousepad", {path}},
  };
  for (const Case& c : cases) {
    MakeEngine();
    engine().config.debugMode = 1;
    RunAtLine(12);
    headless().ProcessRecorder().SetAssociatedProgram(c.associated);
    headless().DialogRecorder().AddAnswer("1");
    ReportError(engine(), 104060, true, {"x"});
    ASSERT_EQ(starts().size(), 1u) << c.associated;
    EXPECT_EQ(starts()[0].program, c.program) << c.associated;
    EXPECT_EQ(starts()[0].args, c.args) << c.associated;
  }
}

TEST_F(ErrorDialogTest, WithoutAnAssociationTheEditorVariablesAreUsed) {
  engine().config.debugMode = 1;
  RunAtLine(5);
  setenv("EDITOR", "emacs -nw", 1);
  headless().DialogRecorder().AddAnswer("1");
  ReportError(engine(), 104060, true, {"x"});
  ASSERT_EQ(starts().size(), 1u);
  EXPECT_EQ(starts()[0].program, "x-terminal-emulator");
  EXPECT_EQ(starts()[0].args, (std::vector<std::string>{"-e", "emacs", "-nw", "+5", ScriptHostPath()}));

  MakeEngine();
  engine().config.debugMode = 1;
  RunAtLine(5);
  setenv("VISUAL", "nvim", 1);
  headless().DialogRecorder().AddAnswer("1");
  ReportError(engine(), 104060, true, {"x"});
  ASSERT_EQ(starts().size(), 1u);
  EXPECT_EQ(starts()[0].args, (std::vector<std::string>{"-e", "nvim", "+5", ScriptHostPath()}));
}

TEST_F(ErrorDialogTest, TheLicenceNoticeIsShownWholeUnderItsOwnCaption) {
  ReportSystemError(engine(), kLicenceNotice, true);
  ASSERT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(dialogs()[0].caption, "License Infomation");
  EXPECT_EQ(dialogs()[0].text, SjisToUtf8(ErrorText(engine(), kLicenceNotice)));
}

}  // namespace
}  // namespace vv::resource
