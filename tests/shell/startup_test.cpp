// Start-up, frames and shutdown of whole runs on the headless backend.
#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include "common/encoding.h"
#include "dorov/compiler.h"
#include "graphics/image.h"
#include "graphics/image_fixtures.h"
#include "graphics/pixel_ops.h"
#include "platform/headless/headless_platform.h"
#include "shell/engine.h"
#include "platform/executable_info.h"
#include "shell/main_window.h"
#include "shell/paths.h"
#include "shell/program.h"
#include "support/temp_game.h"

namespace vv::shell {
namespace {

using platform::HeadlessPlatform;

// A script that runs for ever, one pass a frame.
constexpr char kIdleScript[] =
    "*SYSTEM_START\n"
    "@wait frames=1\n"
    "@goto *SYSTEM_START\n";

// A game with its configuration and, unless left out, a compiled script.
void WriteGame(const testing::TempGame& game, ConfigurationFile cfg, bool withScript = true) {
  const dorov::SourceFile source{"main.vvs", kIdleScript};
  const dorov::CompileResult compiled = dorov::CompileProject(std::span(&source, 1), cfg);
  ASSERT_TRUE(compiled.ok()) << compiled.ErrorText();
  for (const auto& [name, bytes] : compiled.files) {
    if (withScript || name == "nvcfg.nbn") game.Write("nvbin/" + name, bytes);
  }
  // The compiler checks the settings; the engine's own checks are what is
  // tested here, so the configuration is written as given.
  game.Write("nvbin/nvcfg.nbn", EncodeConfiguration(cfg));
}

ConfigurationFile SmallWindow() {
  ConfigurationFile cfg;
  cfg.clientWidth = 320;
  cfg.clientHeight = 200;
  cfg.title = common::Sjis("テスト");
  return cfg;
}

HeadlessPlatform& Headless(platform::Platform& p) { return static_cast<HeadlessPlatform&>(p); }

ProgramOptions Options(const testing::TempGame& game, uint64_t frames) {
  ProgramOptions o;
  o.gameDir = game.dir();
  o.frameLimit = frames;
  return o;
}

std::vector<int> Codes(const Engine& e) {
  std::vector<int> codes;
  for (const auto& r : e.errors.reports) codes.push_back(r.code);
  return codes;
}

TEST(Startup, MainWindowOpensWithTheConfiguredSizeAndTitleAndShowsBlack) {
  testing::TempGame game;
  WriteGame(game, SmallWindow());
  auto p = game.Headless();
  Engine engine(*p);
  ASSERT_EQ(InitEngine(engine, Options(game, 0)), 0) << (engine.errors.reports.empty() ? "" : engine.errors.reports[0].message);

  const platform::MemoryWindow* w = Headless(*p).Framebuffers().Window(0);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->client, (platform::Size{320, 200}));
  EXPECT_EQ(w->titleUtf8, "テスト");
  EXPECT_TRUE(w->framed);
  EXPECT_FALSE(w->visible);  // shown by the first frame

  BeginFrame(engine);
  EXPECT_FALSE(RunFrame(engine));
  EXPECT_TRUE(w->visible);
  ASSERT_EQ(w->pixels.size(), 320u * 200 * 4);
  for (size_t i = 0; i < w->pixels.size(); i += 4) {
    ASSERT_EQ(w->pixels[i] | w->pixels[i + 1] | w->pixels[i + 2], 0) << "pixel " << i / 4;
  }

