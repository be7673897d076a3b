// dorov: compiles a game project into the engine's nvbin/ files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "dorov/compiled_files.h"
#include "dorov/project_settings.h"

namespace {

constexpr char kUsage[] =
    "usage: dorov PROJECT_DIR [-o NVBIN_DIR]\n"
    "\n"
    "Compiles the game project in PROJECT_DIR into the engine's compiled\n"
    "files, written to NVBIN_DIR (default PROJECT_DIR/nvbin).\n"
    "The project's settings are read from PROJECT_DIR/game.ini.\n";

bool ReadText(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  std::string project, out;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "-o" && i + 1 < argc) {
      out = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "dorov: unknown option '%s' (try --help)\n", a.c_str());
      return 2;
    } else if (project.empty()) {
      project = a;
    } else {
      std::fprintf(stderr, "dorov: more than one project folder given\n");
      return 2;
    }
  }
  if (project.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (out.empty()) out = project + "/nvbin";

  const std::string settingsPath = project + "/game.ini";
  std::string text, error;
  if (!ReadText(settingsPath, text)) {
    std::fprintf(stderr, "dorov: cannot read %s\n", settingsPath.c_str());
    return 1;
  }
  auto settings = vv::dorov::ParseProjectSettings(text, settingsPath, error);
  if (!settings) {
    std::fprintf(stderr, "dorov: %s\n", error.c_str());
    return 1;
  }

  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::fprintf(stderr, "dorov: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
    return 1;
  }

  std::array<std::string, vv::dorov::kFileErrorTexts> fileErrors{};
  std::array<uint8_t, 256> keyMap{};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } files[] = {
      {"nvcfg.nbn", vv::shell::EncodeConfiguration(*settings)},
      {"nvc.nbn", vv::dorov::EncodeCommandTable({}, fileErrors, keyMap)},
  };
  for (const auto& f : files) {
    const std::string path = out + "/" + f.name;
    if (!WriteBytes(path, f.bytes)) {
      std::fprintf(stderr, "dorov: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
