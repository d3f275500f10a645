// A model of what TIME does on real Windows, where nobody here can measure:
// a deterministic simulation that drives the game's real TickSchedule and
// the Windows front-end's two ways of arming TIME through a simulated clock
// and message queue, under Windows' documented timer rules (see
// docs/performance.md for each rule and its source):
//
//   window timer  SetTimer raises any interval below 10 ms to 10 ms; the
//                 timer fires on the first system clock interrupt at or
//                 after its due time; WM_TIMER is generated only when no
//                 other message is waiting (after input and WM_PAINT), and
//                 at most one is pending.
//   waitable      A high-resolution waitable timer wakes the loop at its due
//                 time plus 0 to 0.5 ms, whatever the interrupt period; the
//                 loop looks at it before each message.
//
// Each design runs at two clock interrupt periods (1 ms: timeBeginPeriod
// honoured; 15.625 ms: not honoured) under three loads, 16 games of 60
// simulated seconds each, and prints ticks a second, lateness after each deadline, ticks
// dropped by the schedule's catch-up rule, and the gap between consecutive
// ticks as COUNTER's count-down shows it. It is a model, not a measurement:
// it asserts nothing and says nothing of a real machine's own delays.
//   windows_timer_model [--probe]
// --probe prints instead the two figures that Wine can be checked against:
// a window timer asked for 1 ms, and the waitable timer's pace.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench/stats.h"
#include "window/tick_schedule.h"

namespace {

using zapwit::TickSchedule;
using zapwit::bench::Percentile;
using Ns = std::int64_t;  // simulated time, nanoseconds from the start
constexpr Ns kMs = 1'000'000;
constexpr Ns kSimulated = 60'000 * kMs;
constexpr Ns kUserTimerMinimum = 10 * kMs;  // USER_TIMER_MINIMUM
constexpr Ns kWaitableDelayMax = kMs / 2;

enum class Design { kWindowTimer, kWaitable };

struct Load {
  const char* name;
  Ns paint_cost;      // one WM_PAINT after each tick, or none (0)
  Ns input_interval;  // a WM_MOUSEMOVE this often, or none (0)
  Ns input_cost;      // handling one
};

constexpr Load kLoads[] = {
    {"idle", 0, 0, 0},
    {"COUNTER (a paint a tick, 0.2 ms)", kMs / 5, 0, 0},
    {"COUNTER + mouse (1 kHz moves, 0.3 ms each)", kMs / 5, kMs, 3 * kMs / 10},
};

TickSchedule::TimePoint At(Ns t) {
  return TickSchedule::TimePoint(std::chrono::nanoseconds(t));
}
Ns FromPoint(TickSchedule::TimePoint p) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             p.time_since_epoch())
      .count();
}

Ns NextInterrupt(Ns t, Ns period, Ns phase) {
  // Interrupts at phase + k * period.
  if (t <= phase) return phase;
  return phase + (t - phase + period - 1) / period * period;
}

struct Figures {
  double ticks_per_second = 0;
  std::vector<double> lateness_ms, gap_ms;
  long dropped = 0;
};

