#include "engine/rng.h"

#include <cstdint>
#include <cstring>

namespace zapwit {

void Rng::Seed(float seed) {
  // The float's own bits, so that every reading seeds its own sequence.
  // (memcpy rather than std::bit_cast: the browser build's library has no
  // bit_cast.)
  static_assert(sizeof(float) == sizeof(std::uint32_t));
  std::uint32_t bits = 0;
  std::memcpy(&bits, &seed, sizeof bits);
  engine_.seed(bits);
}

float Rng::Next() {
  constexpr float kTwoToMinus24 = 1.0f / 16777216.0f;
  const auto bits = static_cast<std::uint32_t>(engine_() >> 8);  // top 24 bits
  return static_cast<float>(bits) * kTwoToMinus24;
}

}  // namespace zapwit
