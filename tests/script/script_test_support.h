// Builders of compiled script files and an engine over the headless
// platform that loads them, for the script machine's tests.
//
// The builders write the byte layouts the compiler writes: a test states
// its code as command records with postfix expressions, and the game
// folder gets nvbin\ with every file the start-up reads.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/checksum.h"
#include "common/encoding.h"
#include "common/sjis.h"
#include "dorov/compiled_files.h"
#include "platform/headless/headless_platform.h"
#include "platform/host_paths.h"
#include "platform/keycodes.h"
#include "script/command_table.h"
#include "script/context.h"
#include "script/interpreter.h"
#include "script/script_files.h"
#include "script/script_key.h"
#include "shell/engine.h"

namespace vv::script::testing {

// One postfix expression.
class Expr {
 public:
  Expr& Op(char op, std::vector<uint8_t> operand = {}) {
    bytes.push_back(static_cast<uint8_t>(op));
    bytes.push_back(static_cast<uint8_t>(operand.size()));
    bytes.push_back(static_cast<uint8_t>(operand.size() >> 8));
    bytes.insert(bytes.end(), operand.begin(), operand.end());
    return *this;
  }
  Expr& Byte(int8_t v) { return Op('B', {static_cast<uint8_t>(v)}); }
  Expr& Word(int16_t v) { return Op('W', Le(static_cast<uint16_t>(v), 2)); }
  Expr& Int(int32_t v) { return Op('I', Le(static_cast<uint32_t>(v), 4)); }
  Expr& Long(int64_t v) { return Op('L', Le(static_cast<uint64_t>(v), 8)); }
  Expr& Real(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return Op('F', Le(bits, 8));
  }
  // A literal as the compiler writes it: quote, the characters with their
  // escapes, quote.
  Expr& Text(std::string_view raw, char quote = '"') {
    std::vector<uint8_t> operand{static_cast<uint8_t>(quote)};
    operand.insert(operand.end(), raw.begin(), raw.end());
    operand.push_back(static_cast<uint8_t>(quote));
    return Op('M', operand);
  }
  Expr& Var(uint16_t v, char marker = ' ') { return Op('H', VarOperand(v, marker)); }
  Expr& Elem(uint16_t v, char marker = ' ') { return Op('V', VarOperand(v, marker)); }
  Expr& Close() { return Op(')'); }
  Expr& Ref(uint16_t v) { return Op('v', VarOperand(v, ' ')); }

  std::vector<uint8_t> bytes;

 private:
  static std::vector<uint8_t> Le(uint64_t v, int n) {
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
  }
  static std::vector<uint8_t> VarOperand(uint16_t v, char marker) {
    return {static_cast<uint8_t>(marker), static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  }
};

inline Expr Num(int64_t v) { return Expr().Long(v); }
inline Expr Real(double v) { return Expr().Real(v); }
inline Expr Str(std::string_view raw) { return Expr().Text(raw); }
inline Expr VarOf(uint16_t v) { return Expr().Var(v); }

struct Arg {
  Arg(uint8_t id_, Expr expr_ = {}, uint8_t exprType_ = 1, uint8_t op_ = 0, std::optional<int32_t> length_ = {})
      : id(id_), expr(std::move(expr_)), exprType(exprType_), op(op_), length(length_) {}
  uint8_t id = 0;
  Expr expr;
  uint8_t exprType = 1;
  uint8_t op = 0;
  std::optional<int32_t> length;  // a code position in place of the length
};

// One code file: command records and their expressions.
class CodeFile {
 public:
  int32_t Here() const { return static_cast<int32_t>(code.size()); }

  int32_t Add(uint8_t command, std::vector<Arg> args = {}, int32_t line = 0) {
    const int32_t at = Here();
    common::ByteWriter w(std::move(code));
    w.U8(command);
    w.U8(static_cast<uint8_t>(args.size()));
    w.I32(line != 0 ? line : ++lastLine_);
    for (const Arg& a : args) {
      w.U8(a.id);
      w.U8(0);
      w.U8(a.exprType);
      w.U8(a.op);
      w.I32(a.length ? *a.length : static_cast<int32_t>(a.expr.bytes.size()));
      w.I32(static_cast<int32_t>(expressions.size()));
      expressions.insert(expressions.end(), a.expr.bytes.begin(), a.expr.bytes.end());
    }
    code = w.Take();
    return at;
  }

  // Writes `value` into the length field of record `record` of the command
  // at `at` (where the compiler keeps code positions).
  void SetLength(int32_t at, int record, int32_t value) {
    common::StoreU32(code.data() + at + kCommandHeader + record * kArgRecordSize + 4, static_cast<uint32_t>(value));
  }

