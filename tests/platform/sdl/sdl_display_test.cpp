// SDL windows and both present paths, on whatever video driver the test
// runs with (the offscreen driver under CTest).
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string_view>

#include "platform/sdl/sdl_platform.h"
#include "sdl_test_support.h"

namespace vv::platform::sdl {
namespace {

using test::PixelOf;
using test::TestFrame;

constexpr Size kClient{80, 48};  // not the desktop's aspect: full screen has borders
constexpr uint32_t kGrey = 0x808080, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF,
                   kWhite = 0xFFFFFF, kBlack = 0x000000;

SDL_Window* SdlWindow(const Display& display, int slot) {
  return SDL_GetWindowFromID(WindowIdOf(display, slot));
}

Size SdlWindowSize(const Display& display, int slot) {
  Size s;
  SDL_GetWindowSize(SdlWindow(display, slot), &s.width, &s.height);
  return s;
}

// Grey with a 3x3 block of its own colour in each corner.
uint32_t CornerColour(Size size, int x, int y) {
  const bool left = x < 3, right = x >= size.width - 3, top = y < 3, bottom = y >= size.height - 3;
  if (top && left) return kRed;
  if (top && right) return kGreen;
  if (bottom && left) return kBlue;
  if (bottom && right) return kWhite;
  return kGrey;
}

TestFrame CornerFrame(Size size) {
  TestFrame frame(size.width, size.height);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) frame.Set(x, y, CornerColour(size, x, y));
  }
  return frame;
}

// Parameters: the forced path ("" runs the trial); "texture/software" is
// the texture path on SDL's software renderer, which follows window size
// changes on every video driver.
class SdlPresentTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string path = GetParam();
    if (const size_t slash = path.find('/'); slash != std::string::npos) {
      SDL_SetHint(SDL_HINT_RENDER_DRIVER, path.substr(slash + 1).c_str());
      path.resize(slash);
    }
    std::string error;
    platform_ = CreateSdlServices(test::PathOptions(path), error);
    ASSERT_TRUE(platform_) << error;
    display_ = platform_->display.get();
    WindowDesc desc;
    desc.client = kClient;
    desc.titleSjis = "present";
    ASSERT_TRUE(display_->CreateWindow(0, desc));
  }

  void Drain() {
    Event e;
    while (platform_->events->Poll(e)) {
    }
  }

  // Compares the read-back of slot 0 with `expected` pixel by pixel.
  void ExpectShown(Size size, const std::function<uint32_t(int, int)>& expected) {
    std::vector<uint8_t> pixels;
    Size got;
    ASSERT_TRUE(display_->ReadPixels(0, pixels, got));
    ASSERT_EQ(got, size);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(size.width) * size.height * 4);
    int wrong = 0;
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) {
        const uint32_t want = expected(x, y), have = PixelOf(pixels, size, x, y);
        if (have != want && ++wrong <= 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is 0x" << std::hex << have
                        << ", expected 0x" << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }

  void TearDown() override {
    platform_.reset();
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
  }

  std::unique_ptr<Platform> platform_;
  Display* display_ = nullptr;
};

TEST_P(SdlPresentTest, UsesTheForcedPathOrTheTrialsChoice) {
  const PresentPath path = display_->CurrentPresentPath();
  if (GetParam().starts_with("texture")) {
    EXPECT_EQ(path, PresentPath::Texture);
  } else if (GetParam() == "surface") {
    EXPECT_EQ(path, PresentPath::Surface);
  } else {
    EXPECT_NE(path, PresentPath::Memory);
  }
}

TEST_P(SdlPresentTest, BlackFrameReplacesAnEarlierOne) {
  TestFrame frame(kClient.width, kClient.height);
  frame.Fill(kWhite);
  display_->Present(0, frame.View(), frame.All());
  ExpectShown(kClient, [](int, int) { return kWhite; });
  frame.Fill(kBlack);
  display_->Present(0, frame.View(), frame.All());
  ExpectShown(kClient, [](int, int) { return kBlack; });
}

TEST_P(SdlPresentTest, BottomUpRowsShowTheRightWayUp) {
  const TestFrame frame = CornerFrame(kClient);
  display_->Present(0, frame.View(), frame.All());
  ExpectShown(kClient, [](int x, int y) { return CornerColour(kClient, x, y); });
}

