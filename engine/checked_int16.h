#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace zapwit {

// Every counter of the game is a 16-bit signed field whose changes are checked
// against that range. A change that would leave it is an overflow: the field
// is left untouched and the caller is told, so it can stop what it was doing.

// The value `value` as a 16-bit field, or nothing if it does not fit.
constexpr std::optional<std::int16_t> FitInt16(std::int64_t value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(value);
}

// Stores `value` into `field` if it fits. Returns false, leaving `field`
// unchanged, on overflow.
[[nodiscard]] constexpr bool CheckedStore(std::int16_t& field,
                                          std::int64_t value) {
  const auto fitted = FitInt16(value);
  if (!fitted) return false;
  field = *fitted;
  return true;
}

// field += delta, checked.
[[nodiscard]] constexpr bool CheckedAdd(std::int16_t& field, int delta) {
  return CheckedStore(field, std::int64_t{field} + delta);
}

}  // namespace zapwit
