#include "dorov/compiler.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "common/bytes.h"
#include "common/encoding.h"
#include "common/sjis.h"
#include "dorov/compiled_files.h"
#include "dorov/error_texts.h"
#include "dorov/expression.h"
#include "dorov/lexer.h"
#include "dorov/symbols.h"
#include "script/command_table.h"

namespace vv::dorov {

namespace {

using script::ArgRole;
using script::CommandSpec;

// Commands whose records only the compiler writes correctly (positions,
// declaration mode, label pre-resolution); scripts reach them through
// statements.
constexpr uint8_t kElse = 7, kEnd = 8, kDeclareFloat = 16, kJump = 24, kCall = 25, kBlock = 26, kBlockExit = 27,
                  kBlockBreak = 28, kBlockRepeat = 29, kBlockEnd = 30, kDeclareInt = 32, kAssign = 35, kLoop = 37,
                  kLoopBreak = 38, kLoopNext = 39, kLoopEnd = 40, kReturn = 54, kMessageEnd = 56, kDeclareText = 68,
                  kMessageSetup = 73, kMessageAppend = 79, kMessageText = 84;

std::string_view StatementFor(uint8_t index) {
  switch (index) {
    case kElse: return "@elif or @else";
    case kDeclareFloat: return "@float";
    case kJump: return "@goto";
    case kCall: return "@call";
    case kBlock: return "@if or @while";
    case kBlockExit:
    case kBlockEnd: return "@end";
    case kBlockBreak:
    case kLoopBreak: return "@break";
    case kBlockRepeat:
    case kLoopNext: return "@next";
    case kDeclareInt: return "@int";
    case kAssign: return "@name = value";
    case kLoop: return "@loop";
    case kLoopEnd: return "@end";
    case kReturn: return "@return";
    case kDeclareText: return "@text";
    default: return {};
  }
}

constexpr std::string_view kKeywords[] = {
    "if",   "elif", "else", "end",  "while", "loop", "break", "next", "goto", "call",  "return",
    "global", "file", "int", "float", "text", "raw", "true",  "false", "messageEnd",
};

bool IsKeyword(std::string_view s) {
  return std::find(std::begin(kKeywords), std::end(kKeywords), s) != std::end(kKeywords);
}

// Assignment operator spellings and their AssignOp codes.
int AssignOpCode(const Token& t) {
  if (t.kind != Token::kOp) return -1;
  static constexpr std::string_view kOps[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
  for (int i = 0; i < 9; ++i)
    if (t.text == kOps[i]) return i;
  return -1;
}

std::optional<ValueType> TypeKeyword(std::string_view s) {
  if (s == "int") return ValueType::kInt;
  if (s == "float") return ValueType::kFloat;
  if (s == "text") return ValueType::kText;
  return std::nullopt;
}

std::string PositionText(int32_t position) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "@0x%04x", static_cast<unsigned>(position));
  return buf;
}

// ---- source structure -----------------------------------------------------

// Where a byte of a statement came from: statements may run over several
// lines (a line ending in ',' goes on in the next).
struct Segment {
  size_t line;
  size_t lineOffset;
  size_t textOffset;
};

struct Item {
  enum Kind { kLabel, kStatement, kDialogue } kind;
  size_t line = 0;
  size_t offset = 0;  // where the content starts in the line
  std::string text;   // content (statement without '@', label without '*', dialogue)
  std::vector<Segment> segments;
};

// Position of the first ';' that starts a comment (outside texts).
size_t CommentStart(std::string_view s) {
  bool inText = false;
  for (size_t i = 0; i < s.size();) {
    const size_t n = common::SjisCharLength(s, i);
    if (n == 1) {
      if (s[i] == '"') inText = !inText;
      else if (s[i] == '\\' && inText) {
        i += 2;
        continue;
      } else if (s[i] == ';' && !inText) return i;
    }
    i += n;
  }
  return s.size();
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<Item> SplitItems(const SourceLines& src) {
  std::vector<Item> items;
  for (size_t n = 0; n < src.lines.size(); ++n) {
    const std::string& line = src.lines[n];
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    if (start == line.size() || line[start] == ';') continue;
    Item it;
    it.line = n;
    if (line[start] == '@' || line[start] == '*') {
      it.kind = line[start] == '@' ? Item::kStatement : Item::kLabel;
      it.offset = start + 1;
      std::string_view body(line);
      body = body.substr(0, CommentStart(body));
      body = TrimRight(body);
      it.text = std::string(body.substr(std::min(it.offset, body.size())));
      it.segments.push_back({n, it.offset, 0});
      // A statement ending in ',' goes on in the next line.
      while (it.kind == Item::kStatement && !it.text.empty() && it.text.back() == ',' && n + 1 < src.lines.size()) {
        ++n;
        std::string_view next(src.lines[n]);
        size_t s = 0;
        while (s < next.size() && (next[s] == ' ' || next[s] == '\t')) ++s;
        std::string_view cont = TrimRight(next.substr(0, CommentStart(next)));
        it.text += ' ';
        it.segments.push_back({n, s, it.text.size()});
        it.text += std::string(cont.substr(std::min(s, cont.size())));
      }
    } else {
      it.kind = Item::kDialogue;
      it.offset = start;
      it.text = std::string(TrimRight(std::string_view(line).substr(start)));
    }
    items.push_back(std::move(it));
  }
  return items;
}

// ---- compiled form -------------------------------------------------------

struct ArgIR {
  uint8_t id = 0;
  uint8_t exprType = 1;
  uint8_t assignOp = 0;
  std::vector<uint8_t> code;
  bool position = false;
  int target = -1;  // for a position: the index of the command it names
  std::string infix;
};

struct CommandIR {
  uint8_t index = 0;
  int32_t line = 0;
  std::vector<ArgIR> args;
  bool hasOperand = false;
  int32_t operand = 0;
};

struct VariableDef {
  std::string name;
  uint16_t number = 0;
  ValueType type = ValueType::kInt;
  int dimensions = 0;
  bool global = false;
  bool declaredStatic = false;  // has a declaration record
  uint16_t file = 0;
  std::vector<int32_t> sizes;
  int64_t intValue = 0;
  double floatValue = 0;
  std::string textValue;
};

struct Param {
  std::string name;
  ValueType type;
};

struct LabelDef {
  std::string name;
  uint16_t file = 0;
  size_t line = 0;
  size_t offset = 0;
  bool subroutine = false;  // written with a parameter list
  std::vector<Param> params;
  // Per returned position: the type every @return of the subroutine gives
  // it, or kNone when they disagree.
  std::vector<ValueType> returns;
  bool returnsSeen = false;
  int command = -1;  // index of the command it stands before
  int8_t blockDepth = 0, loopDepth = 0;
};

struct Block {
  enum Kind { kIf, kWhile, kLoop } kind;
  int open = -1;                 // the opening command
  int lastBranch = -1;           // block or conditional else whose "next" is still open
  std::vector<int> conditional;  // conditional else commands (their end record)
  bool sawElse = false;
  size_t line = 0;
};

struct FileUnit {
  SourceLines source;
  std::vector<Item> items;
  std::vector<CommandIR> commands;
  std::map<std::string, size_t> locals;  // file-level names -> variable index
};

class Compiler {
 public:
  Compiler(std::span<const SourceFile> sources, const shell::ConfigurationFile& settings, const CompileOptions& options)
      : sources_(sources), settings_(settings), options_(options) {}

  CompileResult Run();

 private:
  // diagnostics
  void ErrorAt(size_t file, const Item& item, size_t offset, std::string message);
  void ErrorLine(size_t file, size_t line, size_t offset, std::string message);

  // passes
  void CollectLabels();
  void CollectVariables();
  void CollectReturns();
  void CompileFile(size_t file);

  // names
  std::optional<VariableInfo> Resolve(std::string_view name) const;
  bool CheckNewName(size_t file, const Item& item, const Token& t);

  // statements
  void CompileStatement(const Item& item);
  void CompileDialogue(const Item& item);
  void CompileLabel(const Item& item);
  void CompileAssignment(const Item& item, std::vector<Token>& tokens, size_t& pos);
  void EmitAssign(const Item& item, const Expr& target, uint8_t op, size_t targetAt, const Expr& value,
                  size_t valueAt);
  void CompileCommand(const Item& item, const CommandSpec& spec, std::vector<Token>& tokens, size_t& pos);
  void CompileRaw(const Item& item, std::vector<Token>& tokens, size_t& pos);
  void CompileDeclaration(const Item& item, std::vector<Token>& tokens, size_t& pos);
  void CompileCall(const Item& item, std::vector<Token>& tokens, size_t& pos, std::vector<ExprPtr> targets);
  void CompileReturn(const Item& item, std::vector<Token>& tokens, size_t& pos);
  void CompileGoto(const Item& item, std::vector<Token>& tokens, size_t& pos);
  void CompileBlockStatement(const Item& item, const std::string& keyword, std::vector<Token>& tokens, size_t& pos);
  void CompileBreak(const Item& item, bool isNext, std::vector<Token>& tokens, size_t& pos);
  bool ExpectEnd(const Item& item, const std::vector<Token>& tokens, size_t pos);

  // expressions
  ExprPtr ParseExpression(const Item& item, std::vector<Token>& tokens, size_t& pos);
  ExprPtr ParseTarget(const Item& item, std::vector<Token>& tokens, size_t& pos, bool allowWhole);
  void CheckLabels(const Item& item, const std::vector<std::pair<std::string, size_t>>& labels);
  bool MakeArg(const Item& item, ArgIR& arg, const Expr& e, size_t offset);

  // code
  int Emit(CommandIR cmd);
  ArgIR PositionArg(uint8_t id, int target);
  void EmitMessageText(const Item& item, std::string_view text);
  void CloseMessage(const Item& item);

  // output
  void Layout(size_t file, std::vector<uint8_t>& code, std::vector<uint8_t>& expressions);
  void WriteFiles(CompileResult& result);

  std::span<const SourceFile> sources_;
  const shell::ConfigurationFile& settings_;
  CompileOptions options_;
  std::vector<Diagnostic> diagnostics_;
  std::vector<FileUnit> files_;
  std::vector<VariableDef> variables_;
  std::map<std::string, size_t> globals_;
  std::map<std::string, LabelDef> labels_;
  std::vector<ListingCommand> listing_;

  // state of the file being compiled
  size_t file_ = 0;
  std::vector<Block> blocks_;
  int blockDepth_ = 0, loopDepth_ = 0;
  const LabelDef* subroutine_ = nullptr;  // parameters in scope
  std::vector<std::string> pendingLabels_;  // labels waiting for their command
  bool messageOpen_ = false;
  int32_t messageCount_ = 0;
};

void Compiler::ErrorAt(size_t file, const Item& item, size_t offset, std::string message) {
  // Map an offset of the (possibly joined) statement text to its line.
  size_t line = item.line, lineOffset = item.offset + offset;
  for (const auto& s : item.segments) {
    if (offset >= s.textOffset) {
      line = s.line;
      lineOffset = s.lineOffset + (offset - s.textOffset);
    }
  }
  diagnostics_.push_back(MakeDiagnostic(files_[file].source, line, lineOffset, std::move(message)));
}

void Compiler::ErrorLine(size_t file, size_t line, size_t offset, std::string message) {
  diagnostics_.push_back(MakeDiagnostic(files_[file].source, line, offset, std::move(message)));
}

// ---- labels ----------------------------------------------------------------

void Compiler::CollectLabels() {
  for (size_t f = 0; f < files_.size(); ++f) {
    for (const Item& it : files_[f].items) {
      if (it.kind != Item::kLabel) continue;
      const std::string& s = it.text;
      size_t end = 0;
      while (end < s.size() && s[end] != ' ' && s[end] != '\t' && s[end] != '(')
        end += common::SjisCharLength(s, end);
      LabelDef def;
      def.name = s.substr(0, end);
      def.file = static_cast<uint16_t>(f);
      def.line = it.line;
      def.offset = it.offset;
      if (def.name.empty()) {
        ErrorAt(f, it, 0, "a label needs a name after '*'");
        continue;
      }
      if (def.name.size() > 255) {
        ErrorAt(f, it, 0, "a label name may be at most 255 bytes long");
        continue;
      }
      size_t p = end;
      while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) ++p;
      if (p < s.size()) {
        if (s[p] != '(') {
          ErrorAt(f, it, p, "only a parameter list in ( ) may follow a label name");
          continue;
        }
        def.subroutine = true;
        std::vector<LexError> lexErrors;
        auto tokens = Tokenize(s.substr(p), lexErrors);
        for (const auto& e : lexErrors) ErrorAt(f, it, p + e.offset, e.message);
        size_t t = 1;  // past '('
        bool bad = false;
        while (!bad && !(tokens[t].kind == Token::kOp && tokens[t].text == ")")) {
          auto type = tokens[t].kind == Token::kIdent ? TypeKeyword(tokens[t].text) : std::nullopt;
          if (!type) {
            ErrorAt(f, it, p + tokens[t].offset, "expected a parameter type: int, float or text");
            bad = true;
            break;
          }
          ++t;
          if (tokens[t].kind != Token::kIdent || tokens[t].text.find('.') != std::string::npos ||
              IsKeyword(tokens[t].text)) {
            ErrorAt(f, it, p + tokens[t].offset, "expected a parameter name");
            bad = true;
            break;
          }
          for (const auto& q : def.params)
            if (q.name == tokens[t].text) {
              ErrorAt(f, it, p + tokens[t].offset, "two parameters are named '" + q.name + "'");
              bad = true;
            }
          def.params.push_back({tokens[t].text, *type});
          ++t;
          if (tokens[t].kind == Token::kOp && tokens[t].text == ",") ++t;
          else if (!(tokens[t].kind == Token::kOp && tokens[t].text == ")")) {
            ErrorAt(f, it, p + tokens[t].offset, "expected ',' or ')' in the parameter list");
            bad = true;
          }
        }
        if (bad) continue;
        if (tokens[t + 1].kind != Token::kEnd) {
          ErrorAt(f, it, p + tokens[t + 1].offset, "nothing may follow the parameter list");
          continue;
        }
        if (def.params.size() > 8) {
          ErrorAt(f, it, p, "a subroutine takes at most 8 parameters");
          continue;
        }
      }
      auto [where, fresh] = labels_.emplace(def.name, def);
      if (!fresh) {
        const LabelDef& first = where->second;
        ErrorAt(f, it, 0,
                "the label '" + common::SjisToUtf8(def.name) + "' is already defined in " +
                    files_[first.file].source.name + ":" + std::to_string(first.line + 1));
      }
    }
  }
}

// ---- variables -----------------------------------------------------------

bool Compiler::CheckNewName(size_t file, const Item& item, const Token& t) {
  if (t.kind != Token::kIdent) {
    ErrorAt(file, item, t.offset, "expected a variable name");
    return false;
  }
  if (t.text.find('.') != std::string::npos) {
    ErrorAt(file, item, t.offset, "a variable name may not contain '.'");
    return false;
  }
  if (IsKeyword(t.text) || script::FindCommand(t.text)) {
    ErrorAt(file, item, t.offset, "'" + t.text + "' is a word of the language and cannot name a variable");
    return false;
  }
  return true;
}

void Compiler::CollectVariables() {
  // Declarations are read here only for their names, types and number of
  // dimensions; sizes and values are compiled with the statements.
  struct Found {
    size_t file;
    const Item* item;
    Token name;
    std::string scope;  // "global", "file" or "" (run time)
    ValueType type;
    int dims;
  };
  std::vector<Found> found;
  for (size_t f = 0; f < files_.size(); ++f) {
    for (const Item& it : files_[f].items) {
      if (it.kind != Item::kStatement) continue;
      std::vector<LexError> ignored;
      auto tokens = Tokenize(it.text, ignored);
      size_t p = 0;
      std::string scope;
      if (tokens[p].kind == Token::kIdent && (tokens[p].text == "global" || tokens[p].text == "file"))
        scope = tokens[p++].text;
      auto type = tokens[p].kind == Token::kIdent ? TypeKeyword(tokens[p].text) : std::nullopt;
      if (!type) continue;
      ++p;
      while (tokens[p].kind != Token::kEnd) {
        Found d{f, &it, tokens[p], scope, *type, 0};
        ++p;
        while (tokens[p].kind == Token::kOp && tokens[p].text == "[") {
          int depth = 0;
          ++d.dims;
          for (; tokens[p].kind != Token::kEnd; ++p) {
            if (tokens[p].kind != Token::kOp) continue;
            if (tokens[p].text == "[" || tokens[p].text == "(") ++depth;
            else if (tokens[p].text == "]" || tokens[p].text == ")") {
              if (--depth == 0) break;
            } else if (tokens[p].text == "," && depth == 1) {
              ++d.dims;
            }
          }
          if (tokens[p].kind != Token::kEnd) ++p;
        }
        found.push_back(d);
        // skip the initial value up to the next top-level ','
        int depth = 0;
        while (tokens[p].kind != Token::kEnd) {
          if (tokens[p].kind == Token::kOp) {
            if (tokens[p].text == "(" || tokens[p].text == "[") ++depth;
            else if (tokens[p].text == ")" || tokens[p].text == "]") --depth;
            else if (tokens[p].text == "," && depth == 0) break;
          }
          ++p;
        }
        if (tokens[p].kind != Token::kEnd) ++p;
      }
    }
  }
  uint32_t next = kFirstScriptVariable;
  auto add = [&](const Found& d, bool global) -> size_t {
    VariableDef v;
    v.name = d.name.text;
    v.number = static_cast<uint16_t>(std::min<uint32_t>(next, 65535));
    if (next > 65535) ErrorAt(d.file, *d.item, d.name.offset, "too many variables (numbers go up to 65535)");
    ++next;
    v.type = d.type;
    v.dimensions = d.dims;
    v.global = global;
    v.file = static_cast<uint16_t>(d.file);
    v.declaredStatic = !d.scope.empty();
    variables_.push_back(v);
    return variables_.size() - 1;
  };
  auto mismatch = [&](const Found& d, const VariableDef& v) {
    if (v.type != d.type || v.dimensions != d.dims) {
      ErrorAt(d.file, *d.item, d.name.offset,
              "'" + common::SjisToUtf8(d.name.text) + "' is declared elsewhere as " + std::string(TypeName(v.type)) +
                  (v.dimensions ? " with " + std::to_string(v.dimensions) + " dimension(s)" : "") +
                  "; a declaration may change its sizes, not its type or number of dimensions");
      return true;
    }
    return false;
  };
  // Globals of every file first, so that any file may use them.
  for (const auto& d : found) {
    if (d.scope != "global" || !CheckNewName(d.file, *d.item, d.name)) continue;
    if (globals_.count(d.name.text)) {
      ErrorAt(d.file, *d.item, d.name.offset, "the global '" + common::SjisToUtf8(d.name.text) + "' is declared twice");
      continue;
    }
    globals_[d.name.text] = add(d, true);
  }
  for (const auto& d : found) {
    if (d.scope != "file" || !CheckNewName(d.file, *d.item, d.name)) continue;
    auto& locals = files_[d.file].locals;
    if (globals_.count(d.name.text) || locals.count(d.name.text)) {
      ErrorAt(d.file, *d.item, d.name.offset,
              "'" + common::SjisToUtf8(d.name.text) + "' is already declared" +
                  (globals_.count(d.name.text) ? " as a global" : " in this file"));
      continue;
    }
    locals[d.name.text] = add(d, false);
  }
  // Run-time declarations name an existing variable or a new one of the
  // file.
  for (const auto& d : found) {
    if (!d.scope.empty() || !CheckNewName(d.file, *d.item, d.name)) continue;
    auto& locals = files_[d.file].locals;
    if (auto l = locals.find(d.name.text); l != locals.end()) {
      mismatch(d, variables_[l->second]);
    } else if (auto g = globals_.find(d.name.text); g != globals_.end()) {
      mismatch(d, variables_[g->second]);
    } else {
      locals[d.name.text] = add(d, false);
    }
  }
}

std::optional<VariableInfo> Compiler::Resolve(std::string_view name) const {
  const std::string key(name);
  if (subroutine_) {
    for (size_t i = 0; i < subroutine_->params.size(); ++i) {
      const Param& p = subroutine_->params[i];
      if (p.name != key) continue;
      VariableInfo info;
      info.number = p.type == ValueType::kInt ? 34 : p.type == ValueType::kFloat ? 35 : 36;
      info.type = p.type;
      info.writable = false;
      info.fixedElement = true;
      info.element = static_cast<int64_t>(i + 1);
      return info;
    }
  }
  const auto& locals = files_[file_].locals;
  const VariableDef* v = nullptr;
  if (auto l = locals.find(key); l != locals.end()) v = &variables_[l->second];
  else if (auto g = globals_.find(key); g != globals_.end()) v = &variables_[g->second];
  if (v) {
    VariableInfo info;
    info.number = v->number;
    info.type = v->type;
    info.dimensions = v->dimensions;
    return info;
  }
  if (const SystemVariable* s = FindSystemVariable(name)) {
    VariableInfo info;
    info.number = s->number;
    info.type = s->type;
    info.dimensions = s->elements > 0 ? 1 : 0;
    info.writable = s->writable;
    return info;
  }
  return std::nullopt;
}

void Compiler::CollectReturns() {
  // The value types of each subroutine's @return statements, so that a
  // call can read each result from the slot of its type. Errors are left
  // to the compile pass.
  for (size_t f = 0; f < files_.size(); ++f) {
    file_ = f;
    LabelDef* current = nullptr;
    for (const Item& it : files_[f].items) {
      if (it.kind == Item::kLabel) {
        size_t end = 0;
        while (end < it.text.size() && it.text[end] != ' ' && it.text[end] != '\t' && it.text[end] != '(')
          end += common::SjisCharLength(it.text, end);
        auto l = labels_.find(it.text.substr(0, end));
        if (l != labels_.end() && l->second.file == f && l->second.line == it.line && l->second.subroutine)
          current = &l->second;
        continue;
      }
      if (it.kind != Item::kStatement || !current) continue;
      std::vector<LexError> lexErrors;
      auto tokens = Tokenize(it.text, lexErrors);
      if (!(tokens[0].kind == Token::kIdent && tokens[0].text == "return")) continue;
      subroutine_ = current;
      std::vector<ValueType> types;
      size_t p = 1;
      std::vector<ExprError> ignored;
      while (tokens[p].kind != Token::kEnd && types.size() < 8) {
        ExprParser parser(tokens, p, [this](std::string_view n) { return Resolve(n); }, ignored);
        auto e = parser.Parse();
        if (!e) break;
        types.push_back(e->type);
        if (tokens[p].kind == Token::kOp && tokens[p].text == ",") ++p;
        else break;
      }
      subroutine_ = nullptr;
      if (!current->returnsSeen) {
        current->returns = types;
        current->returnsSeen = true;
      } else {
        for (size_t i = 0; i < std::max(types.size(), current->returns.size()); ++i) {
          if (i >= current->returns.size()) current->returns.push_back(ValueType::kNone);
          else if (i >= types.size() || types[i] != current->returns[i]) current->returns[i] = ValueType::kNone;
        }
      }
    }
  }
}

// ---- expressions -----------------------------------------------------------

ExprPtr Compiler::ParseExpression(const Item& item, std::vector<Token>& tokens, size_t& pos) {
  std::vector<ExprError> errors;
  ExprParser parser(tokens, pos, [this](std::string_view n) { return Resolve(n); }, errors);
  auto e = parser.Parse();
  for (const auto& err : errors) ErrorAt(file_, item, err.offset, err.message);
  if (e) CheckLabels(item, parser.labels());
  return e;
}

ExprPtr Compiler::ParseTarget(const Item& item, std::vector<Token>& tokens, size_t& pos, bool allowWhole) {
  std::vector<ExprError> errors;
  ExprParser parser(tokens, pos, [this](std::string_view n) { return Resolve(n); }, errors);
  auto e = parser.ParseTarget(allowWhole);
  for (const auto& err : errors) ErrorAt(file_, item, err.offset, err.message);
  return e;
}

void Compiler::CheckLabels(const Item& item, const std::vector<std::pair<std::string, size_t>>& labels) {
  for (const auto& [name, offset] : labels)
    if (!labels_.count(name)) ErrorAt(file_, item, offset, "there is no label *" + common::SjisToUtf8(name));
}

bool Compiler::MakeArg(const Item& item, ArgIR& arg, const Expr& e, size_t offset) {
  ExprWriter w;
  std::string error;
  if (!EmitExpression(e, w, error)) {
    ErrorAt(file_, item, offset, error);
    return false;
  }
  arg.code = w.Take();
  arg.exprType = ExprTypeOf(e);
  arg.infix = FormatExpression(e);
  return true;
}

// ---- code --------------------------------------------------------------

int Compiler::Emit(CommandIR cmd) {
  auto& cmds = files_[file_].commands;
  cmds.push_back(std::move(cmd));
  const int index = static_cast<int>(cmds.size()) - 1;
  for (const auto& name : pendingLabels_) labels_[name].command = index;
  pendingLabels_.clear();
  return index;
}

ArgIR Compiler::PositionArg(uint8_t id, int target) {
  ArgIR a;
  a.id = id;
  a.position = true;
  a.target = target;
  return a;
}

bool Compiler::ExpectEnd(const Item& item, const std::vector<Token>& tokens, size_t pos) {
  if (tokens[pos].kind == Token::kEnd) return true;
  ErrorAt(file_, item, tokens[pos].offset, "unexpected '" + common::SjisToUtf8(item.text.substr(tokens[pos].offset, tokens[pos].end - tokens[pos].offset)) + "'");
  return false;
}

void Compiler::EmitMessageText(const Item& item, std::string_view text) {
  // Texts pass through the engine's 4096-byte buffers: long lines go in
  // pieces, cut between characters.
  constexpr size_t kPiece = 2000;
  while (!text.empty()) {
    const size_t n = text.size() <= kPiece ? text.size() : common::SjisPrefixLength(text, kPiece);
    CommandIR cmd;
    cmd.index = kMessageText;
    cmd.line = static_cast<int32_t>(item.line + 1);
    ArgIR a;
    a.id = 0;
    auto lit = MakeTextLiteral(std::string(text.substr(0, n)));
    if (!MakeArg(item, a, *lit, 0)) return;
    cmd.args.push_back(std::move(a));
    Emit(std::move(cmd));
    text.remove_prefix(n);
  }
  messageOpen_ = true;
}

void Compiler::CloseMessage(const Item& item) {
  CommandIR cmd;
  cmd.index = kMessageEnd;
  cmd.line = static_cast<int32_t>(item.line + 1);
  cmd.hasOperand = true;
  cmd.operand = ++messageCount_;
  Emit(std::move(cmd));
  messageOpen_ = false;
}

void Compiler::CompileDialogue(const Item& item) {
  const std::string& s = item.text;
  std::string text;
  auto flush = [&] {
    if (!text.empty()) EmitMessageText(item, text);
    text.clear();
  };
  auto setup = [&](uint8_t id) {
    flush();
    CommandIR cmd;
    cmd.index = kMessageSetup;
    cmd.line = static_cast<int32_t>(item.line + 1);
    ArgIR a;
    a.id = id;
    MakeArg(item, a, *MakeIntLiteral(1), 0);
    cmd.args.push_back(std::move(a));
    Emit(std::move(cmd));
    messageOpen_ = true;
  };
  bool continues = false;
  for (size_t i = 0; i < s.size();) {
    const size_t n = common::SjisCharLength(s, i);
    if (n == 2) {
      text.append(s, i, 2);
      i += 2;
      continue;
    }
    const char c = s[i];
    if (c == '\\') {
      if (i + 1 >= s.size()) {  // a trailing backslash: the message goes on
        continues = true;
        ++i;
        continue;
      }
      const char e = s[i + 1];
      switch (e) {
        case 'w': setup(16); break;   // click wait
        case 'n': setup(12); break;   // line feed
        case 'p': setup(13); break;   // new page
        case '\\': case '{': case '}': case '@': case '*': case ';': text += e; break;
        default: ErrorAt(file_, item, i, std::string("unknown escape \\") + e + " in dialogue (\\w \\n \\p \\\\ \\{ \\} \\@ \\* \\;)");
      }
      i += 2;
      continue;
    }
    if (c == '{') {
      // A value: the expression runs to the matching '}' outside texts.
      size_t j = i + 1;
      bool inText = false;
      while (j < s.size()) {
        const size_t m = common::SjisCharLength(s, j);
        if (m == 1) {
          if (s[j] == '"') inText = !inText;
          else if (s[j] == '\\' && inText) {
            j += 2;
            continue;
          } else if (s[j] == '}' && !inText) break;
        }
        j += m;
      }
      if (j >= s.size()) {
        ErrorAt(file_, item, i, "'{' without its '}' (write \\{ for the character itself)");
        return;
      }
      flush();
      const std::string inner = s.substr(i + 1, j - i - 1);
      std::vector<LexError> lexErrors;
      auto tokens = Tokenize(inner, lexErrors, false);
      for (const auto& le : lexErrors) ErrorAt(file_, item, i + 1 + le.offset, le.message);
      if (lexErrors.empty()) {
        // Offsets inside the braces are shifted onto the line.
        Item sub = item;
        sub.offset = item.offset + i + 1;
        sub.segments = {{item.line, sub.offset, 0}};
        sub.text = inner;
        size_t p = 0;
        if (auto e = ParseExpression(sub, tokens, p)) {
          if (ExpectEnd(sub, tokens, p)) {
            CommandIR cmd;
            cmd.index = kMessageAppend;
            cmd.line = static_cast<int32_t>(item.line + 1);
            ArgIR a;
            a.id = 0;
            if (MakeArg(sub, a, *e, 0)) {
              cmd.args.push_back(std::move(a));
              Emit(std::move(cmd));
              messageOpen_ = true;
            }
          }
        }
      }
      i = j + 1;
      continue;
    }
    if (c == '}') {
      ErrorAt(file_, item, i, "'}' without its '{' (write \\} for the character itself)");
      ++i;
      continue;
    }
    text += c;
    ++i;
  }
  flush();
  if (!continues) CloseMessage(item);
}

void Compiler::CompileLabel(const Item& item) {
  size_t end = 0;
  while (end < item.text.size() && item.text[end] != ' ' && item.text[end] != '\t' && item.text[end] != '(')
    end += common::SjisCharLength(item.text, end);
  const std::string name = item.text.substr(0, end);
  auto l = labels_.find(name);
  if (l == labels_.end() || l->second.file != file_ || l->second.line != item.line) return;  // reported before
  if (messageOpen_) ErrorAt(file_, item, 0, "a label may not stand inside a message that goes on (a line ending in \\)");
  l->second.blockDepth = static_cast<int8_t>(blockDepth_);
  l->second.loopDepth = static_cast<int8_t>(loopDepth_);
  pendingLabels_.push_back(name);
  if (l->second.subroutine) subroutine_ = &l->second;
}

void Compiler::CompileStatement(const Item& item) {
  std::vector<LexError> lexErrors;
  auto tokens = Tokenize(item.text, lexErrors);
  for (const auto& e : lexErrors) ErrorAt(file_, item, e.offset, e.message);
  if (!lexErrors.empty()) return;
  size_t pos = 0;
  const Token& first = tokens[0];
  if (first.kind == Token::kEnd) {
    ErrorAt(file_, item, 0, "a statement is missing after '@'");
    return;
  }
  if (first.kind == Token::kVarNumber) {
    CompileAssignment(item, tokens, pos);
    return;
  }
  if (first.kind != Token::kIdent) {
    ErrorAt(file_, item, first.offset, "expected a command, a keyword or a variable");
    return;
  }
  const std::string& w = first.text;
  if (w == "if" || w == "elif" || w == "else" || w == "end" || w == "while" || w == "loop") {
    CompileBlockStatement(item, w, tokens, pos);
  } else if (w == "break" || w == "next") {
    CompileBreak(item, w == "next", tokens, pos);
  } else if (w == "goto") {
    CompileGoto(item, tokens, pos);
  } else if (w == "call") {
    CompileCall(item, tokens, pos, {});
  } else if (w == "return") {
    CompileReturn(item, tokens, pos);
  } else if (w == "global" || w == "file" || TypeKeyword(w)) {
    CompileDeclaration(item, tokens, pos);
  } else if (w == "raw") {
    CompileRaw(item, tokens, pos);
  } else if (w == "messageEnd") {
    if (ExpectEnd(item, tokens, 1)) CloseMessage(item);
  } else if (AssignOpCode(tokens[1]) >= 0 || (tokens[1].kind == Token::kOp && (tokens[1].text == "[" || tokens[1].text == ","))) {
    CompileAssignment(item, tokens, pos);
  } else if (const CommandSpec* spec = script::FindCommand(w)) {
    if (!spec->bound) {
      ErrorAt(file_, item, first.offset, "'" + w + "' is not a command (\"@raw N\" writes any command number)");
    } else if (auto s = StatementFor(spec->index); !s.empty()) {
      ErrorAt(file_, item, first.offset, "'" + w + "' is written by the compiler; use " + std::string(s));
    } else {
      ++pos;
      CompileCommand(item, *spec, tokens, pos);
    }
  } else if (Resolve(w)) {
    ErrorAt(file_, item, tokens[1].offset, "expected an assignment such as '" + common::SjisToUtf8(w) + " = ...'");
  } else {
    ErrorAt(file_, item, first.offset, "unknown command or variable '" + common::SjisToUtf8(w) + "'");
  }
}

void Compiler::CompileAssignment(const Item& item, std::vector<Token>& tokens, size_t& pos) {
  std::vector<ExprPtr> targets;
  std::vector<size_t> offsets;
  while (true) {
    offsets.push_back(tokens[pos].offset);
    auto t = ParseTarget(item, tokens, pos, false);
    if (!t) return;
    targets.push_back(std::move(t));
    if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") {
      ++pos;
      continue;
    }
    break;
  }
  const int opCode = AssignOpCode(tokens[pos]);
  if (opCode < 0) {
    ErrorAt(file_, item, tokens[pos].offset, "expected an assignment operator (= += -= *= /= %= &= |= ^=)");
    return;
  }
  const size_t opOffset = tokens[pos].offset;
  ++pos;
  if (tokens[pos].kind == Token::kIdent && tokens[pos].text == "call") {
    if (opCode != 0) {
      ErrorAt(file_, item, opOffset, "the results of a call are taken with '='");
      return;
    }
    CompileCall(item, tokens, pos, std::move(targets));
    return;
  }
  if (targets.size() != 1) {
    ErrorAt(file_, item, offsets[1], "several variables can only receive the results of a call");
    return;
  }
  ExprPtr& target = targets[0];
  // Writability of system variables is known here; the engine would stop
  // with an error.
  if (target->variable < kFirstScriptVariable) {
    bool writable = false;
    for (const auto& s : SystemVariables())
      if (s.number == target->variable) writable = s.writable;
    if (!writable) {
      ErrorAt(file_, item, offsets[0], "'" + VariableDisplayName(target->variable) + "' cannot be assigned to");
      return;
    }
  }
  const size_t valueOffset = tokens[pos].offset;
  auto value = ParseExpression(item, tokens, pos);
  if (!value || !ExpectEnd(item, tokens, pos)) return;
  const ValueType tt = target->type;
  if (tt == ValueType::kText) {
    if (opCode != 0 && opCode != 1) {
      ErrorAt(file_, item, opOffset, "a text takes only = and += (append)");
      return;
    }
    ConvertTo(value, ValueType::kText);
  } else if (value->type == ValueType::kText) {
    ErrorAt(file_, item, valueOffset, "a text cannot be stored in a number variable; convert it with int() or float()");
    return;
  } else if (tt == ValueType::kFloat) {
    ConvertTo(value, ValueType::kFloat);
  }
  EmitAssign(item, *target, static_cast<uint8_t>(opCode), offsets[0], *value, valueOffset);
}