TEST_P(SdlPresentTest, OnlyTheGivenAreaChanges) {
  TestFrame frame(kClient.width, kClient.height);
  frame.Fill(kGrey);
  display_->Present(0, frame.View(), frame.All());
  frame.Fill(kRed);  // the whole frame changes, but only `area` is presented
  const Rect area{10, 5, 30, 20};
  display_->Present(0, frame.View(), area);
  ExpectShown(kClient, [&](int x, int y) {
    return (x >= area.left && x < area.right && y >= area.top && y < area.bottom) ? kRed : kGrey;
  });
  // An area reaching past the frame is cut to it.
  frame.Fill(kBlue);
  display_->Present(0, frame.View(), {60, 40, 500, 500});
  ExpectShown(kClient, [&](int x, int y) {
    if (x >= 60 && y >= 40) return kBlue;
    return (x >= area.left && x < area.right && y >= area.top && y < area.bottom) ? kRed : kGrey;
  });
}

TEST_P(SdlPresentTest, LostRenderDeviceKeepsThePictureForPartialPresents) {
  TestFrame frame(kClient.width, kClient.height);
  frame.Fill(kGrey);
  display_->Present(0, frame.View(), frame.All());
  // The driver drops every texture; the display rebuilds its own and draws
  // the last frame again, so a later present of a small area keeps the rest.
  for (Uint32 type : {SDL_RENDER_TARGETS_RESET, SDL_RENDER_DEVICE_RESET}) {
    SDL_Event e{};
    e.type = type;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    Drain();
  }
  frame.Fill(kRed);
  const Rect area{4, 4, 12, 10};
  display_->Present(0, frame.View(), area);
  ExpectShown(kClient, [&](int x, int y) {
    return (x >= area.left && x < area.right && y >= area.top && y < area.bottom) ? kRed : kGrey;
  });
}

TEST_P(SdlPresentTest, NewClientSizeResizesWindowAndFrame) {
  const Size size{50, 40};
  display_->SetClientSize(0, size);
  EXPECT_EQ(display_->ClientSize(0), size);
  EXPECT_EQ(SdlWindowSize(*display_, 0), size);
  const TestFrame frame = CornerFrame(size);
  display_->Present(0, frame.View(), frame.All());
  ExpectShown(size, [&](int x, int y) { return CornerColour(size, x, y); });
}

TEST_P(SdlPresentTest, FullScreenLetterboxesAndMapsTheMouseBack) {
  display_->Show(0, ShowMode::Show);
  ASSERT_TRUE(display_->SetFullScreen(0, true));
  EXPECT_FALSE(display_->SetFullScreen(0, true));
  EXPECT_TRUE(display_->IsFullScreen(0));
  Drain();
  const Size output = SdlWindowSize(*display_, 0);
  if (output == kClient) GTEST_SKIP() << "the video driver keeps the window size in full screen";
  SDL_RendererInfo renderer{};
  if (SDL_Renderer* r = SDL_GetRenderer(SdlWindow(*display_, 0))) SDL_GetRendererInfo(r, &renderer);
  if (renderer.name && std::string_view(renderer.name) != "software" &&
      std::string_view(SDL_GetCurrentVideoDriver()) == "offscreen") {
    GTEST_SKIP() << "the offscreen driver's GL surface keeps the size it was created with";
  }
  EXPECT_EQ(display_->ClientSize(0), kClient);

  const TestFrame frame = CornerFrame(kClient);
  display_->Present(0, frame.View(), frame.All());
  ExpectShown(kClient, [](int x, int y) { return CornerColour(kClient, x, y); });
  // Where the output is a surface the test can see, the borders are black
  // and the frame sits in the middle.
  if (GetParam() != "texture" && !GetParam().empty()) {
    SDL_Surface* out = SDL_GetWindowSurface(SdlWindow(*display_, 0));
    ASSERT_NE(out, nullptr);
    ASSERT_EQ((Size{out->w, out->h}), output);
    const Rect dest = FitFrame(kClient, output);
    ASSERT_GT(dest.left + dest.top, 0);
    auto rgb = [&](int x, int y) {
      Uint8 r, g, b;
      SDL_GetRGB(*reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(out->pixels) +
                                                  y * out->pitch + x * 4),
                 out->format, &r, &g, &b);
      return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
    };
    EXPECT_EQ(rgb(0, 0), kBlack);
    EXPECT_EQ(rgb(output.width - 1, output.height - 1), kBlack);
    EXPECT_EQ(rgb(dest.left, dest.top), kRed);
    EXPECT_EQ(rgb(dest.right - 1, dest.bottom - 1), kWhite);
    EXPECT_EQ(rgb(output.width / 2, output.height / 2), kGrey);
  }

  // Warping goes through the letterbox and so does the motion it causes.
  platform_->input->WarpCursor(0, {5, 7});
  Event e;
  bool moved = false;
  while (platform_->events->Poll(e)) {
    if (e.type == EventType::MouseMove) {
      moved = true;
      EXPECT_EQ((Point{e.x, e.y}), (Point{5, 7}));
    }
  }
  EXPECT_TRUE(moved);
  EXPECT_EQ(platform_->input->Cursor(0), (Point{5, 7}));

  ASSERT_TRUE(display_->SetFullScreen(0, false));
  Drain();
  EXPECT_FALSE(display_->IsFullScreen(0));
  EXPECT_EQ(SdlWindowSize(*display_, 0), kClient);
  ExpectShown(kClient, [](int x, int y) { return CornerColour(kClient, x, y); });
}

