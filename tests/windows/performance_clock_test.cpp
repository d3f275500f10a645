#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace {

// TIME's deadlines are on steady_clock and its waits are computed from
// it, so steady_clock must be the performance counter that the waitable
// timer and Windows' own timing use: a reading of one, taken between two
// readings of the other, must lie between them.
TEST(PerformanceClock, SteadyClockReadsThePerformanceCounter) {
  LARGE_INTEGER frequency{};
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  const auto counter_ns = [&frequency] {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const std::int64_t ticks = now.QuadPart, hz = frequency.QuadPart;
    return ticks / hz * 1'000'000'000 + ticks % hz * 1'000'000'000 / hz;
  };
  // One counter tick of slack for the conversion's rounding.
  const std::int64_t tick_ns = 1'000'000'000 / frequency.QuadPart + 1;
  for (int i = 0; i < 1000; ++i) {
    const std::int64_t before = counter_ns();
    const std::int64_t steady =
        std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch())
            .count();
    const std::int64_t after = counter_ns();
    ASSERT_GE(steady, before - tick_ns) << i;
    ASSERT_LE(steady, after + tick_ns) << i;
  }
}

}  // namespace
