#pragma once

#include <random>

namespace zapwit {

// The game's one pseudo-random sequence: uniform floats from 0 up to, and
// never reaching, 1. Seeded once per run from a Clock reading.
class Rng {
 public:
  // Restarts the sequence from `seed`; equal seeds give equal sequences.
  void Seed(float seed);

  // A value in [0, 1 - 2^-24]: 24 random bits times 2^-24, so every float
  // result is exact and 1 can never come out of rounding.
  float Next();

 private:
  std::mt19937 engine_;
};

}  // namespace zapwit
