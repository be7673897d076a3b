#include "dorov/compiled_files.h"

#include "common/bytes.h"

namespace vv::dorov {

std::vector<uint8_t> EncodeCommandTable(const std::vector<CommandDefOut>& commands,
                                        const std::array<std::string, kFileErrorTexts>& fileErrors,
                                        const std::array<uint8_t, 256>& keyMap) {
  common::ByteWriter w;
  w.Text("DOROVnvc");
  w.I32(static_cast<int32_t>(commands.size()));
  w.U32(0);
  for (const auto& c : commands) {
    w.CString(c.name);
    w.U8(static_cast<uint8_t>(c.args.size()));
    for (const auto& a : c.args) {
      w.CString(a.name);
      w.U8(a.valueClass);
      w.U8(a.checkKind);
    }
  }
  for (const auto& t : fileErrors) w.CString(t);
  w.Bytes(keyMap);
  return w.Take();
}

}  // namespace vv::dorov