void Compiler::EmitAssign(const Item& item, const Expr& target, uint8_t op, size_t targetAt, const Expr& value,
                          size_t valueAt) {
  CommandIR cmd;
  cmd.index = kAssign;
  cmd.line = static_cast<int32_t>(item.line + 1);
  ArgIR a;
  a.id = 0;
  a.assignOp = op;
  if (!MakeArg(item, a, target, targetAt)) return;
  a.exprType = 1;  // the target is read for its reference only
  ArgIR b;
  b.id = 1;
  if (!MakeArg(item, b, value, valueAt)) return;
  cmd.args.push_back(std::move(a));
  cmd.args.push_back(std::move(b));
  Emit(std::move(cmd));
}

void Compiler::CompileCommand(const Item& item, const CommandSpec& spec, std::vector<Token>& tokens, size_t& pos) {
  CommandIR cmd;
  cmd.index = spec.index;
  cmd.line = static_cast<int32_t>(item.line + 1);
  std::vector<bool> given(spec.args.size(), false);
  // Positional arguments fill the command's arguments in order.
  std::vector<int> positional;
  for (size_t i = 0; i < spec.args.size(); ++i)
    if (spec.args[i].role != ArgRole::kUnused && spec.args[i].role != ArgRole::kPosition)
      positional.push_back(static_cast<int>(i));
  size_t nextPositional = 0;
  bool sawNamed = false;
  while (tokens[pos].kind != Token::kEnd) {
    const Token& t = tokens[pos];
    int id = -1;
    int assignOp = 0;
    bool bare = false;
    const size_t at = t.offset;
    if (t.kind == Token::kIdent && AssignOpCode(tokens[pos + 1]) >= 0) {
      id = script::FindArgument(spec, t.text);
      if (id < 0) {
        ErrorAt(file_, item, at, "'" + std::string(spec.name) + "' has no argument '" + common::SjisToUtf8(t.text) + "'");
        return;
      }
      assignOp = AssignOpCode(tokens[pos + 1]);
      pos += 2;
      sawNamed = true;
    } else if (t.kind == Token::kIdent && script::FindArgument(spec, t.text) >= 0 &&
               !(tokens[pos + 1].kind == Token::kOp && tokens[pos + 1].text != ",")) {
      id = script::FindArgument(spec, t.text);
      bare = true;
      ++pos;
      sawNamed = true;
    } else {
      if (sawNamed) {
        ErrorAt(file_, item, at, "unnamed arguments must come before the named ones");
        return;
      }
      if (nextPositional >= positional.size()) {
        ErrorAt(file_, item, at, "'" + std::string(spec.name) + "' takes no more unnamed arguments");
        return;
      }
      id = positional[nextPositional++];
    }
    const script::ArgumentSpec& as = spec.args[static_cast<size_t>(id)];
    if (as.role == ArgRole::kPosition || as.role == ArgRole::kUnused) {
      ErrorAt(file_, item, at, "the argument '" + std::string(as.name) + "' is written by the compiler");
      return;
    }
    if (given[static_cast<size_t>(id)]) {
      ErrorAt(file_, item, at, "the argument '" + std::string(as.name) + "' is given twice");
      return;
    }
    given[static_cast<size_t>(id)] = true;
    if (assignOp != 0 && !as.withOperator) {
      ErrorAt(file_, item, at, "the argument '" + std::string(as.name) + "' takes only '='");
      return;
    }
    ExprPtr e;
    const size_t valueAt = tokens[pos].offset;
    if (bare) {
      e = MakeIntLiteral(1, at);
    } else if (as.role == ArgRole::kOutput) {
      e = ParseTarget(item, tokens, pos, true);
    } else {
      e = ParseExpression(item, tokens, pos);
    }
    if (!e) return;
    if (as.valueClass == script::kNumberValue && e->type == ValueType::kText && as.role != ArgRole::kOutput) {
      ErrorAt(file_, item, valueAt, "the argument '" + std::string(as.name) + "' takes a number, not a text");
      return;
    }
    if (as.valueClass == script::kTextValue) ConvertTo(e, ValueType::kText);
    if (as.role == ArgRole::kLabel) {
      if (auto c = EvaluateConstant(*e); c && c->isText && !labels_.count(c->text))
        ErrorAt(file_, item, valueAt, "there is no label *" + common::SjisToUtf8(c->text));
    }
    ArgIR a;
    a.id = static_cast<uint8_t>(id);
    a.assignOp = static_cast<uint8_t>(assignOp);
    if (!MakeArg(item, a, *e, valueAt)) return;
    cmd.args.push_back(std::move(a));
    if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") ++pos;
  }
  Emit(std::move(cmd));
}