  EndProgram(engine);
  MainLoop(engine);  // takes the posted close; closing asks nothing now
  EXPECT_FALSE(engine.shell.flags.running);
  EXPECT_TRUE(Headless(*p).DialogRecorder().Records().empty());
  ShutdownEngine(engine);
  EXPECT_EQ(Headless(*p).Framebuffers().Window(0), nullptr);
}

// A w x h 24-bit bitmap of one colour (0xRRGGBB).
std::vector<uint8_t> SolidBmp(int w, int h, uint32_t rgb) {
  graphics::testing::Picture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(static_cast<size_t>(w) * h, {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                              static_cast<uint8_t>(rgb), 255});
  return graphics::testing::MakeBmp(p, {});
}

TEST(Startup, ComposedSceneReachesTheScreenshotAndTheStateDump) {
  testing::TempGame game;
  const dorov::SourceFile source{"main.vvs",
                                 "*SYSTEM_START\n"
                                 "@layer \"bg\", file=\"bg\", priority=1\n"
                                 "@layer \"box\", file=\"box\", priority=2, x=20, y=30, opacity=128\n"
                                 "@loop\n@wait frames=1\n@end\n"};
  const dorov::CompileResult compiled = dorov::CompileProject(std::span(&source, 1), SmallWindow());
  ASSERT_TRUE(compiled.ok()) << compiled.ErrorText();
  for (const auto& [name, bytes] : compiled.files) game.Write("nvbin/" + name, bytes);
  game.Write("bg.bmp", SolidBmp(320, 200, 0x204060));
  game.Write("box.bmp", SolidBmp(10, 10, 0xFF0000));

  platform::HeadlessOptions ho;
  ho.screenshotDir = game.dir() + "/shots";
  auto p = game.Headless(ho);
  Engine engine(*p);
  ProgramOptions o = Options(game, 5);
  o.dumpStatePath = game.dir() + "/state.json";
  const ProgramResult r = RunProgram(engine, o);
  ASSERT_TRUE(r.started);
  EXPECT_TRUE(engine.errors.reports.empty()) << engine.errors.reports[0].message;
  EXPECT_FALSE(Headless(*p).Finish().empty());

  // The screenshot holds the composed pixels: the box at half opacity is
  // the rounded-up mean of both colours.
  std::ifstream in(game.dir() + "/shots/final.png", std::ios::binary);
  const std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  graphics::LayerImage shot;
  ASSERT_EQ(graphics::DecodePng(png, graphics::PixelOpsFor(graphics::PixelSet::kPortable), shot), 0);
  ASSERT_EQ(shot.width, 320);
  ASSERT_EQ(shot.height, 200);
  const auto rgb = [&](int x, int y) {
    const uint8_t* q = shot.pixels.get() + (static_cast<size_t>(199 - y) * 320 + x) * 4;
    return (uint32_t{q[2]} << 16) | (uint32_t{q[1]} << 8) | q[0];
  };
  EXPECT_EQ(rgb(0, 0), 0x204060u);
  EXPECT_EQ(rgb(319, 199), 0x204060u);
  EXPECT_EQ(rgb(20, 30), 0x902030u);
  EXPECT_EQ(rgb(29, 39), 0x902030u);
  EXPECT_EQ(rgb(30, 40), 0x204060u);

  std::ifstream dump(o.dumpStatePath);
  const std::string json((std::istreambuf_iterator<char>(dump)), std::istreambuf_iterator<char>());
  EXPECT_NE(json.find("{\"path\": \"W0\", \"kind\": \"group\", \"priority\": 0, \"x\": 0, \"y\": 0, "
                      "\"width\": 320, \"height\": 200"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("{\"path\": \"W0/box\", \"kind\": \"image\", \"priority\": 2, \"x\": 20, \"y\": 30, "
                      "\"width\": 10, \"height\": 10, \"opacity\": 128, \"blend\": 0, \"visible\": 1"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"file\": \"box.bmp\""), std::string::npos);
}

TEST(Startup, LayerQueriesOfWindowPointsFollowTheMouse) {
  testing::TempGame game;
  const dorov::SourceFile source{"main.vvs",
                                 "@global int before = 0, after = 0\n"
                                 "*SYSTEM_START\n"
                                 "@layer \"box\", file=\"box\", priority=2, x=20, y=30\n"
                                 "@wait frames=1\n"
                                 "@layerGet \"box\", screenColor, target=before\n"
                                 "@wait frames=5\n"
                                 "@layerGet \"box\", screenColor, target=after\n"
                                 "@loop\n@wait frames=1\n@end\n"};
  const dorov::CompileResult compiled = dorov::CompileProject(std::span(&source, 1), SmallWindow());
  ASSERT_TRUE(compiled.ok()) << compiled.ErrorText();
  for (const auto& [name, bytes] : compiled.files) game.Write("nvbin/" + name, bytes);
  game.Write("box.bmp", SolidBmp(10, 10, 0xFF0000));
  auto p = game.Headless();
  std::string error;
  ASSERT_TRUE(Headless(*p).QueueInput("at 3 move 25 35\n", error)) << error;
  Engine engine(*p);
  ProgramOptions o = Options(game, 10);
  o.dumpStatePath = game.dir() + "/state.json";
  ASSERT_TRUE(RunProgram(engine, o).started);
  std::ifstream dump(o.dumpStatePath);
  const std::string json((std::istreambuf_iterator<char>(dump)), std::istreambuf_iterator<char>());
  // Before the move the mouse stands at (0, 0), outside the box: -1; then
  // the box's colour lies under it.
  EXPECT_NE(json.find("\"values\": [-1]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"values\": [16711680]"), std::string::npos) << json;
}

TEST(Startup, AFrameLimitEndsTheRunWithoutAsking) {
  testing::TempGame game;
  WriteGame(game, SmallWindow());
  auto p = game.Headless();
  Engine engine(*p);
  const ProgramResult r = RunProgram(engine, Options(game, 60));
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(r.haltedByError);
  EXPECT_EQ(engine.shell.clock.frameNumber, 60u);
  EXPECT_EQ(engine.shell.clock.passCounter, 60u);
  // Sixty paced frames at 60 per second take 999 ms of virtual time.
  EXPECT_EQ(p->clock->NowMs() - engine.shell.clock.startTime, 999u);
  EXPECT_TRUE(Headless(*p).DialogRecorder().Records().empty());
}

TEST(Startup, ClosingAsksFirstAndNoKeepsTheGameRunning) {
  testing::TempGame game;
  WriteGame(game, SmallWindow());
  game.Write("answers.txt", "2\n1\n");  // No, then Yes
  platform::HeadlessOptions opts;
  opts.answers = game.dir() + "/answers.txt";
  auto p = game.Headless(opts);
  std::string error;
  ASSERT_TRUE(Headless(*p).QueueInput("at 3 close\nat 7 close\n", error)) << error;
  Engine engine(*p);
  const ProgramResult r = RunProgram(engine, Options(game, 100));
  EXPECT_EQ(r.exitCode, 0);
  // Frame 7 asked and was answered yes: it ended the run without running.
  EXPECT_EQ(engine.shell.clock.frameNumber, 7u);
  const auto& dialogs = Headless(*p).DialogRecorder().Records();
  ASSERT_EQ(dialogs.size(), 2u);
  for (const auto& d : dialogs) {
    EXPECT_EQ(d.kind, "message");
    EXPECT_EQ(d.caption, "テスト");
    EXPECT_EQ(d.text, kCloseQuestion);
  }
  EXPECT_EQ(dialogs[0].frame, 3u);
  EXPECT_FALSE(engine.shell.flags.paused);
}

TEST(Startup, DesktopSizedGamesStartFullScreen) {
  testing::TempGame game;
  ConfigurationFile cfg = SmallWindow();
  cfg.clientWidth = 0;
  cfg.clientHeight = 0;
  WriteGame(game, cfg);
  platform::HeadlessOptions opts;
  opts.desktop = {1024, 768, 32};
  auto p = game.Headless(opts);
  Engine engine(*p);
  ASSERT_EQ(InitEngine(engine, Options(game, 0)), 0);
  EXPECT_TRUE(engine.shell.flags.startFullScreen);
  EXPECT_TRUE(p->display->IsFullScreen(0));
  EXPECT_EQ(p->display->ClientSize(0), (platform::Size{1024, 768}));
  // The switch waits 1.5 s for the display to settle.
  EXPECT_GE(engine.shell.clock.startTime, 1500u);
  ShutdownEngine(engine);
}

TEST(Startup, ClientAreaLargerThanTheDesktopIsRefused) {
  testing::TempGame game;
  ConfigurationFile cfg = SmallWindow();
  cfg.clientWidth = 2000;
  WriteGame(game, cfg);
  auto p = game.Headless();
  Engine engine(*p);
  EXPECT_EQ(InitEngine(engine, Options(game, 0)), -1);
  const auto& dialogs = Headless(*p).DialogRecorder().Records();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].text, "画面サイズが対応していません。");
  EXPECT_EQ(dialogs[0].caption, "エラー");
  EXPECT_EQ(p->display->WindowExists(0), false);
  ShutdownEngine(engine);
}

