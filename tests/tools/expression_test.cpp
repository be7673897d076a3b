// Expressions: precedence, types, conversions and the postfix code they
// compile to, checked through the records of compiled scripts.
#include <gtest/gtest.h>

#include <cstring>

#include "compiled_reader.h"
#include "dorov/compiler.h"

namespace vv::dorov {
namespace {

using testing::CodeOf;
using testing::HexOf;

// i = v1000 (int), f = v1001 (float), t = v1002 (text), a = v1003 (int 4 x 5),
// fa = v1004 (float 3).
constexpr char kPreamble[] =
    "@global int i = 3\n"
    "@global float f = 2.5\n"
    "@global text t = \"ab\"\n"
    "@global int a[4, 5]\n"
    "@global float fa[3]\n"
    "*SYSTEM_START\n";

struct Compiled {
  bool ok = false;
  std::string errors;
  std::string infix;
  uint8_t exprType = 0;
  std::string bytes;
};

// Compiles `@note text=<expr>`: the note command keeps any expression as it
// is, so its record shows exactly what the expression became.
Compiled CompileExpression(const std::string& expr) {
  Compiled c;
  auto r = CompileSource(std::string(kPreamble) + "@note text=" + expr + "\n");
  c.ok = r.ok();
  c.errors = r.ErrorText();
  if (!c.ok) return c;
  auto code = CodeOf(r);
  EXPECT_FALSE(code.empty());
  if (code.empty() || code[0].records.size() != 1) return c;
  c.exprType = code[0].records[0].exprType;
  c.bytes = HexOf(code[0].records[0].expr);
  c.infix = r.listing[0].args[0].value;
  return c;
}

TEST(Expressions, PrecedenceTypesAndCode) {
  struct Case {
    const char* source;
    const char* infix;
    uint8_t exprType;
    const char* bytes;  // nullptr: not checked
  } cases[] = {
      {"1 + 2 * 3", "1 + 2 * 3", 1, "42 01 00 01 42 01 00 02 42 01 00 03 2a 00 00 2b 00 00"},
      {"(1 + 2) * 3", "(1 + 2) * 3", 1, "42 01 00 01 42 01 00 02 2b 00 00 42 01 00 03 2a 00 00"},
      {"1 - (2 - 3)", "1 - (2 - 3)", 1, nullptr},
      {"1 - 2 - 3", "1 - 2 - 3", 1, nullptr},
      {"-i * 2", "-v1000 * 2", 1, "48 03 00 00 e8 03 52 00 00 42 01 00 02 2a 00 00"},
      {"-5", "-5", 1, "42 01 00 fb"},
      {"300 + 70000 + 5000000000", "300 + 70000 + 5000000000", 1,
       "57 02 00 2c 01 49 04 00 70 11 01 00 2b 00 00 4c 08 00 00 f2 05 2a 01 00 00 00 2b 00 00"},
      // one float makes the whole expression float arithmetic
      {"i / 2 + 0.5", "v1000 / 2 + 0.5", 2, nullptr},
      {"a[i, 2] + 1", "v1003[v1000, 2] + 1", 1,
       "56 03 00 00 eb 03 48 03 00 00 e8 03 42 01 00 02 29 00 00 42 01 00 01 2b 00 00"},
      // subscripts stay integer inside float arithmetic
      {"fa[i / 2] * 2", "v1004[v1000 / 2] * 2", 2, nullptr},
      // numbers joined to a text: a variable by its text marker, a
      // calculation through the conversion opcode
      {"t + i", "v1002 + text(v1000)", 3, "48 03 00 00 ea 03 48 03 00 23 e8 03 2b 00 00"},
      {"t + f", "v1002 + text(v1001)", 3, nullptr},
      {"t + (i + f)", "v1002 + text(v1000 + v1001)", 4,
       "48 03 00 00 ea 03 48 03 00 00 e8 03 48 03 00 00 e9 03 2b 00 00 73 00 00 2b 00 00"},
      // int() of a float variable needs no float arithmetic; of a float
      // calculation it goes through text
      {"int(f) + 1", "v1001 + 1", 1, "48 03 00 00 e9 03 42 01 00 01 2b 00 00"},
      {"int(f * 2.0) + 1", "int(v1001 * 2.0) + 1", 2,
       "48 03 00 00 e9 03 46 08 00 00 00 00 00 00 00 00 40 2a 00 00 73 00 00 69 00 00 42 01 00 01 2b 00 00"},
      {"int(t) + 1", "int(v1002) + 1", 1, "48 03 00 60 ea 03 42 01 00 01 2b 00 00"},
      {"float(t) * 2", "float(v1002) * 2", 2, "48 03 00 60 ea 03 42 01 00 02 2a 00 00"},
      {"!i && ~i", "v1000 == 0 && v1000 ^ -1", 1,
       "48 03 00 00 e8 03 42 01 00 00 3d 00 00 48 03 00 00 e8 03 42 01 00 ff 5e 00 00 26 00 00"},
      {"i <= 1 || i >= 2 || i != 3", "v1000 <= 1 || v1000 >= 2 || v1000 != 3", 1, nullptr},
      {"i % 3 | 4 ^ 5 & 6", "v1000 % 3 | 4 ^ 5 & 6", 1, nullptr},
      {"(i | 4) & 6", "(v1000 | 4) & 6", 1, nullptr},
      {"t == \"ab\"", "v1002 == \"ab\"", 1, nullptr},
      {"*SYSTEM_START", "\"SYSTEM_START\"", 3, nullptr},
      // a text holding '"' is quoted with another byte
      {"\"say \\\"hi\\\"\"", "\"say \\\"hi\\\"\"", 3, "4d 0a 00 27 73 61 79 20 22 68 69 22 27"},
      {"\"a\\\\b\\n\"", "\"a\\\\b\\n\"", 3, "4d 08 00 22 61 5c 5c 62 5c 6e 22"},
      {"sys.loop * 2", "sys.loop * 2", 1, "48 03 00 00 20 00 42 01 00 02 2a 00 00"},
      {"key.enter + true", "13 + 1", 1, nullptr},
      {"text(1.5)", "\"1.500000\"", 3, nullptr},
  };
  for (const auto& c : cases) {
    const Compiled got = CompileExpression(c.source);
    ASSERT_TRUE(got.ok) << c.source << "\n" << got.errors;
    EXPECT_EQ(got.infix, c.infix) << c.source;
    EXPECT_EQ(got.exprType, c.exprType) << c.source;
    if (c.bytes) {
      EXPECT_EQ(got.bytes, c.bytes) << c.source;
    }
  }
}

TEST(Expressions, TypeErrorsAreReportedWhereTheyStand) {
  struct Case {
    const char* source;
    int column;  // of the statement "@note text=..." (the value starts at column 12)
    const char* message;
  } cases[] = {
      {"t - 1", 14, "texts can only be joined"},
      {"t == 1", 14, "a text can only be compared with a text"},
      {"a[1]", 12, "'a' needs 2 subscripts, not 1"},
      {"i[1]", 12, "'i' is not an array"},
      {"a[f, 1]", 14, "subscripts are computed with integers"},
      {"float(t + t)", 12, "float() of a text works on a text variable"},
      {"nope + 1", 12, "unknown name 'nope'"},
      {"1 +", 15, "expected a value"},
      {"~f", 12, "'~' needs an integer"},
      {"&i", 12, "&name (a whole variable) is only for arguments that take a variable"},
      {"key.nosuch", 12, "unknown key name"},
      {"*nowhere", 12, "there is no label *nowhere"},
  };
  for (const auto& c : cases) {
    const Compiled got = CompileExpression(c.source);
    ASSERT_FALSE(got.ok) << c.source;
    const std::string where = "main.vvs:7:" + std::to_string(c.column) + ": ";
    EXPECT_NE(got.errors.find(where + c.message), std::string::npos) << c.source << "\n" << got.errors;
  }
}

TEST(Expressions, ConstantsAreComputedAsTheEngineComputes) {
  auto r = testing::MustCompile(
      "@global int c = 7 / 2 + 1\n"                     // integer division
      "@global int d = 7 / 2.0 + 0.6\n"                 // float arithmetic, truncated
      "@global int w = 9223372036854775807 + 1\n"       // wraps around
      "@global int z = 5 / 0 + 5 % 0\n"                 // division by zero gives 0
      "@global float q = 7.9 % 2.5\n"                   // remainder of the truncated operands
      "@global float g = -2.7\n"
      "@global text s = \"n=\" + 5 * 2\n"
      "@global int m[2, 3] = -1\n"
      "*SYSTEM_START\n");
  auto d = testing::ScriptDeclarations(r);
  ASSERT_EQ(d.size(), 8u);
  EXPECT_EQ(d[1000].i, 4);
  EXPECT_EQ(d[1001].i, 4);
  EXPECT_EQ(d[1002].i, INT64_MIN);
  EXPECT_EQ(d[1003].i, 0);
  EXPECT_EQ(d[1004].type, 2);
  EXPECT_DOUBLE_EQ(d[1004].f, 1.0);
  EXPECT_DOUBLE_EQ(d[1005].f, -2.7);
  EXPECT_EQ(d[1006].type, 3);
  EXPECT_EQ(HexOf(d[1006].textCode), "4d 06 00 22 6e 3d 31 30 22");  // M "n=10"
  EXPECT_EQ(d[1007].sizes, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(d[1007].i, -1);
}

}  // namespace
}  // namespace vv::dorov