  // The file image: header, then both regions scrambled.
  std::vector<uint8_t> Image() const {
    common::ByteWriter w;
    w.Text("VVSCRIPT");
    w.I32(static_cast<int32_t>(code.size()));
    w.I32(static_cast<int32_t>(expressions.size()));
    w.Zeros(16);
    std::vector<uint8_t> c = code, e = expressions;
    ScrambleRegion(c);
    ScrambleRegion(e);
    w.Bytes(c);
    w.Bytes(e);
    return w.Take();
  }

  std::vector<uint8_t> code, expressions;

 private:
  int32_t lastLine_ = 0;
};

struct Label {
  std::string name;
  int32_t position = 0;
  uint16_t file = 0;
  int8_t blockDepth = 0, loopDepth = 0;
};

struct Declaration {
  uint8_t scope = 1;
  uint16_t file = 0;
  uint16_t variable = 0;
  uint8_t type = kTypeInteger;
  std::vector<int32_t> sizes;
  int64_t integer = 0;
  double real = 0.0;
  Expr text;
};

// A whole compiled game.
struct Game {
  int32_t version = kScriptFormatVersion;
  int32_t highestVariable = 1200;
  int32_t buildValue = 77;
  std::vector<std::string> fileNames = {"main.vvs"};
  std::vector<Declaration> declarations;
  std::vector<Label> labels;
  std::map<uint16_t, CodeFile> files;

  CodeFile& File(uint16_t n = 0) { return files[n]; }

  // Declares a script variable of `type` (scalar unless sizes are given).
  void Declare(uint16_t variable, uint8_t type, std::vector<int32_t> sizes = {}, int64_t initial = 0) {
    Declaration d;
    d.variable = variable;
    d.type = type;
    d.sizes = std::move(sizes);
    d.integer = initial;
    d.real = static_cast<double>(initial);
    d.text = Str("");
    declarations.push_back(std::move(d));
  }

