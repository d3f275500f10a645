#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "display/display.h"

namespace zapwit {

enum class TestMode : std::int16_t {
  Idle = 0,
  Light = 1,
  Jump = 2,
  Number = 3,
  Counter = 4
};

// The whole state of a game. Every field is zero at creation.
struct TestState {
  TestMode Mode{};
  // LIGHT: the tick of the go signal. JUMP, NUMBER: the step of the go
  // signal. COUNTER: the live count-down value shown in BOX.
  std::int16_t Target{};
  // LIGHT: ticks since the start. JUMP, NUMBER: steps since the start.
  std::int16_t StepCount{};
  // The latest position (twips) or number drawn during a tick.
  std::int16_t DrawValue{};
  // JUMP, NUMBER: ticks inside the current step.
  std::int16_t SubTick{};
  // Clock reading (seconds since local midnight) at the go signal; 0 before.
  double GoTime{};
  // The last score computed. A start does not reset it, and a key that
  // computes no score leaves it alone.
  double Score{};
};

// The prompts and the remark, exactly as the player reads them.
inline constexpr std::string_view kGreenPrompt =
    "Press any key when box is green.";
inline constexpr std::string_view kEvenPrompt =
    "Press any key when an even number comes up.";
inline constexpr std::string_view kCounterPrompt =
    "Press any key when counter reaches 100.";
inline constexpr std::string_view kRemark = "Very poor. Were you even looking?";
inline constexpr std::string_view kScorePrefix = "Your score is ";
inline constexpr std::string_view kScoreSuffix = ", 100 is perfect.";

// The game logic, free of any windowing system. Three events drive it: a
// start-button click (StartTest), a timer tick (Tick) and a typed character
// (KeyPressed). Every visible change goes through the Display.
//
// Every 16-bit change is checked. A change that would overflow is not
// stored and ends that operation's work for the tick; the engine stays
// usable, and a key still ends the test in order. Nothing throws.
class TestEngine {
 public:
  // Borrows `display`, which must outlive the engine. `clock` returns the
  // local time of day in seconds since midnight; `rng` returns uniform values
  // in [0, 1). Both are called only from inside the three operations.
  TestEngine(Display& display, std::function<float()> clock,
             std::function<float()> rng);

  // Starts `test`: prints its prompt, resets the state (all but Score), hides
  // the four start buttons and draws the test's target. Idle does nothing.
  void StartTest(TestMode test);

  // Advances the running test by one timer tick; nothing in Idle.
  void Tick();

  // Ends the running test: prints the score where the test allows one, the
  // remark while the stored score is negative, and returns to Idle. `key` is
  // the character typed and does not matter.
  void KeyPressed(std::int16_t key);

  const TestState& State() const;

  // Puts the engine back to `state`, which State() gave earlier, with no
  // word to the display: for a front-end whose toolkit hands it an event
  // after a later one, so that it can answer the event as it would have
  // been answered in its time. What the display shows is the caller's to
  // put back.
  void Restore(const TestState& state);

 private:
  void TickLight();
  void TickJump();
  void TickNumber();
  void TickCounter();
  // JUMP and NUMBER: counts the tick into the step and, on every tenth,
  // counts the step. True when a step is due; false otherwise or on
  // overflow, the counter that overflowed left as it was.
  [[nodiscard]] bool NextStep();
  // Moves BOX to a freshly drawn left edge, then top edge. False on overflow.
  [[nodiscard]] bool JumpBox();
  // Stores a RandomDraw(span, base) in DrawValue or another field, checked.
  [[nodiscard]] bool Draw(std::int16_t& field, int span, int base);
  void GoSignal();

  // Score from the reaction time since GoTime. False if it does not fit in
  // 32 bits, which a clock reading within one day never causes.
  [[nodiscard]] bool TimedScore();
  void CounterScore();
  void PrintScore();

  Display& display_;
  std::function<float()> clock_;
  std::function<float()> rng_;
  TestState state_;
};

}  // namespace zapwit
