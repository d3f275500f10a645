// The page's loop: keys and ticks reach the engine in the order of their
// times, although the browser runs ticks in its frames and hands a key to
// the game milliseconds after it was made. Before, a key made while BOX
// read 130 and handled after the tick that showed 129 scored 71, and a
// JUMP or LIGHT key made before green and handled after it scored 100.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "display/colors.h"
#include "engine/rng.h"
#include "engine/test_engine.h"
#include "tests/fakes.h"
#include "window/tick_schedule.h"
#include "window/web/page_clock.h"
#include "window/web/page_loop.h"

namespace zapwit {
namespace {

constexpr double kTickMs = 1000.0 / 64;
constexpr double kDaySeconds = 45000.0;  // 12:30, page time 0

// The page: a loop between an engine and a recording display, with
// random draws the test queues (then `fallback`).
struct Page {
  explicit Page(std::deque<float> draws = {}, float fallback = 0.5f)
      : display(log),
        engine(
            loop, [this] { return loop.Clock(); },
            [this] {
              if (randoms.empty()) return fallback_random;
              const float value = randoms.front();
              randoms.pop_front();
              return value;
            }),
        loop(engine, display, kDaySeconds, 0.0,
             [this] {
               now_ms += write_ms;
               return now_ms;
             }),
        randoms(std::move(draws)),
        fallback_random(fallback) {}

  // Frames at `frames` (page ms), each running the ticks due; returns the
  // time of every tick run.
  std::vector<double> Frames(const std::vector<double>& frames) {
    std::vector<double> ticks;
    for (const double frame : frames) {
      for (int due = loop.Due(frame); due > 0; --due) {
        now_ms = std::max(now_ms, frame);
        loop.Tick(frame);
        ticks.push_back(frame);
      }
    }
    return ticks;
  }
  // Frames every `period` ms from `from` up to `to`, `from` excluded: by
  // default one a tick, each running one.
  std::vector<double> FramesUntil(double from, double to, double period = kTickMs) {
    std::vector<double> frames;
    for (int i = 1; from + i * period <= to; ++i) frames.push_back(from + i * period);
    return Frames(frames);
  }

  testing::CallLog log;
  testing::RecordingDisplay display;
  TestEngine engine;
  PageLoop loop;
  std::deque<float> randoms;
  float fallback_random;
  // The page's clock, which each change of BOX moves on by `write_ms`, the
  // time the page takes to make it.
  double now_ms = 0;
  double write_ms = 0;
};

// BOX as the display ended up showing it.
BoxLook Shown(const testing::RecordingDisplay& display) {
  return {display.box_color, display.box_caption, display.box_left, display.box_top};
}

std::string ScoreLine(const std::string& number) {
  return "Your score is " + number + " , 100 is perfect.";
}

// COUNTER's target is 200 + floor(draw * 100): 250 for a draw of 0.5.
TEST(PageLoop, CounterKeyMadeAtOneHundredThirtyAndHandledAfterTheNextTickScoresSeventy) {
  Page page({0.5f});
  page.loop.Start(TestMode::Counter);
  const std::vector<double> ticks = page.FramesUntil(0.0, 120 * kTickMs + 1);
  ASSERT_EQ(page.display.box_caption, " 130");
  const double key = ticks.back() + 1.0;
  page.Frames({ticks.back() + kTickMs + 2.0});
  ASSERT_EQ(page.display.box_caption, " 129");
  page.loop.Key('a', key, ticks.back() + kTickMs + 4.0);
  EXPECT_EQ(page.display.lines.back(), ScoreLine(" 70"));
  EXPECT_EQ(page.display.box_caption, " 130") << "BOX shows the count the key was made at";
  EXPECT_EQ(page.engine.State().Target, 130);
  EXPECT_EQ(page.engine.State().Mode, TestMode::Idle);
}

// A key made before the go signal's tick and handled two frames after it
// is a key before the go signal, whatever the frames did meanwhile.
TEST(PageLoop, KeyMadeBeforeTheGoTickIsAnsweredAsBeforeIt) {
  const struct {
    TestMode test;
    float target_draw;
    // What the key gets: nothing (LIGHT), or a score from midnight.
    bool from_midnight;
  } cases[] = {
      {TestMode::Light, 0.0f, false},   // green on tick 100
      {TestMode::Jump, 0.0f, true},     // green on tick 50
      {TestMode::Number, 0.0f, true},   // the even number on tick 50
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.test));
    Page page({c.target_draw}, 0.3f);
    page.loop.Start(c.test);
    // Up to the frame before the go signal.
    std::vector<double> ticks;
    while (page.engine.State().GoTime == 0 && ticks.size() < 200) {
      const TestState before_state = page.engine.State();
      const BoxLook before_box = page.loop.Box();
      const double frame = (ticks.empty() ? 0.0 : ticks.back()) + 1000.0 / 60;
      const std::vector<double> ran = page.Frames({frame});
      if (page.engine.State().GoTime != 0) {
        // The key was made just before this frame, and is handled two
        // frames later.
        const double key = frame - 0.5;
        page.Frames({frame + 1000.0 / 60, frame + 2000.0 / 60});
        ASSERT_NE(Shown(page.display), before_box) << "the go tick changed nothing on screen";
        page.loop.Key('a', key, frame + 2000.0 / 60 + 3.0);
        const auto at_key = static_cast<float>(kDaySeconds + key / 1000.0);
        if (c.from_midnight) {
          const double score = std::nearbyint(100.0 - 100.0 * static_cast<double>(at_key));
          EXPECT_EQ(page.engine.State().Score, score);
          ASSERT_EQ(page.display.lines.size(), 3u);
          EXPECT_EQ(page.display.lines[2], std::string(kRemark));
        } else {
          EXPECT_EQ(page.display.lines.size(), 1u) << "LIGHT scored a key made before green";
        }
        EXPECT_EQ(Shown(page.display), before_box) << "BOX still shows the go signal";
        EXPECT_EQ(page.engine.State().StepCount, before_state.StepCount);
        EXPECT_EQ(page.engine.State().GoTime, 0.0);
        EXPECT_EQ(page.engine.State().Mode, TestMode::Idle);
        break;
      }
      ticks.insert(ticks.end(), ran.begin(), ran.end());
    }
    EXPECT_NE(page.engine.State().Mode, c.test) << "no go signal came";
  }
}

