#include "app/command_line.h"

#include <gtest/gtest.h>

namespace vv::app {
namespace {

std::optional<Options> Parse(std::vector<const char*> args, std::string* error = nullptr) {
  args.insert(args.begin(), "vavevo");
  std::string e;
  auto o = ParseCommandLine(static_cast<int>(args.size()), args.data(), e);
  if (error) *error = e;
  return o;
}

TEST(CommandLine, HeadlessContract) {
  auto o = Parse({"--game", "g", "--headless", "--frames", "120", "--screenshot-dir", "s", "--input",
                  "i.txt", "--dialog-log", "d.jsonl", "--answers", "a.txt", "--seed", "42", "--", "x",
                  "--frames"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->backend, Backend::Headless);
  EXPECT_EQ(o->gameDir, "g");
  EXPECT_EQ(o->frames, 120u);
  EXPECT_EQ(o->screenshotDir, "s");
  EXPECT_EQ(o->inputScript, "i.txt");
  EXPECT_EQ(o->dialogLog, "d.jsonl");
  EXPECT_EQ(o->answers, "a.txt");
  EXPECT_EQ(o->seed, 42u);
  // After "--" everything is the script's, options included.
  EXPECT_EQ(o->scriptArgs, (std::vector<std::string>{"x", "--frames"}));
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
  struct Case {
    std::vector<const char*> args;
    const char* mentions;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--frames"}, "--frames needs a value"},
      {{"--frames", "0"}, "positive"},
      {{"--frames", "12x"}, "positive"},
      {{"--seed", "-1"}, "--seed"},
      {{"--seed", "4294967296"}, "--seed"},
      {{"--present", "gdi"}, "texture or surface"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << c.mentions;
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace vv::app