void Compiler::CompileRaw(const Item& item, std::vector<Token>& tokens, size_t& pos) {
  ++pos;
  if (tokens[pos].kind != Token::kInt || tokens[pos].intValue < 0 || tokens[pos].intValue > 255) {
    ErrorAt(file_, item, tokens[pos].offset, "@raw takes a command number 0..255");
    return;
  }
  CommandIR cmd;
  cmd.index = static_cast<uint8_t>(tokens[pos].intValue);
  cmd.line = static_cast<int32_t>(item.line + 1);
  ++pos;
  if (cmd.index == kMessageEnd) {
    cmd.hasOperand = true;
    if (tokens[pos].kind == Token::kInt) cmd.operand = static_cast<int32_t>(tokens[pos++].intValue);
    if (ExpectEnd(item, tokens, pos)) Emit(std::move(cmd));
    return;
  }
  while (tokens[pos].kind != Token::kEnd) {
    if (tokens[pos].kind != Token::kInt || tokens[pos].intValue < 0 || tokens[pos].intValue > 95) {
      ErrorAt(file_, item, tokens[pos].offset, "expected an argument number 0..95, then '=' and a value");
      return;
    }
    ArgIR a;
    a.id = static_cast<uint8_t>(tokens[pos].intValue);
    ++pos;
    const int op = AssignOpCode(tokens[pos]);
    if (op < 0) {
      ErrorAt(file_, item, tokens[pos].offset, "expected '=' or another assignment operator");
      return;
    }
    a.assignOp = static_cast<uint8_t>(op);
    ++pos;
    const size_t at = tokens[pos].offset;
    ExprPtr e = tokens[pos].kind == Token::kOp && tokens[pos].text == "&" ? ParseTarget(item, tokens, pos, true)
                                                                           : ParseExpression(item, tokens, pos);
    if (!e || !MakeArg(item, a, *e, at)) return;
    cmd.args.push_back(std::move(a));
    if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") ++pos;
  }
  if (cmd.args.size() > 95) {
    ErrorAt(file_, item, 0, "a command holds at most 95 arguments");
    return;
  }
  Emit(std::move(cmd));
}