  // The shared command table as dorov writes it, with file-error texts and
  // a key map the tests can recognise.
  static std::vector<uint8_t> CommandTableImage() {
    std::array<std::string, dorov::kFileErrorTexts> fileErrors;
    for (int i = 0; i < dorov::kFileErrorTexts; ++i) fileErrors[static_cast<size_t>(i)] = "error " + std::to_string(i);
    std::array<uint8_t, 256> keyMap{};
    for (int i = 0; i < 256; ++i) keyMap[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
    return dorov::EncodeCommandTable(dorov::StandardCommandDefs(), fileErrors, keyMap);
  }

  std::vector<uint8_t> VariableTableImage() const {
    common::ByteWriter w;
    w.Zeros(4);
    w.I32(version);
    w.I32(highestVariable);
    w.I32(buildValue);
    return w.Take();
  }

  std::vector<uint8_t> DeclarationImage() const {
    common::ByteWriter w;
    w.Zeros(8);
    w.U16(static_cast<uint16_t>(declarations.size()));
    for (const Declaration& d : declarations) {
      w.U8(d.scope);
      w.U16(d.file);
      w.U16(d.variable);
      w.U8(d.type);
      w.U8(static_cast<uint8_t>(d.sizes.size()));
      for (int32_t s : d.sizes) w.I32(s);
      if (d.type == kTypeInteger) w.I64(d.integer);
      else if (d.type == kTypeFloat) w.F64(d.real);
      else if (d.type == kTypeText) {
        w.U16(static_cast<uint16_t>(d.text.bytes.size()));
        w.Bytes(d.text.bytes);
      }
    }
    return w.Take();
  }

  // Labels in ascending CRC order with the bucket table of first indexes.
  std::vector<uint8_t> LabelImage() const {
    std::vector<std::pair<uint32_t, const Label*>> sorted;
    for (const Label& l : labels) sorted.emplace_back(common::Crc32(l.name), &l);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    common::ByteWriter w;
    w.Zeros(8);
    w.I32(static_cast<int32_t>(sorted.size()));
    for (uint32_t k = 0; k < 256; ++k) {
      size_t i = 0;
      while (i < sorted.size() && (sorted[i].first >> 24) < k) ++i;
      w.I32(static_cast<int32_t>(i));
    }
    for (const auto& [crc, l] : sorted) {
      w.U8(static_cast<uint8_t>(l->name.size()));
      w.Text(l->name);
      w.U32(crc);
      w.I32(l->position);
      w.U16(l->file);
      w.I8(l->blockDepth);
      w.I8(l->loopDepth);
    }
    return w.Take();
  }

  static std::vector<uint8_t> ErrorTextImage() {
    common::ByteWriter w;
    w.Zeros(16);
    return w.Take();
  }

  // Every file by its engine name.
  std::map<std::string, std::vector<uint8_t>> Images() const {
    std::map<std::string, std::vector<uint8_t>> out;
    out["nvbin/nvc.nbn"] = CommandTableImage();
    out["nvbin/nvt.nbn"] = VariableTableImage();
    out["nvbin/nvt_list.nbn"] = dorov::EncodeFileList(fileNames);
    out["nvbin/nvv.nbn"] = DeclarationImage();
    out["nvbin/nvl.nbn"] = LabelImage();
    out["nvbin/nve.nbn"] = ErrorTextImage();
    for (const auto& [n, f] : files) {
      char name[32];
      std::snprintf(name, sizeof name, "nvbin/nvt%05u.nbn", static_cast<unsigned>(n));
      out[name] = f.Image();
    }
    return out;
  }
};

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vv-script-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    MakeEngine();
  }
  void TearDown() override {
    engine_.reset();
    platform_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  void MakeEngine() {
    engine_.reset();
    platform::HeadlessOptions options;
    options.gameDir = root_;
    std::string error;
    auto p = platform::CreateHeadlessPlatform(options, error);
    ASSERT_TRUE(p) << error;
    platform_.reset(static_cast<platform::HeadlessPlatform*>(p.release()));
    engine_ = std::make_unique<Engine>(*platform_);
    shell::EnginePaths& paths = engine_->shell.paths;
    paths.gameHostDir = root_;
    paths.programDir = platform::HostToEnginePath(root_) + "\\";
    paths.projectDir = paths.programDir;
    engine_->windows[0].clientWidth = 640;
    engine_->windows[0].clientHeight = 480;
  }

  void Write(const std::string& relative, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = root_ + "/" + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
    engine_->platform.files->Invalidate();
  }

  void WriteGame(const Game& g) {
    for (const auto& [name, bytes] : g.Images()) Write(name, bytes);
  }

  // The script start-up the shell runs; true when it succeeded.
  bool Start() {
    CreateContextTree(engine());
    BindScriptCommands(engine().script.interp.handlers);
    engine().errors.scriptLocation = [this] { return CurrentLocation(engine()); };
    return LoadScriptSystem(engine()) == 0;
  }
  bool StartGame(const Game& g) {
    WriteGame(g);
    return Start();
  }

  // Interpreter passes as the frames run them.
  void Passes(int n) {
    for (int i = 0; i < n && !engine().shell.flags.halted; ++i) {
      ++engine().shell.clock.passCounter;
      RunInterpreterPass(engine());
    }
  }

  Engine& engine() { return *engine_; }
  platform::HeadlessPlatform& headless() { return *platform_; }

  std::vector<int32_t> Codes() const {
    std::vector<int32_t> codes;
    for (const auto& r : engine_->errors.reports) codes.push_back(r.code);
    return codes;
  }
  int32_t FirstCode() const { return engine_->errors.reports.empty() ? 0 : engine_->errors.reports.front().code; }

  int64_t Int(int32_t variable, int64_t index = 0) { return ReadInteger(engine(), variable, index); }
  double Float(int32_t variable, int64_t index = 0) { return ReadFloat(engine(), variable, index); }
  std::string Text(int32_t variable, int64_t index = 0) { return std::string(ReadText(engine(), variable, index)); }

  std::string root_;
  std::unique_ptr<platform::HeadlessPlatform> platform_;
  std::unique_ptr<Engine> engine_;
};

// Command indexes used by the tests.
enum : uint8_t {
  kElse = 7, kEnd = 8, kOptions = 9, kCheck = 10, kDeclareFloat = 16, kFrameRate = 19, kJump = 24, kCall = 25,
  kBlock = 26, kBlockExit = 27, kBlockBreak = 28, kBlockRepeat = 29, kBlockEnd = 30, kDeclareInt = 32,
  kNop = 33, kLabelExists = 34, kAssign = 35, kLoop = 37, kLoopBreak = 38, kLoopNext = 39, kLoopEnd = 40,
  kReturn = 54, kSkip = 57, kDeclareText = 68, kEngineSwitch = 69, kWait = 80,
};

// Assignment records: target, operator, value.
inline std::vector<Arg> Assign(Expr target, uint8_t op, Expr value, uint8_t valueType = 1) {
  Arg t(0, std::move(target), 1, op);
  Arg v(1, std::move(value), valueType);
  return {t, v};
}

}  // namespace vv::script::testing
