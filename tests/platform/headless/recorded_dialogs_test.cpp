#include <gtest/gtest.h>

#include <fstream>

#include "common/encoding.h"
#include "platform/headless/headless_platform.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

std::string Sjis(const std::string& utf8) { return common::Utf8ToSjis(utf8).value(); }

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(RecordedDialogsTest, AnswersComeFromTheFileInOrderThenDefaults) {
  testing::TempGame game;
  game.Write("answers.txt", "2\r\n9\n名前は\"太郎\"\n<cancel>\n1\n1\n");
  HeadlessOptions options;
  options.answers = game.dir() + "/answers.txt";
  options.dialogLog = game.dir() + "/dialogs.jsonl";
  auto platform = game.Headless(options);
  Dialogs& d = *platform->dialogs;

  MessageBoxDesc question;
  question.captionSjis = Sjis("確認");
  question.textSjis = Sjis("セーブしますか？\n\t\"はい\"\\いいえ\x01");
  question.buttons = DialogButtons::YesNoCancel;
  platform->FrameStarted(3);
  EXPECT_EQ(d.ShowMessage(question), kAnswerNo);  // "2": the second button
  question.buttons = DialogButtons::OkCancel;
  EXPECT_EQ(d.ShowMessage(question), kAnswerOk);  // "9" is no button: the first

  InputDialogDesc input;
  input.captionSjis = "Name";
  input.promptSjis = Sjis("名前");
  input.initialSjis = Sjis("初期");
  input.maxBytes = 9;  // 名前は" is 7 bytes, 太 would make 9, 郎 11
  EXPECT_EQ(d.ShowInput(input), Sjis("名前は\"太"));
  EXPECT_EQ(d.ShowInput(input), std::nullopt);  // "<cancel>"

  ErrorDialogDesc err;
  err.captionSjis = "VAVEVO Debug Info.";
  err.textSjis = "bad";
  err.editLabelSjis = Sjis("編集(&E)");
  err.exitLabelSjis = Sjis("終了(&X)");
  err.showEdit = true;
  err.editEnabled = false;
  EXPECT_EQ(d.ShowError(err), ErrorDialogChoice::Exit);  // "1", but the edit button is disabled
  err.editEnabled = true;
  EXPECT_EQ(d.ShowError(err), ErrorDialogChoice::Edit);  // "1"

  // The answers are used up: the defaults.
  platform->FrameStarted(4);
  EXPECT_EQ(d.ShowMessage(question), kAnswerOk);
  EXPECT_EQ(d.ShowError(err), ErrorDialogChoice::Exit);
  EXPECT_EQ(d.ShowInput(input), Sjis("初期"));

  const auto& records = static_cast<HeadlessPlatform&>(*platform).DialogRecorder().Records();
  ASSERT_EQ(records.size(), 9u);
  EXPECT_EQ(records[0].text, "セーブしますか？\n\t\"はい\"\\いいえ\x01");
  EXPECT_EQ(records[0].buttons, (std::vector<std::string>{"はい", "いいえ", "キャンセル"}));

  const std::string text = R"j("セーブしますか？\n\t\"はい\"\\いいえ\u0001")j";
  const std::vector<std::string> expected = {
      R"j({"frame": 3, "kind": "message", "caption": "確認", "text": )j" + text +
          R"j(, "buttons": ["はい", "いいえ", "キャンセル"], "answer": 2})j",
      R"j({"frame": 3, "kind": "message", "caption": "確認", "text": )j" + text +
          R"j(, "buttons": ["OK", "キャンセル"], "answer": 1})j",
      R"j({"frame": 3, "kind": "input", "caption": "Name", "text": "名前", "buttons": ["OK", "キャンセル"], "answer": "名前は\"太"})j",
      R"j({"frame": 3, "kind": "input", "caption": "Name", "text": "名前", "buttons": ["OK", "キャンセル"], "answer": null})j",
      R"j({"frame": 3, "kind": "error", "caption": "VAVEVO Debug Info.", "text": "bad", "buttons": ["編集(&E)", "終了(&X)"], "answer": 2})j",
      R"j({"frame": 3, "kind": "error", "caption": "VAVEVO Debug Info.", "text": "bad", "buttons": ["編集(&E)", "終了(&X)"], "answer": 1})j",
      R"j({"frame": 4, "kind": "message", "caption": "確認", "text": )j" + text +
          R"j(, "buttons": ["OK", "キャンセル"], "answer": 1})j",
      R"j({"frame": 4, "kind": "error", "caption": "VAVEVO Debug Info.", "text": "bad", "buttons": ["編集(&E)", "終了(&X)"], "answer": 2})j",
      R"j({"frame": 4, "kind": "input", "caption": "Name", "text": "名前", "buttons": ["OK", "キャンセル"], "answer": "初期"})j",
  };
  EXPECT_EQ(Lines(options.dialogLog), expected);
}

TEST(RecordedDialogsTest, TestsCanAnswerAndTheFrameIsZeroBeforeTheFirst) {
  RecordedDialogs d;
  d.AddAnswer("3");
  MessageBoxDesc box;
  box.buttons = DialogButtons::AbortRetryIgnore;
  EXPECT_EQ(d.ShowMessage(box), kAnswerIgnore);
  EXPECT_EQ(d.Records().at(0).frame, 0u);
  EXPECT_EQ(d.Records().at(0).answer, 3);
  std::string error;
  EXPECT_FALSE(d.SetLog("/nonexistent-folder/log.jsonl", error));
  EXPECT_NE(error.find("/nonexistent-folder/log.jsonl"), std::string::npos);
}

TEST(JsonStringTest, EscapesWhatJsonRequires) {
  EXPECT_EQ(JsonString("a\"b\\c\n\r\t\b\f\x1f\x7f/é"),
            "\"a\\\"b\\\\c\\n\\r\\t\\b\\f\\u001f\\u007f/é\"");
}

}  // namespace
}  // namespace vv::platform
