// Headless dialogs: nobody is there to click, so every dialog is answered
// from a list of answers (or by its default) and recorded for the test or
// the CI log that wants to know what the game asked.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace vv::platform {

struct DialogRecord {
  uint64_t frame = 0;                // the frame the dialog opened in (0 before the first)
  std::string kind;                  // "message", "error" or "input"
  std::string caption, text;         // UTF-8; an input dialog's text is its prompt
  std::vector<std::string> buttons;  // UTF-8 labels in the order shown
  int answer = 0;                    // message, error: the chosen button, from 1
  std::optional<std::string> input;  // input: the text entered (UTF-8); nullopt cancelled
};

// Answers, one per dialog in the order the dialogs open:
//   message box:  the number of the button to press, from 1 in the order
//                 shown; anything else presses the first button;
//   error dialog: the same numbering; a number that is no shown and enabled
//                 button chooses Exit;
//   input dialog: the text to enter (UTF-8, cut to the dialog's limit), or
//                 the line "<cancel>" to cancel.
// Without an answer, message boxes press their first button, the error
// dialog chooses Exit, and input dialogs return their initial text.
class RecordedDialogs final : public Dialogs {
 public:
  static constexpr const char* kCancelAnswer = "<cancel>";

  int ShowMessage(const MessageBoxDesc& desc) override;
  ErrorDialogChoice ShowError(const ErrorDialogDesc& desc) override;
  std::optional<std::string> ShowInput(const InputDialogDesc& desc) override;

  void AddAnswer(std::string answer) { answers_.push_back(std::move(answer)); }
  // Every line of the text is an answer (a last line without newline too).
  void AddAnswers(std::string_view lines);
  // Appends one JSON object per dialog to `hostPath` from now on:
  // {"frame": n, "kind": "...", "caption": "...", "text": "...",
  //  "buttons": [...], "answer": <button number, or text or null>}.
  // False with a reason when the file cannot be opened for appending.
  bool SetLog(std::string hostPath, std::string& error);
  void SetFrame(uint64_t frame) { frame_ = frame; }

  const std::vector<DialogRecord>& Records() const { return records_; }
  // Lines that could not be appended to the log, as reasons.
  const std::vector<std::string>& Problems() const { return problems_; }

 private:
  std::optional<std::string> NextAnswer();
  void Record(DialogRecord record);

  std::deque<std::string> answers_;
  std::vector<DialogRecord> records_;
  std::vector<std::string> problems_;
  std::string logPath_;
  uint64_t frame_ = 0;
};

// `text` as a JSON string literal, quotes included. Control characters are
// escaped; other bytes pass as they are (the caller gives UTF-8).
std::string JsonString(std::string_view text);
// The JSON line of a record (without the newline).
std::string DialogRecordJson(const DialogRecord& record);

}  // namespace vv::platform