void Compiler::CompileDeclaration(const Item& item, std::vector<Token>& tokens, size_t& pos) {
  std::string scope;
  if (tokens[pos].text == "global" || tokens[pos].text == "file") scope = tokens[pos++].text;
  const auto type = tokens[pos].kind == Token::kIdent ? TypeKeyword(tokens[pos].text) : std::nullopt;
  if (!type) {
    ErrorAt(file_, item, tokens[pos].offset, "expected a type: int, float or text");
    return;
  }
  ++pos;
  while (true) {
    const Token nameToken = tokens[pos];
    if (nameToken.kind != Token::kIdent) {
      ErrorAt(file_, item, nameToken.offset, "expected a variable name");
      return;
    }
    ++pos;
    // The name was bound by CollectVariables (or refused there).
    const auto& locals = files_[file_].locals;
    VariableDef* v = nullptr;
    if (scope == "global") {
      if (auto g = globals_.find(nameToken.text); g != globals_.end()) v = &variables_[g->second];
    } else if (auto l = locals.find(nameToken.text); l != locals.end()) {
      v = &variables_[l->second];
    } else if (auto g = globals_.find(nameToken.text); g != globals_.end() && scope.empty()) {
      v = &variables_[g->second];
    }
    std::vector<ExprPtr> sizes;
    std::vector<size_t> sizeOffsets;
    while (tokens[pos].kind == Token::kOp && tokens[pos].text == "[") {
      ++pos;
      while (true) {
        sizeOffsets.push_back(tokens[pos].offset);
        auto s = ParseExpression(item, tokens, pos);
        if (!s) return;
        if (s->type == ValueType::kText) {
          ErrorAt(file_, item, sizeOffsets.back(), "a dimension size must be a number");
          return;
        }
        sizes.push_back(std::move(s));
        if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") {
          ++pos;
          continue;
        }
        break;
      }
      if (!(tokens[pos].kind == Token::kOp && tokens[pos].text == "]")) {
        ErrorAt(file_, item, tokens[pos].offset, "expected ']'");
        return;
      }
      ++pos;
    }
    if (sizes.size() > 8) {
      ErrorAt(file_, item, sizeOffsets[8], "a variable has at most 8 dimensions");
      return;
    }
    ExprPtr init;
    size_t initOffset = tokens[pos].offset;
    if (tokens[pos].kind == Token::kOp && tokens[pos].text == "=") {
      ++pos;
      initOffset = tokens[pos].offset;
      init = ParseExpression(item, tokens, pos);
      if (!init) return;
      if (*type == ValueType::kText) {
        ConvertTo(init, ValueType::kText);
      } else if (init->type == ValueType::kText) {
        ErrorAt(file_, item, initOffset, "a text cannot be the value of a number variable");
        return;
      } else if (*type == ValueType::kFloat) {
        ConvertTo(init, ValueType::kFloat);
      }
    } else {
      init = *type == ValueType::kText ? MakeTextLiteral("") : MakeIntLiteral(0);
      if (*type == ValueType::kFloat) ConvertTo(init, ValueType::kFloat);
    }
    if (v) {
      if (!scope.empty()) {
        // A declaration record: sizes and value must be known now.
        int64_t count = 1;
        for (size_t i = 0; i < sizes.size(); ++i) {
          auto c = EvaluateConstant(*sizes[i]);
          if (!c || c->isText) {
            ErrorAt(file_, item, sizeOffsets[i], "the size of a " + scope + " variable must be a constant");
            return;
          }
          if (c->intValue < 1 || c->intValue > 4000000) {
            ErrorAt(file_, item, sizeOffsets[i], "a dimension size must be 1..4000000");
            return;
          }
          v->sizes.push_back(static_cast<int32_t>(c->intValue));
          count *= c->intValue;
          if (count > 4000000) {
            ErrorAt(file_, item, sizeOffsets[i], "a variable holds at most 4000000 elements");
            return;
          }
        }
        auto c = EvaluateConstant(*init);
        if (!c) {
          ErrorAt(file_, item, initOffset, "the value of a " + scope + " variable must be a constant");
          return;
        }
        if (*type == ValueType::kInt) v->intValue = NeedsFloat(*init) ? static_cast<int64_t>(c->floatValue) : c->intValue;
        else if (*type == ValueType::kFloat) v->floatValue = c->floatValue;
        else {
          v->textValue = c->text;
          if (c->text.size() > 4095) {
            ErrorAt(file_, item, initOffset, "a text value may be at most 4095 bytes long");
            return;
          }
        }
      } else {
        // A run-time declaration: the declaring command.
        if (*type == ValueType::kText && NeedsFloat(*init)) {
          ErrorAt(file_, item, initOffset, "the value of a text declared here is computed with integers; "
                                          "store a float calculation in a text variable first");
          return;
        }
        if (!v->declaredStatic) {
          // A variable declared only by lines like this one still exists
          // from the moment its file is entered: with the sizes and value
          // of its first declaration where those are constants, else one
          // element per dimension and the zero value.
          v->declaredStatic = true;
          for (const auto& s : sizes) {
            auto c = EvaluateConstant(*s);
            v->sizes.push_back(c && !c->isText && c->intValue >= 1 && c->intValue <= 4000000
                                   ? static_cast<int32_t>(c->intValue)
                                   : 1);
          }
          int64_t count = 1;
          for (int32_t n : v->sizes) count *= n;
          if (count > 4000000) std::fill(v->sizes.begin(), v->sizes.end(), 1);
          if (auto c = EvaluateConstant(*init)) {
            if (*type == ValueType::kInt) v->intValue = NeedsFloat(*init) ? static_cast<int64_t>(c->floatValue) : c->intValue;
            else if (*type == ValueType::kFloat) v->floatValue = c->floatValue;
            else if (c->text.size() <= 4095) v->textValue = c->text;
          }
        }
        CommandIR cmd;
        cmd.index = *type == ValueType::kInt ? kDeclareInt : *type == ValueType::kFloat ? kDeclareFloat : kDeclareText;
        cmd.line = static_cast<int32_t>(item.line + 1);
        ArgIR a;
        a.id = 0;
        ExprWriter w;
        std::string error;
        std::vector<const Expr*> raw;
        std::string infix = VariableDisplayName(v->number);
        for (size_t i = 0; i < sizes.size(); ++i) {
          raw.push_back(sizes[i].get());
          infix += (i ? ", " : "[") + FormatExpression(*sizes[i]);
        }
        if (!sizes.empty()) infix += "]";
        for (const auto& s : sizes) {
          if (NeedsFloat(*s)) {
            ErrorAt(file_, item, s->offset, "a dimension size is computed with integers; use int()");
            return;
          }
        }
        EmitDeclarationTarget(v->number, raw, w, error);
        a.code = w.Take();
        a.exprType = 1;
        a.infix = infix;
        ArgIR b;
        b.id = 1;
        if (!MakeArg(item, b, *init, initOffset)) return;
        cmd.args.push_back(std::move(a));
        cmd.args.push_back(std::move(b));
        Emit(std::move(cmd));
      }
    }
    if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") {
      ++pos;
      continue;
    }
    ExpectEnd(item, tokens, pos);
    return;
  }
}

