#include "platform/headless/virtual_clock.h"

#include <gtest/gtest.h>

namespace vv::platform {
namespace {

TEST(VirtualClockTest, SleepingRunsThePeriodicWorkAtEachBoundary) {
  VirtualClock clock;
  EXPECT_TRUE(clock.IsVirtual());
  EXPECT_EQ(clock.NowMs(), 0u);
  std::vector<uint32_t> runs;  // the time each run saw
  clock.SetPeriodicWork(20, [&] { runs.push_back(clock.NowMs()); });

  clock.SleepMs(45);
  EXPECT_EQ(runs, (std::vector<uint32_t>{20, 40}));
  EXPECT_EQ(clock.NowMs(), 45u);
  clock.SleepMs(15);  // reaches 60 exactly
  EXPECT_EQ(runs, (std::vector<uint32_t>{20, 40, 60}));
  clock.SleepMs(19);
  EXPECT_EQ(runs.size(), 3u);
  clock.Advance(1);
  EXPECT_EQ(runs.back(), 80u);

  clock.SetPeriodicWork(0, nullptr);
  clock.SleepMs(100);
  EXPECT_EQ(runs.size(), 4u);
  EXPECT_EQ(clock.NowMs(), 180u);
}

TEST(VirtualClockTest, WorkThatSleepsOrReplacesItselfStaysOrderly) {
  VirtualClock clock;
  int runs = 0;
  clock.SetPeriodicWork(10, [&] {
    ++runs;
    clock.SleepMs(25);  // passes two boundaries without nested runs
    if (runs == 2) clock.SetPeriodicWork(0, nullptr);
  });
  clock.SleepMs(100);
  // 10 (to 35), 40 (to 65, then the work ends itself).
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(clock.NowMs(), 100u);
}

TEST(VirtualClockTest, LocalTimeIsAFixedDatePlusVirtualTime) {
  VirtualClock clock;
  LocalTime t = clock.Now();
  EXPECT_EQ(t.year, 2000);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.weekday, 6);
  EXPECT_EQ(t.hour, 0);
  clock.Advance(((24 + 1) * 60 + 1) * 60 * 1000 + 1001);  // a day, 1 h, 1 min, 1.001 s
  t = clock.Now();
  EXPECT_EQ(t.day, 2);
  EXPECT_EQ(t.weekday, 0);
  EXPECT_EQ(t.hour, 1);
  EXPECT_EQ(t.minute, 1);
  EXPECT_EQ(t.second, 1);
  EXPECT_EQ(t.millisecond, 1);
  // The millisecond timer wraps at 2^32 like a real one.
  clock.Advance((uint64_t{1} << 32) - clock.NowMs() + 5);
  EXPECT_EQ(clock.NowMs(), 5u);
}

}  // namespace
}  // namespace vv::platform
