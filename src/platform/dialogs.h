// Modal dialogs: message boxes, the error dialog and the text input dialog.
// Every text crosses this interface in Shift-JIS.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vv::platform {

enum class DialogButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class DialogIcon { None, Error, Question, Warning, Information };

// Answers use the numbering scripts see: 1 OK, 2 Cancel, 3 Abort, 4 Retry,
// 5 Ignore, 6 Yes, 7 No.
enum DialogAnswer : int {
  kAnswerOk = 1, kAnswerCancel = 2, kAnswerAbort = 3, kAnswerRetry = 4,
  kAnswerIgnore = 5, kAnswerYes = 6, kAnswerNo = 7,
};

// The answers of a button set, in the order the buttons are shown.
std::vector<int> AnswersOf(DialogButtons buttons);
// Their labels (UTF-8), in the same order.
std::vector<std::string> LabelsOf(DialogButtons buttons);

struct MessageBoxDesc {
  std::string captionSjis;
  std::string textSjis;
  DialogButtons buttons = DialogButtons::Ok;
  DialogIcon icon = DialogIcon::None;
  int defaultButton = 0;  // index into the button set
};

// The error dialog: a message with an exit button and, in debug runs, an
// edit button that opens the failing script line.
struct ErrorDialogDesc {
  std::string captionSjis;
  std::string textSjis;
  std::string editLabelSjis, exitLabelSjis;
  bool showEdit = false;
  bool editEnabled = false;
};
enum class ErrorDialogChoice { Exit, Edit };

struct InputDialogDesc {
  std::string captionSjis;
  std::string promptSjis;
  std::string initialSjis;
  int maxBytes = 255;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a message box and returns the answer (a DialogAnswer).
  virtual int ShowMessage(const MessageBoxDesc& desc) = 0;
  virtual ErrorDialogChoice ShowError(const ErrorDialogDesc& desc) = 0;
  // The text the user entered, or nullopt when cancelled.
  virtual std::optional<std::string> ShowInput(const InputDialogDesc& desc) = 0;
};

}  // namespace vv::platform
