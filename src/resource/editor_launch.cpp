#include "resource/editor_launch.h"

#include <cstdlib>

#include "common/sjis.h"
#include "resource/file_types.h"
#include "shell/engine.h"

namespace vv::resource {

namespace {

// One editor's arguments. `arguments` is a command-line tail in which %c
// stands for a double quote, %s for the path and %d for the line; `fill`
// names what each placeholder takes, in order (q quote, p path, l line).
// Each space-separated word becomes one argument and the quotes only mark
// where a word holds the path, so a path with spaces stays one argument.
struct EditorFormat {
  std::string_view name;  // program file name, letter case ignored
  std::string_view arguments;
  std::string_view fill;
  bool terminal = false;
};

constexpr EditorFormat kEditors[] = {
    // Windows editors (run through a compatibility layer, or on Windows).
    {"apsaly.exe", " /j%d %s", "lp"},
    {"EmEditor.exe", " %c%s%c /l %d", "qpql"},
    {"Ginnie.exe", " %c%s%c /r%d", "qpql"},
    {"GinnieFE.exe", " %c%s%c /r%d", "qpql"},
    {"Jcref.exe", " %c%s%c /r%d", "qpql"},
    {"JmEdit2.exe", " %c%s%c/%d", "qpql"},
    {"K2Editor.exe", " %s /j%d", "pl"},
    {"MIW.exe", " %c%s+%d%c", "qplq"},
    {"oseditor2.exe", " /j%d %s", "lp"},
    {"otbedit.exe", " %s /r%d", "pl"},
    {"QXW32.exe", " -J%d %c%s%c", "lqpq"},
    {"tepa.exe", " /j%d %c%s%c", "lqpq"},
    {"TeraPad.exe", " /jl=%d %s", "lp"},
    {"whinny.exe", " %c%s/%d%c", "qplq"},
    {"WZEDITOR.exe", " %s /j%d", "pl"},
    {"sakura.exe", " %c%s%c -Y=%d", "qpql"},
    {"hidemaru.exe", " /j%d %c%s%c", "lqpq"},
    // Linux editors.
    {"code", " --goto %c%s:%d%c", "qplq"},
    {"code-insiders", " --goto %c%s:%d%c", "qplq"},
    {"codium", " --goto %c%s:%d%c", "qplq"},
    {"subl", " %c%s:%d%c", "qplq"},
    {"sublime_text", " %c%s:%d%c", "qplq"},
    {"gedit", " +%d %c%s%c", "lqpq"},
    {"xed", " +%d %c%s%c", "lqpq"},
    {"pluma", " +%d %c%s%c", "lqpq"},
    {"kate", " --line %d %c%s%c", "lqpq"},
    {"kwrite", " --line %d %c%s%c", "lqpq"},
    {"geany", " --line %d %c%s%c", "lqpq"},
    {"gvim", " +%d %c%s%c", "lqpq"},
    {"emacs", " +%d %c%s%c", "lqpq"},
    {"vim", " +%d %c%s%c", "lqpq", true},
    {"nvim", " +%d %c%s%c", "lqpq", true},
    {"vi", " +%d %c%s%c", "lqpq", true},
    {"nano", " +%d %c%s%c", "lqpq", true},
};
constexpr EditorFormat kAnyOther = {"", " %s", "p"};

// Terminal emulators that take "-e program args...", in the order tried.
constexpr const char* kTerminals[] = {"x-terminal-emulator", "xterm"};

std::string_view BaseName(std::string_view program) {
  const size_t sep = program.find_last_of("/\\");
  return sep == std::string_view::npos ? program : program.substr(sep + 1);
}

std::vector<std::string> ExpandArguments(const EditorFormat& f, std::string_view path, int line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  size_t role = 0;
  for (size_t i = 0; i < f.arguments.size(); ++i) {
    const char c = f.arguments[i];
    if (c == ' ') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c != '%' || i + 1 >= f.arguments.size()) {
      word += c;
      continue;
    }
    ++i;
    const char what = role < f.fill.size() ? f.fill[role] : 'p';
    ++role;
    if (what == 'p') word += path;
    else if (what == 'l') word += std::to_string(line);
    // 'q': the quote only groups the word on a command line.
  }
  if (inWord) words.push_back(std::move(word));
  return words;
}

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

bool IsAbsoluteEnginePath(std::string_view path) {
  return (!path.empty() && (path[0] == '\\' || path[0] == '/')) || (path.size() >= 2 && path[1] == ':');
}

}  // namespace

EditorLaunch EditorCommand(std::string_view program, const std::vector<std::string>& extraArgs,
                           std::string_view hostPath, int line) {
  const std::string_view base = BaseName(program);
  const EditorFormat* format = &kAnyOther;
  for (const EditorFormat& f : kEditors) {
    if (NamesEqualIgnoringCase(base, f.name)) {
      format = &f;
      break;
    }
  }
  EditorLaunch launch;
  launch.program = std::string(program);
  launch.args = extraArgs;
  launch.terminal = format->terminal;
  for (const std::string& a : extraArgs) {
    // Emacs without its window needs a terminal like vim does.
    if (NamesEqualIgnoringCase(base, "emacs") && (a == "-nw" || a == "--no-window-system" || a == "-t")) {
      launch.terminal = true;
    }
  }
  for (std::string& a : ExpandArguments(*format, hostPath, line)) launch.args.push_back(std::move(a));
  return launch;
}

bool OpenScriptInEditor(Engine& engine, std::string_view scriptFile, int line) {
  platform::Platform& p = engine.platform;
  if (!p.processes || !p.files || scriptFile.empty()) return false;
  const shell::EnginePaths& paths = engine.shell.paths;
  // Script sources live in the folder the engine works in (the project
  // folder in a development run, the program folder otherwise).
  std::string enginePath(scriptFile);
  if (!IsAbsoluteEnginePath(scriptFile)) {
    enginePath = (paths.projectDir.empty() ? paths.programDir : paths.projectDir) + enginePath;
  }
  std::string hostPath = p.files->Resolve(enginePath).value_or(p.files->ResolveForCreate(enginePath));

  std::string program = p.processes->AssociatedProgram(hostPath);
  std::vector<std::string> extra;
  if (program.empty()) {
    for (const char* variable : {"VISUAL", "EDITOR"}) {
      const char* value = std::getenv(variable);
      std::vector<std::string> words = SplitWords(value ? value : "");
      if (words.empty()) continue;
      program = words.front();
      extra.assign(words.begin() + 1, words.end());
      break;
    }
  }
  if (program.empty()) return false;

  const EditorLaunch launch = EditorCommand(program, extra, hostPath, line);
  if (!launch.terminal) return p.processes->Start(launch.program, launch.args);
  std::vector<std::string> args = {"-e", launch.program};
  args.insert(args.end(), launch.args.begin(), launch.args.end());
  for (const char* terminal : kTerminals) {
    if (p.processes->Start(terminal, args)) return true;
  }
  return false;
}

}  // namespace vv::resource
