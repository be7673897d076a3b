#include "resource/error_reporter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/sjis.h"
#include "resource/editor_launch.h"
#include "resource/error_texts.h"
#include "resource/loader.h"
#include "shell/engine.h"

namespace vv::resource {

namespace {

constexpr char kErrorTextFile[] = "nvbin\\nve.nbn";
constexpr size_t kErrorTextHeaderBytes = 16;
// A dialog whose edit button keeps failing is shown again; a backend that
// answers "edit" for ever (an automation script) must not hang the run.
constexpr int kMaxDialogRounds = 64;

void Warn(Engine& engine, std::string text) {
  std::fprintf(stderr, "vavevo: %s\n", text.c_str());
  engine.errors.warnings.push_back(std::move(text));
}

// One conversion of a format: "%-08.3lld" split into its parts.
struct Conversion {
  std::string flags;
  int width = -1;
  int precision = -1;
  char type = 0;
};

int ClampField(long long v) {
  if (v < 0) return 0;
  return static_cast<int>(std::min<long long>(v, static_cast<long long>(kMaxMessageBytes)));
}

std::string Pad(std::string text, const Conversion& c) {
  if (c.width > 0 && text.size() < static_cast<size_t>(c.width)) {
    const size_t fill = static_cast<size_t>(c.width) - text.size();
    if (c.flags.find('-') != std::string::npos) text.append(fill, ' ');
    else text.insert(0, fill, ' ');
  }
  return text;
}

std::string FormatText(std::string_view text, const Conversion& c) {
  if (c.precision >= 0) text = text.substr(0, common::SjisPrefixLength(text, static_cast<size_t>(c.precision)));
  return Pad(std::string(text), c);
}

std::string FormatNumber(int64_t value, const Conversion& c) {
  std::string spec = "%" + c.flags;
  if (c.width >= 0) spec += std::to_string(c.width);
  if (c.precision >= 0) spec += "." + std::to_string(c.precision);
  char buffer[2 * kMaxMessageBytes + 64];
  switch (c.type) {
    case 'd':
    case 'i':
      spec += "lld";
      std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<long long>(value));
      break;
    case 'u':
    case 'x':
    case 'X':
    case 'o':
      spec += "ll";
      spec += c.type;
      std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<unsigned long long>(value));
      break;
    case 'c': {
      const char ch = static_cast<char>(value);
      return Pad(std::string(ch ? 1 : 0, ch), c);
    }
    default:  // e f g a: the integer as a floating-point number
      spec += c.type;
      std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<double>(value));
      break;
  }
  return buffer;
}

}  // namespace

std::string FormatMessage(std::string_view format, std::span<const ErrorArg> args) {
  std::string out;
  size_t next = 0;
  auto takeInt = [&]() -> long long {
    if (next >= args.size()) return 0;
    const ErrorArg& a = args[next++];
    return std::holds_alternative<int64_t>(a.value) ? std::get<int64_t>(a.value) : 0;
  };
  const size_t n = format.size();
  for (size_t i = 0; i < n;) {
    const auto ch = static_cast<uint8_t>(format[i]);
    if (common::IsSjisLead(ch) && i + 1 < n) {
      out.append(format.substr(i, 2));
      i += 2;
      continue;
    }
    if (ch != '%') {
      out += static_cast<char>(ch);
      ++i;
      continue;
    }
    size_t j = i + 1;
    if (j < n && format[j] == '%') {
      out += '%';
      i = j + 1;
      continue;
    }
    Conversion c;
    while (j < n && std::strchr("-+ #0", format[j]) != nullptr && format[j] != '\0') c.flags += format[j++];
    if (j < n && format[j] == '*') {
      const long long w = takeInt();
      if (w < 0) c.flags += '-';
      c.width = ClampField(w < 0 ? -w : w);
      ++j;
    } else {
      long long w = -1;
      while (j < n && format[j] >= '0' && format[j] <= '9') {
        w = std::min((w < 0 ? 0 : w) * 10 + (format[j++] - '0'), 100000LL);
      }
      if (w >= 0) c.width = ClampField(w);
    }
    if (j < n && format[j] == '.') {
      ++j;
      if (j < n && format[j] == '*') {
        const long long p = takeInt();
        c.precision = p < 0 ? -1 : ClampField(p);
        ++j;
      } else {
        long long p = 0;
        while (j < n && format[j] >= '0' && format[j] <= '9') p = std::min(p * 10 + (format[j++] - '0'), 100000LL);
        c.precision = ClampField(p);
      }
    }
    // Length prefixes change nothing: every integer is 64-bit here.
    while (j < n && std::strchr("hlLqjzt", format[j]) != nullptr && format[j] != '\0') ++j;
    if (j + 2 < n && format[j] == 'I' && ((format[j + 1] == '6' && format[j + 2] == '4') ||
                                          (format[j + 1] == '3' && format[j + 2] == '2'))) {
      j += 3;
    }
    if (j >= n || std::strchr("diuxXocsefgEGaA", format[j]) == nullptr || format[j] == '\0') {
      // Not a conversion: the text stays as written.
      out.append(format.substr(i, j - i));
      i = j;
      continue;
    }
    c.type = format[j];
    i = j + 1;
    if (next >= args.size()) {
      out += c.type == 's' ? FormatText("", c) : FormatNumber(0, c);
      continue;
    }
    const ErrorArg& a = args[next++];
    if (const auto* text = std::get_if<std::string>(&a.value)) {
      out += FormatText(*text, c);
    } else if (c.type == 's') {
      out += FormatText(std::to_string(std::get<int64_t>(a.value)), c);
    } else {
      out += FormatNumber(std::get<int64_t>(a.value), c);
    }
  }
  return out;
}

