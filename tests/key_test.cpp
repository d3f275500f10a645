#include <gtest/gtest.h>

#include <cmath>

#include "display/number_text.h"
#include "engine/score.h"
#include "fakes.h"

namespace zapwit::testing {
namespace {

constexpr float kLargestBelowOne = 0x1.fffffep-1f;
const std::string kRemarkText(kRemark);

std::string ScoreLine(const char* number) {
  return std::string("Your score is ") + number + ", 100 is perfect.";
}

TEST(Score, RoundsHalvesToTheEvenNeighbour) {
  const std::pair<double, double> cases[] = {
      {87.5, 88},
      {86.5, 86},
      {0.5, 0},
      {1.5, 2},
      {-0.5, -0},
      {-1.5, -2},
      {-86.5, -86},
      {-87.5, -88},
      {87.49, 87},
      {87.51, 88},
      {-4319900.0, -4319900},
      {2.5, 2},
  };
  for (const auto& [raw, rounded] : cases) {
    EXPECT_EQ(RoundHalfEven(raw), rounded) << raw;
  }
}

// 100 less a point per hundredth of a second, across midnight too; nothing
// when the result cannot be a 32-bit score.
TEST(Score, ReactionScoreFromClockReadings) {
  const struct {
    float now;
    double go_time;
    std::optional<std::int32_t> score;
  } cases[] = {
      {45000.5f, 45000.25, 75},
      {45001.0f, 45000.0, 0},
      {45001.01f, 45000.0, -1},
      {100.125f, 100.0, 88},      // 87.5
      {100.375f, 100.0, 62},      // 62.5
      {43200.0f, 0.0, -4319900},  // an early key measures from midnight
      {0.25f, 86399.75, 50},      // go before midnight, key after it
      {0.0f, 86399.0, 0},
      {86399.0f, 86399.0, 100},
      {std::nanf(""), 0.0, std::nullopt},
      {3e38f, 0.0, std::nullopt},
      {-3e38f, 0.0, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReactionScore(c.now, c.go_time), c.score)
        << c.now << " - " << c.go_time;
  }
}

// A whole game of each timed test, from the key to the printed lines.
TEST(KeyPressed, TimedTestsPrintTheScoreLineAndTheRemarkWhenNegative) {
  const struct {
    TestMode test;
    int ticks;  // from the start to the key
    float go_clock, key_clock;
    std::vector<std::string> lines;
    double score;
  } cases[] = {
      {TestMode::Light, 101, 45000.25f, 45000.5f, {ScoreLine(" 75 ")}, 75},
      {TestMode::Jump, 55, 45000.25f, 45000.5f, {ScoreLine(" 75 ")}, 75},
      {TestMode::Number, 55, 45000.25f, 45000.5f, {ScoreLine(" 75 ")}, 75},
      {TestMode::Jump, 50, 100.0f, 101.0f, {ScoreLine(" 0 ")}, 0},
      {TestMode::Number,
       50,
       100.0f,
       102.0f,
       {ScoreLine("-100 "), kRemarkText},
       -100},
      // Before the go signal JUMP and NUMBER measure from midnight.
      {TestMode::Jump,
       49,
       0.0f,
       43200.0f,
       {ScoreLine("-4319900 "), kRemarkText},
       -4319900},
      {TestMode::Number,
       0,
       0.0f,
       43200.0f,
       {ScoreLine("-4319900 "), kRemarkText},
       -4319900},
      // Across midnight: one day is added, not a score above 100.
      {TestMode::Jump, 52, 86399.75f, 0.25f, {ScoreLine(" 50 ")}, 50},
      // LIGHT scores only a tick after green; before that the key is silent.
      {TestMode::Light, 100, 45000.25f, 45000.5f, {}, 0},
      {TestMode::Light, 99, 45000.25f, 45000.5f, {}, 0},
      {TestMode::Light, 0, 45000.25f, 45000.5f, {}, 0},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.Start(c.test, 0.0f);  // LIGHT goes green on tick 100, others on 50
    rig.now = c.go_clock;
    rig.Ticks(c.ticks);
    rig.now = c.key_clock;
    rig.engine.KeyPressed('a');
    const int id = static_cast<int>(c.test) * 1000 + c.ticks;
    EXPECT_EQ(rig.display.lines, c.lines) << id;
    EXPECT_EQ(rig.state().Score, c.score) << id;
    EXPECT_EQ(rig.state().Mode, TestMode::Idle) << id;
  }
}

// COUNTER scores 100 less the distance of the count from 100, before the
// first tick too (BOX shows no number yet, but the target is live).
TEST(KeyPressed, CounterScoreCountsDistanceFrom100) {
  const struct {
    float unit;  // 0 gives 200, the largest gives 299
    int ticks;
    double score;
    bool remark;
  } cases[] = {
      {0.0f, 100, 100, false},            // shows 100
      {0.0f, 103, 97, false},             // shows 97
      {0.0f, 97, 97, false},              // shows 103
      {kLargestBelowOne, 49, -50, true},  // shows 250
      {0.0f, 205, -5, true},              // shows -5
      {0.0f, 0, 0, false},                // before the first tick: 200
      {kLargestBelowOne, 0, -99, true},   // before the first tick: 299
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.Start(TestMode::Counter, c.unit);
    rig.Ticks(c.ticks);
    rig.engine.KeyPressed(' ');
    std::vector<std::string> want = {
        ScoreLine(PrintNumberText(c.score).c_str())};
    if (c.remark) want.push_back(kRemarkText);
    EXPECT_EQ(rig.display.lines, want) << c.ticks;
    EXPECT_EQ(rig.state().Score, c.score);
    EXPECT_EQ(rig.state().Mode, TestMode::Idle);
  }
}

// The remark looks at the stored score, so every key in Idle after a
// negative result repeats it, and a silent LIGHT key can print it alone.
TEST(KeyPressed, RemarkFollowsTheStoredScore) {
  Rig rig;
  rig.engine.KeyPressed('a');
  EXPECT_TRUE(rig.log.empty()) << "a key before any test changes nothing";

  rig.Start(TestMode::Counter, kLargestBelowOne);  // 299: scores -99
  rig.engine.KeyPressed('a');
  ASSERT_EQ(rig.state().Score, -99);
  rig.display.lines.clear();
  for (int i = 0; i < 3; ++i) rig.engine.KeyPressed('a');
  EXPECT_EQ(rig.display.lines, std::vector<std::string>(3, kRemarkText));
  EXPECT_EQ(rig.state().Score, -99);

  rig.Start(TestMode::Light, 0.0f);
  rig.Ticks(5);
  rig.engine.KeyPressed('a');
  EXPECT_EQ(rig.display.lines, std::vector<std::string>{kRemarkText});
  EXPECT_EQ(rig.state().Mode, TestMode::Idle);
}

TEST(KeyPressed, EndsTheTestSoLaterTicksDoNothing) {
  for (TestMode test :
       {TestMode::Light, TestMode::Jump, TestMode::Number, TestMode::Counter}) {
    Rig rig;
    rig.Start(test, 0.0f);
    rig.Ticks(20);
    rig.engine.KeyPressed('q');
    const TestState before = rig.state();
    rig.log.clear();
    rig.Ticks(500);
    EXPECT_TRUE(rig.log.empty()) << static_cast<int>(test);
    EXPECT_EQ(rig.state().StepCount, before.StepCount);
    EXPECT_EQ(rig.state().Target, before.Target);
  }
}

}  // namespace
}  // namespace zapwit::testing
