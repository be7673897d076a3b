#include <gtest/gtest.h>

#include <fstream>

#include "common/encoding.h"
#include "platform/headless/headless_platform.h"
#include "platform/keycodes.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

WindowDesc Desc(Size client, Point position) {
  WindowDesc d;
  d.client = client;
  d.position = position;
  return d;
}

TEST(InputScriptTest, ParsesEveryAction) {
  const std::string text =
      "# a comment line\n"
      "\n"
      "at 1 key down shift   # held\n"
      "AT 2 Key Up 0x41\n"
      "at 3 press 7\n"
      "at 3 press 65\n"
      "at 4 click right 10 -20\n"
      "at 4 click 3 4\n"
      "at 5 move 640 480\n"
      "at 6 wheel -3\n"
      "at 7 close\n"
      "at 8 drop \"/tmp/a b.txt\" /tmp/c#d \"q\\\"uote\"\n"
      "at 9 screenshot\n"
      "at 9 screenshot menu-1.png\n"
      "at 10 press NUMPAD9\n"
      "at 10 press f24\n";
  std::vector<InputAction> a;
  std::string error;
  ASSERT_TRUE(ParseInputScript(text, a, error)) << error;
  ASSERT_EQ(a.size(), 14u);
  EXPECT_EQ(a[0].frame, 1u);
  EXPECT_EQ(a[0].kind, InputActionKind::KeyDown);
  EXPECT_EQ(a[0].key, kVkShift);
  EXPECT_EQ(a[1].kind, InputActionKind::KeyUp);
  EXPECT_EQ(a[1].key, kVkA);
  EXPECT_EQ(a[2].key, kVk0 + 7);  // one digit names the digit key
  EXPECT_EQ(a[3].key, 65);        // more digits are a code
  EXPECT_EQ(a[4].kind, InputActionKind::Click);
  EXPECT_EQ(a[4].key, kVkRButton);
  EXPECT_EQ(a[4].y, -20);
  EXPECT_EQ(a[5].key, kVkLButton);
  EXPECT_EQ(a[6].kind, InputActionKind::Move);
  EXPECT_EQ(a[6].x, 640);
  EXPECT_EQ(a[7].wheel, -3);
  EXPECT_EQ(a[8].kind, InputActionKind::Close);
  EXPECT_EQ(a[9].files, (std::vector<std::string>{"/tmp/a b.txt", "/tmp/c#d", "q\"uote"}));
  EXPECT_EQ(a[10].name, "");
  EXPECT_EQ(a[11].name, "menu-1.png");
  EXPECT_EQ(a[12].key, kVkNumpad0 + 9);
  EXPECT_EQ(a[13].key, kVkF1 + 23);
}

