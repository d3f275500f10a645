// The engine's own cost per call, with a display that does nothing; and
// the same ticks through the browser's loop, which keeps the state from
// before each tick for a late key (compare BM_Tick and BM_PageTick of one
// run).
#include <benchmark/benchmark.h>

#include "display/display.h"
#include "engine/test_engine.h"
#include "window/web/page_loop.h"

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

// An engine behind the browser's loop, drawing `random` every time.
struct Page {
  Page(Display& shown, float random)
      : engine(loop, [this] { return loop.Clock(); }, [random] { return random; }),
        loop(engine, shown, 45000.0, 0.0, [this] { return now; }) {}
  TestEngine engine;
  PageLoop loop;
  // The page's clock: each tick's frame time, changes of BOX taking none.
  double now = 0;
};

// The same ticks through the browser's loop, each at its page time.
void BM_PageTick(benchmark::State& state) {
  const auto mode = static_cast<TestMode>(state.range(0));
  NullDisplay display;
  Page page(display, 0.0f);
  while (state.KeepRunning()) {
    page.loop.Start(mode);
    for (int i = 0; i < kTicksPerStart; ++i) page.loop.Tick(page.now += 15.625);
  }
  state.counters["per_tick"] = benchmark::Counter(
      kTicksPerStart, benchmark::Counter::kIsIterationInvariantRate |
                          benchmark::Counter::kInvert);
}
BENCHMARK(BM_PageTick)
    ->ArgName("mode")
    ->Arg(static_cast<int>(TestMode::Light))
    ->Arg(static_cast<int>(TestMode::Jump))
    ->Arg(static_cast<int>(TestMode::Number))
    ->Arg(static_cast<int>(TestMode::Counter));

// A COUNTER key made before all 16 kept ticks: the loop's most work for a
// key, BOX put back included.
void BM_PageLateKey(benchmark::State& state) {
  NullDisplay display;
  Page page(display, 0.5f);
  while (state.KeepRunning()) {
    state.PauseTiming();
    page.loop.Start(TestMode::Counter);
    for (std::size_t i = 0; i < PageLoop::kKeptTicks; ++i) page.loop.Tick(page.now += 15.625);
    state.ResumeTiming();
    page.loop.Key('a', page.now - 1000.0, page.now);
  }
}
BENCHMARK(BM_PageLateKey);

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