// A key at exactly a tick's time comes after the tick: JUMP's key at the
// go signal's own time is a reaction of 0, and LIGHT's is within the same
// tick as green, which ends the test without a score.
TEST(PageLoop, KeyExactlyAtATickComesAfterIt) {
  const struct {
    TestMode test;
    std::vector<std::string> lines;
  } cases[] = {
      {TestMode::Jump, {std::string(kGreenPrompt), ScoreLine(" 100")}},
      {TestMode::Light, {std::string(kGreenPrompt)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.test));
    Page page({0.0f}, 0.3f);
    page.loop.Start(c.test);
    double frame = 0;
    while (page.engine.State().GoTime == 0 && frame < 10'000) {
      frame += 1000.0 / 60;
      page.Frames({frame});
    }
    page.Frames({frame + 1000.0 / 60});
    page.loop.Key('a', frame, frame + 1000.0 / 60 + 1.0);
    EXPECT_EQ(page.display.lines, c.lines);
    EXPECT_EQ(page.display.box_color, kGreen);
  }
}

// The go signal is timed when its change of BOX has reached the page, as
// the desktop reads the clock right after the change: a page that takes
// 6 ms over each change gives a key 10 ms after the change a reaction of
// 10 ms, and a key made while the change was being made is before the go
// signal.
TEST(PageLoop, TheGoSignalIsTimedOnceItsChangeOfBoxIsMade) {
  const struct {
    TestMode test;
    double key_after_change;  // ms; below 0, while it was being made
    std::string last_line;    // a score, or the remark on one from midnight
  } cases[] = {
      {TestMode::Jump, 10.0, ScoreLine(" 99")},
      {TestMode::Number, 10.0, ScoreLine(" 99")},
      {TestMode::Jump, 0.0, ScoreLine(" 100")},
      {TestMode::Jump, -1.0, std::string(kRemark)},
      {TestMode::Number, -1.0, std::string(kRemark)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.test));
    SCOPED_TRACE(c.key_after_change);
    Page page({0.0f}, 0.3f);
    page.write_ms = 6.0;
    page.loop.Start(c.test);
    double frame = 0;
    while (page.engine.State().GoTime == 0 && frame < 10'000) {
      frame += 1000.0 / 60;
      page.Frames({frame});
    }
    const double changed = page.now_ms;
    ASSERT_GT(changed, frame + page.write_ms) << "the go tick changed BOX at least twice";
    EXPECT_FLOAT_EQ(page.engine.State().GoTime, static_cast<float>(kDaySeconds + changed / 1000.0));
    const BoxLook before_go = page.loop.Box();
    const std::optional<double> go_ms =
        page.loop.Key('a', changed + c.key_after_change, changed + 20.0);
    ASSERT_FALSE(page.display.lines.empty());
    EXPECT_EQ(page.display.lines.back(), c.last_line);
    if (c.key_after_change >= 0) {
      EXPECT_EQ(go_ms, changed);
    } else {
      EXPECT_EQ(go_ms, std::nullopt) << "a key before the go signal has no go time";
      EXPECT_NE(Shown(page.display), before_go) << "BOX as it was before the go tick";
    }
  }
}

