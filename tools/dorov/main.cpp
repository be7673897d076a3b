// dorov: compiles a game project into the engine's nvbin/ files, and
// prints compiled files back.
#include <cstdio>
#include <fstream>
#include <string>

#include "dorov/command_docs.h"
#include "dorov/compiler.h"
#include "dorov/disassembler.h"
#include "dorov/project.h"

namespace {

constexpr char kUsage[] =
    "usage: dorov PROJECT_DIR [-o NVBIN_DIR]\n"
    "       dorov --disassemble NVBIN_DIR\n"
    "       dorov --command-docs [FILE]\n"
    "\n"
    "Compiles the game project in PROJECT_DIR into the engine's compiled\n"
    "files, written to NVBIN_DIR (default PROJECT_DIR/nvbin). The settings\n"
    "are read from PROJECT_DIR/game.ini, the scripts are every *.vvs file\n"
    "below PROJECT_DIR. Errors are reported as FILE:LINE:COLUMN.\n"
    "\n"
    "--disassemble prints every compiled file of NVBIN_DIR readably.\n"
    "--command-docs writes the command reference (docs/commands.md).\n";

int Disassemble(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  std::string error;
  if (!vv::dorov::ReadNvbinFolder(folder, files, error)) {
    std::fprintf(stderr, "dorov: %s\n", error.c_str());
    return 1;
  }
  const auto d = vv::dorov::Disassemble(files);
  std::fputs(d.text.c_str(), stdout);
  for (const auto& p : d.problems) std::fprintf(stderr, "dorov: %s\n", p.c_str());
  return d.problems.empty() ? 0 : 1;
}

int CommandDocs(const std::string& file) {
  const std::string md = vv::dorov::CommandReferenceMarkdown();
  if (file.empty()) {
    std::fputs(md.c_str(), stdout);
    return 0;
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << md;
  if (!out.flush()) {
    std::fprintf(stderr, "dorov: cannot write %s\n", file.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string project, out;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--disassemble") {
      if (i + 2 != argc) {
        std::fputs(kUsage, stderr);
        return 2;
      }
      return Disassemble(argv[i + 1]);
    } else if (a == "--command-docs") {
      if (i + 2 < argc) {
        std::fputs(kUsage, stderr);
        return 2;
      }
      return CommandDocs(i + 1 < argc ? argv[i + 1] : "");
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

  vv::dorov::Project p;
  std::string error;
  if (!vv::dorov::LoadProject(project, out, p, error)) {
    std::fprintf(stderr, "dorov: %s\n", error.c_str());
    return 1;
  }
  const auto result = vv::dorov::CompileProject(p.sources, p.settings, p.options);
  if (!result.ok()) {
    std::fputs(result.ErrorText().c_str(), stderr);
    std::fprintf(stderr, "dorov: %zu error%s\n", result.diagnostics.size(), result.diagnostics.size() == 1 ? "" : "s");
    return 1;
  }
  if (!vv::dorov::WriteNvbin(out, result.files, error)) {
    std::fprintf(stderr, "dorov: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
