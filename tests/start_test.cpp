#include <gtest/gtest.h>

#include "display/colors.h"
#include "fakes.h"

namespace zapwit::testing {
namespace {

constexpr float kLargestBelowOne = 0x1.fffffep-1f;
const std::vector<std::string> kHideAll = {
    "HideButton(LIGHT)", "HideButton(JUMP)", "HideButton(NUMBER)",
    "HideButton(COUNTER)"};

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A start prints the prompt before it hides the buttons, hides all four in
// row order, and sets NUMBER's BOX colour before the target draw but
// COUNTER's after it. LIGHT and JUMP leave BOX alone.
TEST(StartTest, CallsTheDisplayInTheRightOrder) {
  const std::string face = "SetBoxColor(0x8000000F)";
  const struct {
    TestMode test;
    std::vector<std::string> calls;
  } cases[] = {
      {TestMode::Light, Concat({{"PrintLine(Press any key when box is green.)"},
                                kHideAll,
                                {"Rng"}})},
      {TestMode::Jump, Concat({{"PrintLine(Press any key when box is green.)"},
                               kHideAll,
                               {"Rng"}})},
      {TestMode::Number,
       Concat({{"PrintLine(Press any key when an even number comes up.)"},
               kHideAll,
               {face, "Rng"}})},
      {TestMode::Counter,
       Concat({{"PrintLine(Press any key when counter reaches 100.)"},
               kHideAll,
               {"Rng", face}})},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.engine.StartTest(c.test);
    EXPECT_EQ(rig.log, c.calls) << static_cast<int>(c.test);
    EXPECT_EQ(rig.state().Mode, c.test);
    EXPECT_EQ(rig.display.box_caption, "");
  }
}

TEST(StartTest, TargetsSpanTheWholeRandomRange) {
  const struct {
    TestMode test;
    std::int16_t at_zero, at_top;
  } cases[] = {
      {TestMode::Light, 100, 399},
      {TestMode::Jump, 5, 14},
      {TestMode::Number, 5, 14},
      {TestMode::Counter, 200, 299},
  };
  for (const auto& c : cases) {
    Rig low, high;
    low.Start(c.test, 0.0f);
    high.Start(c.test, kLargestBelowOne);
    EXPECT_EQ(low.state().Target, c.at_zero) << static_cast<int>(c.test);
    EXPECT_EQ(high.state().Target, c.at_top) << static_cast<int>(c.test);
  }
}

// A start wipes what a test left behind, except the last score, which the
// remark still looks at.
TEST(StartTest, ResetsEverythingButTheScore) {
  Rig rig;
  rig.Start(TestMode::Number, 0.0f);  // go signal on step 5
  rig.now = 500.0f;
  rig.Ticks(60);
  rig.now = 510.0f;
  rig.engine.KeyPressed('x');
  const double score = rig.state().Score;
  ASSERT_LT(score, 0);
  ASSERT_NE(rig.state().GoTime, 0);

  rig.Start(TestMode::Light, 0.5f);
  const TestState& s = rig.state();
  EXPECT_EQ(s.Mode, TestMode::Light);
  EXPECT_EQ(s.GoTime, 0);
  EXPECT_EQ(s.StepCount, 0);
  EXPECT_EQ(s.DrawValue, 0);
  EXPECT_EQ(s.SubTick, 0);
  EXPECT_EQ(s.Target, 250);
  EXPECT_EQ(s.Score, score);
}

TEST(StartTest, IdleOrUnknownTestDoesNothing) {
  for (int mode : {0, 5, -1, 32767}) {
    Rig rig;
    rig.engine.StartTest(static_cast<TestMode>(mode));
    EXPECT_TRUE(rig.log.empty()) << mode;
    EXPECT_EQ(rig.state().Mode, TestMode::Idle);
  }
}

}  // namespace
}  // namespace zapwit::testing
