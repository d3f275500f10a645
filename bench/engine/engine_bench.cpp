// The engine's own cost per call, with a display that does nothing.
#include <benchmark/benchmark.h>

#include "display/display.h"
#include "engine/test_engine.h"

namespace zapwit {
namespace {

class NullDisplay final : public Display {
 public:
  void PrintLine(const std::string& text) override { Use(text.size()); }
  void SetBoxColor(ColorWord color) override { Use(color); }
  void SetBoxCaption(const std::string& text) override { Use(text.size()); }
  void SetBoxLeft(int twips) override { Use(twips); }
  void SetBoxTop(int twips) override { Use(twips); }
  void HideButton(Button button) override { Use(static_cast<int>(button)); }

 private:
  template <typename T>
  static void Use(T value) {
    benchmark::DoNotOptimize(value);
  }
};

// Ticks in batches from a fresh start, so every batch walks the ordinary
// path to and past the go signal instead of sitting at an overflow point.
constexpr int kTicksPerStart = 400;

void BM_Tick(benchmark::State& state) {
  const auto mode = static_cast<TestMode>(state.range(0));
  NullDisplay display;
  TestEngine engine(
      display, [] { return 45000.0f; }, [] { return 0.0f; });
  while (state.KeepRunning()) {
    engine.StartTest(mode);
    for (int i = 0; i < kTicksPerStart; ++i) engine.Tick();
  }
  state.counters["per_tick"] = benchmark::Counter(
      kTicksPerStart, benchmark::Counter::kIsIterationInvariantRate |
                          benchmark::Counter::kInvert);
}
BENCHMARK(BM_Tick)
    ->ArgName("mode")
    ->Arg(static_cast<int>(TestMode::Idle))
    ->Arg(static_cast<int>(TestMode::Light))
    ->Arg(static_cast<int>(TestMode::Jump))
    ->Arg(static_cast<int>(TestMode::Number))
    ->Arg(static_cast<int>(TestMode::Counter));

void BM_StartTest(benchmark::State& state) {
  NullDisplay display;
  TestEngine engine(
      display, [] { return 45000.0f; }, [] { return 0.5f; });
  while (state.KeepRunning()) engine.StartTest(TestMode::Counter);
}
BENCHMARK(BM_StartTest);

// A key that scores and prints the score line, in a test just started.
void BM_StartTestThenKeyPressed(benchmark::State& state) {
  NullDisplay display;
  TestEngine engine(
      display, [] { return 45000.5f; }, [] { return 0.5f; });
  while (state.KeepRunning()) {
    engine.StartTest(TestMode::Jump);
    engine.KeyPressed('a');
  }
}
BENCHMARK(BM_StartTestThenKeyPressed);

}  // namespace
}  // namespace zapwit

BENCHMARK_MAIN();
