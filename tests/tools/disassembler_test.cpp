// The disassembler: compiled scripts read back name the same commands,
// arguments, operators and expressions the compiler wrote, and damaged
// files are described instead of read past their end.
#include "dorov/disassembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "common/encoding.h"
#include "dorov/compiler.h"
#include "script/command_table.h"

namespace vv::dorov {
namespace {

using script::ArgRole;

// Commands that only statements write (their records carry positions or
// compiler-made shapes), and the message end with its operand.
bool WrittenByStatements(uint8_t index) {
  static constexpr uint8_t kIndexes[] = {7, 16, 24, 25, 26, 27, 28, 29, 30, 32, 35, 37, 38, 39, 40, 54, 56, 68};
  return std::find(std::begin(kIndexes), std::end(kIndexes), index) != std::end(kIndexes);
}

// Every command a script can call by name, each with all its arguments.
std::string EveryCommandScript() {
  std::string s =
      "@global int v = 1\n"
      "@global int i = 2\n"
      "*SYSTEM_START\n";
  for (const auto& c : script::CommandTable()) {
    if (!c.bound || WrittenByStatements(c.index)) continue;
    std::string line = "@" + std::string(c.name);
    bool first = true;
    for (const auto& a : c.args) {
      if (a.role == ArgRole::kUnused || a.role == ArgRole::kPosition) continue;
      line += first ? " " : ", ";
      first = false;
      const std::string name(a.name);
      switch (a.role) {
        case ArgRole::kOutput: line += name + "=v"; break;
        case ArgRole::kSelector: line += name; break;
        case ArgRole::kLabel: line += name + "=*SYSTEM_START"; break;
        default:
          if (a.valueClass == script::kTextValue) line += name + "=\"t\" + i";
          else if (a.valueClass == script::kRawValue) line += name + "=i * 2.5";
          else if (a.valueClass == script::kLeftAlone) line += name + "=i + 1";
          else if (a.withOperator) line += name + "+=i * 2";
          else line += name + "=i - 1";
      }
    }
    s += line + "\n";
  }
  return s;
}

constexpr char kStatements[] =
    "@global int n = 5\n"
    "@global float f[3] = 0.5\n"
    "@global text t = \"名前\"\n"
    "@file int local[2, 2]\n"
    "*SYSTEM_START\n"
    "@n += 3 * (n - 1)\n"
    "@t += text(n) + \"!\"\n"
    "@f[n % 3] = n / 2 + 0.25\n"
    "@if n > 3 && t != \"\"\n"
    "  {t}「こんにちは。\\w{n}回目」\n"
    "@elif !n\n"
    "  @loop n\n"
    "    @if sys.loop == 2\n"
    "      @next\n"
    "    @end\n"
    "  @end\n"
    "@else\n"
    "  @while n < 100\n"
    "    @n *= 2\n"
    "  @end\n"
    "@end\n"
    "@int tmp[n, 2] = -1\n"
    "@a, b = call *sub(n, 1.5, t)\n"
    "@goto \"s\" + \"ub\"\n"
    "@raw 200 1=n\n"
    "*sub(int a, float b, text c)\n"
    "@return a + 1, c\n"
    "@int a\n"
    "@text b\n";

// The code lines of a disassembly: position -> text after the line number.
std::map<std::string, std::map<int, std::string>> CodeLines(const std::string& text) {
  std::map<std::string, std::map<int, std::string>> out;
  std::istringstream in(text);
  std::string line, file;
  while (std::getline(in, line)) {
    if (line.rfind("== nvt", 0) == 0 && line.size() > 15 && line.compare(3, 8, "nvt_list") != 0) file = line.substr(3, 12);
    if (line.rfind("  0x", 0) != 0) continue;
    const int position = std::stoi(line.substr(4, 4), nullptr, 16);
    const size_t l = line.find(" L");
    const size_t rest = line.find_first_not_of(' ', line.find(' ', l + 2));
    out[file][position] = line.substr(rest);
  }
  return out;
}

void ExpectRoundTrip(const std::string& source) {
  auto r = CompileSource(source);
  ASSERT_TRUE(r.ok()) << r.ErrorText();
  const Disassembly d = Disassemble(r.files);
  EXPECT_TRUE(d.problems.empty()) << d.problems[0];
  const auto lines = CodeLines(d.text);
  const auto table = script::CommandTable();
  size_t checked = 0;
  for (const auto& c : r.listing) {
    char file[16];
    std::snprintf(file, sizeof file, "nvt%05u.nbn", c.file);
    const auto& code = lines.at(file);
    auto found = code.find(c.position);
    ASSERT_NE(found, code.end()) << "no line at " << c.position;
    const std::string name = c.index < script::kCommandSlots ? std::string(table[c.index].name) : "#" + std::to_string(c.index);
    std::string want;
    if (c.hasOperand) {
      want = name + " #" + std::to_string(c.operand);
    } else {
      std::vector<DisassembledArgument> args;
      for (const auto& a : c.args) args.push_back({a.name, a.assignOp, a.value});
      want = FormatCommandLine(name, args);
    }
    EXPECT_EQ(found->second, common::SjisToUtf8(want));
    ++checked;
  }
  size_t total = 0;
  for (const auto& [f, code] : lines) total += code.size();
  EXPECT_EQ(checked, total);
}

TEST(Disassembler, EveryCommandReadsBackWithItsArguments) {
  const std::string source = EveryCommandScript();
  ExpectRoundTrip(source);
  // the corpus holds every command a script calls by name, with all its
  // arguments
  auto r = CompileSource(source);
  for (const auto& c : script::CommandTable()) {
    if (!c.bound || WrittenByStatements(c.index)) continue;
    size_t args = 0;
    for (const auto& a : c.args) args += a.role != ArgRole::kUnused && a.role != ArgRole::kPosition;
    auto found = std::find_if(r.listing.begin(), r.listing.end(), [&](const ListingCommand& l) { return l.index == c.index; });
    ASSERT_NE(found, r.listing.end()) << c.name;
    EXPECT_EQ(found->args.size(), args) << c.name;
  }
}

TEST(Disassembler, StatementsReadBackAsTheirCommands) {
  ExpectRoundTrip(kStatements);
  auto r = CompileSource(kStatements);
  const std::string text = Disassemble(r.files).text;
  for (const char* want : {"global int v1000 = 5", "global float v1001[3] = 0.5", "global text v1002 = \"名前\"",
                           "file 0 int v1003[2, 2] = 0", "*SYSTEM_START", "*sub", "== nvt.nbn: version 288",
                           "file 0: main.vvs", "global float sys.pi = 0.0"})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
}

TEST(Disassembler, DamagedFilesAreDescribedNotOverread) {
  auto r = CompileSource(kStatements);
  ASSERT_TRUE(r.ok());
  std::mt19937 rng(7);
  for (const auto& [name, bytes] : r.files) {
    for (size_t cut : {size_t{0}, bytes.size() / 3, bytes.size() / 2, bytes.size() - 1}) {
      auto damaged = r.files;
      damaged[name].resize(cut);
      const auto d = Disassemble(damaged);
      EXPECT_FALSE(d.problems.empty()) << name << " cut at " << cut;
    }
    for (int round = 0; round < 50; ++round) {
      auto damaged = r.files;
      auto& b = damaged[name];
      for (int k = 0; k < 4; ++k) b[rng() % b.size()] = static_cast<uint8_t>(rng());
      Disassemble(damaged);  // must not read outside the data (checked under the sanitizers)
    }
  }
}

}  // namespace
}  // namespace vv::dorov
