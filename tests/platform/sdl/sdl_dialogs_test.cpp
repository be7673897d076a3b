// Message boxes and the error dialog as SDL would be asked to show them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/encoding.h"
#include "platform/sdl/sdl_platform.h"
#include "sdl_test_support.h"

namespace vv::platform::sdl {
namespace {

std::string Sjis(std::string_view utf8) { return common::Utf8ToSjis(utf8).value(); }

TEST(SdlDialogs, MessageBoxButtonsDefaultsAndEscape) {
  struct Case {
    DialogButtons buttons;
    int defaultButton;
    std::vector<int> answers;
    size_t defaultIndex;
    int closeAnswer;
  };
  const Case cases[] = {
      {DialogButtons::Ok, 0, {kAnswerOk}, 0, kAnswerOk},
      {DialogButtons::OkCancel, 1, {kAnswerOk, kAnswerCancel}, 1, kAnswerCancel},
      {DialogButtons::YesNo, 1, {kAnswerYes, kAnswerNo}, 1, kAnswerNo},
      {DialogButtons::YesNoCancel, 0, {kAnswerYes, kAnswerNo, kAnswerCancel}, 0, kAnswerCancel},
      {DialogButtons::AbortRetryIgnore, 2, {kAnswerAbort, kAnswerRetry, kAnswerIgnore}, 2,
       kAnswerIgnore},
      {DialogButtons::RetryCancel, 7, {kAnswerRetry, kAnswerCancel}, 0, kAnswerCancel},  // out of range
      {DialogButtons::YesNo, -1, {kAnswerYes, kAnswerNo}, 0, kAnswerNo},
  };
  for (const Case& c : cases) {
    MessageBoxDesc desc;
    desc.buttons = c.buttons;
    desc.defaultButton = c.defaultButton;
    const BoxPlan plan = PlanMessageBox(desc);
    SCOPED_TRACE(static_cast<int>(c.buttons));
    ASSERT_EQ(plan.buttons.size(), c.answers.size());
    const std::vector<std::string> labels = LabelsOf(c.buttons);
    for (size_t i = 0; i < plan.buttons.size(); ++i) {
      EXPECT_EQ(plan.buttons[i].answer, c.answers[i]);
      EXPECT_EQ(plan.buttons[i].label, labels[i]);
      EXPECT_EQ(plan.buttons[i].isDefault, i == c.defaultIndex);
      EXPECT_EQ(plan.buttons[i].isEscape, c.answers[i] == c.closeAnswer);
    }
    EXPECT_EQ(plan.closeAnswer, c.closeAnswer);
  }
}

TEST(SdlDialogs, MessageBoxTextsAndIcons) {
  MessageBoxDesc desc;
  desc.captionSjis = Sjis("確認");
  desc.textSjis = Sjis("終了します。よろしいですか？");
  desc.icon = DialogIcon::Question;
  BoxPlan plan = PlanMessageBox(desc);
  EXPECT_EQ(plan.title, "確認");
  EXPECT_EQ(plan.message, "終了します。よろしいですか？");
  EXPECT_EQ(plan.icon, BoxIcon::Information);  // SDL has no question icon

  const std::pair<DialogIcon, BoxIcon> icons[] = {{DialogIcon::None, BoxIcon::None},
                                                  {DialogIcon::Error, BoxIcon::Error},
                                                  {DialogIcon::Warning, BoxIcon::Warning},
                                                  {DialogIcon::Information, BoxIcon::Information}};
  for (const auto& [icon, expected] : icons) {
    desc.icon = icon;
    EXPECT_EQ(PlanMessageBox(desc).icon, expected);
  }
}

TEST(SdlDialogs, ErrorBoxLeavesOutAnEditButtonThatCannotBeUsed) {
  ErrorDialogDesc desc;
  desc.captionSjis = "VAVEVO Debug Info.";
  desc.textSjis = Sjis("スクリプト 12 行目");
  desc.editLabelSjis = Sjis("編集(&E)");
  desc.exitLabelSjis = Sjis("終了(&X) && more");

  const int exit = static_cast<int>(ErrorDialogChoice::Exit);
  const int edit = static_cast<int>(ErrorDialogChoice::Edit);
  desc.showEdit = true;
  desc.editEnabled = true;
  BoxPlan plan = PlanErrorBox(desc);
  EXPECT_EQ(plan.title, "VAVEVO Debug Info.");
  EXPECT_EQ(plan.message, "スクリプト 12 行目");
  EXPECT_EQ(plan.icon, BoxIcon::Error);
  ASSERT_EQ(plan.buttons.size(), 2u);
  EXPECT_EQ(plan.buttons[0].label, "編集(E)");
  EXPECT_EQ(plan.buttons[0].answer, edit);
  EXPECT_FALSE(plan.buttons[0].isDefault);
  EXPECT_EQ(plan.buttons[1].label, "終了(X) & more");
  EXPECT_EQ(plan.buttons[1].answer, exit);
  EXPECT_TRUE(plan.buttons[1].isDefault);
  EXPECT_TRUE(plan.buttons[1].isEscape);
  EXPECT_EQ(plan.closeAnswer, exit);

  for (auto [show, enabled] : {std::pair{true, false}, std::pair{false, true}}) {
    desc.showEdit = show;
    desc.editEnabled = enabled;
    plan = PlanErrorBox(desc);
    ASSERT_EQ(plan.buttons.size(), 1u);
    EXPECT_EQ(plan.buttons[0].answer, exit);
  }
}

// Without any display server no box can appear; the caller must still get
// the safe answer rather than "yes".
TEST(SdlDialogs, ABoxThatCannotBeShownGivesTheSafeAnswer) {
  if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) {
    GTEST_SKIP() << "a display server is reachable: the box would wait for a person";
  }
  std::string error;
  auto platform = CreateSdlServices(test::PathOptions("surface"), error);
  ASSERT_TRUE(platform) << error;
  MessageBoxDesc desc;
  desc.captionSjis = "test";
  desc.textSjis = "nobody can see this";
  desc.buttons = DialogButtons::YesNo;
  EXPECT_EQ(platform->dialogs->ShowMessage(desc), kAnswerNo);
}

}  // namespace
}  // namespace vv::platform::sdl
