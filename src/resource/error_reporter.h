// The one error reporter.
//
// A failure is named by a six-digit code. The reporter looks up the code's
// text, fills in the caller's arguments, stores the halt argument in the
// engine's Halted flag and shows the first report of the run in the error
// dialog; later reports of the run are composed and recorded but not shown.
//
// Reports come from the thread that runs the frames and, during start-up
// and window messages, from the main thread; the dialog is modal on the
// calling thread. The reporter takes no lock: the engine never reports from
// two threads at once (the sound thread shows its own message box).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vv {
struct Engine;
}

namespace vv::resource {

using ErrorCode = int32_t;

// One printf-style argument: a text (Shift-JIS) or an integer.
struct ErrorArg {
  ErrorArg(int v) : value(static_cast<int64_t>(v)) {}
  ErrorArg(long v) : value(static_cast<int64_t>(v)) {}
  ErrorArg(long long v) : value(static_cast<int64_t>(v)) {}
  ErrorArg(unsigned v) : value(static_cast<int64_t>(v)) {}
  ErrorArg(unsigned long v) : value(static_cast<int64_t>(v)) {}
  ErrorArg(const char* v) : value(std::string(v ? v : "")) {}
  ErrorArg(std::string_view v) : value(std::string(v)) {}
  ErrorArg(const std::string& v) : value(v) {}
  std::variant<int64_t, std::string> value;
};

// The composed message holds at most this many bytes (and a terminator in
// the dialog's buffer); longer output is cut at a character boundary.
constexpr size_t kMaxMessageBytes = 1023;
// The error text file fills at most this many slots.
constexpr size_t kErrorTextSlots = 256;

constexpr ErrorCode kLicenceNotice = 100000;
constexpr ErrorCode kOutOfMemory = 100010;

// Where the script stands: the source name of the running file (Shift-JIS)
// and the line of the last command read.
struct ScriptLocation {
  std::string file;
  int line = 1;
};

// What a report left behind; tests and the headless run read it.
struct ErrorRecord {
  ErrorCode code = 0;
  bool halt = false;
  bool shown = false;        // this report opened the dialog
  std::string message;       // composed message, Shift-JIS
};

struct ErrorReporterState {
  bool dialogShown = false;          // set by the first report; never cleared
  std::string message;               // the last composed message
  std::string locationFile;          // script file of the last report, or empty
  int locationLine = 1;
  std::vector<ErrorRecord> reports;  // every report of the run, in order

  // The interpreter installs this once it has run a pass; ReportError asks
  // it for the current context's file and line (nullopt: no location yet).
  // It stays installed for the run, so a report raised outside a command
  // (during composition, say) names the last command read.
  std::function<std::optional<ScriptLocation>()> scriptLocation;

  // The error text file: its image, kept for the run, and up to 256 slots
  // of code and text offset into the image.
  std::vector<uint8_t> textImage;
  std::array<ErrorCode, kErrorTextSlots> textCodes{};
  std::array<uint32_t, kErrorTextSlots> textOffsets{};
  size_t textCount = 0;

  // Problems worth a note that are no failure (a surplus of error texts);
  // each is also written to standard error once.
  std::vector<std::string> warnings;
};

// A failure inside script execution (carries the script location once the
// interpreter has run). Returns -1 so callers can `return ReportError(...)`.
int ReportError(Engine& engine, ErrorCode code, bool halt, std::initializer_list<ErrorArg> args = {});
// A failure outside a script's context; never carries a location.
int ReportSystemError(Engine& engine, ErrorCode code, bool halt,
                      std::initializer_list<ErrorArg> args = {});

// The text used for `code` (Shift-JIS): the built-in text when there is
// one, else the first matching text of the error text file, else the
// generic internal-error text.
std::string ErrorText(const Engine& engine, ErrorCode code);

// The built-in text of `code` (Shift-JIS), or nullopt.
std::optional<std::string_view> BuiltinErrorText(ErrorCode code);

// The error texts the engine carries itself (the failures that can come
// before the error text file is read), in UTF-8 and in code order; the
// licence notice is not among them. The compiler writes the same texts
// into the error text file, so both always agree.
struct BuiltinErrorTextSource {
  ErrorCode code;
  std::string_view utf8;
};
std::span<const BuiltinErrorTextSource> BuiltinErrorTextSources();

// Loads `nvbin\nve.nbn` into the text tables. 0, or -1 when the file
// cannot be loaded (the loader reported why). Records beyond 256 are
// ignored with one warning; a file that ends inside a record keeps the
// records before it.
int LoadErrorTexts(Engine& engine);
// Fills the text tables from a file image (what LoadErrorTexts does after
// loading).
void SetErrorTexts(Engine& engine, std::vector<uint8_t> image);

// printf-style formatting of a Shift-JIS `format` with `args`: %d %i %u %x
// %X %o %c %s %% with flags, width and precision; l, ll, h, I64 length
// prefixes are accepted and ignored (integers are 64-bit). A conversion
// without an argument prints nothing for %s and 0 otherwise; a text given
// to a number conversion prints the text, a number given to %s its digits.
std::string FormatMessage(std::string_view format, std::span<const ErrorArg> args);

}  // namespace vv::resource