void Compiler::CompileCall(const Item& item, std::vector<Token>& tokens, size_t& pos, std::vector<ExprPtr> targets) {
  ++pos;  // "call"
  const size_t labelAt = tokens[pos].offset;
  ExprPtr label;
  const LabelDef* callee = nullptr;
  if (tokens[pos].kind == Token::kLabel) {
    const std::string name = tokens[pos].text;
    ++pos;
    auto l = labels_.find(name);
    if (l == labels_.end()) {
      ErrorAt(file_, item, labelAt, "there is no label *" + common::SjisToUtf8(name));
      return;
    }
    callee = &l->second;
    label = MakeTextLiteral(name, labelAt);
  } else {
    // A computed label: a text expression (in parentheses when a list of
    // parameters follows).
    label = ParseExpression(item, tokens, pos);
    if (!label) return;
    if (label->type != ValueType::kText) {
      ErrorAt(file_, item, labelAt, "@call takes *label or a text that names a label");
      return;
    }
    if (auto c = EvaluateConstant(*label); c && c->isText) {
      auto l = labels_.find(c->text);
      if (l == labels_.end()) {
        ErrorAt(file_, item, labelAt, "there is no label *" + common::SjisToUtf8(c->text));
        return;
      }
      callee = &l->second;
    }
  }
  std::vector<ExprPtr> params;
  std::vector<size_t> paramOffsets;
  if (tokens[pos].kind == Token::kOp && tokens[pos].text == "(") {
    ++pos;
    while (!(tokens[pos].kind == Token::kOp && tokens[pos].text == ")")) {
      paramOffsets.push_back(tokens[pos].offset);
      auto e = ParseExpression(item, tokens, pos);
      if (!e) return;
      params.push_back(std::move(e));
      if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") ++pos;
      else if (!(tokens[pos].kind == Token::kOp && tokens[pos].text == ")")) {
        ErrorAt(file_, item, tokens[pos].offset, "expected ',' or ')'");
        return;
      }
    }
    ++pos;
  }
  if (!ExpectEnd(item, tokens, pos)) return;
  if (params.size() > 8) {
    ErrorAt(file_, item, paramOffsets[8], "a call passes at most 8 parameters");
    return;
  }
  if (callee && callee->subroutine && callee->params.size() != params.size()) {
    ErrorAt(file_, item, labelAt,
            "*" + common::SjisToUtf8(callee->name) + " takes " + std::to_string(callee->params.size()) +
                " parameter(s), not " + std::to_string(params.size()));
    return;
  }
  CommandIR cmd;
  cmd.index = kCall;
  cmd.line = static_cast<int32_t>(item.line + 1);
  ArgIR la;
  la.id = 0;
  if (!MakeArg(item, la, *label, labelAt)) return;
  cmd.args.push_back(std::move(la));
  for (size_t i = 0; i < params.size(); ++i) {
    ExprPtr& e = params[i];
    ValueType slot = e->type;
    if (callee && callee->subroutine) {
      slot = callee->params[i].type;
      if (slot != ValueType::kText && e->type == ValueType::kText) {
        ErrorAt(file_, item, paramOffsets[i],
                "the parameter '" + common::SjisToUtf8(callee->params[i].name) + "' is a number, not a text");
        return;
      }
      if (slot == ValueType::kFloat) ConvertTo(e, ValueType::kFloat);
      if (slot == ValueType::kText) ConvertTo(e, ValueType::kText);
    }
    ArgIR a;
    a.id = static_cast<uint8_t>(i + 1 + (slot == ValueType::kFloat ? 8 : slot == ValueType::kText ? 16 : 0));
    if (!MakeArg(item, a, *e, paramOffsets[i])) return;
    cmd.args.push_back(std::move(a));
  }
  Emit(std::move(cmd));
  // Results land in the return slots of their type; each target takes the
  // slot of the type the subroutine returns there, or its own type.
  if (targets.size() > 8) {
    ErrorAt(file_, item, 0, "a call gives at most 8 results");
    return;
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    ExprPtr& t = targets[i];
    ValueType slot = t->type;
    if (callee && callee->returnsSeen && i < callee->returns.size() && callee->returns[i] != ValueType::kNone)
      slot = callee->returns[i];
    if (t->type != ValueType::kText && slot == ValueType::kText) {
      ErrorAt(file_, item, t->offset, "*" + common::SjisToUtf8(callee->name) + " returns a text there");
      return;
    }
    VariableInfo r;
    r.number = slot == ValueType::kInt ? 38 : slot == ValueType::kFloat ? 39 : 40;
    r.type = slot;
    r.fixedElement = true;
    r.element = static_cast<int64_t>(i + 1);
    auto value = MakeVariableRead(r, t->offset);
    if (t->type == ValueType::kText) ConvertTo(value, ValueType::kText);
    else if (t->type == ValueType::kFloat) ConvertTo(value, ValueType::kFloat);
    if (t->variable < kFirstScriptVariable) {
      ErrorAt(file_, item, t->offset, "'" + VariableDisplayName(t->variable) + "' cannot receive a result");
      return;
    }
    EmitAssign(item, *t, 0, t->offset, *value, t->offset);
  }
}

