#include "window/tick_schedule.h"

namespace zapwit {

TickSchedule::TickSchedule(std::chrono::nanoseconds period, TimePoint start)
    : period_(period), deadline_(start + period) {}

std::chrono::milliseconds TickSchedule::WaitFrom(TimePoint now) const {
  if (now >= deadline_) return std::chrono::milliseconds{0};
  return std::chrono::ceil<std::chrono::milliseconds>(deadline_ - now);
}

std::chrono::nanoseconds TickSchedule::TimeTo(TimePoint now) const {
  if (now >= deadline_) return std::chrono::nanoseconds{0};
  return deadline_ - now;
}

bool TickSchedule::Fire(TimePoint now) {
  if (now < deadline_) return false;
  if (now - deadline_ > kMaxCatchUpTicks * period_) {
    deadline_ = now + period_;
  } else {
    deadline_ += period_;
  }
  return true;
}

}  // namespace zapwit