// At 60 frames a second some frames run two ticks, both at the frame's
// time: a key made before that frame comes before both.
TEST(PageLoop, KeyBeforeAFrameOfTwoTicksComesBeforeBoth) {
  Page page({0.5f});
  page.loop.Start(TestMode::Counter);
  page.Frames({10.0});
  ASSERT_EQ(page.display.box_caption, "");
  const std::vector<double> two = page.Frames({40.0});  // due: 15.6 and 31.3
  ASSERT_EQ(two.size(), 2u);
  ASSERT_EQ(page.display.box_caption, " 248");
  page.loop.Key('a', 39.0, 41.0);
  EXPECT_EQ(page.display.box_caption, "") << "BOX as it was before both ticks";
  // Before the first tick, BOX shows no number yet: 200 less the target.
  ASSERT_EQ(page.display.lines.size(), 3u);
  EXPECT_EQ(page.display.lines[1], ScoreLine("-50"));
}

// A hidden page runs no frames; shown again, its schedule restarts. A key
// made while it was hidden comes before the ticks after the showing.
TEST(PageLoop, KeyMadeWhileHiddenComesBeforeTheTicksAfterTheShowing) {
  Page page({0.5f});
  page.loop.Start(TestMode::Counter);
  page.FramesUntil(0.0, 10 * kTickMs + 1);
  ASSERT_EQ(page.display.box_caption, " 240");
  // Hidden from 160 ms to 5 s, the key made at 3 s.
  page.loop.Restart(5000.0);
  page.FramesUntil(5000.0, 5000.0 + 3 * kTickMs + 1);
  ASSERT_EQ(page.display.box_caption, " 237");
  page.loop.Key('a', 3000.0, 5060.0);
  EXPECT_EQ(page.display.box_caption, " 240");
  ASSERT_EQ(page.display.lines.size(), 3u);  // and the remark
  EXPECT_EQ(page.display.lines[1], ScoreLine("-40"));
}

// A key older than every kept tick goes before the oldest kept one, and
// reads the clock no earlier than the tick before it: a handler stalled
// for seconds cannot move the game back further than the loop can see.
TEST(PageLoop, KeyOlderThanEveryKeptTickGoesBeforeTheOldestKept) {
  Page page({0.5f});
  page.loop.Start(TestMode::Counter);
  page.FramesUntil(0.0, 100 * kTickMs + 1);
  ASSERT_EQ(page.display.box_caption, " 150");
  page.loop.Key('a', 1.0, 100 * kTickMs + 2);
  const int kept = static_cast<int>(PageLoop::kKeptTicks);
  EXPECT_EQ(page.engine.State().Target, 150 + kept);
  EXPECT_EQ(std::stoi(page.display.box_caption), 150 + kept);
}

