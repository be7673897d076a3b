// The reporter's own fixed texts (internal to the resource subsystem).
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "resource/error_reporter.h"

namespace vv::resource {

enum class DialogTextId : size_t {
  kCaption,         // the error dialog's caption
  kLicenceCaption,  // its caption while the licence notice is shown
  kEditButton,
  kExitButton,
  kLocationHeader,  // %s the script file, %d the line
};

inline constexpr const char* kDialogTextsUtf8[] = {
    "VAVEVO Debug Info.",
    "License Infomation",
    "編集(&E)",
    "終了(&X)",
    "[対象ファイル]\n%s\n\n[場所]\n%d 行目\n\n[内容]\n\n",
};
inline constexpr size_t kDialogTextCount = std::size(kDialogTextsUtf8);

// Shift-JIS forms, converted once.
std::string_view GenericErrorText();
std::string_view DialogText(DialogTextId id);

// Every fixed text in its UTF-8 source form (code 0: the generic text,
// -1: dialog texts), for the test that they all convert.
std::vector<std::pair<ErrorCode, std::string_view>> BuiltinTextsUtf8();

}  // namespace vv::resource