TEST(Startup, FailedStartsShutDownInOrder) {
  struct Case {
    const char* what;
    bool config, commandTable;
    int32_t worker;
    std::vector<int> codes;
    bool windowCreated;
  } cases[] = {
      {"no nvbin at all", false, false, 0, {104060}, false},
      {"worker value 2", true, true, 2, {901020}, false},
      {"no compiled script", true, false, 0, {104060}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempGame game;
    ConfigurationFile cfg = SmallWindow();
    cfg.workerThread = c.worker;
    if (c.config) WriteGame(game, cfg, c.commandTable);
    auto p = game.Headless();
    Engine engine(*p);
    const ProgramResult r = RunProgram(engine, Options(game, 10));
    EXPECT_FALSE(r.started);
    EXPECT_TRUE(r.haltedByError);
    EXPECT_EQ(Codes(engine), c.codes);
    EXPECT_EQ(engine.shell.clock.frameNumber, 0u);  // no frame ran
    EXPECT_TRUE(engine.shell.flags.halted);
    // Only the first report is shown: one error dialog at most.
    const auto& dialogs = Headless(*p).DialogRecorder().Records();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].kind, "error");
    EXPECT_EQ(p->display->WindowExists(0), false);
    // The script stage comes after the main window: it was made and closed.
    EXPECT_EQ(Headless(*p).Framebuffers().LastWindow(0) != nullptr, c.windowCreated);
  }
}

