#include <gtest/gtest.h>

#include "fakes.h"

namespace zapwit::testing {
namespace {

// A test left running for tens of thousands of ticks overflows a 16-bit
// counter. The overflowing change must not be stored, nothing may escape
// Tick, the other fields stay as they were, and a key still ends the test
// and scores from the fields as they stand.
TEST(Overflow, LightStopsCountingAtTick32768AndStillScores) {
  Rig rig;
  rig.Start(TestMode::Light, 0.0f);  // green on tick 100
  rig.now = 1000.0f;
  rig.Ticks(32767);
  ASSERT_EQ(rig.state().StepCount, 32767);
  rig.log.clear();
  rig.Ticks(10000);  // tick 32768 onward overflow, every one of them
  EXPECT_EQ(rig.state().StepCount, 32767);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.state().Mode, TestMode::Light);
  rig.now = 1000.5f;
  rig.engine.KeyPressed('k');
  EXPECT_EQ(rig.display.lines,
            std::vector<std::string>{"Your score is  50 , 100 is perfect."});
  EXPECT_EQ(rig.state().Mode, TestMode::Idle);
}

TEST(Overflow, CounterStopsAtMinus32768AndScoresIt) {
  Rig rig;
  rig.Start(TestMode::Counter, 0.0f);  // 200
  rig.Ticks(200 + 32768);
  ASSERT_EQ(rig.state().Target, -32768);
  EXPECT_EQ(rig.display.box_caption, "-32768");
  rig.log.clear();
  rig.Ticks(5000);
  EXPECT_EQ(rig.state().Target, -32768);
  EXPECT_TRUE(rig.log.empty());
  rig.engine.KeyPressed('k');
  EXPECT_EQ(rig.display.lines,
            (std::vector<std::string>{"Your score is -32768 , 100 is perfect.",
                                      std::string(kRemark)}));
  EXPECT_EQ(rig.state().Score, -32768);
}

// After its go signal NUMBER parks SubTick at 99; it climbs to 32767 some
// 32 670 ticks later, and from there every tick overflows.
TEST(Overflow, NumberSubTickOverflowsLongAfterItsGoSignal) {
  Rig rig;
  rig.Start(TestMode::Number, 0.0f);  // go signal on tick 50
  rig.now = 20000.0f;
  rig.Ticks(50);
  const std::string caption = rig.display.box_caption;
  ASSERT_EQ(rig.state().SubTick, 99);
  rig.Ticks(32767 - 99);
  ASSERT_EQ(rig.state().SubTick, 32767);
  rig.log.clear();
  rig.Ticks(5000);
  EXPECT_EQ(rig.state().SubTick, 32767);
  EXPECT_EQ(rig.state().StepCount, 5);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.display.box_caption, caption);
  rig.now = 20001.25f;
  rig.engine.KeyPressed('k');
  EXPECT_EQ(rig.state().Score, -25);
}

// JUMP's step counter reaches 32767 on tick 327 670; the jump of tick
// 327 680 overflows it, and BOX moves no more.
TEST(Overflow, JumpStepCounterOverflowsAtTick327680) {
  Rig rig;
  rig.Start(TestMode::Jump, 0.0f);  // green on jump 5
  rig.now = 30000.0f;
  rig.Ticks(327670);
  ASSERT_EQ(rig.state().StepCount, 32767);
  const int left = rig.display.box_left;
  const int top = rig.display.box_top;
  rig.log.clear();
  rig.Ticks(400000 - 327670);
  EXPECT_EQ(rig.state().StepCount, 32767);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(rig.display.box_left, left);
  EXPECT_EQ(rig.display.box_top, top);
  EXPECT_EQ(rig.state().SubTick, 32767);
  rig.now = 30000.75f;
  rig.engine.KeyPressed('k');
  EXPECT_EQ(rig.display.lines,
            std::vector<std::string>{"Your score is  25 , 100 is perfect."});
}

}  // namespace
}  // namespace zapwit::testing
