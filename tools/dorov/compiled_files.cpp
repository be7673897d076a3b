#include "dorov/compiled_files.h"

#include <algorithm>
#include <numeric>

#include "common/bytes.h"
#include "common/checksum.h"
#include "script/command_table.h"
#include "script/script_key.h"

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

std::vector<CommandDefOut> StandardCommandDefs() {
  std::vector<CommandDefOut> out;
  for (const auto& c : script::CommandTable()) {
    CommandDefOut d;
    d.name = c.name;
    for (const auto& a : c.args) d.args.push_back({std::string(a.name), a.valueClass, a.checkKind});
    out.push_back(std::move(d));
  }
  return out;
}

std::vector<uint8_t> EncodeVariableTable(int32_t highestVariable, int32_t build) {
  common::ByteWriter w;
  w.Text("DRVT");
  w.I32(kFormatVersion);
  w.I32(highestVariable);
  w.I32(build);
  return w.Take();
}

std::vector<uint8_t> EncodeFileList(const std::vector<std::string>& sourceNames) {
  common::ByteWriter w;
  w.Text("DOROVlst");
  w.I32(static_cast<int32_t>(sourceNames.size()));
  for (size_t i = 0; i < sourceNames.size(); ++i) {
    w.I32(static_cast<int32_t>(i));
    w.I32(static_cast<int32_t>(sourceNames[i].size()));
    w.Text(sourceNames[i]);
    w.Zeros(16);
  }
  return w.Take();
}

std::vector<uint8_t> EncodeDeclarations(const std::vector<DeclarationOut>& declarations) {
  common::ByteWriter w;
  w.Text("DOROVdcl");
  w.U16(static_cast<uint16_t>(declarations.size()));
  for (const auto& d : declarations) {
    w.U8(d.scope);
    w.U16(d.file);
    w.U16(d.variable);
    w.U8(d.type);
    w.U8(static_cast<uint8_t>(d.sizes.size()));
    for (int32_t s : d.sizes) w.I32(s);
    if (d.type == 1) {
      w.I64(d.intValue);
    } else if (d.type == 2) {
      w.F64(d.floatValue);
    } else if (d.type == 3) {
      w.U16(static_cast<uint16_t>(d.textCode.size()));
      w.Bytes(d.textCode);
    }
  }
  return w.Take();
}

std::vector<uint8_t> EncodeLabels(const std::vector<LabelOut>& labels) {
  std::vector<uint32_t> crcs(labels.size());
  for (size_t i = 0; i < labels.size(); ++i) crcs[i] = common::Crc32(labels[i].name);
  std::vector<size_t> order(labels.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return crcs[a] < crcs[b]; });

  common::ByteWriter w;
  w.Text("DOROVlbl");
  w.I32(static_cast<int32_t>(labels.size()));
  size_t next = 0;
  for (uint32_t k = 0; k < 256; ++k) {
    while (next < order.size() && (crcs[order[next]] >> 24) < k) ++next;
    w.I32(static_cast<int32_t>(next));
  }
  for (size_t i : order) {
    const LabelOut& l = labels[i];
    w.U8(static_cast<uint8_t>(l.name.size()));
    w.Text(l.name);
    w.U32(crcs[i]);
    w.I32(l.position);
    w.U16(l.file);
    w.I8(l.blockDepth);
    w.I8(l.loopDepth);
  }
  return w.Take();
}

std::vector<uint8_t> EncodeScriptFile(std::span<const uint8_t> code, std::span<const uint8_t> expressions) {
  common::ByteWriter w;
  w.Text("DOROVscr");
  w.I32(static_cast<int32_t>(code.size()));
  w.I32(static_cast<int32_t>(expressions.size()));
  w.U32(common::Crc32(code));
  w.U32(common::Crc32(expressions));
  w.Zeros(8);
  std::vector<uint8_t> out = w.Take();
  const size_t codeAt = out.size();
  out.insert(out.end(), code.begin(), code.end());
  const size_t exprAt = out.size();
  out.insert(out.end(), expressions.begin(), expressions.end());
  script::ScrambleRegion(std::span<uint8_t>(out.data() + codeAt, code.size()));
  script::ScrambleRegion(std::span<uint8_t>(out.data() + exprAt, expressions.size()));
  return out;
}

std::vector<uint8_t> EncodeErrorTexts(const std::vector<ErrorTextOut>& texts) {
  common::ByteWriter w;
  w.Text("DOROVerr");
  w.I32(static_cast<int32_t>(texts.size()));
  w.U32(0);
  for (const auto& t : texts) {
    w.I32(t.code);
    w.CString(t.text);
  }
  return w.Take();
}

}  // namespace vv::dorov
