#include "shell/pacing.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"

namespace vv::shell {
namespace {

// A clock that only moves when slept on or pushed by the test.
class StepClock final : public platform::Clock {
 public:
  uint32_t now = 0;
  std::vector<uint32_t> sleeps;
  uint32_t NowMs() override { return now; }
  void SleepMs(uint32_t ms) override {
    sleeps.push_back(ms);
    now += ms;
  }
  platform::LocalTime Now() override { return {}; }
  void SetPeriodicWork(uint32_t, std::function<void()>) override {}
  bool IsVirtual() const override { return true; }
};

TEST(PaceFrame, SixtyFramesPerSecondCarryTheFraction) {
  StepClock clock;
  FrameClockState state;
  for (int i = 0; i < 60; ++i) EXPECT_FALSE(PaceFrame(state, clock));
  const std::vector<uint32_t> first(clock.sleeps.begin(), clock.sleeps.begin() + 9);
  EXPECT_EQ(first, (std::vector<uint32_t>{16, 17, 16, 17, 17, 16, 17, 17, 16}));
  EXPECT_EQ(clock.now, 999u);
  EXPECT_EQ(state.lastFrameTime, 999u);
  EXPECT_EQ(state.frameClock, 999u);
}

TEST(PaceFrame, WorkDuringTheFrameShortensTheSleep) {
  StepClock clock;
  FrameClockState state;
  clock.now = 10;  // the frame's work took 10 ms of its 16
  EXPECT_FALSE(PaceFrame(state, clock));
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{6});
  EXPECT_EQ(state.lastFrameTime, 16u);
}

TEST(PaceFrame, LatenessRules) {
  struct Case {
    uint32_t elapsed;
    uint32_t frameSkip;
    bool skip;
    uint32_t reference;  // LastFrameTime afterwards
  } cases[] = {
      // 300 ms late: the schedule restarts at now, nothing is skipped.
      {16 + 300, 1, false, 316},
      // Three periods late (48 ms) but under 250: skipped while skip is on.
      {16 + 48, 1, true, 64 + 48},
      {16 + 48, 0, false, 64 + 48},
      // Just under three periods: presented.
      {16 + 47, 1, false, 63 + 47},
      // Exactly on time is "late by 0": presented, no sleep.
      {16, 1, false, 16},
  };
  for (const auto& c : cases) {
    StepClock clock;
    FrameClockState state;
    state.frameSkipEnabled = c.frameSkip;
    clock.now = c.elapsed;
    EXPECT_EQ(PaceFrame(state, clock), c.skip) << "elapsed " << c.elapsed;
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(state.lastFrameTime, c.reference) << "elapsed " << c.elapsed;
    EXPECT_EQ(state.frameClock, c.reference);
  }
}

TEST(PaceFrame, TimerWrapAroundIsOrdinaryArithmetic) {
  StepClock clock;
  FrameClockState state;
  state.lastFrameTime = 0xFFFFFFF0u;
  clock.now = 0xFFFFFFF8u;  // 8 ms into the frame
  EXPECT_FALSE(PaceFrame(state, clock));
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{8});
  EXPECT_EQ(state.lastFrameTime, 0u);
}

TEST(PaceFrame, OtherRates) {
  for (int fps : {1, 30, 144, 1000}) {
    StepClock clock;
    FrameClockState state;
    state.framesPerSecond = fps;
    for (int i = 0; i < fps; ++i) PaceFrame(state, clock);
    // A whole second, less at most the one millisecond the fraction holds.
    EXPECT_GE(clock.now, 999u) << fps;
    EXPECT_LE(clock.now, 1000u) << fps;
  }
}

}  // namespace
}  // namespace vv::shell