void Compiler::CompileReturn(const Item& item, std::vector<Token>& tokens, size_t& pos) {
  ++pos;
  CommandIR cmd;
  cmd.index = kReturn;
  cmd.line = static_cast<int32_t>(item.line + 1);
  size_t n = 0;
  while (tokens[pos].kind != Token::kEnd) {
    const size_t at = tokens[pos].offset;
    if (n == 8) {
      ErrorAt(file_, item, at, "@return gives at most 8 values");
      return;
    }
    auto e = ParseExpression(item, tokens, pos);
    if (!e) return;
    ArgIR a;
    a.id = static_cast<uint8_t>(n + (e->type == ValueType::kFloat ? 8 : e->type == ValueType::kText ? 16 : 0));
    if (!MakeArg(item, a, *e, at)) return;
    cmd.args.push_back(std::move(a));
    ++n;
    if (tokens[pos].kind == Token::kOp && tokens[pos].text == ",") ++pos;
    else if (!ExpectEnd(item, tokens, pos)) return;
  }
  Emit(std::move(cmd));
}

void Compiler::CompileGoto(const Item& item, std::vector<Token>& tokens, size_t& pos) {
  ++pos;
  const size_t at = tokens[pos].offset;
  auto e = ParseExpression(item, tokens, pos);
  if (!e || !ExpectEnd(item, tokens, pos)) return;
  if (e->type != ValueType::kText) {
    ErrorAt(file_, item, at, "@goto takes *label or a text that names a label");
    return;
  }
  if (auto c = EvaluateConstant(*e); c && c->isText && !e->label && !labels_.count(c->text))
    ErrorAt(file_, item, at, "there is no label *" + common::SjisToUtf8(c->text));
  CommandIR cmd;
  cmd.index = kJump;
  cmd.line = static_cast<int32_t>(item.line + 1);
  ArgIR a;
  a.id = 0;
  if (!MakeArg(item, a, *e, at)) return;
  cmd.args.push_back(std::move(a));
  Emit(std::move(cmd));
}

