#include "window/web/page_clock.h"

#include <chrono>
#include <cmath>

namespace zapwit {
namespace {

constexpr double kSecondsPerDay = 86400.0;

}  // namespace

PageClock::PageClock(double day_seconds, double page_ms)
    : day_seconds_(day_seconds), anchor_ms_(page_ms) {}

float PageClock::At(double page_ms) const {
  double seconds = std::fmod(day_seconds_ + (page_ms - anchor_ms_) / 1000.0,
                             kSecondsPerDay);
  if (seconds < 0) seconds += kSecondsPerDay;
  return static_cast<float>(seconds);
}

TickSchedule::TimePoint PageTimePoint(double page_ms) {
  return TickSchedule::TimePoint(std::chrono::duration_cast<TickSchedule::TimePoint::duration>(
      std::chrono::duration<double, std::milli>(page_ms)));
}

FrameTicks::FrameTicks(double page_ms) : schedule_(kTickPeriod, PageTimePoint(page_ms)) {}

int FrameTicks::Due(double page_ms) {
  const TickSchedule::TimePoint now = PageTimePoint(page_ms);
  int due = 0;
  while (schedule_.Fire(now)) ++due;
  return due;
}

void FrameTicks::Restart(double page_ms) {
  schedule_ = TickSchedule(kTickPeriod, PageTimePoint(page_ms));
}

}  // namespace zapwit
