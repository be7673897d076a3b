#include "dorov/project_settings.h"

#include <gtest/gtest.h>

namespace vv::dorov {
namespace {

TEST(ProjectSettings, ReadsEverySetting) {
  std::string error;
  auto cfg = ParseProjectSettings(
      "# sample\ntitle = 体験版\nwidth = 800\nheight = 600\nframed = 0\ndebug = 1\n"
      "sound = 1\nworker_thread = 1\nmaximize_box = 1\nimage_order = jpg png\nsound_order = wav\n",
      "game.ini", error);
  ASSERT_TRUE(cfg) << error;
  EXPECT_EQ(cfg->title, "\x91\xCC\x8C\xB1\x94\xC5");  // 体験版 in Shift-JIS
  EXPECT_EQ(cfg->clientWidth, 800);
  EXPECT_EQ(cfg->framedWindow, 0u);
  EXPECT_EQ(cfg->workerThread, 1);
  EXPECT_EQ(cfg->imageExtensionOrder, (std::array<uint8_t, 8>{3, 2, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(cfg->soundExtensionOrder, (std::array<uint8_t, 4>{1, 0, 0, 0}));
}

TEST(ProjectSettings, ErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"width = 8193\n", "game.ini:1: width must be 0 or 128..8192"},
      {"\nheight = ten\n", "game.ini:2: 'height' needs a number"},
      {"worker_thread = 2", "game.ini:1: worker_thread must be 0 or 1"},
      {"colour = red", "game.ini:1: unknown setting 'colour'"},
      {"title", "game.ini:1: expected 'name = value'"},
      {"image_order = tiff", "game.ini:1: image_order takes"},
      {"title = 😀", "game.ini:1: the title has a character Shift-JIS cannot hold"},
      {"width = 0\nheight = 480\n", "width and height must both be 0"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseProjectSettings(c.text, "game.ini", error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0) == 0 || error.find(c.error) != std::string::npos, true)
        << error;
  }
}

}  // namespace
}  // namespace vv::dorov