void Compiler::CompileBlockStatement(const Item& item, const std::string& keyword, std::vector<Token>& tokens,
                                     size_t& pos) {
  ++pos;
  auto& cmds = files_[file_].commands;
  const int32_t line = static_cast<int32_t>(item.line + 1);
  auto condition = [&](ArgIR& a) -> bool {
    const size_t at = tokens[pos].offset;
    auto e = ParseExpression(item, tokens, pos);
    if (!e || !ExpectEnd(item, tokens, pos)) return false;
    if (e->type == ValueType::kText) {
      ErrorAt(file_, item, at, "a condition must be a number (compare texts with == or !=)");
      return false;
    }
    a.id = 0;
    return MakeArg(item, a, *e, at);
  };
  if (keyword == "if" || keyword == "while") {
    if (blockDepth_ >= 15) {
      ErrorAt(file_, item, 0, "blocks are nested too deeply (at most 15)");
      return;
    }
    // A condition with an error still opens the block, so that its @end
    // finds it.
    ArgIR cond;
    condition(cond);
    CommandIR cmd;
    cmd.index = kBlock;
    cmd.line = line;
    cmd.args.push_back(std::move(cond));
    cmd.args.push_back(PositionArg(1, -1));
    cmd.args.push_back(PositionArg(2, -1));
    const int at = Emit(std::move(cmd));
    Block b;
    b.kind = keyword == "if" ? Block::kIf : Block::kWhile;
    b.open = at;
    b.lastBranch = keyword == "if" ? at : -1;
    b.line = item.line;
    blocks_.push_back(b);
    ++blockDepth_;
    return;
  }
  if (keyword == "loop") {
    if (loopDepth_ >= 15) {
      ErrorAt(file_, item, 0, "counted loops are nested too deeply (at most 15)");
      return;
    }
    ArgIR count;
    count.id = 0;
    if (tokens[pos].kind == Token::kEnd) {
      MakeArg(item, count, *MakeIntLiteral(-1), 0);  // endless
    } else {
      const size_t at = tokens[pos].offset;
      auto e = ParseExpression(item, tokens, pos);
      if (e && ExpectEnd(item, tokens, pos)) {
        if (e->type == ValueType::kText) ErrorAt(file_, item, at, "@loop takes a number of times");
        else MakeArg(item, count, *e, at);
      }
    }
    CommandIR cmd;
    cmd.index = kLoop;
    cmd.line = line;
    cmd.args.push_back(std::move(count));
    cmd.args.push_back(PositionArg(1, -1));
    const int at = Emit(std::move(cmd));
    Block b;
    b.kind = Block::kLoop;
    b.open = at;
    b.line = item.line;
    blocks_.push_back(b);
    ++loopDepth_;
    return;
  }
  // elif, else, end
  if (blocks_.empty()) {
    ErrorAt(file_, item, 0, "@" + keyword + " without an open block");
    return;
  }
  Block& b = blocks_.back();
  auto setNext = [&](int branch, int target) {
    // the "else" record of the block command, the "next" record of an elif
    cmds[static_cast<size_t>(branch)].args[1].target = target;
  };
  if (keyword == "elif" || keyword == "else") {
    if (b.kind != Block::kIf) {
      ErrorAt(file_, item, 0, "@" + keyword + " belongs to an @if block");
      return;
    }
    if (b.sawElse) {
      ErrorAt(file_, item, 0, "@" + keyword + " after @else");
      return;
    }
    CommandIR exit;
    exit.index = kBlockExit;
    exit.line = line;
    Emit(std::move(exit));
    CommandIR cmd;
    cmd.index = kElse;
    cmd.line = line;
    if (keyword == "elif") {
      ArgIR cond;
      condition(cond);
      cmd.args.push_back(std::move(cond));
      cmd.args.push_back(PositionArg(1, -1));
      cmd.args.push_back(PositionArg(2, -1));
    } else if (!ExpectEnd(item, tokens, pos)) {
      return;
    }
    const int at = Emit(std::move(cmd));
    setNext(b.lastBranch, at);
    if (keyword == "elif") {
      b.lastBranch = at;
      b.conditional.push_back(at);
    } else {
      b.lastBranch = -1;
      b.sawElse = true;
    }
    return;
  }
  // end
  if (!ExpectEnd(item, tokens, pos)) return;
  if (b.kind == Block::kLoop) {
    CommandIR cmd;
    cmd.index = kLoopEnd;
    cmd.line = line;
    const int at = Emit(std::move(cmd));
    cmds[static_cast<size_t>(b.open)].args[1].target = at;
    --loopDepth_;
  } else {
    if (b.kind == Block::kWhile) {
      CommandIR again;
      again.index = kBlockRepeat;
      again.line = line;
      Emit(std::move(again));
    }
    CommandIR cmd;
    cmd.index = kBlockEnd;
    cmd.line = line;
    const int at = Emit(std::move(cmd));
    cmds[static_cast<size_t>(b.open)].args[2].target = at;
    for (int c : b.conditional) cmds[static_cast<size_t>(c)].args[2].target = at;
    --blockDepth_;
  }
  blocks_.pop_back();
}

void Compiler::CompileBreak(const Item& item, bool isNext, std::vector<Token>& tokens, size_t& pos) {
  ++pos;
  const std::string word = isNext ? "@next" : "@break";
  int64_t levels = 1;
  if (tokens[pos].kind == Token::kInt) levels = tokens[pos++].intValue;
  if (!ExpectEnd(item, tokens, pos)) return;
  // The innermost `levels` loops, which must be of one kind.
  int found = 0;
  int blocksCrossed = 0;
  std::optional<Block::Kind> kind;
  for (auto b = blocks_.rbegin(); b != blocks_.rend(); ++b) {
    if (b->kind != Block::kLoop) ++blocksCrossed;
    if (b->kind == Block::kIf) continue;
    if (kind && *kind != b->kind) {
      ErrorAt(file_, item, 0, word + " " + std::to_string(levels) + " would leave a @while and a @loop at once");
      return;
    }
    kind = b->kind;
    if (++found == levels) break;
  }
  if (levels < 1 || found < levels) {
    ErrorAt(file_, item, 0, word + (levels == 1 ? " outside a loop" : " " + std::to_string(levels) + ": not that many loops are open"));
    return;
  }
  CommandIR cmd;
  cmd.line = static_cast<int32_t>(item.line + 1);
  int64_t n = levels;
  if (*kind == Block::kWhile) {
    cmd.index = isNext ? kBlockRepeat : kBlockBreak;
    n = blocksCrossed;
  } else {
    cmd.index = isNext ? kLoopNext : kLoopBreak;
  }
  if (n != 1) {
    ArgIR a;
    a.id = 0;
    MakeArg(item, a, *MakeIntLiteral(n), 0);
    cmd.args.push_back(std::move(a));
  }
  Emit(std::move(cmd));
}

