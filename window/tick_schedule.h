#pragma once

#include <chrono>
#include <functional>

namespace zapwit {

// The game's pace. The window timer asks for 1 ms, but what the game was
// designed around is a desktop timer that fires 64 times a second: that is
// what makes LIGHT wait 1.6 to 6.2 s, JUMP move about six times a second
// and COUNTER count 64 a second. A true 1 ms tick would count 1000 a second,
// faster than any screen shows, and nobody would ever see 100.
inline constexpr std::chrono::nanoseconds kTickPeriod{15'625'000};  // 1/64 s

// Behind by more than this many periods (the machine slept, the event loop
// stalled), the missed ticks are dropped instead of replayed in a burst.
inline constexpr int kMaxCatchUpTicks = 16;

// Decides when the next tick is due. Deadlines are absolute: tick n is due
// at start + n * period, so lateness never accumulates into drift.
class TickSchedule {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  TickSchedule(std::chrono::nanoseconds period, TimePoint start);

  // How long to wait from `now` until the next deadline: whole
  // milliseconds, rounded up so the timer never fires before it; 0 when
  // the deadline has passed.
  std::chrono::milliseconds WaitFrom(TimePoint now) const;

  // The exact time from `now` to the next deadline; 0 when it has passed.
  // For timers finer than a millisecond.
  std::chrono::nanoseconds TimeTo(TimePoint now) const;

  // The timer fired at `now`. True if a tick is due, and the deadline moves
  // on by one period (or, far behind, restarts from `now`).
  bool Fire(TimePoint now);

  TimePoint Deadline() const { return deadline_; }

 private:
  std::chrono::nanoseconds period_;
  TimePoint deadline_;
};

// Told of every firing of a front-end's timer: the deadline it answered,
// when it fired, and whether it ticked. For measuring the pace.
using TickProbe = std::function<void(TickSchedule::TimePoint deadline,
                                     TickSchedule::TimePoint fired,
                                     bool ticked)>;

}  // namespace zapwit
