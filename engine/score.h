#pragma once

#include <cstdint>
#include <optional>

namespace zapwit {

inline constexpr double kSecondsPerDay = 86400.0;

// `x` rounded to the nearest whole number, halves to the even neighbour
// (87.5 gives 88, 86.5 gives 86), whatever the floating-point rounding mode.
double RoundHalfEven(double x);

// The timed score of a key at clock reading `now` after a go signal at
// `go_time`, both in seconds since local midnight: 100 less one point per
// hundredth of a second, halves to even. A key after midnight answering a
// go signal before it is measured across midnight. Nothing if the result
// does not fit in 32 bits (or is not a number), which readings within one
// day never cause.
std::optional<std::int32_t> ReactionScore(float now, double go_time);

}  // namespace zapwit
