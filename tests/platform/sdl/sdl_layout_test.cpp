// Letterbox layout and the mapping between output and client pixels.
#include <gtest/gtest.h>

#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {
namespace {

TEST(SdlLayout, FitsFramesIntoOutputs) {
  struct Case {
    Size client, output;
    Rect expected;
  };
  const Case cases[] = {
      {{640, 480}, {640, 480}, {0, 0, 640, 480}},          // windowed: 1:1
      {{640, 480}, {1920, 1080}, {320, 60, 1600, 1020}},   // whole factor 2
      {{320, 240}, {1920, 1080}, {320, 60, 1600, 1020}},   // whole factor 4
      {{800, 600}, {1920, 1080}, {240, 0, 1680, 1080}},    // 1.8, height-bound
      {{1024, 768}, {1280, 720}, {160, 0, 1120, 720}},     // below 2: aspect fit
      {{1280, 720}, {1280, 1024}, {0, 152, 1280, 872}},    // width-bound
      {{640, 480}, {320, 240}, {0, 0, 320, 240}},          // larger than the output
      {{0, 480}, {640, 480}, {}},
      {{640, 480}, {0, 0}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitFrame(c.client, c.output), c.expected)
        << c.client.width << "x" << c.client.height << " in " << c.output.width << "x"
        << c.output.height;
  }
}

TEST(SdlLayout, MapsOutputPointsToClientPixels) {
  const Size client{640, 480};
  const Rect dest{320, 60, 1600, 1020};  // factor 2
  EXPECT_EQ(OutputToClient({320, 60}, client, dest), (Point{0, 0}));
  EXPECT_EQ(OutputToClient({321, 61}, client, dest), (Point{0, 0}));
  EXPECT_EQ(OutputToClient({322, 60}, client, dest), (Point{1, 0}));
  EXPECT_EQ(OutputToClient({1599, 1019}, client, dest), (Point{639, 479}));
  // Border points lie outside the client area, on the right side of it.
  EXPECT_EQ(OutputToClient({319, 59}, client, dest), (Point{-1, -1}));
  EXPECT_EQ(OutputToClient({1600, 1020}, client, dest), (Point{640, 480}));
  EXPECT_EQ(ClientToOutput({0, 0}, client, dest), (Point{321, 61}));
}

TEST(SdlLayout, ClientPixelCentresMapBackToThemselves) {
  const Size client{800, 600};
  for (const Size output : {Size{800, 600}, Size{1920, 1080}, Size{1000, 1000}, Size{1600, 1200}}) {
    const Rect dest = FitFrame(client, output);
    for (int y = 0; y < client.height; y += 7) {
      for (int x = 0; x < client.width; x += 5) {
        const Point o = ClientToOutput({x, y}, client, dest);
        ASSERT_EQ(OutputToClient(o, client, dest), (Point{x, y}))
            << "output " << output.width << "x" << output.height;
      }
    }
  }
}

}  // namespace
}  // namespace vv::platform::sdl
