#include "platform/headless/recorded_dialogs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/encoding.h"
#include "common/sjis.h"
#include "platform/posix/unique_fd.h"

namespace vv::platform {

namespace {

// The button number an answer names, from 1; 0 when it names none.
int ButtonNumber(const std::optional<std::string>& answer, size_t buttons) {
  if (!answer) return 0;
  int n = 0;
  const char* end = answer->data() + answer->size();
  const auto [ptr, ec] = std::from_chars(answer->data(), end, n);
  if (ec != std::errc() || ptr != end || n < 1 || static_cast<size_t>(n) > buttons) return 0;
  return n;
}

UniqueFd OpenLog(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

std::string DialogRecordJson(const DialogRecord& r) {
  std::string out = "{\"frame\": " + std::to_string(r.frame) + ", \"kind\": " + JsonString(r.kind) +
                    ", \"caption\": " + JsonString(r.caption) +
                    ", \"text\": " + JsonString(r.text) + ", \"buttons\": [";
  for (size_t i = 0; i < r.buttons.size(); ++i) {
    if (i > 0) out += ", ";
    out += JsonString(r.buttons[i]);
  }
  out += "], \"answer\": ";
  if (r.kind == "input") out += r.input ? JsonString(*r.input) : "null";
  else out += std::to_string(r.answer);
  out += '}';
  return out;
}

void RecordedDialogs::AddAnswers(std::string_view lines) {
  while (!lines.empty()) {
    const size_t nl = lines.find('\n');
    std::string_view line = lines.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    answers_.emplace_back(line);
    lines = nl == std::string_view::npos ? std::string_view() : lines.substr(nl + 1);
  }
}

bool RecordedDialogs::SetLog(std::string hostPath, std::string& error) {
  if (!OpenLog(hostPath).valid()) {
    error = "cannot open the dialog log " + hostPath + ": " + std::strerror(errno);
    return false;
  }
  logPath_ = std::move(hostPath);
  return true;
}

std::optional<std::string> RecordedDialogs::NextAnswer() {
  if (answers_.empty()) return std::nullopt;
  std::string a = std::move(answers_.front());
  answers_.pop_front();
  return a;
}

void RecordedDialogs::Record(DialogRecord record) {
  record.frame = frame_;
  if (!logPath_.empty()) {
    // One write per line with O_APPEND: a line is never split, even when
    // another run appends to the same log.
    const std::string line = DialogRecordJson(record) + "\n";
    UniqueFd fd = OpenLog(logPath_);
    if (!fd.valid() ||
        ::write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      problems_.push_back("cannot append to the dialog log " + logPath_ + ": " +
                          std::strerror(errno));
    }
  }
  records_.push_back(std::move(record));
}

int RecordedDialogs::ShowMessage(const MessageBoxDesc& desc) {
  const std::vector<int> answers = AnswersOf(desc.buttons);
  DialogRecord r;
  r.kind = "message";
  r.caption = common::SjisToUtf8(desc.captionSjis);
  r.text = common::SjisToUtf8(desc.textSjis);
  r.buttons = LabelsOf(desc.buttons);
  const int n = ButtonNumber(NextAnswer(), answers.size());
  r.answer = n == 0 ? 1 : n;
  const int result = answers[static_cast<size_t>(r.answer - 1)];
  Record(std::move(r));
  return result;
}

ErrorDialogChoice RecordedDialogs::ShowError(const ErrorDialogDesc& desc) {
  DialogRecord r;
  r.kind = "error";
  r.caption = common::SjisToUtf8(desc.captionSjis);
  r.text = common::SjisToUtf8(desc.textSjis);
  if (desc.showEdit) r.buttons.push_back(common::SjisToUtf8(desc.editLabelSjis));
  r.buttons.push_back(common::SjisToUtf8(desc.exitLabelSjis));
  const int exitNumber = static_cast<int>(r.buttons.size());
  const int n = ButtonNumber(NextAnswer(), r.buttons.size());
  // A disabled edit button cannot be pressed.
  const bool edit = desc.showEdit && desc.editEnabled && n == 1;
  r.answer = edit ? 1 : exitNumber;
  Record(std::move(r));
  return edit ? ErrorDialogChoice::Edit : ErrorDialogChoice::Exit;
}

std::optional<std::string> RecordedDialogs::ShowInput(const InputDialogDesc& desc) {
  DialogRecord r;
  r.kind = "input";
  r.caption = common::SjisToUtf8(desc.captionSjis);
  r.text = common::SjisToUtf8(desc.promptSjis);
  r.buttons = LabelsOf(DialogButtons::OkCancel);
  std::optional<std::string> result;
  if (auto answer = NextAnswer()) {
    if (*answer != kCancelAnswer) {
      std::string sjis = common::IsValidUtf8(*answer) ? common::Utf8ToSjisLossy(*answer) : *answer;
      const size_t limit = desc.maxBytes > 0 ? static_cast<size_t>(desc.maxBytes) : 0;
      sjis.resize(common::SjisPrefixLength(sjis, limit));
      result = std::move(sjis);
    }
  } else {
    result = desc.initialSjis;
  }
  r.answer = result ? kAnswerOk : kAnswerCancel;
  if (result) r.input = common::SjisToUtf8(*result);
  Record(std::move(r));
  return result;
}

}  // namespace vv::platform
