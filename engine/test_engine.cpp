#include "engine/test_engine.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "display/colors.h"
#include "display/number_text.h"
#include "engine/checked_int16.h"
#include "engine/random_draw.h"
#include "engine/score.h"

namespace zapwit {
namespace {

// LIGHT turns BOX yellow on this tick, whatever its target.
constexpr std::int16_t kYellowTick = 100;
// JUMP and NUMBER take one step every this many ticks.
constexpr std::int16_t kTicksPerStep = 10;
// Parked in SubTick once NUMBER has shown its even number: the count then
// never comes back to kTicksPerStep, so BOX stays still.
constexpr std::int16_t kFrozenSubTick = 99;

// BOX's new left or top edge, in twips; keeps the 1005-twip BOX inside the
// client area.
constexpr int kPositionSpan = 5000;
constexpr int kPositionBase = 5;
// The candidate number NUMBER shows, made odd before it is shown.
constexpr int kNumberSpan = 99;
constexpr int kNumberBase = 1;

struct StartRule {
  std::string_view prompt;
  int span;
  int base;
};

constexpr StartRule RuleFor(TestMode test) {
  switch (test) {
    case TestMode::Light:
      return {kGreenPrompt, 300, 100};
    case TestMode::Jump:
      return {kGreenPrompt, 10, 5};
    case TestMode::Number:
      return {kEvenPrompt, 10, 5};
    case TestMode::Counter:
      return {kCounterPrompt, 100, 200};
    case TestMode::Idle:
      break;
  }
  return {};
}

}  // namespace

TestEngine::TestEngine(Display& display, std::function<float()> clock,
                       std::function<float()> rng)
    : display_(display), clock_(std::move(clock)), rng_(std::move(rng)) {}

const TestState& TestEngine::State() const { return state_; }

void TestEngine::Restore(const TestState& state) { state_ = state; }

void TestEngine::StartTest(TestMode test) {
  const StartRule rule = RuleFor(test);
  if (rule.span == 0) return;  // Idle, or not a test at all

  display_.PrintLine(std::string(rule.prompt));

  state_.GoTime = 0;
  state_.Mode = test;
  state_.Target = 0;
  state_.StepCount = 0;
  state_.DrawValue = 0;
  state_.SubTick = 0;

  for (Button button :
       {Button::Light, Button::Jump, Button::Number, Button::Counter}) {
    display_.HideButton(button);
  }

  if (test == TestMode::Number) display_.SetBoxColor(kButtonFace);
  // Every target fits in 16 bits, so this draw cannot fail.
  (void)Draw(state_.Target, rule.span, rule.base);
  if (test == TestMode::Counter) display_.SetBoxColor(kButtonFace);
}

void TestEngine::Tick() {
  switch (state_.Mode) {
    case TestMode::Idle:
      return;
    case TestMode::Light:
      return TickLight();
    case TestMode::Jump:
      return TickJump();
    case TestMode::Number:
      return TickNumber();
    case TestMode::Counter:
      return TickCounter();
  }
}

void TestEngine::TickLight() {
  if (!CheckedAdd(state_.StepCount, 1)) return;
  // Both checks run on the same tick: a target of 100 turns BOX yellow and
  // then green at once, and it ends green.
  if (state_.StepCount == kYellowTick) display_.SetBoxColor(kYellow);
  if (state_.StepCount == state_.Target) {
    display_.SetBoxColor(kGreen);
    GoSignal();
  }
}

bool TestEngine::NextStep() {
  if (!CheckedAdd(state_.SubTick, 1)) return false;
  if (state_.SubTick != kTicksPerStep) return false;
  return CheckedAdd(state_.StepCount, 1);
}

void TestEngine::TickJump() {
  if (!NextStep()) return;
  if (!JumpBox()) return;
  state_.SubTick = 0;
  if (state_.StepCount == state_.Target) {
    // BOX keeps jumping after it turns green, until the key.
    display_.SetBoxColor(kGreen);
    GoSignal();
  }
}

void TestEngine::TickNumber() {
  if (!NextStep()) return;
  state_.SubTick = 0;
  if (!JumpBox()) return;
  if (!Draw(state_.DrawValue, kNumberSpan, kNumberBase)) return;
  // Every number before the go signal is odd.
  if (state_.DrawValue % 2 == 0 && !CheckedAdd(state_.DrawValue, -1)) return;
  display_.SetBoxCaption(SignedText(state_.DrawValue));
  if (state_.StepCount == state_.Target) {
    // The odd caption is replaced before the window repaints, so the player
    // only ever sees the even one.
    if (!CheckedAdd(state_.DrawValue, 1)) return;
    display_.SetBoxCaption(SignedText(state_.DrawValue));
    GoSignal();
    state_.SubTick = kFrozenSubTick;
  }
}

void TestEngine::TickCounter() {
  if (!CheckedAdd(state_.Target, -1)) return;
  display_.SetBoxCaption(SignedText(state_.Target));
}

bool TestEngine::JumpBox() {
  if (!Draw(state_.DrawValue, kPositionSpan, kPositionBase)) return false;
  display_.SetBoxLeft(state_.DrawValue);
  if (!Draw(state_.DrawValue, kPositionSpan, kPositionBase)) return false;
  display_.SetBoxTop(state_.DrawValue);
  return true;
}

bool TestEngine::Draw(std::int16_t& field, int span, int base) {
  return CheckedStore(field, RandomDraw(span, base, rng_()));
}

void TestEngine::GoSignal() { state_.GoTime = clock_(); }

void TestEngine::KeyPressed(std::int16_t /*key*/) {
  switch (state_.Mode) {
    case TestMode::Light:
      // Only once a tick has passed since BOX turned green; a key before
      // that ends the test without a score.
      if (state_.StepCount > state_.Target && TimedScore()) PrintScore();
      break;
    case TestMode::Jump:
    case TestMode::Number:
      // No check for the go signal: an early key measures from midnight.
      if (TimedScore()) PrintScore();
      break;
    case TestMode::Counter:
      CounterScore();
      PrintScore();
      break;
    case TestMode::Idle:
      break;
  }
  // The stored score, not only one just computed: every key after a negative
  // result repeats the remark.
  if (state_.Score < 0) display_.PrintLine(std::string(kRemark));
  state_.Mode = TestMode::Idle;
}

bool TestEngine::TimedScore() {
  const auto score = ReactionScore(clock_(), state_.GoTime);
  if (!score) return false;
  state_.Score = *score;
  return true;
}

void TestEngine::CounterScore() {
  state_.Score = 100.0 - std::fabs(static_cast<double>(state_.Target) - 100.0);
}

void TestEngine::PrintScore() {
  std::string line(kScorePrefix);
  line += PrintNumberText(state_.Score);
  line += kScoreSuffix;
  display_.PrintLine(line);
}

}  // namespace zapwit
