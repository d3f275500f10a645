#include "engine/rng.h"

#include <bit>
#include <cstdint>

namespace zapwit {

void Rng::Seed(float seed) { engine_.seed(std::bit_cast<std::uint32_t>(seed)); }

float Rng::Next() {
  constexpr float kTwoToMinus24 = 1.0f / 16777216.0f;
  const auto bits = static_cast<std::uint32_t>(engine_() >> 8);  // top 24 bits
  return static_cast<float>(bits) * kTwoToMinus24;
}

}  // namespace zapwit