// One simulated run of the game's message loop.
Figures Run(Design design, Ns interrupt_period, const Load& load,
            unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<Ns> waitable_delay(0, kWaitableDelayMax);
  // The game starts at an arbitrary point of the interrupt's cycle.
  const Ns phase =
      std::uniform_int_distribution<Ns>(0, interrupt_period - 1)(random);
  const Ns start = 50 * kMs;
  TickSchedule schedule(zapwit::kTickPeriod, At(start));

  Figures figures;
  Ns now = start;
  Ns timer_ready = 0;  // window timer: when WM_TIMER can be generated
  Ns wake = 0;         // waitable: when it is signalled
  bool paint_pending = false;
  Ns next_input = load.input_interval > 0 ? start : kSimulated * 2;
  bool input_queued = false;  // mouse moves are coalesced: one at most
  Ns last_tick = 0;
  long ticks = 0;

  const auto arm = [&] {
    if (design == Design::kWaitable) {
      const Ns left = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          schedule.TimeTo(At(now)))
                          .count();
      wake = now + std::max<Ns>(left, 100) + waitable_delay(random);
    } else {
      // The front-end asks for the whole milliseconds left, 1 at least;
      // Windows raises it to 10 ms and fires on an interrupt.
      const Ns ms =
          std::max<Ns>(schedule.WaitFrom(At(now)).count(), 1) * kMs;
      timer_ready = NextInterrupt(now + std::max(ms, kUserTimerMinimum),
                                  interrupt_period, phase);
    }
  };
  const auto on_timer = [&] {
    const Ns deadline = FromPoint(schedule.Deadline());
    if (schedule.Fire(At(now))) {
      const Ns next = FromPoint(schedule.Deadline());
      // The catch-up rule restarted the schedule: the ticks between are
      // dropped.
      if (next != deadline + zapwit::kTickPeriod.count()) {
        figures.dropped += (now - deadline) / zapwit::kTickPeriod.count();
      }
      figures.lateness_ms.push_back(static_cast<double>(now - deadline) / kMs);
      if (ticks > 0) {
        figures.gap_ms.push_back(static_cast<double>(now - last_tick) / kMs);
      }
      last_tick = now;
      ++ticks;
      if (load.paint_cost > 0) paint_pending = true;
    }
    arm();
  };

  arm();
  while (now < kSimulated) {
    if (next_input <= now) {
      input_queued = true;
      next_input += load.input_interval;
    }
    // The waitable timer is looked at before each message.
    if (design == Design::kWaitable && wake <= now) {
      on_timer();
      continue;
    }
    // Windows' order: input, then WM_PAINT, then WM_TIMER.
    if (input_queued) {
      input_queued = false;
      now += load.input_cost;
      continue;
    }
    if (paint_pending) {
      paint_pending = false;
      now += load.paint_cost;
      continue;
    }
    if (design == Design::kWindowTimer && timer_ready <= now) {
      on_timer();
      continue;
    }
    // Nothing to do: sleep until the next thing happens.
    now = std::min(next_input,
                   design == Design::kWaitable ? wake : timer_ready);
  }
  figures.ticks_per_second =
      static_cast<double>(ticks) / (static_cast<double>(now - start) / 1e9);
  return figures;
}

const char* Name(Design design) {
  return design == Design::kWaitable ? "high-resolution waitable timer"
                                     : "window timer (fallback)";
}

// Each rule the model applies, with where it comes from.
constexpr struct {
  const char* rule;
  const char* source;
} kRules[] = {
    {"SetTimer raises an interval below USER_TIMER_MINIMUM (10 ms) to 10 ms.",
     "Microsoft, SetTimer function (winuser.h), uElapse"},
    {"WM_TIMER is a low-priority message: it is generated only when no "
     "other message is waiting, after input and WM_PAINT, and at most one is "
     "pending.",
     "Microsoft, WM_TIMER message; GetMessage function, Remarks (the order "
     "of retrieval)"},
    {"A window timer fires on the first system clock interrupt at or after "
     "its due time; the interrupt period is 15.625 ms unless a process asks "
     "for less with timeBeginPeriod, so a 16 ms request often takes 31 ms.",
     "Microsoft, timeBeginPeriod function; B. Dawson, \"Windows Timer "
     "Resolution: The Great Rule Change\" (2020)"},
    {"Since Windows 10 2004 timeBeginPeriod is per process; Windows 11 does "
     "not honour it while the process's windows are all hidden, minimized or "
     "covered, unless the process opts out with SetProcessInformation "
     "(ProcessPowerThrottling, PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION "
     "in ControlMask, 0 in StateMask), as the game does. The 15.625 ms rows "
     "are that case, and Windows before timeBeginPeriod.",
     "Microsoft, timeBeginPeriod function, Remarks; SetProcessInformation "
     "function; Dawson (2020)"},
    {"A waitable timer created with CREATE_WAITABLE_TIMER_HIGH_RESOLUTION "
     "(Windows 10 1803 and later) is for when a few milliseconds of delay "
     "are not acceptable; the model wakes it 0 to 0.5 ms after its due "
     "time, whatever the interrupt period. Older Windows refuse the flag and "
     "get the window timer.",
     "Microsoft, CreateWaitableTimerExW function, dwFlags; Microsoft gives "
     "no figure: the 0.5 ms is the flag's reported behaviour, an assumption "
     "of the model"},
    {"The game's loop waits with MsgWaitForMultipleObjectsEx and looks at the "
     "waitable timer before each message, so a tick waits at most for the "
     "message being handled.",
     "the game's RunMessageLoop; Microsoft, MsgWaitForMultipleObjectsEx "
     "function"},
};

