// The compiled script files of nvbin\: the command table, the variable
// table, the script file list, the declarations, the labels and the code
// files, loaded at start-up (code files on first entry) and kept for the run.
//
// Every file is read field by field through ByteReader; every count is
// checked against the bytes that remain before anything is allocated. A
// truncated or damaged file is reported (104010 with its name) and never
// read past its end.
//
// Threading: the frame thread (start-up runs on it too).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vv {
struct Engine;
}

namespace vv::script {

constexpr int32_t kScriptFormatVersion = 288;
constexpr int kFileErrorTexts = 37;
constexpr size_t kMaxLabelName = 255;
constexpr uint32_t kResolvedJumpFlag = 0x10000000;  // command 24's length field
constexpr uint32_t kResolvedJumpMask = 0xF0000000;
constexpr size_t kCodeFileHeader = 32;
constexpr size_t kCommandHeader = 6;
constexpr size_t kArgRecordSize = 12;
constexpr size_t kMessageEndRecord = 10;  // command 56: header + 4-byte operand

constexpr int32_t kErrFileDamaged = 104010;
constexpr int32_t kErrFileMissing = 104060;
constexpr int32_t kErrWrongVersion = 105000;
constexpr int32_t kErrNoStartLabel = 105010;
constexpr int32_t kErrBadDeclaration = 900070;
constexpr int32_t kErrBadFileNumber = 901030;

constexpr char kStartLabel[] = "SYSTEM_START";
constexpr char kSystemContextName[] = "SYSTEM";

// Command indexes the loader and the interpreter treat specially.
enum CommandIndex : uint8_t {
  kCmdJump = 24,
  kCmdCall = 25,
  kCmdMessageEnd = 56,
};

struct ArgDefinition {
  std::string_view name;
  uint8_t valueClass = 3;  // 0 number, 1 text, 2 raw expression, other: left alone
  uint8_t checkKind = 0;
};

struct CommandDefinition {
  std::string_view name;
  uint32_t firstArg = 0;  // into LoadedCommandTable::args
  uint32_t argCount = 0;
};

// "nvbin\nvc.nbn": the names, value classes and checks of the arguments of
// every command as the game's compiler declared them.
struct LoadedCommandTable {
  std::vector<uint8_t> image;  // kept: the names point into it
  std::vector<CommandDefinition> commands;
  std::vector<ArgDefinition> args;
  std::array<std::string_view, kFileErrorTexts> fileErrorTexts{};
  std::array<uint8_t, 256> keyMap{};

  // The definition of argument `id` of `command`, or null when the table
  // does not define it.
  const ArgDefinition* Arg(uint32_t command, uint32_t id) const {
    if (command >= commands.size()) return nullptr;
    const CommandDefinition& c = commands[command];
    return id < c.argCount ? &args[c.firstArg + id] : nullptr;
  }
};

struct LabelEntry {
  std::string name;
  uint32_t crc = 0;
  int32_t position = 0;
  uint16_t file = 0;
  int8_t blockDepth = 0;  // depth A
  int8_t loopDepth = 0;   // depth B
};

struct LabelTable {
  std::vector<LabelEntry> labels;
  std::array<int32_t, 256> buckets{};
};

// One code file, once entered.
struct ScriptFile {
  bool attempted = false;  // loading was tried (the slot exists)
  bool loaded = false;     // the regions below are usable
  std::vector<uint8_t> image;
  int32_t codeSize = 0;
  int32_t expressionSize = 0;
  uint8_t* code = nullptr;
  uint8_t* expressions = nullptr;
};

struct CompiledScript {
  LoadedCommandTable commandTable;
  int32_t buildValue = 0;
  std::vector<std::string> fileNames;  // source names by file number
  std::vector<ScriptFile> files;
  std::vector<uint8_t> declarations;   // "nvbin\nvv.nbn", kept for scope-2 entries
  LabelTable labels;
};

// Parsers of the file images (also used by the fuzz target); each returns
// 0, or -1 after reporting `name` as damaged (or the code the format gives).
int ParseCommandTable(Engine& engine, std::vector<uint8_t> image, std::string_view name);
int ParseVariableTable(Engine& engine, std::span<const uint8_t> image, std::string_view name);
int ParseFileList(Engine& engine, std::span<const uint8_t> image, std::string_view name);
int ParseLabels(Engine& engine, std::span<const uint8_t> image, std::string_view name);

// Applies the declarations of `scope` (1 global, 2 of script file `file`)
// from the kept declaration file, in file order. -1 after a report.
int ApplyDeclarations(Engine& engine, uint8_t scope, uint16_t file);

// The start-up sequence: error texts, the command table, variables, the
// file list, declarations, labels, then the "SYSTEM" context placed at
// "SYSTEM_START". 0 on success; nonzero after a reported failure (a missing
// label file fails without a report, as its loader switch is off).
int LoadScriptSystem(Engine& engine);

// Loads, descrambles and prepares code file `file` when it is not loaded
// yet. 1 when it is usable; 0 when it is not (reported: 104060 when the file
// is missing, 104010 when it is damaged, the file number when it is beyond
// the list).
int EnsureScriptFileLoaded(Engine& engine, uint16_t file);

// Code file set-up once the image is in memory (what EnsureScriptFileLoaded
// does after loading): header, descrambling, label pre-resolution, scope-2
// declarations. 1 or 0 as above.
int PrepareScriptFile(Engine& engine, uint16_t file, std::vector<uint8_t> image);

// Label lookup: a name of 256 bytes or more is never found; otherwise the
// bucket of the CRC's top byte gives the first label to compare. -1 when
// missing.
int32_t FindLabel(const Engine& engine, std::string_view name);
const LabelEntry* LabelAt(const Engine& engine, int32_t index);

std::string_view ScriptFileName(const Engine& engine, int32_t file);
std::string_view CommandName(const Engine& engine, uint32_t command);
std::string_view ArgumentName(const Engine& engine, uint32_t command, uint32_t id);
uint8_t ArgValueClass(const Engine& engine, uint32_t command, uint32_t id);
uint8_t ArgCheckKind(const Engine& engine, uint32_t command, uint32_t id);
std::string_view FileErrorText(const Engine& engine, int error);
uint8_t KeyMap(const Engine& engine, int index);

}  // namespace vv::script
