#include "script/script_files.h"

#include <cstdio>

#include "common/bytes.h"
#include "common/checksum.h"
#include "resource/error_reporter.h"
#include "resource/loader.h"
#include "script/context.h"
#include "script/evaluator.h"
#include "script/interpreter.h"
#include "script/script_key.h"
#include "shell/engine.h"

namespace vv::script {

namespace {

constexpr char kCommandTableFile[] = "nvbin\\nvc.nbn";
constexpr char kVariableTableFile[] = "nvbin\\nvt.nbn";
constexpr char kFileListFile[] = "nvbin\\nvt_list.nbn";
constexpr char kDeclarationFile[] = "nvbin\\nvv.nbn";
constexpr char kLabelFile[] = "nvbin\\nvl.nbn";

// Variable and file numbers are 16-bit wherever the code names them.
constexpr int32_t kMaxVariableNumber = 0xFFFF;
constexpr int32_t kMaxScriptFiles = 0x10000;
constexpr size_t kMinFileListRecord = 24;
constexpr size_t kMinLabelRecord = 13;
constexpr int32_t kMaxLabelDepth = kStackLevels - 1;

int Damaged(Engine& engine, std::string_view name) {
  return resource::ReportError(engine, kErrFileDamaged, true, {name});
}

std::string CodeFileName(uint16_t file) {
  char name[32];
  std::snprintf(name, sizeof name, "nvbin\\nvt%05u.nbn", static_cast<unsigned>(file));
  return name;
}

int LoadWhole(Engine& engine, const char* name, bool report, std::vector<uint8_t>& out) {
  resource::LoadedFile file;
  if (resource::LoadFile(engine, file, name, report, true) != 0) return -1;
  out = std::move(file.data);
  return 0;
}

// The label pre-resolution pass: constant label names of jumps and calls
// become label indexes, with variable access off so that a name computed
// from variables stays for the command to resolve when it runs.
bool PreResolveLabels(Engine& engine, ScriptFile& f) {
  EvaluatorState& e = engine.script.eval;
  e.variableAccessOff = true;
  const size_t codeSize = static_cast<size_t>(f.codeSize);
  auto resolve = [&](const uint8_t* record) -> int32_t {
    const ArgRecord r = ReadArgRecord(record);
    if (r.offset < 0 || r.length < 0 || r.length > f.expressionSize - r.offset) return -1;
    const std::span<const uint8_t> code(f.expressions + r.offset, static_cast<size_t>(r.length));
    if (!RunExpression(engine, code, kModeText) || e.stack[0].text == 0) return -1;
    return FindLabel(engine, LastTextResult(engine));
  };
  bool intact = true;
  for (size_t at = 0; at < codeSize;) {
    if (codeSize - at < kCommandHeader) {
      intact = false;
      break;
    }
    uint8_t* header = f.code + at;
    const uint8_t command = header[0];
    if (command == kCmdMessageEnd) {
      if (codeSize - at < kMessageEndRecord) intact = false;
      at += kMessageEndRecord;
      continue;
    }
    const size_t records = header[1];
    if (codeSize - at - kCommandHeader < records * kArgRecordSize) {
      intact = false;
      break;
    }
    uint8_t* first = header + kCommandHeader;
    if (command == kCmdJump && records > 0) {
      const int32_t label = resolve(first);
      if (label >= 0 && static_cast<uint32_t>(label) < kResolvedJumpFlag) {
        common::StoreU32(first + 4, static_cast<uint32_t>(label) + kResolvedJumpFlag);
      }
    } else if (command == kCmdCall) {
      for (size_t i = 0; i < records; ++i) {
        uint8_t* record = first + i * kArgRecordSize;
        if (record[0] != 0) continue;
        const int32_t label = resolve(record);
        common::StoreU16(record + 2, label > 0 && label <= 0xFFFF ? static_cast<uint16_t>(label) : 0);
      }
    }
    at += kCommandHeader + records * kArgRecordSize;
  }
  e.variableAccessOff = false;
  e.failed = false;
  return intact;
}

}  // namespace

int ParseCommandTable(Engine& engine, std::vector<uint8_t> image, std::string_view name) {
  LoadedCommandTable table;
  table.image = std::move(image);
  common::ByteReader r(table.image, name);
  r.Skip(8);
  const int32_t count = r.I32();
  r.Skip(4);
  // A definition takes at least two bytes (an empty name and its count).
  if (!r.ok() || count < 0 || static_cast<size_t>(count) > r.remaining() / 2) return Damaged(engine, name);
  table.commands.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count && r.ok(); ++i) {
    CommandDefinition c;
    c.name = r.CString();
    c.argCount = r.U8();
    c.firstArg = static_cast<uint32_t>(table.args.size());
    if (c.argCount * 3 > r.remaining()) return Damaged(engine, name);
    for (uint32_t a = 0; a < c.argCount && r.ok(); ++a) {
      ArgDefinition d;
      d.name = r.CString();
      d.valueClass = r.U8();
      d.checkKind = r.U8();
      table.args.push_back(d);
    }
    table.commands.push_back(c);
  }
  for (auto& text : table.fileErrorTexts) text = r.CString();
  const std::span<const uint8_t> keys = r.Bytes(table.keyMap.size());
  if (!r.ok()) return Damaged(engine, name);
  std::copy(keys.begin(), keys.end(), table.keyMap.begin());
  engine.script.compiled.commandTable = std::move(table);
  return 0;
}

