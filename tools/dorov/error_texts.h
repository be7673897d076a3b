// The Japanese texts dorov writes for the engine: the error text file
// (one text for every error code the engine raises) and the 37 texts that
// explain a failed file operation, carried by the command table file.
//
// The texts are written here in UTF-8 and turned into Shift-JIS when a
// game is compiled; a test checks that every one converts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dorov/compiled_files.h"

namespace vv::dorov {

struct ErrorTextSource {
  int32_t code;
  std::string_view utf8;  // printf-style; the arguments its code is raised with
};

// Every code the engine raises, with its text, in code order.
std::span<const ErrorTextSource> EngineErrorTextSources();
// The same in Shift-JIS, as written into nvbin\nve.nbn.
std::vector<ErrorTextOut> EngineErrorTexts();

// Texts for errno 0..36, in UTF-8 and in Shift-JIS.
std::span<const std::string_view> FileErrorTextSources();
std::vector<std::string> FileErrorTexts();

}  // namespace vv::dorov