void Rules() {
  for (const auto& r : kRules) std::printf("- %s (%s)\n", r.rule, r.source);
  std::puts("");
}

constexpr unsigned kGames = 16;

void Table() {
  Rules();
  std::printf("%u games of %.0f simulated seconds per row, pooled.\n\n", kGames,
              static_cast<double>(kSimulated) / 1e9);
  std::puts(
      "| Timer | Interrupt period | Load | Ticks/s | Lateness p50 / p99 / max "
      "(ms) | Dropped | Gap min / p50 / p99 / max (ms) |");
  std::puts("|---|---|---|---|---|---|---|");
  for (const Design design : {Design::kWindowTimer, Design::kWaitable}) {
    for (const Ns period : {kMs, Ns{15'625'000}}) {
      for (const Load& load : kLoads) {
        // Pooled over games that start at 16 points of the interrupt's
        // cycle: where a window timer lands depends on it.
        Figures f;
        for (unsigned seed = 0; seed < kGames; ++seed) {
          const Figures game = Run(design, period, load, 2026 + seed);
          f.ticks_per_second += game.ticks_per_second / kGames;
          f.dropped += game.dropped;
          f.lateness_ms.insert(f.lateness_ms.end(), game.lateness_ms.begin(),
                               game.lateness_ms.end());
          f.gap_ms.insert(f.gap_ms.end(), game.gap_ms.begin(),
                          game.gap_ms.end());
        }
        std::printf(
            "| %s | %.3f ms | %s | %.2f | %.2f / %.2f / %.2f | %ld | %.2f / "
            "%.2f / %.2f / %.2f |\n",
            Name(design), static_cast<double>(period) / kMs, load.name,
            f.ticks_per_second, Percentile(f.lateness_ms, 0.5),
            Percentile(f.lateness_ms, 0.99), Percentile(f.lateness_ms, 1.0),
            f.dropped, Percentile(f.gap_ms, 0.0), Percentile(f.gap_ms, 0.5),
            Percentile(f.gap_ms, 0.99),
            Percentile(f.gap_ms, 1.0));
      }
    }
  }
}

// A window timer asked for 1 ms, re-armed on each WM_TIMER: its interval,
// which the 10 ms floor sets; and the waitable timer's pace, idle.
void Probe() {
  for (const Ns period : {kMs, Ns{15'625'000}}) {
    Ns now = 0;
    std::vector<double> intervals;
    for (int i = 0; i < 200; ++i) {
      const Ns fired = NextInterrupt(now + kUserTimerMinimum, period, 0);
      intervals.push_back(static_cast<double>(fired - now) / kMs);
      now = fired;
    }
    std::printf("settimer_1ms_interval_ms %.3f (interrupt period %.3f ms)\n",
                Percentile(intervals, 0.5), static_cast<double>(period) / kMs);
  }
  const Figures f = Run(Design::kWaitable, kMs, kLoads[0], 2026);
  std::printf("waitable_ticks_per_second %.3f\nwaitable_lateness_p50_ms %.2f\n"
              "waitable_lateness_p99_ms %.2f\n",
              f.ticks_per_second, Percentile(f.lateness_ms, 0.5),
              Percentile(f.lateness_ms, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--probe") == 0) {
    Probe();
    return 0;
  }
  if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--probe]\n", argv[0]);
    return 2;
  }
  Table();
  return 0;
}