int ParseVariableTable(Engine& engine, std::span<const uint8_t> image, std::string_view name) {
  common::ByteReader r(image, name);
  r.Skip(4);
  const int32_t version = r.I32();
  const int32_t highest = r.I32();
  const int32_t build = r.I32();
  if (!r.ok()) return Damaged(engine, name);
  if (version != kScriptFormatVersion) return resource::ReportError(engine, kErrWrongVersion, true);
  if (highest < 0 || highest > kMaxVariableNumber) return Damaged(engine, name);
  engine.script.compiled.buildValue = build;
  std::vector<VariableSlot>().swap(engine.script.variables);
  engine.script.variables.resize(static_cast<size_t>(highest) + 1);
  return 0;
}

int ParseFileList(Engine& engine, std::span<const uint8_t> image, std::string_view name) {
  common::ByteReader r(image, name);
  r.Skip(8);
  const int32_t count = r.I32();
  if (!r.ok() || count < 0 || count > kMaxScriptFiles || static_cast<size_t>(count) > r.remaining() / kMinFileListRecord) {
    return Damaged(engine, name);
  }
  CompiledScript& c = engine.script.compiled;
  std::vector<std::string> names(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const int32_t number = r.I32();
    const int32_t length = r.I32();
    if (!r.ok() || length < 0 || static_cast<size_t>(length) > r.remaining()) return Damaged(engine, name);
    const std::string_view source = r.Text(static_cast<size_t>(length));
    r.Skip(16);
    if (!r.ok()) return Damaged(engine, name);
    if (number < 0 || number >= count) return resource::ReportError(engine, kErrBadFileNumber, true);
    names[static_cast<size_t>(number)].assign(source);
  }
  c.fileNames = std::move(names);
  c.files.clear();
  c.files.resize(static_cast<size_t>(count));
  return 0;
}

int ParseLabels(Engine& engine, std::span<const uint8_t> image, std::string_view name) {
  common::ByteReader r(image, name);
  r.Skip(8);
  const int32_t count = r.I32();
  LabelTable table;
  for (int32_t& b : table.buckets) b = r.I32();
  if (!r.ok() || count < 0 || static_cast<size_t>(count) > r.remaining() / kMinLabelRecord) return Damaged(engine, name);
  table.buckets[0] = 0;
  const size_t files = engine.script.compiled.files.size();
  table.labels.resize(static_cast<size_t>(count));
  for (LabelEntry& label : table.labels) {
    const uint8_t length = r.U8();
    label.name.assign(r.Text(length));
    label.crc = r.U32();
    label.position = r.I32();
    label.file = r.U16();
    label.blockDepth = r.I8();
    label.loopDepth = r.I8();
    if (!r.ok()) return Damaged(engine, name);
    if (label.file >= files || label.position < 0 || label.blockDepth < 0 || label.blockDepth > kMaxLabelDepth ||
        label.loopDepth < 0 || label.loopDepth > kMaxLabelDepth) {
      return Damaged(engine, name);
    }
  }
  engine.script.compiled.labels = std::move(table);
  return 0;
}