std::string ErrorText(const Engine& engine, ErrorCode code) {
  if (auto builtin = BuiltinErrorText(code)) return std::string(*builtin);
  const ErrorReporterState& st = engine.errors;
  for (size_t i = 0; i < st.textCount; ++i) {
    if (st.textCodes[i] == code) {
      const auto* p = reinterpret_cast<const char*>(st.textImage.data() + st.textOffsets[i]);
      return std::string(p);  // SetErrorTexts checked the terminator
    }
  }
  return std::string(GenericErrorText());
}

void SetErrorTexts(Engine& engine, std::vector<uint8_t> image) {
  ErrorReporterState& st = engine.errors;
  st.textImage = std::move(image);
  st.textCount = 0;
  common::ByteReader r(st.textImage, kErrorTextFile);
  r.Seek(8);
  const int32_t count = r.I32();
  r.Seek(kErrorTextHeaderBytes);
  if (!r.ok()) {
    Warn(engine, std::string(kErrorTextFile) + ": the file is too short to hold its header");
    return;
  }
  const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
  for (size_t i = 0; i < wanted; ++i) {
    if (i == kErrorTextSlots) {
      Warn(engine, std::string(kErrorTextFile) + ": " + std::to_string(count) +
                       " error texts; only the first 256 are used");
      break;
    }
    const auto code = static_cast<ErrorCode>(r.U32());
    const size_t offset = r.pos();
    r.CString();
    if (!r.ok()) {
      Warn(engine, std::string(kErrorTextFile) + ": the file ends inside error text " + std::to_string(i + 1) +
                       " of " + std::to_string(count));
      break;
    }
    st.textCodes[st.textCount] = code;
    st.textOffsets[st.textCount] = static_cast<uint32_t>(offset);
    ++st.textCount;
  }
}

int LoadErrorTexts(Engine& engine) {
  LoadedFile file;
  if (LoadFile(engine, file, kErrorTextFile, true, true) != 0) return -1;
  SetErrorTexts(engine, std::move(file.data));
  return 0;
}

namespace {

void ShowDialog(Engine& engine, ErrorCode code) {
  ErrorReporterState& st = engine.errors;
  platform::Platform& p = engine.platform;
  if (p.input) p.input->ShowCursor(true);
  if (!p.dialogs) return;
  platform::ErrorDialogDesc desc;
  desc.captionSjis = std::string(DialogText(code == kLicenceNotice ? DialogTextId::kLicenceCaption
                                                                    : DialogTextId::kCaption));
  desc.textSjis = st.message;
  desc.editLabelSjis = std::string(DialogText(DialogTextId::kEditButton));
  desc.exitLabelSjis = std::string(DialogText(DialogTextId::kExitButton));
  desc.showEdit = engine.config.debugMode != 0;
  desc.editEnabled = desc.showEdit && !st.locationFile.empty();
  for (int round = 0; round < kMaxDialogRounds; ++round) {
    const platform::ErrorDialogChoice choice = p.dialogs->ShowError(desc);
    if (choice != platform::ErrorDialogChoice::Edit || !desc.editEnabled) return;
    // The dialog closes once the editor has started; otherwise it stays.
    if (OpenScriptInEditor(engine, st.locationFile, st.locationLine)) return;
  }
}

int Report(Engine& engine, ErrorCode code, bool halt, std::span<const ErrorArg> args, bool withLocation) {
  ErrorReporterState& st = engine.errors;
  st.locationFile.clear();
  st.locationLine = 1;
  std::string message;
  if (withLocation && st.scriptLocation) {
    if (auto where = st.scriptLocation()) {
      // The header is filled before the text and never scanned again, so
      // a '%' in a file name stays a plain character.
      const ErrorArg headerArgs[] = {where->file, where->line};
      message = FormatMessage(DialogText(DialogTextId::kLocationHeader), headerArgs);
      st.locationFile = where->file;
      st.locationLine = where->line;
    }
  }
  // A report never clears a halt an earlier report asked for: a warning
  // after a fatal error must not let the engine run on.
  if (halt) engine.shell.flags.halted = true;
  message += FormatMessage(ErrorText(engine, code), args);
  // The licence notice is a fixed text whose every line a licence asks
  // for; every other message is held to the dialog's buffer.
  if (code != kLicenceNotice && message.size() > kMaxMessageBytes) {
    message.resize(common::SjisPrefixLength(message, kMaxMessageBytes));
  }
  st.message = message;
  const bool show = !st.dialogShown;
  st.reports.push_back({code, halt, show, std::move(message)});
  if (show) {
    st.dialogShown = true;
    ShowDialog(engine, code);
  }
  return -1;
}

}  // namespace

int ReportError(Engine& engine, ErrorCode code, bool halt, std::initializer_list<ErrorArg> args) {
  return Report(engine, code, halt, std::span(args.begin(), args.size()), true);
}

int ReportSystemError(Engine& engine, ErrorCode code, bool halt, std::initializer_list<ErrorArg> args) {
  return Report(engine, code, halt, std::span(args.begin(), args.size()), false);
}

}  // namespace vv::resource
