#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

#include "platform/headless/headless_platform.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

WindowDesc Desc(Size client, Point position = {-1, -1}) {
  WindowDesc d;
  d.client = client;
  d.position = position;
  return d;
}

// A frame in engine layout (bottom-up rows, padded stride) whose pixel at
// client (x, y) is B = 10x + y, G = 100 + y, R = 200 - x, A = 7.
struct TestFrame {
  int width, height, stride;
  std::vector<uint8_t> bytes;
  TestFrame(int w, int h, int shift = 0)
      : width(w), height(h), stride(w * 4 + 8), bytes(stride * h) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &bytes[static_cast<size_t>((h - 1 - y) * stride + x * 4)];
        p[0] = static_cast<uint8_t>(10 * x + y + shift);
        p[1] = static_cast<uint8_t>(100 + y);
        p[2] = static_cast<uint8_t>(200 - x);
        p[3] = 7;
      }
    }
  }
  FrameView View() const { return {bytes.data(), width, height, stride}; }
  const uint8_t* At(int x, int y) const {
    return &bytes[static_cast<size_t>((height - 1 - y) * stride + x * 4)];
  }
};

TEST(MemoryDisplayTest, PresentCopiesTheRectangleTopDown) {
  MemoryDisplay display({800, 600, 32});
  ASSERT_TRUE(display.CreateWindow(0, {{6, 4}, "t", true, false, false, {-1, -1}}));
  EXPECT_FALSE(display.CreateWindow(0, Desc({6, 4})));  // the slot is taken
  EXPECT_EQ(display.Position(0), (Point{397, 298}));    // centred
  EXPECT_FALSE(display.IsVisible(0));

  const TestFrame frame(6, 4);
  display.Present(0, frame.View(), {1, 1, 4, 3});
  std::vector<uint8_t> pixels;
  Size size;
  ASSERT_TRUE(display.ReadPixels(0, pixels, size));
  ASSERT_EQ(size, (Size{6, 4}));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const uint8_t* got = &pixels[static_cast<size_t>((y * 6 + x) * 4)];
      const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
      SCOPED_TRACE(::testing::Message() << x << "," << y);
      EXPECT_EQ(got[0], inside ? frame.At(x, y)[0] : 0);
      EXPECT_EQ(got[1], inside ? frame.At(x, y)[1] : 0);
      EXPECT_EQ(got[2], inside ? frame.At(x, y)[2] : 0);
      EXPECT_EQ(got[3], 255);  // the window is opaque
    }
  }
  // Areas beyond the frame are clipped, not read past its end.
  display.Present(0, frame.View(), {-5, -5, 100, 100});
  ASSERT_TRUE(display.ReadPixels(0, pixels, size));
  EXPECT_EQ(pixels[(3 * 6 + 5) * 4], frame.At(5, 3)[0]);
}

TEST(MemoryDisplayTest, KeepsWindowState) {
  MemoryDisplay display({1920, 1080, 32});
  EXPECT_EQ(display.Desktop().width, 1920);
  EXPECT_FALSE(display.CreateWindow(4, Desc({10, 10})));
  ASSERT_TRUE(display.CreateWindow(1, {{4, 4}, "\x83\x41", false, false, true, {5, 6}}));
  EXPECT_EQ(display.Window(1)->titleUtf8, "ア");
  EXPECT_FALSE(display.Window(1)->framed);
  display.Show(1, ShowMode::Show);
  display.Show(1, ShowMode::Minimize);
  EXPECT_TRUE(display.IsMinimized(1));
  display.Raise(1);
  EXPECT_FALSE(display.IsMinimized(1));
  EXPECT_TRUE(display.IsVisible(1));
  EXPECT_TRUE(display.SetFullScreen(1, true));
  EXPECT_FALSE(display.SetFullScreen(1, true));  // no change
  display.SetShape(1, {{0, 0, 2, 2}});
  EXPECT_EQ(display.Window(1)->shape.size(), 1u);

  const TestFrame frame(4, 4);
  display.Present(1, frame.View(), {0, 0, 4, 4});
  display.SetClientSize(1, {2, 6});  // keeps the top-left part
  std::vector<uint8_t> pixels;
  Size size;
  ASSERT_TRUE(display.ReadPixels(1, pixels, size));
  EXPECT_EQ(size, (Size{2, 6}));
  EXPECT_EQ(pixels[(1 * 2 + 1) * 4], frame.At(1, 1)[0]);
  EXPECT_EQ(pixels[(5 * 2 + 1) * 4 + 1], 0);
  display.DestroyWindow(1);
  EXPECT_FALSE(display.WindowExists(1));
  EXPECT_FALSE(display.ReadPixels(1, pixels, size));
}

