// SDL events become engine window messages.
#include <SDL.h>
#include <gtest/gtest.h>

#include "common/encoding.h"
#include "platform/keycodes.h"
#include "platform/sdl/sdl_platform.h"
#include "sdl_test_support.h"

namespace vv::platform::sdl {
namespace {

class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    platform_ = CreateSdlServices(test::PathOptions("surface"), error);
    ASSERT_TRUE(platform_) << error;
    WindowDesc desc;
    desc.client = {64, 48};
    ASSERT_TRUE(platform_->display->CreateWindow(0, desc));
    ASSERT_TRUE(platform_->display->CreateWindow(1, desc));
    Event e;
    while (platform_->events->Poll(e)) {
    }
  }

  Uint32 IdOf(int slot) const { return WindowIdOf(*platform_->display, slot); }

  static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

  static void PushKey(Uint32 type, SDL_Scancode scancode, Uint32 windowId, bool repeat = false) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = windowId;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = scancode;
    Push(e);
  }

  static void PushWindow(SDL_WindowEventID event, Uint32 windowId) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.windowID = windowId;
    Push(e);
  }

  static void PushDrop(Uint32 type, Uint32 windowId, const char* file = nullptr) {
    SDL_Event e{};
    e.type = type;
    e.drop.windowID = windowId;
    e.drop.file = file ? SDL_strdup(file) : nullptr;
    Push(e);
  }

  // All the messages now waiting.
  std::vector<Event> PollAll() {
    std::vector<Event> out;
    Event e;
    while (platform_->events->Poll(e)) out.push_back(e);
    return out;
  }

  std::unique_ptr<Platform> platform_;
};

TEST_F(SdlEventsTest, PostedEventsFollowTheWaitingSdlEventsInOrder) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, IdOf(0));
  Event menu;
  menu.type = EventType::MenuCommand;
  menu.command = 5;
  platform_->events->Post(menu);
  menu.command = 6;
  platform_->events->Post(menu);
  PushKey(SDL_KEYUP, SDL_SCANCODE_A, IdOf(0));

  const std::vector<Event> got = PollAll();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].type, EventType::KeyDown);
  EXPECT_EQ(got[1].type, EventType::KeyUp);
  EXPECT_EQ(got[2].type, EventType::MenuCommand);
  EXPECT_EQ(got[2].command, 5);
  EXPECT_EQ(got[3].type, EventType::MenuCommand);
  EXPECT_EQ(got[3].command, 6);
}

TEST_F(SdlEventsTest, KeysBecomeVirtualKeysOfTheirWindow) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_F1, IdOf(0));
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, IdOf(1), true);
  PushKey(SDL_KEYUP, SDL_SCANCODE_INTERNATIONAL3, IdOf(1));
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_MUTE, IdOf(0));  // no virtual key
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_B, 9999);        // not our window
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_C, 0);           // no window: the main one

  const std::vector<Event> got = PollAll();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].type, EventType::KeyDown);
  EXPECT_EQ(got[0].key, kVkF1);
  EXPECT_EQ(got[0].window, 0);
  EXPECT_FALSE(got[0].repeat);
  EXPECT_EQ(got[1].key, kVkShift);
  EXPECT_EQ(got[1].window, 1);
  EXPECT_TRUE(got[1].repeat);
  EXPECT_EQ(got[2].type, EventType::KeyUp);
  EXPECT_EQ(got[2].key, kVkOem5);
  EXPECT_EQ(got[3].key, 0x43);
  EXPECT_EQ(got[3].window, 0);
}

TEST_F(SdlEventsTest, WindowCloseFocusAndQuit) {
  PushWindow(SDL_WINDOWEVENT_CLOSE, IdOf(1));
  PushWindow(SDL_WINDOWEVENT_FOCUS_GAINED, IdOf(0));
  PushWindow(SDL_WINDOWEVENT_FOCUS_LOST, IdOf(0));
  PushWindow(SDL_WINDOWEVENT_MOVED, IdOf(0));  // nothing for the engine
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  Push(quit);

  const std::vector<Event> got = PollAll();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].type, EventType::Close);
  EXPECT_EQ(got[0].window, 1);
  EXPECT_EQ(got[1].type, EventType::Activate);
  EXPECT_EQ(got[1].window, 0);
  EXPECT_EQ(got[2].type, EventType::Deactivate);
  EXPECT_EQ(got[3].type, EventType::Close);
  EXPECT_EQ(got[3].window, 0);
}

TEST_F(SdlEventsTest, MouseButtonsWheelAndMotion) {
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = IdOf(0);
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.x = 12;
  e.button.y = 34;
  Push(e);
  e.type = SDL_MOUSEBUTTONUP;
  e.button.button = SDL_BUTTON_X1;
  Push(e);
  e = {};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = IdOf(1);
  e.wheel.y = 2;
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  e.wheel.mouseX = 3;
  e.wheel.mouseY = 4;
  Push(e);
  e.wheel.y = 0;  // sideways only
  e.wheel.x = 1;
  Push(e);
  e = {};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = IdOf(0);
  e.motion.x = 40;
  e.motion.y = 30;
  Push(e);

  const std::vector<Event> got = PollAll();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].type, EventType::MouseDown);
  EXPECT_EQ(got[0].key, kVkRButton);
  EXPECT_EQ((Point{got[0].x, got[0].y}), (Point{12, 34}));
  EXPECT_EQ(got[1].type, EventType::MouseUp);
  EXPECT_EQ(got[1].key, kVkXButton1);
  EXPECT_EQ(got[2].type, EventType::MouseWheel);
  EXPECT_EQ(got[2].wheel, -2);
  EXPECT_EQ(got[2].window, 1);
  EXPECT_EQ((Point{got[2].x, got[2].y}), (Point{3, 4}));
  EXPECT_EQ(got[3].type, EventType::MouseMove);
  EXPECT_EQ((Point{got[3].x, got[3].y}), (Point{40, 30}));
}

TEST_F(SdlEventsTest, OneDropOfSeveralFilesIsOneMessage) {
  PushDrop(SDL_DROPBEGIN, IdOf(1));
  PushDrop(SDL_DROPFILE, IdOf(1), "/tmp/セーブ/a.txt");
  PushDrop(SDL_DROPFILE, IdOf(1), "/tmp/raw\x83\x65.bin");  // not UTF-8: kept as it is
  PushDrop(SDL_DROPCOMPLETE, IdOf(1));
  PushDrop(SDL_DROPCOMPLETE, IdOf(1));  // an empty drop says nothing

  const std::vector<Event> got = PollAll();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].type, EventType::DropFiles);
  EXPECT_EQ(got[0].window, 1);
  ASSERT_EQ(got[0].files.size(), 2u);
  EXPECT_EQ(got[0].files[0], *common::Utf8ToSjis("/tmp/セーブ/a.txt"));
  EXPECT_EQ(got[0].files[1], "/tmp/raw\x83\x65.bin");
}

}  // namespace
}  // namespace vv::platform::sdl
