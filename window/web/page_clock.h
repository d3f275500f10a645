#pragma once

#include <cstdint>

#include "window/tick_schedule.h"

namespace zapwit {

// The engine's clock in a web page: local seconds since midnight in single
// precision, as on the desktop, but advanced on the page's own clock
// (performance.now(), in milliseconds) from one anchor to the time of day
// taken at load. Time the machine spends suspended is not corrected: the
// page clock and the time of day part there, and the game goes by the page.
class PageClock {
 public:
  // `day_seconds` is the local time of day at page time `page_ms`.
  PageClock(double day_seconds, double page_ms);

  // The reading at page time `page_ms`, wrapped at midnight (86 400 s) as
  // the desktop clock is.
  float At(double page_ms) const;

 private:
  double day_seconds_;
  double anchor_ms_;
};

// Which of the page's animation frames run a tick. The ticks keep the
// desktop's 64 a second on absolute deadlines of page time; a frame runs
// those that have come due since the last one, so at 60 frames a second
// some frames run two.
class FrameTicks {
 public:
  explicit FrameTicks(double page_ms);

  // The ticks due in a frame at page time `page_ms`: 0, 1, 2, or after a
  // stall a few more (never more than the schedule's catch-up bound).
  int Due(double page_ms);

  // The page was hidden and is shown again at `page_ms`: the schedule
  // restarts from then, with no burst of the ticks a hidden page missed.
  void Restart(double page_ms);

 private:
  TickSchedule schedule_;
};

// A page time in milliseconds as a point on the schedule's clock.
TickSchedule::TimePoint PageTimePoint(double page_ms);

}  // namespace zapwit
