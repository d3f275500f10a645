#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/random_draw.h"
#include "engine/rng.h"

namespace zapwit {
namespace {

constexpr float kLargestBelowOne = 0x1.fffffep-1f;

// RandomDraw(span, base) must give exactly base .. base+span-1 over the
// whole of [0, 1), and a faulty source must not push it past either end.
TEST(RandomDraw, CoversBaseToBasePlusSpanMinusOne) {
  const struct {
    int span, base;
    float unit;
    std::int64_t draw;
  } cases[] = {
      {300, 100, 0.0f, 100},
      {300, 100, kLargestBelowOne, 399},
      {10, 5, 0.0f, 5},
      {10, 5, kLargestBelowOne, 14},
      {100, 200, 0.0f, 200},
      {100, 200, kLargestBelowOne, 299},
      {5000, 5, 0.0f, 5},
      {5000, 5, kLargestBelowOne, 5004},
      {99, 1, 0.0f, 1},
      {99, 1, kLargestBelowOne, 99},
      {10, 5, 0.5f, 10},
      {99, 1, 0.5f, 50},
      // Out of range or not a number: pulled back into [0, 1).
      {300, 100, 1.0f, 399},
      {300, 100, 7.0f, 399},
      {300, 100, -0.25f, 100},
      {300, 100, std::nanf(""), 100},
      {300, 100, std::numeric_limits<float>::infinity(), 399},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RandomDraw(c.span, c.base, c.unit), c.draw)
        << c.span << "," << c.base << " @ " << c.unit;
  }
}

// Built from the generator's top 24 bits, a value can never round up to 1:
// RandomDraw(300, 100) would then give 400.
TEST(Rng, StaysInsideZeroToOneOverMillionsOfDraws) {
  Rng rng;
  rng.Seed(45000.5f);
  float lowest = 1.0f;
  float highest = 0.0f;
  double sum = 0;
  constexpr int kDraws = 4'000'000;
  for (int i = 0; i < kDraws; ++i) {
    const float value = rng.Next();
    ASSERT_GE(value, 0.0f);
    ASSERT_LT(value, 1.0f);
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
    sum += value;
  }
  EXPECT_LT(lowest, 1e-5f);
  EXPECT_GT(highest, 1.0f - 1e-5f);
  EXPECT_NEAR(sum / kDraws, 0.5, 0.001);
}

TEST(Rng, SameSeedSameSequenceOtherSeedOtherSequence) {
  Rng a, b, c;
  a.Seed(3600.25f);
  b.Seed(3600.25f);
  c.Seed(3600.5f);
  int differences = 0;
  for (int i = 0; i < 100; ++i) {
    const float value = a.Next();
    EXPECT_EQ(value, b.Next());
    differences += value != c.Next();
  }
  EXPECT_GT(differences, 90);
}

}  // namespace
}  // namespace zapwit