void Compiler::CompileFile(size_t file) {
  file_ = file;
  blocks_.clear();
  blockDepth_ = loopDepth_ = 0;
  subroutine_ = nullptr;
  pendingLabels_.clear();
  messageOpen_ = false;
  const auto& items = files_[file].items;
  for (const Item& it : items) {
    switch (it.kind) {
      case Item::kLabel: CompileLabel(it); break;
      case Item::kStatement: CompileStatement(it); break;
      case Item::kDialogue: CompileDialogue(it); break;
    }
  }
  for (const Block& b : blocks_)
    ErrorLine(file, b.line, 0, std::string(b.kind == Block::kIf ? "@if" : b.kind == Block::kWhile ? "@while" : "@loop") +
                                   " without its @end");
  // Running past the last line ends the game; a message still open is
  // shown first.
  Item last;
  last.line = files_[file].source.lines.empty() ? 0 : files_[file].source.lines.size() - 1;
  if (messageOpen_) CloseMessage(last);
  CommandIR end;
  end.index = kEnd;
  end.line = static_cast<int32_t>(last.line + 1);
  Emit(std::move(end));
}

// ---- output ----------------------------------------------------------------

void Compiler::Layout(size_t file, std::vector<uint8_t>& code, std::vector<uint8_t>& expressions) {
  auto& cmds = files_[file].commands;
  std::vector<int32_t> positions(cmds.size() + 1);
  int32_t at = 0;
  for (size_t i = 0; i < cmds.size(); ++i) {
    positions[i] = at;
    at += cmds[i].hasOperand ? 10 : static_cast<int32_t>(6 + 12 * cmds[i].args.size());
  }
  positions[cmds.size()] = at;
  // Equal expressions are stored once.
  std::map<std::vector<uint8_t>, int32_t> stored;
  common::ByteWriter w;
  for (size_t i = 0; i < cmds.size(); ++i) {
    const CommandIR& c = cmds[i];
    w.U8(c.index);
    w.U8(static_cast<uint8_t>(c.hasOperand ? 0 : c.args.size()));
    w.I32(c.line);
    ListingCommand lc;
    lc.file = static_cast<uint16_t>(file);
    lc.position = positions[i];
    lc.line = c.line;
    lc.index = c.index;
    lc.hasOperand = c.hasOperand;
    lc.operand = c.operand;
    if (c.hasOperand) {
      w.I32(c.operand);
      listing_.push_back(std::move(lc));
      continue;
    }
    const CommandSpec& spec = script::CommandTable()[std::min<size_t>(c.index, script::kCommandSlots - 1)];
    for (const ArgIR& a : c.args) {
      int32_t length = 0, offset = 0;
      ListingArgument la;
      la.id = a.id;
      la.name = c.index < script::kCommandSlots && a.id < spec.args.size() ? std::string(spec.args[a.id].name)
                                                                            : "#" + std::to_string(a.id);
      la.assignOp = a.assignOp;
      if (a.position) {
        length = a.target >= 0 ? positions[static_cast<size_t>(a.target)] : 0;
        la.value = PositionText(length);
      } else {
        auto found = stored.find(a.code);
        if (found == stored.end()) {
          found = stored.emplace(a.code, static_cast<int32_t>(expressions.size())).first;
          expressions.insert(expressions.end(), a.code.begin(), a.code.end());
        }
        length = static_cast<int32_t>(a.code.size());
        offset = found->second;
        la.value = a.infix;
      }
      w.U8(a.id);
      w.U8(0);
      w.U8(a.position ? 1 : a.exprType);
      w.U8(a.assignOp);
      w.I32(length);
      w.I32(offset);
      lc.args.push_back(std::move(la));
    }
    listing_.push_back(std::move(lc));
  }
  code = w.Take();
}

void Compiler::WriteFiles(CompileResult& result) {
  std::vector<std::string> names;
  for (const auto& f : files_) {
    std::string n = f.source.name;
    std::replace(n.begin(), n.end(), '/', '\\');
    names.push_back(common::Utf8ToSjisLossy(n));
  }
  // Declarations: the system slots, then globals, then each file's own.
  std::vector<DeclarationOut> decls;
  for (const SystemSlot& s : SystemSlots()) {
    DeclarationOut d;
    d.scope = 1;
    d.variable = s.number;
    d.type = static_cast<uint8_t>(s.type);
    if (s.elements > 0) d.sizes.push_back(s.elements);
    if (s.type == ValueType::kText) {
      ExprWriter w;
      w.Text("");
      d.textCode = w.Take();
    }
    decls.push_back(std::move(d));
  }
  auto declare = [&](const VariableDef& v) {
    DeclarationOut d;
    d.scope = v.global ? 1 : 2;
    d.file = v.global ? 0 : v.file;
    d.variable = v.number;
    d.type = static_cast<uint8_t>(v.type);
    d.sizes = v.sizes;
    d.intValue = v.intValue;
    d.floatValue = v.floatValue;
    if (v.type == ValueType::kText) {
      ExprWriter w;
      w.Text(v.textValue);
      d.textCode = w.Take();
    }
    decls.push_back(std::move(d));
  };
  for (const auto& v : variables_)
    if (v.declaredStatic && v.global) declare(v);
  for (const auto& v : variables_)
    if (v.declaredStatic && !v.global) declare(v);
  if (decls.size() > 65535) {
    diagnostics_.push_back({"", 0, 0, "too many variable declarations (at most 65535)", ""});
    return;
  }
  std::vector<LabelOut> labels;
  for (const auto& [name, def] : labels_) {
    if (def.command < 0) continue;
    LabelOut l;
    l.name = name;
    l.file = def.file;
    l.blockDepth = def.blockDepth;
    l.loopDepth = def.loopDepth;
    // position is filled from the listing below
    l.position = def.command;
    labels.push_back(l);
  }
  std::vector<std::vector<int32_t>> positions(files_.size());
  for (size_t f = 0; f < files_.size(); ++f) {
    std::vector<uint8_t> code, expressions;
    const size_t before = listing_.size();
    Layout(f, code, expressions);
    for (size_t i = before; i < listing_.size(); ++i) positions[f].push_back(listing_[i].position);
    char name[32];
    std::snprintf(name, sizeof name, "nvt%05zu.nbn", f);
    result.files[name] = EncodeScriptFile(code, expressions);
  }
  // Labels keep the file order of their definitions among equal CRCs.
  std::stable_sort(labels.begin(), labels.end(), [&](const LabelOut& a, const LabelOut& b) {
    return std::tie(a.file, a.position) < std::tie(b.file, b.position);
  });
  for (auto& l : labels) l.position = positions[l.file][static_cast<size_t>(l.position)];

  std::array<std::string, kFileErrorTexts> fileErrors;
  const auto texts = FileErrorTexts();
  for (int i = 0; i < kFileErrorTexts; ++i) fileErrors[i] = texts[static_cast<size_t>(i)];
  result.files["nvc.nbn"] = EncodeCommandTable(StandardCommandDefs(), fileErrors, BuildKeyMap());
  uint32_t highest = kFirstScriptVariable - 1;
  for (const auto& v : variables_) highest = std::max<uint32_t>(highest, v.number);
  result.files["nvt.nbn"] = EncodeVariableTable(static_cast<int32_t>(highest), options_.build);
  result.files["nvt_list.nbn"] = EncodeFileList(names);
  result.files["nvv.nbn"] = EncodeDeclarations(decls);
  result.files["nvl.nbn"] = EncodeLabels(labels);
  result.files["nvcfg.nbn"] = shell::EncodeConfiguration(settings_);
  result.files["nve.nbn"] = EncodeErrorTexts(EngineErrorTexts());
}

CompileResult Compiler::Run() {
  CompileResult result;
  for (const auto& s : sources_) {
    FileUnit u;
    u.source = DecodeSource(s, diagnostics_);
    u.items = SplitItems(u.source);
    files_.push_back(std::move(u));
  }
  if (files_.size() > 65535) diagnostics_.push_back({"", 0, 0, "too many script files (at most 65535)", ""});
  CollectLabels();
  CollectVariables();
  CollectReturns();
  if (!labels_.count("SYSTEM_START"))
    diagnostics_.push_back({sources_.empty() ? "(project)" : sources_[0].name, 0, 0,
                            "no script defines the label *SYSTEM_START, where the game begins", ""});
  for (size_t f = 0; f < files_.size(); ++f) CompileFile(f);
  if (diagnostics_.empty()) WriteFiles(result);
  if (!diagnostics_.empty()) result.files.clear();
  result.diagnostics = std::move(diagnostics_);
  result.listing = std::move(listing_);
  return result;
}

}  // namespace

std::string CompileResult::ErrorText() const {
  std::string out;
  for (const auto& d : diagnostics) out += d.Format() + "\n";
  return out;
}

CompileResult CompileProject(std::span<const SourceFile> sources, const shell::ConfigurationFile& settings,
                             const CompileOptions& options) {
  Compiler c(sources, settings, options);
  return c.Run();
}

CompileResult CompileSource(std::string_view text, std::string_view name) {
  SourceFile f{std::string(name), std::string(text)};
  shell::ConfigurationFile settings;
  return CompileProject(std::span<const SourceFile>(&f, 1), settings);
}

}  // namespace vv::dorov
