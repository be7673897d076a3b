#include "app/command_line.h"

#include <charconv>
#include <cstring>

namespace vv::app {

namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end && !text.empty();
}

}  // namespace

std::string UsageText() {
  return "usage: vavevo [--game DIR] [--headless] [engine options] [-- script arguments]\n"
         "\n"
         "Runs the game in DIR (default: the folder of this program).\n"
         "\n"
         "  --game DIR            the game folder (holds nvbin/ and the game's files)\n"
         "  --headless            no window or sound device: deterministic virtual time,\n"
         "                        frames kept in memory (chosen by itself without a display)\n"
         "  --sdl                 insist on the desktop backend\n"
         "  --frames N            end the run after N frames, as a confirmed close would\n"
         "  --screenshot-dir DIR  headless: write PNG screenshots into DIR\n"
         "                        (default ./screenshots)\n"
         "  --input FILE          headless: scripted input (see the README)\n"
         "  --dialog-log FILE     append one JSON line per dialog the engine shows\n"
         "  --answers FILE        headless: answers to the dialogs, one per line\n"
         "  --seed N              seed of the script's random generator\n"
         "  --dump-state FILE     write variables and script contexts as JSON at the end\n"
         "  --present PATH        texture or surface: skip the presentation speed trial\n"
         "  --help                show this text\n"
         "\n"
         "Everything after -- reaches the game's scripts as their arguments.\n"
         "Exit codes: 0 normal end, 2 usage error, 3 an error report stopped the game.\n";
}

std::optional<Options> ParseCommandLine(int argc, const char* const* argv, std::string& error) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--") {
      for (++i; i < argc; ++i) o.scriptArgs.emplace_back(argv[i]);
      break;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--headless") {
      o.backend = Backend::Headless;
    } else if (arg == "--sdl") {
      o.backend = Backend::Sdl;
    } else if (arg == "--game") {
      if (!value(o.gameDir)) return std::nullopt;
    } else if (arg == "--frames") {
      if (!value(v)) return std::nullopt;
      if (!ParseNumber(v, o.frames) || o.frames == 0) {
        error = "--frames needs a positive number, not '" + v + "'";
        return std::nullopt;
      }
    } else if (arg == "--seed") {
      if (!value(v)) return std::nullopt;
      uint32_t seed = 0;
      if (!ParseNumber(v, seed)) {
        error = "--seed needs a number from 0 to 4294967295, not '" + v + "'";
        return std::nullopt;
      }
      o.seed = seed;
    } else if (arg == "--screenshot-dir") {
      if (!value(o.screenshotDir)) return std::nullopt;
    } else if (arg == "--input") {
      if (!value(o.inputScript)) return std::nullopt;
    } else if (arg == "--dialog-log") {
      if (!value(o.dialogLog)) return std::nullopt;
    } else if (arg == "--answers") {
      if (!value(o.answers)) return std::nullopt;
    } else if (arg == "--dump-state") {
      if (!value(o.dumpState)) return std::nullopt;
    } else if (arg == "--present") {
      if (!value(o.presentPath)) return std::nullopt;
      if (o.presentPath != "texture" && o.presentPath != "surface") {
        error = "--present takes texture or surface, not '" + o.presentPath + "'";
        return std::nullopt;
      }
    } else {
      error = "unknown option '" + arg + "' (try --help)";
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace vv::app
