// Message boxes and the error dialog as SDL message boxes.
#include <SDL.h>

#include <algorithm>
#include <cstdio>

#include "common/encoding.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_services.h"

namespace vv::platform::sdl {
namespace {

// "&Edit" marks a mnemonic where the label came from; SDL would show the
// '&' itself. "&&" stands for one '&'.
std::string StripMnemonics(std::string_view label) {
  std::string out;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] != '&') {
      out.push_back(label[i]);
    } else if (i + 1 < label.size() && label[i + 1] == '&') {
      out.push_back('&');
      ++i;
    }
  }
  return out;
}

Uint32 IconFlags(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Error: return SDL_MESSAGEBOX_ERROR;
    case BoxIcon::Warning: return SDL_MESSAGEBOX_WARNING;
    case BoxIcon::Information: return SDL_MESSAGEBOX_INFORMATION;
    case BoxIcon::None: break;
  }
  return 0;
}

class SdlDialogs final : public Dialogs {
 public:
  explicit SdlDialogs(SdlDisplay& display) : display_(display) {}

  int ShowMessage(const MessageBoxDesc& desc) override { return Run(PlanMessageBox(desc)); }

  ErrorDialogChoice ShowError(const ErrorDialogDesc& desc) override {
    return static_cast<ErrorDialogChoice>(Run(PlanErrorBox(desc)));
  }

  // Missing: SDL has no text input box. The input dialog is to be drawn by
  // the engine in its window; until then every input dialog answers as if
  // cancelled.
  std::optional<std::string> ShowInput(const InputDialogDesc& /*desc*/) override {
    return std::nullopt;
  }

 private:
  int Run(const BoxPlan& plan) {
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (size_t i = 0; i < plan.buttons.size(); ++i) {
      const BoxButton& b = plan.buttons[i];
      Uint32 flags = 0;
      if (b.isDefault) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
      if (b.isEscape) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
      buttons.push_back({flags, static_cast<int>(i), b.label.c_str()});
    }
    SDL_MessageBoxData data{};
    data.flags = IconFlags(plan.icon) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.window = display_.WindowOf(0);
    data.title = plan.title.c_str();
    data.message = plan.message.c_str();
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();
    int chosen = -1;
    if (SDL_ShowMessageBox(&data, &chosen) != 0) {
      // No box could be shown (no display server, no dialog helper): the
      // text goes to stderr so it is not lost, and the safe answer is taken.
      std::fprintf(stderr, "%s: %s\n", plan.title.c_str(), plan.message.c_str());
      return plan.closeAnswer;
    }
    if (chosen < 0 || chosen >= static_cast<int>(plan.buttons.size())) return plan.closeAnswer;
    return plan.buttons[static_cast<size_t>(chosen)].answer;
  }

  SdlDisplay& display_;
};

}  // namespace

BoxPlan PlanMessageBox(const MessageBoxDesc& desc) {
  BoxPlan plan;
  plan.title = common::SjisToUtf8(desc.captionSjis);
  plan.message = common::SjisToUtf8(desc.textSjis);
  switch (desc.icon) {
    case DialogIcon::Error: plan.icon = BoxIcon::Error; break;
    case DialogIcon::Warning: plan.icon = BoxIcon::Warning; break;
    case DialogIcon::Question:
    case DialogIcon::Information: plan.icon = BoxIcon::Information; break;
    case DialogIcon::None: plan.icon = BoxIcon::None; break;
  }
  const std::vector<int> answers = AnswersOf(desc.buttons);
  const std::vector<std::string> labels = LabelsOf(desc.buttons);
  const bool defaultInRange =
      desc.defaultButton >= 0 && desc.defaultButton < static_cast<int>(answers.size());
  const size_t defaultIndex = defaultInRange ? static_cast<size_t>(desc.defaultButton) : 0;

  auto has = [&](int a) { return std::find(answers.begin(), answers.end(), a) != answers.end(); };
  plan.closeAnswer = has(kAnswerCancel) ? kAnswerCancel
                     : has(kAnswerNo)   ? kAnswerNo
                     : has(kAnswerOk)   ? kAnswerOk
                                        : kAnswerIgnore;
  for (size_t i = 0; i < answers.size(); ++i) {
    plan.buttons.push_back({StripMnemonics(labels[i]), answers[i], i == defaultIndex,
                            answers[i] == plan.closeAnswer});
  }
  return plan;
}

BoxPlan PlanErrorBox(const ErrorDialogDesc& desc) {
  BoxPlan plan;
  plan.title = common::SjisToUtf8(desc.captionSjis);
  plan.message = common::SjisToUtf8(desc.textSjis);
  plan.icon = BoxIcon::Error;
  const int exit = static_cast<int>(ErrorDialogChoice::Exit);
  if (desc.showEdit && desc.editEnabled) {
    plan.buttons.push_back({StripMnemonics(common::SjisToUtf8(desc.editLabelSjis)),
                            static_cast<int>(ErrorDialogChoice::Edit), false, false});
  }
  plan.buttons.push_back({StripMnemonics(common::SjisToUtf8(desc.exitLabelSjis)), exit, true, true});
  plan.closeAnswer = exit;
  return plan;
}

std::unique_ptr<Dialogs> CreateSdlDialogs(SdlDisplay& display) {
  return std::make_unique<SdlDialogs>(display);
}

}  // namespace vv::platform::sdl
