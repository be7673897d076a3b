// Writers of the compiled files the engine reads from nvbin/.
//
// Every file starts with bytes the engine does not interpret; dorov puts
// an eight-byte tag there ("DOROVnvc" ...) so that a file can be told
// apart by eye. All integers are little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vv::dorov {

struct ArgDefOut {
  std::string name;
  uint8_t valueClass = 0;
  uint8_t checkKind = 0;
};

struct CommandDefOut {
  std::string name;
  std::vector<ArgDefOut> args;
};

// Texts explaining a failed file operation, by errno 0..36.
constexpr int kFileErrorTexts = 37;

// Format version of the variable table, checked by the engine.
constexpr int32_t kFormatVersion = 288;

// nvbin\nvc.nbn:
//   0   8  header (ours; the engine skips it)
//   8   4  N, the number of command definitions
//   12  4  reserved
//   16     N definitions: name\0, argument count, then per argument
//          name\0, value class, check kind
//   then   37 file-error texts, each ending in \0
//   then   256-byte key map
std::vector<uint8_t> EncodeCommandTable(const std::vector<CommandDefOut>& commands,
                                        const std::array<std::string, kFileErrorTexts>& fileErrors,
                                        const std::array<uint8_t, 256>& keyMap);

// The 91 definitions of the shared command table.
std::vector<CommandDefOut> StandardCommandDefs();

// nvbin\nvt.nbn: tag (4), version 288, highest variable number, build value.
std::vector<uint8_t> EncodeVariableTable(int32_t highestVariable, int32_t build);

// nvbin\nvt_list.nbn: tag (8), count, then per file: number, name length,
// name (Shift-JIS, no terminator), 16 reserved bytes.
std::vector<uint8_t> EncodeFileList(const std::vector<std::string>& sourceNames);

// One variable declaration of nvbin\nvv.nbn.
struct DeclarationOut {
  uint8_t scope = 1;    // 1 global, 2 file scope
  uint16_t file = 0;    // the script file (scope 2)
  uint16_t variable = 0;
  uint8_t type = 1;     // 1 integer, 2 float, 3 text
  std::vector<int32_t> sizes;  // one per dimension; empty for a scalar
  int64_t intValue = 0;
  double floatValue = 0;
  std::vector<uint8_t> textCode;  // expression code of a text initial value
};
// nvbin\nvv.nbn: tag (8), uint16 count, declarations. At most 65535.
std::vector<uint8_t> EncodeDeclarations(const std::vector<DeclarationOut>& declarations);

struct LabelOut {
  std::string name;      // Shift-JIS, at most 255 bytes
  int32_t position = 0;  // byte offset of the target command in its code region
  uint16_t file = 0;
  int8_t blockDepth = 0;
  int8_t loopDepth = 0;
};
// nvbin\nvl.nbn: tag (8), count, 256-entry bucket table, label records in
// ascending order of their names' CRC-32 (labels with equal CRCs keep the
// order given). Bucket k holds the index of the first label whose CRC has
// k as its top byte, or of the next label after where it would stand.
std::vector<uint8_t> EncodeLabels(const std::vector<LabelOut>& labels);

// nvbin\nvtNNNNN.nbn: tag (8), code size, expression size, CRC-32 of the
// plain code and of the plain expressions, 8 reserved bytes, then both
// regions scrambled with the script key.
std::vector<uint8_t> EncodeScriptFile(std::span<const uint8_t> code, std::span<const uint8_t> expressions);

struct ErrorTextOut {
  int32_t code;
  std::string text;  // Shift-JIS
};
// nvbin\nve.nbn: tag (8), count, reserved, then per text: code, text\0.
std::vector<uint8_t> EncodeErrorTexts(const std::vector<ErrorTextOut>& texts);

}  // namespace vv::dorov
