#include "window/tick_schedule.h"

#include <gtest/gtest.h>

#include <random>

namespace zapwit {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using TimePoint = TickSchedule::TimePoint;

constexpr TimePoint kStart{std::chrono::seconds(1000)};

TEST(TickSchedule, WaitsAreRoundedUpSoTheTimerNeverFiresEarly) {
  const struct {
    microseconds at;  // after the start
    bool tick;
    milliseconds wait_after;
  } cases[] = {
      {microseconds(0), false, milliseconds(16)},      // 15.625 ms left
      {microseconds(15'000), false, milliseconds(1)},  // 0.625 ms left
      {microseconds(15'625), true, milliseconds(16)},  // due: next 31.25
      {microseconds(16'000), true, milliseconds(16)},  // 15.25 ms left
      {microseconds(31'250), true, milliseconds(0)},   // behind: 31.25 due
  };
  for (const auto& c : cases) {
    TickSchedule schedule(kTickPeriod, kStart);
    EXPECT_EQ(schedule.Fire(kStart + c.at), c.tick) << c.at.count();
    EXPECT_EQ(schedule.WaitFrom(kStart + c.at), c.wait_after) << c.at.count();
  }
}

// The waitable timer is armed for the exact time left, never rounded: a
// whole-millisecond wait would make every tick up to 1 ms late.
TEST(TickSchedule, ExactTimeToTheDeadlineForFinerTimers) {
  using std::chrono::nanoseconds;
  const struct {
    nanoseconds at;
    nanoseconds left;
  } cases[] = {
      {nanoseconds(0), nanoseconds(15'625'000)},
      {nanoseconds(15'624'999), nanoseconds(1)},
      {nanoseconds(15'625'000), nanoseconds(0)},  // due now
      {nanoseconds(20'000'000), nanoseconds(0)},  // late: never negative
  };
  for (const auto& c : cases) {
    const TickSchedule schedule(kTickPeriod, kStart);
    EXPECT_EQ(schedule.TimeTo(kStart + c.at), c.left) << c.at.count();
  }
}

// A late firing does not push later deadlines back: a short stall is made
// up tick by tick, a long one is dropped rather than replayed in a burst.
TEST(TickSchedule, CatchesUpShortStallsAndDropsLongOnes) {
  TickSchedule short_stall(kTickPeriod, kStart);
  const TimePoint late = kStart + 5 * kTickPeriod + microseconds(100);
  int ticks = 0;
  while (short_stall.Fire(late)) ++ticks;
  EXPECT_EQ(ticks, 5);
  EXPECT_EQ(short_stall.Deadline(), kStart + 6 * kTickPeriod);

  TickSchedule long_stall(kTickPeriod, kStart);
  const TimePoint asleep = kStart + std::chrono::seconds(30);
  EXPECT_TRUE(long_stall.Fire(asleep));
  EXPECT_FALSE(long_stall.Fire(asleep));
  EXPECT_EQ(long_stall.Deadline(), asleep + kTickPeriod);
}

// 20 s of firings, each up to 5 ms late at random, deliver 1280 ticks.
TEST(TickSchedule, JitteryFiringsDoNotDrift) {
  TickSchedule schedule(kTickPeriod, kStart);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> lateness_us(0, 5000);
  const TimePoint end = kStart + std::chrono::seconds(20);
  TimePoint now = kStart;
  int ticks = 0;
  while (true) {
    now += schedule.WaitFrom(now) + microseconds(lateness_us(random));
    if (now > end) break;
    ticks += schedule.Fire(now);
  }
  EXPECT_NEAR(ticks, 1280, 1);
}

}  // namespace
}  // namespace zapwit