TEST(Startup, CommandLineArgumentsReachTheEngine) {
  testing::TempGame game;
  WriteGame(game, SmallWindow());
  auto p = game.Headless();
  Engine engine(*p);
  ProgramOptions o = Options(game, 1);
  for (int i = 1; i <= 10; ++i) o.scriptArgs.push_back("a" + std::to_string(i));
  o.scriptArgs[0] = "表";
  RunProgram(engine, o);
  const CommandLine& cl = engine.shell.commandLine;
  EXPECT_EQ(cl.count, 8);
  EXPECT_EQ(cl.args[0], engine.shell.paths.programPath);
  EXPECT_EQ(cl.args[1], "\x95\x5C");  // Shift-JIS inside the engine
  EXPECT_EQ(cl.args[8], "a8");
  EXPECT_EQ(engine.shell.scriptSeed, kHeadlessSeed);
}

// The second start of a game is a real process: the program built beside
// the tests, started on the same game folder.
std::string ProgramUnderTest() {
  const char* bin = std::getenv("VAVEVO_TEST_BIN");
  return std::string(bin ? bin : ".") + "/src/app/vavevo";
}

int RunSecondStart(const std::string& gameDir) {
  const std::string program = ProgramUnderTest();
  const pid_t pid = fork();
  if (pid == 0) {
    execl(program.c_str(), program.c_str(), "--headless", "--game", gameDir.c_str(), "--frames", "1",
          "--screenshot-dir", (gameDir + "/second-shots").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Startup, SecondStartRaisesTheFirstInstanceAndExitsZero) {
  testing::TempGame game;
  WriteGame(game, SmallWindow());
  auto p = game.Headless();
  Engine engine(*p);
  // Run the first instance's entry steps by hand, keeping it alive.
  ProgramOptions o = Options(game, 0);
  const auto exe = platform::DescribeExecutable(game.dir());
  EXPECT_EQ(exe.programPath, game.dir() + "/vavevo");
  engine.shell.paths = MakeEnginePaths(exe.programPath, game.dir());
  auto guard = p->instanceGuard->Acquire(engine.shell.paths.instanceName);
  ASSERT_EQ(guard, platform::InstanceGuard::Result::Acquired);
  ASSERT_EQ(InitEngine(engine, o), 0);
  BeginFrame(engine);
  RunFrame(engine);
  p->display->Show(0, platform::ShowMode::Minimize);
  ASSERT_TRUE(p->display->IsMinimized(0));

  EXPECT_EQ(RunSecondStart(game.dir()), 0);
  // The second start never got as far as a window or a screenshot.
  EXPECT_FALSE(std::filesystem::exists(game.dir() + "/second-shots/final.png"));

  PumpEvents(engine);
  EXPECT_FALSE(p->display->IsMinimized(0));
  EXPECT_TRUE(p->display->IsVisible(0));
  EXPECT_EQ(Headless(*p).Framebuffers().ForegroundSlot(), 0);
  ShutdownEngine(engine);

  // Once the first instance is gone, a start runs normally.
  p.reset();
  EXPECT_EQ(RunSecondStart(game.dir()), 0);
  EXPECT_TRUE(std::filesystem::exists(game.dir() + "/second-shots/final.png"));
}

}  // namespace
}  // namespace vv::shell