TEST(InputScriptTest, MalformedLinesNameTheirLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"at 1 press A\nat 2 press NOPE\n", "line 2: unknown key 'NOPE'"},
      {"press A", "line 1: expected 'at <frame> <action>'"},
      {"at 0 press A", "line 1: the frame must be a whole number from 1"},
      {"at x press A", "line 1: the frame must be a whole number from 1"},
      {"at 1 jump", "line 1: unknown action 'jump'"},
      {"at 1", "line 1: missing action after the frame"},
      {"\n\nat 1 key sideways A", "line 3: expected 'down' or 'up' after 'key'"},
      {"at 1 press A B", "line 1: 'press' takes 1 word(s)"},
      {"at 1 click left 1", "line 1: bad coordinates"},
      {"at 1 click up 1 2", "line 1: unknown button 'up'"},
      {"at 1 wheel 0", "line 1: wheel takes a nonzero whole number of notches"},
      {"at 1 drop", "line 1: 'drop' needs at least one path"},
      {"at 1 drop \"/tmp/open", "line 1: unclosed quote"},
      {"at 1 screenshot ../../etc/x", "line 1: bad screenshot name '../../etc/x'"},
      {"at 1 press 0x100", "line 1: unknown key '0x100'"},
      {"at 1 press F25", "line 1: unknown key 'F25'"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<InputAction> actions;
    std::string error;
    EXPECT_FALSE(ParseInputScript(text, actions, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
}

struct Seen {
  EventType type;
  int key = 0, x = 0, y = 0, wheel = 0;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Drain(EventQueue& q, std::vector<Event>* all = nullptr) {
  std::vector<Seen> out;
  Event e;
  while (q.Poll(e)) {
    out.push_back({e.type, e.key, e.x, e.y, e.wheel});
    if (all) all->push_back(e);
  }
  return out;
}

TEST(ScriptedInputTest, DeliversEachFramesEventsAndKeyState) {
  testing::TempGame game;
  game.Write("input.txt",
             "at 1 key down SHIFT\n"
             "at 2 press A\n"
             "at 2 click right 10 20\n"
             "at 3 key up shift\n"
             "at 3 wheel -2\n"
             "at 4 key down RCONTROL\n"
             "at 4 drop \"/tmp/a b.txt\" /tmp/曲.ogg\n"
             "at 4 close\n");
  HeadlessOptions options;
  options.inputScript = game.dir() + "/input.txt";
  auto platform = game.Headless(options);
  EventQueue& q = *platform->events;
  Input& in = *platform->input;
  KeyStates keys{};

  Event posted;
  posted.type = EventType::MenuCommand;
  posted.command = 42;
  q.Post(posted);
  EXPECT_EQ(Drain(q), (std::vector<Seen>{{EventType::MenuCommand}}));  // before any frame

  platform->FrameStarted(1);
  q.Post(posted);  // comes after the waiting scripted events
  EXPECT_EQ(Drain(q),
            (std::vector<Seen>{{EventType::KeyDown, kVkShift}, {EventType::MenuCommand}}));
  in.Sample(keys);
  EXPECT_EQ(keys[kVkShift], kKeyDown);
  EXPECT_EQ(keys[kVkLShift], kKeyDown);
  EXPECT_EQ(keys[kVkA], 0);

  platform->FrameStarted(2);
  in.Sample(keys);  // state is there before the events are taken
  EXPECT_EQ(keys[kVkA], kKeyDown);
  EXPECT_EQ(keys[kVkRButton], kKeyDown);
  EXPECT_EQ(in.Cursor(0), (Point{10, 20}));
  EXPECT_EQ(Drain(q), (std::vector<Seen>{{EventType::KeyDown, kVkA},
                                         {EventType::MouseMove, 0, 10, 20},
                                         {EventType::MouseDown, kVkRButton, 10, 20}}));

  platform->FrameStarted(3);
  in.Sample(keys);
  EXPECT_EQ(keys[kVkA], 0);
  EXPECT_EQ(keys[kVkRButton], 0);
  EXPECT_EQ(keys[kVkShift], 0);
  EXPECT_EQ(Drain(q), (std::vector<Seen>{{EventType::KeyUp, kVkA},
                                         {EventType::MouseUp, kVkRButton, 10, 20},
                                         {EventType::KeyUp, kVkShift},
                                         {EventType::MouseWheel, 0, 10, 20, -2}}));

  platform->FrameStarted(4);
  in.Sample(keys);
  EXPECT_EQ(keys[kVkRControl], kKeyDown);
  EXPECT_EQ(keys[kVkControl], kKeyDown);
  EXPECT_EQ(keys[kVkLControl], 0);
  std::vector<Event> all;
  ASSERT_EQ(Drain(q, &all).size(), 3u);
  EXPECT_EQ(all[1].type, EventType::DropFiles);
  EXPECT_EQ(all[1].files,
            (std::vector<std::string>{"/tmp/a b.txt", common::Utf8ToSjisLossy("/tmp/曲.ogg")}));
  EXPECT_EQ(all[2].type, EventType::Close);
  EXPECT_EQ(all[2].window, 0);

  platform->FrameStarted(5);
  EXPECT_TRUE(Drain(q).empty());
}

TEST(ScriptedInputTest, LateActionsComeWithTheNextFrameAndOtherWindowsSeeTheirOwnCursor) {
  testing::TempGame game;
  auto platform = game.Headless();
  auto& headless = static_cast<HeadlessPlatform&>(*platform);
  ASSERT_TRUE(platform->display->CreateWindow(0, Desc({100, 100}, {50, 50})));
  ASSERT_TRUE(platform->display->CreateWindow(1, Desc({10, 10}, {70, 40})));
  platform->FrameStarted(5);
  InputAction move;
  move.frame = 2;  // already past
  move.kind = InputActionKind::Move;
  move.x = 30;
  move.y = 5;
  headless.QueueAction(move);
  EXPECT_TRUE(Drain(*platform->events).empty());
  platform->FrameStarted(6);
  EXPECT_EQ(Drain(*platform->events), (std::vector<Seen>{{EventType::MouseMove, 0, 30, 5}}));
  EXPECT_EQ(platform->input->Cursor(1), (Point{10, 15}));
  platform->input->WarpCursor(1, {0, 0});
  EXPECT_EQ(platform->input->Cursor(0), (Point{20, -10}));
}

TEST(ScriptedInputTest, AMalformedScriptFileStopsTheStart) {
  testing::TempGame game;
  game.Write("bad.txt", "at 1 press A\nat 2 press\n");
  HeadlessOptions options;
  options.gameDir = game.dir();
  options.inputScript = game.dir() + "/bad.txt";
  std::string error;
  EXPECT_EQ(CreateHeadlessPlatform(options, error), nullptr);
  EXPECT_EQ(error, "input script " + options.inputScript + ": line 2: 'press' takes 1 word(s)");
  options.inputScript = game.dir() + "/missing.txt";
  EXPECT_EQ(CreateHeadlessPlatform(options, error), nullptr);
  EXPECT_NE(error.find("missing.txt"), std::string::npos);
}

TEST(ScriptedJoysticksTest, NoneUntilATestPlugsOneIn) {
  testing::TempGame game;
  auto platform = game.Headless();
  auto& pads = static_cast<HeadlessPlatform&>(*platform).JoystickScript();
  EXPECT_EQ(platform->joysticks->Count(), 0);
  const int index = pads.Add();
  pads.Set(index, {-1000, 500, 0x5});
  JoystickState s;
  ASSERT_TRUE(platform->joysticks->Read(index, s));
  EXPECT_EQ(s.x, -1000);
  EXPECT_EQ(s.buttons, 0x5u);
  pads.Unplug(index);
  EXPECT_EQ(platform->joysticks->Count(), 1);
  EXPECT_FALSE(platform->joysticks->Read(index, s));
}

}  // namespace
}  // namespace vv::platform
