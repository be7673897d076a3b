// A small reader of compiled code files for the compiler's tests, written
// straight from the byte layout (not sharing the disassembler's code), so
// that the tests check the bytes dorov writes against the layout itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dorov/compiler.h"

namespace vv::dorov::testing {

struct Record {
  uint8_t id = 0, exprType = 0, assignOp = 0;
  int32_t length = 0, offset = 0;
  std::vector<uint8_t> expr;  // the expression bytes (empty for a position)
};

struct Command {
  int32_t position = 0;
  uint8_t index = 0;
  int32_t line = 0;
  int32_t operand = 0;
  std::vector<Record> records;
  const Record* Arg(uint8_t id) const {
    for (const auto& r : records)
      if (r.id == id) return &r;
    return nullptr;
  }
};

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 | static_cast<uint32_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(b[at + 3]) << 24;
}

// Descrambles with the key bytes 0x97 0x5C 0xF6 0xBB and walks the code.
inline std::vector<Command> ReadCode(const std::vector<uint8_t>& file) {
  static constexpr uint8_t kKey[4] = {0x97, 0x5C, 0xF6, 0xBB};
  std::vector<Command> out;
  if (file.size() < 32) {
    ADD_FAILURE() << "code file shorter than its header";
    return out;
  }
  const uint32_t c = Le32(file, 8), e = Le32(file, 12);
  if (32 + static_cast<size_t>(c) + e != file.size()) {
    ADD_FAILURE() << "code file size " << file.size() << " is not 32 + " << c << " + " << e;
    return out;
  }
  std::vector<uint8_t> code(file.begin() + 32, file.begin() + 32 + c);
  std::vector<uint8_t> expr(file.begin() + 32 + c, file.end());
  for (size_t i = 0; i < code.size(); ++i) code[i] ^= kKey[i % 4];
  for (size_t i = 0; i < expr.size(); ++i) expr[i] ^= kKey[i % 4];
  size_t pos = 0;
  while (pos < code.size()) {
    Command cmd;
    cmd.position = static_cast<int32_t>(pos);
    cmd.index = code[pos];
    const uint8_t count = code[pos + 1];
    cmd.line = static_cast<int32_t>(Le32(code, pos + 2));
    if (cmd.index == 56) {
      cmd.operand = static_cast<int32_t>(Le32(code, pos + 6));
      pos += 10;
    } else {
      for (uint8_t i = 0; i < count; ++i) {
        const size_t r = pos + 6 + 12 * static_cast<size_t>(i);
        Record rec;
        rec.id = code[r];
        rec.exprType = code[r + 2];
        rec.assignOp = code[r + 3];
        rec.length = static_cast<int32_t>(Le32(code, r + 4));
        rec.offset = static_cast<int32_t>(Le32(code, r + 8));
        if (rec.offset >= 0 && rec.length >= 0 && static_cast<size_t>(rec.offset) + rec.length <= expr.size())
          rec.expr.assign(expr.begin() + rec.offset, expr.begin() + rec.offset + rec.length);
        cmd.records.push_back(std::move(rec));
      }
      pos += 6 + 12 * static_cast<size_t>(count);
    }
    out.push_back(std::move(cmd));
  }
  EXPECT_EQ(pos, code.size()) << "the last command runs past the code region";
  return out;
}

// Compiles and fails the test with the diagnostics when that does not work.
inline CompileResult MustCompile(std::string_view source, std::string_view name = "main.vvs") {
  auto r = CompileSource(source, name);
  EXPECT_TRUE(r.ok()) << r.ErrorText();
  return r;
}

inline std::vector<Command> CodeOf(const CompileResult& r, int file = 0) {
  char name[32];
  std::snprintf(name, sizeof name, "nvt%05d.nbn", file);
  auto f = r.files.find(name);
  if (f == r.files.end()) {
    ADD_FAILURE() << name << " was not written";
    return {};
  }
  return ReadCode(f->second);
}

// The script's own declarations of nvv.nbn (variables 1000 and up), by
// variable number.
struct Declared {
  int scope = 0, file = 0, type = 0;
  std::vector<int32_t> sizes;
  int64_t i = 0;
  double f = 0;
  std::vector<uint8_t> textCode;
};
inline std::map<int, Declared> ScriptDeclarations(const CompileResult& r) {
  std::map<int, Declared> out;
  const auto& b = r.files.at("nvv.nbn");
  size_t p = 8;
  const int n = b[p] | b[p + 1] << 8;
  p += 2;
  for (int k = 0; k < n; ++k) {
    Declared d;
    d.scope = b[p];
    d.file = b[p + 1] | b[p + 2] << 8;
    const int var = b[p + 3] | b[p + 4] << 8;
    d.type = b[p + 5];
    const int dims = b[p + 6];
    p += 7;
    for (int j = 0; j < dims; ++j, p += 4) d.sizes.push_back(static_cast<int32_t>(Le32(b, p)));
    if (d.type == 1 || d.type == 2) {
      const uint64_t v = Le32(b, p) | static_cast<uint64_t>(Le32(b, p + 4)) << 32;
      d.i = static_cast<int64_t>(v);
      std::memcpy(&d.f, &v, 8);
      p += 8;
    } else {
      const size_t len = b[p] | b[p + 1] << 8;
      d.textCode.assign(b.begin() + static_cast<long>(p) + 2, b.begin() + static_cast<long>(p + 2 + len));
      p += 2 + len;
    }
    if (var >= 1000) out[var] = d;
  }
  EXPECT_EQ(p, b.size());
  return out;
}

// Hex text of bytes, for readable comparisons: "48 00 e8 03".
inline std::string HexOf(const std::vector<uint8_t>& b) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < b.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", b[i]);
    if (i) s += ' ';
    s += buf;
  }
  return s;
}

}  // namespace vv::dorov::testing
