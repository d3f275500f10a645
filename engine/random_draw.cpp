#include "engine/random_draw.h"

#include <cmath>
#include <limits>

namespace zapwit {

std::int64_t RandomDraw(int span, int base, float unit) {
  constexpr float kLargestBelowOne =
      1.0f - std::numeric_limits<float>::epsilon() / 2;
  if (!(unit >= 0.0f)) unit = 0.0f;  // also catches NaN
  if (unit >= 1.0f) unit = kLargestBelowOne;
  const double scaled = std::floor(static_cast<double>(unit) * span);
  return std::int64_t{base} + static_cast<std::int64_t>(scaled);
}

}  // namespace zapwit
