#include <gtest/gtest.h>

#include "display/colors.h"
#include "fakes.h"

namespace zapwit::testing {
namespace {

constexpr float kLargestBelowOne = 0x1.fffffep-1f;
using Calls = std::vector<std::string>;

// Runs ticks 1..last and returns the calls each tick made, by tick number.
std::vector<Calls> CallsPerTick(Rig& rig, int last) {
  std::vector<Calls> per_tick(last + 1);
  for (int tick = 1; tick <= last; ++tick) {
    rig.log.clear();
    rig.engine.Tick();
    per_tick[tick] = rig.log;
  }
  return per_tick;
}

TEST(Tick, IdleTicksDoNothing) {
  Rig rig;
  rig.Ticks(1000);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.state().StepCount, 0);
}

// LIGHT goes yellow on tick 100 and green on its target tick, with the go
// time read right after the colour change. Both checks run on the same tick,
// so a target of 100 goes yellow and green at once and ends green.
TEST(Tick, LightTurnsYellowThenGreenOnItsTargetTick) {
  const Calls yellow = {"SetBoxColor(0xFFFF)"};
  const Calls green = {"SetBoxColor(0xFF00)", "Clock"};
  const Calls both = {"SetBoxColor(0xFFFF)", "SetBoxColor(0xFF00)", "Clock"};
  const struct {
    float unit;
    int target;
    std::vector<std::pair<int, Calls>> expected;  // ticks not listed: nothing
  } cases[] = {
      {0.0f, 100, {{100, both}}},
      {0.5f, 250, {{100, yellow}, {250, green}}},
      {kLargestBelowOne, 399, {{100, yellow}, {399, green}}},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.Start(TestMode::Light, c.unit);
    ASSERT_EQ(rig.state().Target, c.target);
    rig.now = 1234.5f;
    const auto per_tick = CallsPerTick(rig, 450);
    for (int tick = 1; tick <= 450; ++tick) {
      Calls want;
      for (const auto& [at, calls] : c.expected) {
        if (at == tick) want = calls;
      }
      EXPECT_EQ(per_tick[tick], want)
          << "target " << c.target << " tick " << tick;
    }
    EXPECT_EQ(rig.display.box_color, kGreen);
    EXPECT_EQ(rig.state().GoTime, 1234.5);
    EXPECT_EQ(rig.state().StepCount, 450);
  }
}

// JUMP moves BOX (left edge first) on every tenth tick and turns it green
// on jump number Target, then keeps jumping.
TEST(Tick, JumpMovesEveryTenthTickAndGoesGreenOnItsTargetJump) {
  Rig rig;
  rig.Start(TestMode::Jump, 0.0f);  // Target 5
  rig.fallback_random = 0.0f;
  rig.randoms = {0.0f, kLargestBelowOne};  // first jump: left 5, top 5004
  rig.now = 777.0f;
  const auto per_tick = CallsPerTick(rig, 70);
  const Calls jump = {"Rng", "SetBoxLeft(5)", "Rng", "SetBoxTop(5)"};
  for (int tick = 1; tick <= 70; ++tick) {
    Calls want;
    if (tick == 10) {
      want = {"Rng", "SetBoxLeft(5)", "Rng", "SetBoxTop(5004)"};
    } else if (tick == 50) {
      want = jump;
      want.push_back("SetBoxColor(0xFF00)");
      want.push_back("Clock");
    } else if (tick % 10 == 0) {
      want = jump;
    }
    EXPECT_EQ(per_tick[tick], want) << "tick " << tick;
  }
  EXPECT_EQ(rig.state().GoTime, 777.0);
  EXPECT_EQ(rig.state().StepCount, 7);
}

// NUMBER jumps and shows an odd number on every tenth tick; on its target
// step the odd number is replaced within the tick by the even one above it,
// and BOX then stays still.
TEST(Tick, NumberShowsOddNumbersThenStopsOnAnEvenOne) {
  const struct {
    float number_unit;  // for every step's number draw
    const char* odd;
    const char* even;
  } cases[] = {
      {0.0f, " 1", " 2"},                 // draws 1, already odd
      {0.5f, " 49", " 50"},               // draws 50, made odd
      {kLargestBelowOne, " 99", " 100"},  // draws 99, the largest
      {0.0102f, " 1", " 2"},              // draws 2, made odd
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.Start(TestMode::Number, 0.0f);  // Target 5
    for (int step = 0; step < 8; ++step) {
      rig.randoms.insert(rig.randoms.end(), {0.25f, 0.75f, c.number_unit});
    }
    rig.now = 86000.0f;
    const auto per_tick = CallsPerTick(rig, 200);
    for (int tick = 1; tick <= 200; ++tick) {
      Calls want;
      if (tick % 10 == 0 && tick <= 50) {
        want = {"Rng", "SetBoxLeft(1255)",
                "Rng", "SetBoxTop(3755)",
                "Rng", std::string("SetBoxCaption(") + c.odd + ")"};
      }
      if (tick == 50) {
        want.push_back(std::string("SetBoxCaption(") + c.even + ")");
        want.push_back("Clock");
      }
      EXPECT_EQ(per_tick[tick], want) << c.odd << " tick " << tick;
    }
    EXPECT_EQ(rig.display.box_caption, c.even);
    EXPECT_EQ(rig.state().GoTime, 86000.0);
    EXPECT_EQ(rig.state().StepCount, 5);
  }
}

TEST(Tick, CounterCountsDownOnePerTickPastZero) {
  Rig rig;
  rig.Start(TestMode::Counter, 0.0f);  // Target 200
  EXPECT_EQ(rig.display.box_caption, "");
  const auto per_tick = CallsPerTick(rig, 201);
  const std::pair<int, const char*> shown[] = {
      {1, " 199"}, {100, " 100"}, {199, " 1"}, {200, " 0"}, {201, "-1"}};
  for (const auto& [tick, caption] : shown) {
    EXPECT_EQ(per_tick[tick],
              Calls{std::string("SetBoxCaption(") + caption + ")"})
        << tick;
  }
  EXPECT_EQ(rig.state().Target, -1);
}

}  // namespace
}  // namespace zapwit::testing
