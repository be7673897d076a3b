#include "shell/configuration.h"

#include <gtest/gtest.h>

#include "shell/engine.h"
#include "support/temp_game.h"

namespace vv::shell {
namespace {

class ConfigurationTest : public ::testing::Test {
 protected:
  ConfigurationTest() : platform_(game_.Headless()), engine_(*platform_) {
    engine_.shell.system.desktopWidth = 1920;
    engine_.shell.system.desktopHeight = 1080;
  }

  int Apply(const ConfigurationFile& file) { return ApplyConfiguration(engine_, EncodeConfiguration(file)); }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const auto& r : engine_.errors.reports) codes.push_back(r.code);
    return codes;
  }

  testing::TempGame game_;
  std::unique_ptr<platform::Platform> platform_;
  Engine engine_;
};

TEST_F(ConfigurationTest, ClientSizeLimits) {
  struct Case {
    int width, height;
    bool accepted;
  } cases[] = {
      {8192, 16, true},   {128, 8192, true}, {640, 480, true},
      {8193, 16, false},  {8192, 15, false}, {127, 480, false},
      {0, 480, false},    {640, 0, false},   {-640, 480, false},
  };
  for (const auto& c : cases) {
    engine_.errors = {};
    ConfigurationFile f;
    f.clientWidth = c.width;
    f.clientHeight = c.height;
    const int result = Apply(f);
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    if (c.accepted) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(engine_.config.clientWidth, c.width);
      EXPECT_EQ(engine_.config.clientHeight, c.height);
      EXPECT_TRUE(Codes().empty());
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(Codes(), std::vector<int>{901020});
      EXPECT_TRUE(engine_.shell.flags.halted);
      EXPECT_EQ(engine_.config.clientWidth, 128);
      EXPECT_EQ(engine_.config.clientHeight, 16);
    }
    engine_.shell.flags.halted = false;
  }
}

TEST_F(ConfigurationTest, ZeroSizeMeansTheDesktop) {
  ConfigurationFile f;
  f.clientWidth = 0;
  f.clientHeight = 0;
  EXPECT_EQ(Apply(f), 0);
  EXPECT_EQ(engine_.config.clientWidth, 1920);
  EXPECT_EQ(engine_.config.clientHeight, 1080);
}

TEST_F(ConfigurationTest, TitleRules) {
  ConfigurationFile f;
  f.title = std::string(128, 'x');
  EXPECT_EQ(Apply(f), 0);
  EXPECT_EQ(engine_.config.title, f.title);

  f.title = "";
  EXPECT_EQ(Apply(f), 0);
  EXPECT_EQ(engine_.config.title, " ");

  // The title ends at its first zero byte: 128 bytes before it fit.
  f.title = std::string(128, 'y') + std::string(1, '\0') + "tail";
  EXPECT_EQ(Apply(f), 0);
  EXPECT_EQ(engine_.config.title, std::string(128, 'y'));

  f.title = std::string(129, 'z');
  EXPECT_EQ(Apply(f), 1);
  EXPECT_EQ(engine_.config.title, " ");
  EXPECT_EQ(Codes(), std::vector<int>{901000});
}

TEST_F(ConfigurationTest, WorkerThreadAndLowByteFlags) {
  ConfigurationFile f;
  f.workerThread = 2;
  EXPECT_EQ(Apply(f), 1);
  EXPECT_EQ(Codes(), std::vector<int>{901020});

  f.workerThread = 1;
  f.debugMode = 0x101;     // low byte 1
  f.sound = 0x200;         // low byte 0: off
  f.maximizeBox = 0xFFFF;
  f.framedWindow = 0x100;  // low byte 0: borderless
  f.imageExtensionOrder = {3, 2, 1, 9, 0, 0, 0, 0};
  EXPECT_EQ(Apply(f), 0);
  EXPECT_TRUE(engine_.shell.flags.scriptOnWorkerThread);
  EXPECT_EQ(engine_.config.debugMode, 1);
  EXPECT_EQ(engine_.config.sound, 0);
  EXPECT_EQ(engine_.config.maximizeBox, 0xFF);
  EXPECT_EQ(engine_.config.framedWindow, 0);
  EXPECT_EQ(engine_.config.imageExtensionOrder[3], 9);
}

TEST_F(ConfigurationTest, TruncatedFilesAreRefusedWhole) {
  ConfigurationFile f;
  f.title = "title";
  const auto full = EncodeConfiguration(f);
  for (size_t cut : {size_t{0}, size_t{30}, size_t{65}, full.size() - 1}) {
    engine_.errors = {};
    engine_.config = {};
    std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<long>(cut));
    EXPECT_EQ(ApplyConfiguration(engine_, part), 1) << cut;
    EXPECT_EQ(Codes(), std::vector<int>{901020}) << cut;
    EXPECT_EQ(engine_.config.title, " ") << cut;
  }
}

TEST_F(ConfigurationTest, ReadConfigurationFromTheGameFolder) {
  ConfigurationFile f;
  f.clientWidth = 800;
  f.clientHeight = 600;
  game_.Write("NVBIN/NVCFG.NBN", EncodeConfiguration(f));  // letter case is the host's
  EXPECT_EQ(ReadConfiguration(engine_), 0);
  EXPECT_EQ(engine_.config.clientWidth, 800);

  testing::TempGame empty;
  auto p = empty.Headless();
  Engine other(*p);
  EXPECT_EQ(ReadConfiguration(other), -1);
  ASSERT_EQ(other.errors.reports.size(), 1u);
  EXPECT_EQ(other.errors.reports[0].code, 104060);
}

}  // namespace
}  // namespace vv::shell