// Whatever a browser stamps a key with, the game reads its clock within
// the span the key can belong to: from the last event before it to the
// moment it is handled.
TEST(PageLoop, KeyStampsOutsideTheirSpanAreTakenAtItsNearestEnd) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double stamp;
    double read_ms;  // where the key reads the clock
  } cases[] = {
      {nan, 1100.0},   // the handler's time
      {inf, 1100.0},
      {5000.0, 1100.0},
      {-inf, 1000.0},  // the go signal's tick, the last kept
      {1050.0, 1050.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stamp);
    Page page({0.0f}, 0.3f);
    page.loop.Start(TestMode::Jump);
    for (int tick = 1; tick <= 49; ++tick) page.loop.Tick(tick * 10.0);
    page.loop.Tick(1000.0);  // the go signal
    ASSERT_NE(page.engine.State().GoTime, 0.0);
    for (int tick = 1; tick <= 16; ++tick) page.loop.Tick(1000.0 + tick * 10.0 / 16);
    const double go = static_cast<float>(kDaySeconds + 1.0);
    // The time of day in single precision steps by about 4 ms at 12:30.
    const double score =
        std::nearbyint(100.0 - 100.0 * (static_cast<double>(static_cast<float>(
                                            kDaySeconds + c.read_ms / 1000.0)) -
                                        go));
    page.loop.Key('a', c.stamp, 1100.0);
    EXPECT_EQ(page.engine.State().Score, score);
    EXPECT_TRUE(std::isfinite(page.engine.State().Score));
  }
}

// The real test of the rule: for every test, around its go signal, at
// frame rates from 30 to 144 Hz and handler lags up to 80 ms, the page
// ends as the desktop does when the same ticks and the key reach the
// engine in the order of their times (a key at a tick's time after it):
// the same lines, score and state, and BOX showing the same.
TEST(PageLoop, EndsAsTheEngineDoesWithTheSameEventsInTimeOrder) {
  int compared = 0;
  for (const TestMode test : {TestMode::Light, TestMode::Jump, TestMode::Number,
                              TestMode::Counter}) {
    for (const double hz : {30.0, 60.0, 144.0}) {
      for (const double lag : {0.0, 2.5, 9.0, 17.0, 40.0, 80.0}) {
        for (int offset = -6; offset <= 6; ++offset) {
          SCOPED_TRACE(::testing::Message() << "test " << static_cast<int>(test) << ", " << hz
                                            << " Hz, lag " << lag << ", offset " << offset);
          const std::deque<float> draws = {0.2f, 0.7f, 0.1f, 0.9f, 0.4f, 0.6f};
          const double period = 1000.0 / hz;
          // Keys around the go signal's frame, found by a page run without
          // a key; COUNTER has none, and its keys fall around its 120th
          // tick, where a count from 220 reads 100.
          double pivot = 120 * kTickMs;
          if (test != TestMode::Counter) {
            Page probe(draws, 0.35f);
            probe.loop.Start(test);
            pivot = 0;
            while (probe.engine.State().GoTime == 0 && pivot < 20'000) {
              pivot += period;
              probe.Frames({pivot});
            }
          }
          const double key = pivot + offset * 4.1;

          Page page(draws, 0.35f);
          page.loop.Start(test);
          std::vector<double> frame_times;
          for (int i = 1; i * period <= key + lag; ++i) frame_times.push_back(i * period);
          const std::vector<double> ticks = page.Frames(frame_times);
          page.loop.Key('k', key, key + lag);

          // The desktop: the same ticks and key, one at a time in time order.
          testing::CallLog log;
          testing::RecordingDisplay display(log);
          std::deque<float> randoms = draws;
          const PageClock clock(kDaySeconds, 0.0);
          double now = 0;
          TestEngine desktop(
              display, [&] { return clock.At(now); },
              [&] {
                if (randoms.empty()) return 0.35f;
                const float value = randoms.front();
                randoms.pop_front();
                return value;
              });
          // Each event reads the clock at its own time.
          const auto key_at = [&] {
            now = key;
            desktop.KeyPressed('k');
          };
          const auto tick_at = [&](double time) {
            now = time;
            desktop.Tick();
          };
          desktop.StartTest(test);
          bool keyed = false;
          for (const double tick : ticks) {
            if (!keyed && key < tick) {
              key_at();
              keyed = true;
            }
            tick_at(tick);
          }
          if (!keyed) key_at();

          EXPECT_EQ(page.display.lines, display.lines);
          EXPECT_EQ(page.engine.State().Score, desktop.State().Score);
          EXPECT_EQ(page.engine.State().Target, desktop.State().Target);
          EXPECT_EQ(page.engine.State().StepCount, desktop.State().StepCount);
          EXPECT_EQ(page.engine.State().GoTime, desktop.State().GoTime);
          EXPECT_EQ(Shown(page.display), Shown(display));
          EXPECT_EQ(page.loop.Box(), Shown(page.display));
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 4 * 3 * 6 * 13);
}

}  // namespace
}  // namespace zapwit
