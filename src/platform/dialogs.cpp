#include "platform/dialogs.h"

namespace vv::platform {

std::vector<int> AnswersOf(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::Ok: return {kAnswerOk};
    case DialogButtons::OkCancel: return {kAnswerOk, kAnswerCancel};
    case DialogButtons::AbortRetryIgnore: return {kAnswerAbort, kAnswerRetry, kAnswerIgnore};
    case DialogButtons::YesNoCancel: return {kAnswerYes, kAnswerNo, kAnswerCancel};
    case DialogButtons::YesNo: return {kAnswerYes, kAnswerNo};
    case DialogButtons::RetryCancel: return {kAnswerRetry, kAnswerCancel};
  }
  return {kAnswerOk};
}

std::vector<std::string> LabelsOf(DialogButtons buttons) {
  std::vector<std::string> labels;
  for (int a : AnswersOf(buttons)) {
    switch (a) {
      case kAnswerOk: labels.push_back("OK"); break;
      case kAnswerCancel: labels.push_back("キャンセル"); break;
      case kAnswerAbort: labels.push_back("中止"); break;
      case kAnswerRetry: labels.push_back("再試行"); break;
      case kAnswerIgnore: labels.push_back("無視"); break;
      case kAnswerYes: labels.push_back("はい"); break;
      case kAnswerNo: labels.push_back("いいえ"); break;
    }
  }
  return labels;
}

}  // namespace vv::platform
