// Scripts compiled by dorov, run on the headless backend.
#include <gtest/gtest.h>

#include <limits>

#include "dorov/compiler.h"
#include "script/state_dump.h"
#include "script/variables.h"
#include "script_test_support.h"

namespace vv::script {
namespace {

class EndToEnd : public testing::ScriptTest {
 protected:
  // Compiles `source`, starts it and runs up to `passes` passes.
  void Run(const std::string& source, int passes = 10) {
    const dorov::CompileResult r = dorov::CompileSource(source);
    ASSERT_TRUE(r.ok()) << r.ErrorText();
    for (const auto& [name, bytes] : r.files) Write("nvbin/" + name, bytes);
    ASSERT_TRUE(Start());
    Passes(passes);
  }
  int64_t Global(int n) { return Int(kFirstScriptVariable + n); }
  // The dialog the first error report opened, in UTF-8.
  std::string ErrorDialogText() {
    for (const auto& d : headless().DialogRecorder().Records()) {
      if (d.kind == "error") return d.text;
    }
    return {};
  }
};

TEST_F(EndToEnd, ArithmeticAndTexts) {
  Run(R"(@global int a = 0, b = 0, c = 0, d = 0, e = 0
@global float f = 0.0
@global text t = ""
*SYSTEM_START
@a = 7 / 0 + 7 % 0
@b = -7 % 2
@c = 9223372036854775807
@c += 1
@f = 7.9
@f %= 2.5
@t = "ab" + "c\n"
@d = "abc" == "abd"
@e = (3 + 4) * 2 - 10 / 3
@quit
)");
  EXPECT_TRUE(engine().errors.reports.empty()) << ErrorDialogText();
  EXPECT_EQ(Global(0), 0);
  EXPECT_EQ(Global(1), -1);
  EXPECT_EQ(Global(2), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(Global(3), 0);
  EXPECT_EQ(Global(4), 11);
  EXPECT_DOUBLE_EQ(Float(kFirstScriptVariable + 5), 1.0);
  EXPECT_EQ(Text(kFirstScriptVariable + 6), "abc\n");
  EXPECT_TRUE(engine().shell.flags.halted);
}

TEST_F(EndToEnd, LoopsCallsAndLimits) {
  Run(R"(@global int seen[4] = 0
@global int n = 0
@global int r = 0
*SYSTEM_START
@loop 3
  @seen[n] = sys.loop
  @n += 1
@end
@loop 0
  @n = 100
@end
@r = call *twice(21)
@quit
*twice(int v)
@return v * 2
)");
  EXPECT_TRUE(engine().errors.reports.empty()) << ErrorDialogText();
  EXPECT_EQ(Int(kFirstScriptVariable, 0), 1);
  EXPECT_EQ(Int(kFirstScriptVariable, 1), 2);
  EXPECT_EQ(Int(kFirstScriptVariable, 2), 3);
  EXPECT_EQ(Global(1), 3);
  EXPECT_EQ(Global(2), 42);
}

TEST_F(EndToEnd, StateDump) {
  Run(R"(@global int a[2] = 5
@global text t = "\"q\""
*SYSTEM_START
@a[1] = -3
@wait frames=100
)", 2);
  const std::string json = StateDumpJson(engine());
  EXPECT_NE(json.find(R"({"number": 1000, "type": "integer", "dimensions": [2], "values": [5, -3]})"), std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("values": ["\"q\""])"), std::string::npos) << json;
  EXPECT_NE(json.find(R"({"path": "SYSTEM", "file": 0, "fileName": "main.vvs")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("waitFrames": 99)"), std::string::npos) << json;
}

TEST_F(EndToEnd, ErrorsReachTheDialog) {
  Run(R"(*SYSTEM_START
@return
)");
  EXPECT_EQ(Codes(), std::vector<int32_t>{kErrNoEnclosing});
  EXPECT_FALSE(ErrorDialogText().empty());
  EXPECT_NE(ErrorDialogText().find("main.vvs"), std::string::npos);  // the location header names the file
}

}  // namespace
}  // namespace vv::script