int ApplyDeclarations(Engine& engine, uint8_t scope, uint16_t file) {
  const std::vector<uint8_t>& image = engine.script.compiled.declarations;
  common::ByteReader r(image, kDeclarationFile);
  r.Skip(8);
  const uint16_t count = r.U16();
  if (!r.ok()) return Damaged(engine, kDeclarationFile);
  ScriptState& s = engine.script;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t declScope = r.U8();
    const uint16_t declFile = r.U16();
    const uint16_t number = r.U16();
    const uint8_t type = r.U8();
    const uint8_t dimensions = r.U8();
    if (!r.ok() || dimensions > kMaxDimensions) return Damaged(engine, kDeclarationFile);
    std::array<int32_t, kMaxDimensions> sizes{};
    for (uint8_t d = 0; d < dimensions; ++d) sizes[d] = r.I32();
    int64_t integer = 0;
    double real = 0.0;
    std::span<const uint8_t> textCode;
    if (type == kTypeInteger) integer = r.I64();
    else if (type == kTypeFloat) real = r.F64();
    else if (type == kTypeText) textCode = r.Bytes(r.U16());
    if (!r.ok()) return Damaged(engine, kDeclarationFile);

    const bool applies = declScope == scope && (scope == 1 || (scope == 2 && declFile == file));
    if (!applies || (scope != 1 && scope != 2)) continue;
    if (number >= s.variables.size()) return resource::ReportError(engine, kErrBadDeclaration, true);
    if (type < kTypeInteger || type > kTypeText) continue;
    VariableSlot& slot = s.variables[number];
    slot.dimensionCount = dimensions;
    std::copy(sizes.begin(), sizes.begin() + dimensions, slot.sizes.begin());
    int rc;
    if (type == kTypeInteger) {
      rc = DeclareInteger(engine, number, integer);
    } else if (type == kTypeFloat) {
      rc = DeclareFloat(engine, number, real);
    } else {
      if (!RunExpression(engine, textCode, kModeText)) return -1;
      rc = DeclareText(engine, number, LastTextResult(engine));
    }
    if (rc != 0) return -1;
  }
  return 0;
}

int PrepareScriptFile(Engine& engine, uint16_t file, std::vector<uint8_t> image) {
  CompiledScript& c = engine.script.compiled;
  if (file >= c.files.size()) return resource::ReportError(engine, kErrFileMissing, true, {CodeFileName(file)}), 0;
  ScriptFile& f = c.files[file];
  f.attempted = true;
  f.loaded = false;
  const std::string name = CodeFileName(file);
  common::ByteReader r(image, name);
  r.Skip(8);
  const int32_t codeSize = r.I32();
  const int32_t expressionSize = r.I32();
  r.Skip(16);
  if (!r.ok() || codeSize < 0 || expressionSize < 0 ||
      static_cast<uint64_t>(codeSize) + static_cast<uint64_t>(expressionSize) > r.remaining()) {
    return Damaged(engine, name), 0;
  }
  f.image = std::move(image);
  f.codeSize = codeSize;
  f.expressionSize = expressionSize;
  f.code = f.image.data() + kCodeFileHeader;
  f.expressions = f.code + codeSize;
  ScrambleRegion({f.code, static_cast<size_t>(codeSize)});
  ScrambleRegion({f.expressions, static_cast<size_t>(expressionSize)});
  if (!PreResolveLabels(engine, f)) {
    std::vector<uint8_t>().swap(f.image);
    f.code = f.expressions = nullptr;
    return Damaged(engine, name), 0;
  }
  f.loaded = true;
  // File-scope variables get their values now, once; a failure there is
  // reported and the file still counts as loaded.
  ApplyDeclarations(engine, 2, file);
  return 1;
}

int EnsureScriptFileLoaded(Engine& engine, uint16_t file) {
  CompiledScript& c = engine.script.compiled;
  if (file < c.files.size()) {
    const ScriptFile& f = c.files[file];
    if (f.loaded) return 1;
    if (f.attempted) return resource::ReportError(engine, kErrFileMissing, true, {CodeFileName(file)}), 0;
  }
  if (file >= c.files.size()) return resource::ReportError(engine, kErrFileMissing, true, {CodeFileName(file)}), 0;
  c.files[file].attempted = true;
  const std::string name = CodeFileName(file);
  resource::LoadedFile loaded;
  const int rc = resource::LoadFile(engine, loaded, name, false, true);
  if (rc != 0) {
    // A file that is not there is reported here (the loader's switch is off
    // for code files); damaged content the loader has reported already.
    if (rc == -1) resource::ReportError(engine, kErrFileMissing, true, {name});
    return 0;
  }
  return PrepareScriptFile(engine, file, std::move(loaded.data));
}