// An RGB PNG read back with libpng.
std::vector<uint8_t> ReadPng(const std::string& path, Size& size) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u) << path;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  size = {static_cast<int>(image.width), static_cast<int>(image.height)};
  return rgb;
}

void ExpectPngShowsFrame(const std::string& path, const TestFrame& frame) {
  SCOPED_TRACE(path);
  Size size;
  const std::vector<uint8_t> rgb = ReadPng(path, size);
  ASSERT_EQ(size, (Size{frame.width, frame.height}));
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const uint8_t* p = &rgb[static_cast<size_t>((y * frame.width + x) * 3)];
      const uint8_t* want = frame.At(x, y);
      ASSERT_EQ((std::array<int, 3>{p[0], p[1], p[2]}),
                (std::array<int, 3>{want[2], want[1], want[0]}))
          << x << "," << y;
    }
  }
}

TEST(HeadlessScreenshotTest, ScriptedAndFinalScreenshotsAreWritten) {
  testing::TempGame game;
  HeadlessOptions options;
  options.gameDir = game.dir();
  options.screenshotDir = game.dir() + "/out/shots";  // made when missing
  std::string error;
  auto platform = CreateHeadlessPlatform(options, error);
  ASSERT_TRUE(platform) << error;
  auto& headless = static_cast<HeadlessPlatform&>(*platform);
  ASSERT_TRUE(
      headless.QueueInput("at 2 screenshot title-screen\n"
                          "at 3 screenshot\n"
                          "at 3 screenshot Again.PNG\n",
                          error))
      << error;
  ASSERT_TRUE(platform->display->CreateWindow(0, Desc({5, 3})));
  ASSERT_TRUE(platform->display->CreateWindow(2, Desc({2, 2})));

  std::vector<TestFrame> frames;
  for (int f = 1; f <= 3; ++f) frames.emplace_back(5, 3, f);
  for (int f = 1; f <= 3; ++f) {
    platform->FrameStarted(f);
    platform->display->Present(0, frames[f - 1].View(), {0, 0, 5, 3});
    platform->FrameEnded(f);
  }
  const TestFrame small(2, 2);
  platform->display->Present(2, small.View(), {0, 0, 2, 2});
  const std::string dir = options.screenshotDir;
  EXPECT_EQ(platform->Finish(), dir + "/title-screen.png\n" + dir + "/frame-000003.png\n" + dir +
                                    "/Again.PNG\n" + dir + "/final.png\n" + dir +
                                    "/final-w2.png\n");
  EXPECT_TRUE(headless.Problems().empty());
  ExpectPngShowsFrame(dir + "/title-screen.png", frames[1]);  // the end of frame 2
  ExpectPngShowsFrame(dir + "/frame-000003.png", frames[2]);
  ExpectPngShowsFrame(dir + "/Again.PNG", frames[2]);
  ExpectPngShowsFrame(dir + "/final.png", frames[2]);
  ExpectPngShowsFrame(dir + "/final-w2.png", small);
}

TEST(HeadlessScreenshotTest, AMissingWindowIsAProblemNotACrash) {
  testing::TempGame game;
  auto platform = game.Headless();
  auto& headless = static_cast<HeadlessPlatform&>(*platform);
  std::string error;
  ASSERT_TRUE(headless.QueueInput("at 1 screenshot", error));
  platform->FrameStarted(1);
  platform->FrameEnded(1);
  EXPECT_EQ(platform->Finish(), "");
  ASSERT_EQ(headless.Problems().size(), 1u);
  EXPECT_NE(headless.Problems()[0].find("frame-000001.png"), std::string::npos);
  EXPECT_FALSE(headless.WriteScreenshot(0, game.dir() + "/x.png", error));
}

}  // namespace
}  // namespace vv::platform
