// Writers of the compiled files the engine reads from nvbin/.
#pragma once

#include <array>
#include <cstdint>
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

}  // namespace vv::dorov
