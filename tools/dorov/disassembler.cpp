#include "dorov/disassembler.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <span>
#include <sstream>

#include "common/bytes.h"
#include "common/checksum.h"
#include "common/encoding.h"
#include "dorov/compiled_files.h"
#include "dorov/expression_code.h"
#include "dorov/symbols.h"
#include "script/command_table.h"
#include "script/script_key.h"

namespace vv::dorov {

namespace {

using CommandDef = CommandDefOut;

struct Label {
  std::string name;
  uint32_t crc = 0;
  int32_t position = 0;
  uint16_t file = 0;
  int8_t blockDepth = 0, loopDepth = 0;
};

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*x", digits, v);
  return buf;
}

std::string_view AssignSpelling(uint8_t op) {
  static constexpr std::string_view kOps[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
  return op < 9 ? kOps[op] : "?=";
}

std::string TypeWord(uint8_t type) {
  switch (type) {
    case 1: return "int";
    case 2: return "float";
    case 3: return "text";
    default: return "type" + std::to_string(type);
  }
}

class Printer {
 public:
  explicit Printer(const std::map<std::string, std::vector<uint8_t>>& files) : files_(files) {}

  Disassembly Run() {
    Out("; compiled script, disassembled by dorov");
    CommandFile();
    VariableFile();
    ListFile();
    DeclarationFile();
    LabelFile();
    CodeFiles();
    ConfigurationFile();
    ErrorTextFile();
    Disassembly d;
    d.text = common::SjisToUtf8(out_);
    d.problems = std::move(problems_);
    return d;
  }

 private:
  void Out(const std::string& line) { out_ += line + "\n"; }
  void Problem(const std::string& what) {
    problems_.push_back(common::SjisToUtf8(what));
    Out("; !! " + what);
  }
  const std::vector<uint8_t>* File(const std::string& name) {
    auto f = files_.find(name);
    if (f == files_.end()) {
      Out("");
      Problem(name + " is missing");
      return nullptr;
    }
    return &f->second;
  }

  void CommandFile() {
    const auto* data = File("nvc.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nvc.nbn");
    r.Skip(8);
    const int32_t n = r.I32();
    r.Skip(4);
    Out("");
    // Each definition takes at least two bytes: refuse a count the file
    // cannot hold before reserving anything for it.
    if (!r.ok() || n < 0 || static_cast<size_t>(n) > r.remaining() / 2) {
      Problem("nvc.nbn: the command count " + std::to_string(n) + " does not fit the file");
      return;
    }
    Out("== nvc.nbn: " + std::to_string(n) + " commands");
    for (int32_t i = 0; i < n && r.ok(); ++i) {
      CommandDef c;
      c.name = std::string(r.CString());
      const uint8_t count = r.U8();
      std::string line = "  " + std::to_string(i) + " " + c.name + ":";
      for (int a = 0; a < count && r.ok(); ++a) {
        ArgDefOut d;
        d.name = std::string(r.CString());
        d.valueClass = r.U8();
        d.checkKind = r.U8();
        line += " " + d.name;
        if (d.valueClass == 1) line += "(text)";
        else if (d.valueClass == 2) line += "(raw)";
        else if (d.valueClass != 0) line += "(-)";
        if (d.checkKind != 0)
          line += "[" + std::string(d.checkKind < script::kCheckKinds ? script::CheckKindText(d.checkKind)
                                                                    : std::to_string(d.checkKind)) + "]";
        c.args.push_back(std::move(d));
      }
      if (!r.ok()) break;
      Out(line);
      commands_.push_back(std::move(c));
    }
    for (int e = 0; e < 37 && r.ok(); ++e) {
      const auto t = r.CString();
      if (r.ok()) Out("  file error " + std::to_string(e) + ": " + std::string(t));
    }
    const auto keys = r.Bytes(256);
    if (r.ok()) {
      std::string line = "  key map:";
      for (size_t k = 0; k < keys.size(); ++k)
        if (keys[k] != 0 || k == 0) line += " " + std::to_string(k) + ":" + std::to_string(keys[k]);
      Out(line);
    }
    if (!r.ok()) Problem(r.error());
  }

  void VariableFile() {
    const auto* data = File("nvt.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nvt.nbn");
    r.Skip(4);
    const int32_t version = r.I32(), highest = r.I32(), build = r.I32();
    Out("");
    if (!r.ok()) {
      Problem(r.error());
      return;
    }
    Out("== nvt.nbn: version " + std::to_string(version) + ", variables 0.." + std::to_string(highest) +
        ", build " + std::to_string(build));
    if (version != 288) Problem("nvt.nbn: the engine accepts only version 288");
    highest_ = highest;
  }

  void ListFile() {
    const auto* data = File("nvt_list.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nvt_list.nbn");
    r.Skip(8);
    const int32_t n = r.I32();
    Out("");
    if (!r.ok() || n < 0 || static_cast<size_t>(n) > r.remaining() / 24) {
      Problem("nvt_list.nbn: the file count " + std::to_string(n) + " does not fit the file");
      return;
    }
    Out("== nvt_list.nbn: " + std::to_string(n) + " script files");
    fileNames_.assign(static_cast<size_t>(n), "");
    for (int32_t i = 0; i < n && r.ok(); ++i) {
      const int32_t number = r.I32();
      const int32_t len = r.I32();
      if (len < 0 || static_cast<size_t>(len) > r.remaining()) {
        Problem("nvt_list.nbn: record " + std::to_string(i) + " has a bad name length");
        return;
      }
      const std::string name(r.Text(static_cast<size_t>(len)));
      r.Skip(16);
      if (!r.ok()) break;
      if (number < 0 || number >= n) {
        Problem("nvt_list.nbn: file number " + std::to_string(number) + " is not below " + std::to_string(n));
        continue;
      }
      fileNames_[static_cast<size_t>(number)] = name;
      Out("  file " + std::to_string(number) + ": " + name);
    }
    if (!r.ok()) Problem(r.error());
  }

  std::string Expression(std::span<const uint8_t> code, bool floatArithmetic) {
    auto d = DecodeExpression(code, floatArithmetic, [](uint16_t v) { return VariableDisplayName(v); });
    if (!d.ok) return d.infix + " <" + d.error + ">";
    return d.infix;
  }

  void DeclarationFile() {
    const auto* data = File("nvv.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nvv.nbn");
    r.Skip(8);
    const uint16_t n = r.U16();
    Out("");
    if (!r.ok()) {
      Problem(r.error());
      return;
    }
    Out("== nvv.nbn: " + std::to_string(n) + " declarations");
    struct Decl {
      std::string text;   // without the variable
      uint16_t variable;
    };
    std::vector<Decl> decls;
    for (int i = 0; i < n && r.ok(); ++i) {
      const uint8_t scope = r.U8();
      const uint16_t file = r.U16();
      const uint16_t variable = r.U16();
      const uint8_t type = r.U8();
      const uint8_t dims = r.U8();
      if (dims > 8) {
        Problem("nvv.nbn: declaration " + std::to_string(i) + " has " + std::to_string(dims) + " dimensions");
        return;
      }
      std::string sizes;
      for (int d = 0; d < dims; ++d) sizes += (d ? ", " : "[") + std::to_string(r.I32());
      if (dims) sizes += "]";
      std::string value;
      if (type == 1) value = std::to_string(r.I64());
      else if (type == 2) value = FormatFloat(r.F64());
      else if (type == 3) {
        const uint16_t len = r.U16();
        value = Expression(r.Bytes(len), false);
      }
      if (!r.ok()) break;
      std::string where = scope == 1 ? "global" : scope == 2 ? "file " + std::to_string(file) : "scope" + std::to_string(scope);
      decls.push_back({where + " " + TypeWord(type) + " %" + sizes + " = " + value, variable});
      if (highest_ >= 0 && variable > highest_)
        Problem("nvv.nbn: variable " + std::to_string(variable) + " is above the highest number " +
                std::to_string(highest_));
    }
    // Runs of alike declarations of consecutive variables (the system
    // slots) are shown as one line.
    for (size_t i = 0; i < decls.size();) {
      size_t j = i + 1;
      while (j < decls.size() && decls[j].text == decls[i].text && decls[j].variable == decls[j - 1].variable + 1) ++j;
      const std::string& t = decls[i].text;
      const size_t mark = t.find('%');
      std::string name = VariableDisplayName(decls[i].variable);
      if (j - i >= 3) name += " .. " + VariableDisplayName(decls[j - 1].variable);
      std::string line = "  " + t.substr(0, mark) + name + t.substr(mark + 1);
      if (j - i >= 3) line += "   (" + std::to_string(j - i) + " variables)";
      Out(line);
      i = j - i >= 3 ? j : i + 1;
    }
    if (!r.ok()) Problem(r.error());
  }

  void LabelFile() {
    const auto* data = File("nvl.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nvl.nbn");
    r.Skip(8);
    const int32_t n = r.I32();
    std::array<int32_t, 256> buckets{};
    for (auto& b : buckets) b = r.I32();
    Out("");
    if (!r.ok() || n < 0 || static_cast<size_t>(n) > r.remaining() / 13) {
      Problem("nvl.nbn: the label count " + std::to_string(n) + " does not fit the file");
      return;
    }
    Out("== nvl.nbn: " + std::to_string(n) + " labels");
    for (int32_t i = 0; i < n && r.ok(); ++i) {
      Label l;
      const uint8_t len = r.U8();
      l.name = std::string(r.Text(len));
      l.crc = r.U32();
      l.position = r.I32();
      l.file = r.U16();
      l.blockDepth = r.I8();
      l.loopDepth = r.I8();
      if (!r.ok()) break;
      Out("  *" + l.name + "  file " + std::to_string(l.file) + " " + Hex(static_cast<uint32_t>(l.position), 4) +
          "  depths " + std::to_string(l.blockDepth) + "/" + std::to_string(l.loopDepth) + "  crc " + Hex(l.crc, 8));
      if (common::Crc32(l.name) != l.crc) Problem("label *" + l.name + ": the stored CRC is not the name's");
      if (!labels_.empty() && labels_.back().crc > l.crc) Problem("label *" + l.name + " is out of CRC order");
      labels_.push_back(std::move(l));
    }
    if (!r.ok()) {
      Problem(r.error());
      return;
    }
    // Every name must be found through its bucket as the engine looks.
    for (size_t i = 0; i < labels_.size(); ++i) {
      const uint32_t top = labels_[i].crc >> 24;
      const int32_t start = top == 0 ? 0 : buckets[top];
      bool found = false;
      for (int32_t k = std::max(start, 0); k < n; ++k)
        if (labels_[static_cast<size_t>(k)].crc == labels_[i].crc && labels_[static_cast<size_t>(k)].name == labels_[i].name) {
          found = static_cast<size_t>(k) == i;
          break;
        }
      if (!found) Problem("label *" + labels_[i].name + " cannot be found through the bucket table");
    }
  }

  void ConfigurationFile() {
    const auto* data = File("nvcfg.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nvcfg.nbn");
    r.Skip(20);
    const int32_t width = r.I32(), height = r.I32();
    const auto images = r.Bytes(8);
    const auto sounds = r.Bytes(4);
    const int32_t worker = r.I32();
    const uint32_t debug = r.U32(), sound = r.U32(), maximize = r.U32(), framed = r.U32();
    r.Skip(4);
    const uint16_t len = r.U16();
    const std::string title(r.Text(len));
    Out("");
    if (!r.ok()) {
      Problem(r.error());
      return;
    }
    auto order = [](std::span<const uint8_t> codes, std::initializer_list<const char*> names) {
      std::string out;
      for (uint8_t c : codes)
        if (c >= 1 && c <= names.size()) out += std::string(out.empty() ? "" : " ") + names.begin()[c - 1];
      return out.empty() ? std::string("none") : out;
    };
    Out("== nvcfg.nbn: title \"" + title + "\", " + std::to_string(width) + " x " + std::to_string(height) +
        ", framed " + std::to_string(framed) + ", maximize box " + std::to_string(maximize) + ", debug " +
        std::to_string(debug) + ", sound " + std::to_string(sound) + ", worker thread " + std::to_string(worker));
    Out("  image order: " + order(images, {"bmp", "png", "jpg", "gif", "avi"}) +
        "; sound order: " + order(sounds, {"wav", "ogg"}));
  }

  void ErrorTextFile() {
    const auto* data = File("nve.nbn");
    if (!data) return;
    common::ByteReader r(*data, "nve.nbn");
    r.Skip(8);
    const int32_t n = r.I32();
    r.Skip(4);
    Out("");
    if (!r.ok() || n < 0 || static_cast<size_t>(n) > r.remaining() / 5) {
      Problem("nve.nbn: the text count " + std::to_string(n) + " does not fit the file");
      return;
    }
    Out("== nve.nbn: " + std::to_string(n) + " error texts");
    if (n > 256) Problem("nve.nbn: the engine keeps at most 256 texts");
    for (int32_t i = 0; i < n && r.ok(); ++i) {
      const int32_t code = r.I32();
      const std::string text(r.CString());
      if (!r.ok()) break;
      std::string shown;
      for (char c : text) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
      Out("  " + std::to_string(code) + ": " + shown);
    }
    if (!r.ok()) Problem(r.error());
  }

  void CodeFiles() {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files_)
      if (name.size() == 12 && name.rfind("nvt", 0) == 0 && name.substr(8) == ".nbn" && name != "nvt_list.nbn")
        names.push_back(name);
    for (const auto& name : names) CodeFile(name, files_.at(name));
  }

  void CodeFile(const std::string& name, const std::vector<uint8_t>& data) {
    const int file = std::atoi(name.substr(3, 5).c_str());
    common::ByteReader r(data, name);
    const auto tag = r.Text(8);
    const int32_t c = r.I32(), e = r.I32();
    const uint32_t codeCrc = r.U32(), exprCrc = r.U32();
    r.Skip(8);
    Out("");
    if (!r.ok() || c < 0 || e < 0 || static_cast<size_t>(c) > r.remaining() ||
        static_cast<size_t>(e) > r.remaining() - static_cast<size_t>(c)) {
      Problem(name + ": the region sizes do not fit the file");
      return;
    }
    std::vector<uint8_t> code(data.begin() + 32, data.begin() + 32 + c);
    std::vector<uint8_t> expr(data.begin() + 32 + c, data.begin() + 32 + c + e);
    script::ScrambleRegion(code);
    script::ScrambleRegion(expr);
    std::string title = "== " + name;
    if (static_cast<size_t>(file) < fileNames_.size()) title += " (" + fileNames_[static_cast<size_t>(file)] + ")";
    Out(title + ": code " + std::to_string(c) + " bytes, expressions " + std::to_string(e) + " bytes");
    if (tag == "DOROVscr" && (common::Crc32(code) != codeCrc || common::Crc32(expr) != exprCrc))
      Problem(name + ": the regions do not match the checksums in the header");

    std::multimap<int32_t, std::string> here;
    for (const auto& l : labels_)
      if (l.file == file) here.emplace(l.position, l.name);
    size_t pos = 0;
    const auto table = script::CommandTable();
    while (pos < code.size()) {
      for (auto [a, b] = here.equal_range(static_cast<int32_t>(pos)); a != b; ++a) Out("*" + a->second);
      if (code.size() - pos < 6) {
        Problem(name + ": a command header is cut short at " + Hex(static_cast<uint32_t>(pos), 4));
        return;
      }
      const uint8_t index = code[pos];
      const uint8_t count = code[pos + 1];
      const int32_t line = static_cast<int32_t>(common::LoadU32(&code[pos + 2]));
      const CommandDef* def = index < commands_.size() ? &commands_[index] : nullptr;
      const std::string cmdName = def ? def->name : "#" + std::to_string(index);
      char head[48];
      std::snprintf(head, sizeof head, "  %s  L%-5d ", Hex(static_cast<uint32_t>(pos), 4).c_str(), line);
      if (index == 56) {
        if (code.size() - pos < 10) {
          Problem(name + ": the message end at " + Hex(static_cast<uint32_t>(pos), 4) + " is cut short");
          return;
        }
        Out(head + cmdName + " #" + std::to_string(static_cast<int32_t>(common::LoadU32(&code[pos + 6]))));
        pos += 10;
        continue;
      }
      if (code.size() - pos - 6 < static_cast<size_t>(count) * 12) {
        Problem(name + ": the records of the command at " + Hex(static_cast<uint32_t>(pos), 4) + " are cut short");
        return;
      }
      // Which records hold code positions: known from the shared table
      // when the game's table names the command the same way.
      const script::CommandSpec* spec =
          index < script::kCommandSlots && def && table[index].name == def->name ? &table[index] : nullptr;
      std::vector<DisassembledArgument> args;
      for (int a = 0; a < count; ++a) {
        const uint8_t* rec = &code[pos + 6 + 12 * static_cast<size_t>(a)];
        const uint8_t id = rec[0];
        const uint8_t exprType = rec[2];
        DisassembledArgument out;
        out.name = def && id < def->args.size() ? def->args[id].name : "#" + std::to_string(id);
        out.assignOp = rec[3];
        const int32_t length = static_cast<int32_t>(common::LoadU32(rec + 4));
        const int32_t offset = static_cast<int32_t>(common::LoadU32(rec + 8));
        if (spec && id < spec->args.size() && spec->args[id].role == script::ArgRole::kPosition) {
          out.value = Hex(static_cast<uint32_t>(length), 4);
          out.value.insert(0, "@");
          if (length < 0 || static_cast<size_t>(length) >= code.size() + 1)
            Problem(name + ": a code position at " + Hex(static_cast<uint32_t>(pos), 4) + " lies outside the code");
        } else if (length < 0 || offset < 0 || static_cast<size_t>(offset) > expr.size() ||
                   static_cast<size_t>(length) > expr.size() - static_cast<size_t>(offset)) {
          out.value = "<expression " + std::to_string(offset) + "+" + std::to_string(length) + " outside the region>";
          Problem(name + ": an argument at " + Hex(static_cast<uint32_t>(pos), 4) + " points outside the expressions");
        } else {
          out.value = Expression(std::span<const uint8_t>(expr.data() + offset, static_cast<size_t>(length)),
                                 exprType == 2 || exprType == 4);
        }
        args.push_back(std::move(out));
      }
      Out(head + FormatCommandLine(cmdName, args));
      pos += 6 + 12 * static_cast<size_t>(count);
    }
    for (auto [a, b] = here.equal_range(static_cast<int32_t>(pos)); a != b; ++a) Out("*" + a->second);
  }

  const std::map<std::string, std::vector<uint8_t>>& files_;
  std::string out_;
  std::vector<std::string> problems_;
  std::vector<CommandDef> commands_;
  std::vector<std::string> fileNames_;
  std::vector<Label> labels_;
  int32_t highest_ = -1;
};

}  // namespace

std::string FormatCommandLine(std::string_view name, const std::vector<DisassembledArgument>& args) {
  std::string line(name);
  for (size_t i = 0; i < args.size(); ++i) {
    line += i ? ", " : " ";
    line += args[i].name;
    line += AssignSpelling(args[i].assignOp);
    line += args[i].value;
  }
  return line;
}

Disassembly Disassemble(const std::map<std::string, std::vector<uint8_t>>& files) {
  Printer p(files);
  return p.Run();
}

bool ReadNvbinFolder(const std::string& folder, std::map<std::string, std::vector<uint8_t>>& files,
                     std::string& error) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) {
    error = "cannot read " + folder + ": " + ec.message();
    return false;
  }
  for (const auto& entry : it) {
    if (!entry.is_regular_file(ec)) continue;
    std::string name = entry.path().filename().string();
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return std::tolower(ch); });
    if (lower.size() < 4 || lower.substr(lower.size() - 4) != ".nbn") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    files[lower] = std::move(bytes);
  }
  return true;
}

}  // namespace vv::dorov