int LoadScriptSystem(Engine& engine) {
  ScriptState& s = engine.script;
  if (resource::LoadErrorTexts(engine) != 0) return -1;

  std::vector<uint8_t> image;
  if (LoadWhole(engine, kCommandTableFile, true, image) != 0) return -1;
  if (ParseCommandTable(engine, std::move(image), kCommandTableFile) != 0) return -1;
  FinishHandlerTable(s.interp.handlers);

  if (LoadWhole(engine, kVariableTableFile, true, image) != 0) return -1;
  if (ParseVariableTable(engine, image, kVariableTableFile) != 0) return -1;

  if (LoadWhole(engine, kFileListFile, true, image) != 0) return -1;
  if (ParseFileList(engine, image, kFileListFile) != 0) return -1;

  if (LoadWhole(engine, kDeclarationFile, true, s.compiled.declarations) != 0) return -1;
  if (ApplyDeclarations(engine, 1, 0) != 0) return -1;

  // The label file is looked up without a report: a game without one does
  // not start, silently.
  if (LoadWhole(engine, kLabelFile, false, image) != 0) return -1;
  if (ParseLabels(engine, image, kLabelFile) != 0) return -1;
  std::vector<uint8_t>().swap(image);

  const int32_t start = FindLabel(engine, kStartLabel);
  if (start < 0) return resource::ReportError(engine, kErrNoStartLabel, true, {kStartLabel});
  ScriptContext* system = SystemContext(engine);
  if (system == nullptr) return -1;
  const LabelEntry& label = s.compiled.labels.labels[static_cast<size_t>(start)];
  if (!PlaceInFile(engine, *system, label.file)) return -1;
  system->position = label.position;
  system->blockDepth = label.blockDepth;
  system->loopDepth = label.loopDepth;
  return 0;
}

int32_t FindLabel(const Engine& engine, std::string_view name) {
  if (name.size() > kMaxLabelName) return -1;
  const LabelTable& t = engine.script.compiled.labels;
  const uint32_t crc = common::Crc32(name);
  const int32_t start = t.buckets[crc >> 24];
  const int32_t count = static_cast<int32_t>(t.labels.size());
  if (start < 0 || start >= count) return -1;
  for (int32_t i = start; i < count; ++i) {
    const LabelEntry& l = t.labels[static_cast<size_t>(i)];
    if (l.crc == crc && l.name == name) return i;
  }
  return -1;
}

const LabelEntry* LabelAt(const Engine& engine, int32_t index) {
  const auto& labels = engine.script.compiled.labels.labels;
  return index >= 0 && static_cast<size_t>(index) < labels.size() ? &labels[static_cast<size_t>(index)] : nullptr;
}

std::string_view ScriptFileName(const Engine& engine, int32_t file) {
  const auto& names = engine.script.compiled.fileNames;
  return file >= 0 && static_cast<size_t>(file) < names.size() ? std::string_view(names[static_cast<size_t>(file)])
                                                               : std::string_view();
}

std::string_view CommandName(const Engine& engine, uint32_t command) {
  const auto& commands = engine.script.compiled.commandTable.commands;
  return command < commands.size() ? commands[command].name : std::string_view();
}

std::string_view ArgumentName(const Engine& engine, uint32_t command, uint32_t id) {
  const ArgDefinition* d = engine.script.compiled.commandTable.Arg(command, id);
  return d != nullptr ? d->name : std::string_view();
}

uint8_t ArgValueClass(const Engine& engine, uint32_t command, uint32_t id) {
  const ArgDefinition* d = engine.script.compiled.commandTable.Arg(command, id);
  return d != nullptr ? d->valueClass : 3;
}

uint8_t ArgCheckKind(const Engine& engine, uint32_t command, uint32_t id) {
  const ArgDefinition* d = engine.script.compiled.commandTable.Arg(command, id);
  return d != nullptr ? d->checkKind : 0;
}

std::string_view FileErrorText(const Engine& engine, int error) {
  const auto& texts = engine.script.compiled.commandTable.fileErrorTexts;
  return error >= 0 && error < kFileErrorTexts ? texts[static_cast<size_t>(error)] : std::string_view();
}

uint8_t KeyMap(const Engine& engine, int index) {
  return index >= 0 && index < 256 ? engine.script.compiled.commandTable.keyMap[static_cast<size_t>(index)] : 0;
}

}  // namespace vv::script
