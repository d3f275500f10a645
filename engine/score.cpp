#include "engine/score.h"

#include <cmath>
#include <limits>

namespace zapwit {

double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double fraction = x - floor;
  if (fraction > 0.5) return floor + 1.0;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::optional<std::int32_t> ReactionScore(float now, double go_time) {
  double elapsed = static_cast<double>(now) - go_time;
  // The clock goes back to 0 at midnight.

  if (elapsed < 0) elapsed += kSecondsPerDay;
  const double score = RoundHalfEven(100.0 - elapsed * 100.0);
  // Also false for NaN.
  if (!(score >= std::numeric_limits<std::int32_t>::min() &&
        score <= std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(score);
}

}  // namespace zapwit