INSTANTIATE_TEST_SUITE_P(Paths, SdlPresentTest,
                         ::testing::Values("texture", "texture/software", "surface", ""),
                         [](const auto& info) {
                           std::string name = info.param.empty() ? "trial" : info.param;
                           std::replace(name.begin(), name.end(), '/', '_');
                           return name;
                         });

TEST(SdlDisplay, OpensHiddenWindowsOfTheGivenSizeAndTitle) {
  std::string error;
  auto platform = CreateSdlServices(test::PathOptions("surface"), error);
  ASSERT_TRUE(platform) << error;
  Display& display = *platform->display;

  WindowDesc desc;
  desc.client = {320, 200};
  desc.titleSjis = "vv \x83\x65\x83\x58\x83\x67";  // テスト
  ASSERT_TRUE(display.CreateWindow(0, desc));
  SDL_Window* window = SdlWindow(display, 0);
  ASSERT_NE(window, nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(window), "vv テスト");
  EXPECT_EQ(SdlWindowSize(display, 0), (Size{320, 200}));
  EXPECT_EQ(display.ClientSize(0), (Size{320, 200}));
  EXPECT_FALSE(display.IsVisible(0));
  display.Show(0, ShowMode::Show);
  EXPECT_TRUE(display.IsVisible(0));
  display.SetTitle(0, "\x8F\x49\x97\xB9");  // 終了
  EXPECT_STREQ(SDL_GetWindowTitle(window), "終了");

  EXPECT_FALSE(display.CreateWindow(0, desc)) << "the slot is taken";
  EXPECT_FALSE(display.CreateWindow(kMaxWindows, desc));
  EXPECT_FALSE(display.CreateWindow(-1, desc));
  desc.client = {0, 200};
  EXPECT_FALSE(display.CreateWindow(2, desc));

  desc.client = {100, 80};
  desc.framed = false;
  ASSERT_TRUE(display.CreateWindow(1, desc));
  EXPECT_TRUE(SDL_GetWindowFlags(SdlWindow(display, 1)) & SDL_WINDOW_BORDERLESS);
  EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_BORDERLESS);
  display.DestroyWindow(1);
  EXPECT_FALSE(display.WindowExists(1));
  EXPECT_EQ(WindowIdOf(display, 1), 0u);
  EXPECT_TRUE(display.WindowExists(0));
}

TEST(SdlDisplay, RefusesUnknownPresentPaths) {
  std::string error;
  EXPECT_EQ(CreateSdlServices(test::PathOptions("opengl"), error), nullptr);
  EXPECT_NE(error.find("opengl"), std::string::npos);
}

}  // namespace
}  // namespace vv::platform::sdl
