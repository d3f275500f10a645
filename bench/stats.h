#pragma once
// What the window benchmarks report of a set of samples.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <vector>

namespace zapwit::bench {

inline double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The nearest-rank percentile `fraction` (0 gives the least, 1 the most)
// of `sorted`, which must be sorted and not empty.
inline double NearestRank(const std::vector<double>& sorted, double fraction) {
  const auto index = static_cast<std::size_t>(
      std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::min(index == 0 ? 0 : index - 1, sorted.size() - 1)];
}

// The same of unsorted values; NaN for none.
inline double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return NearestRank(values, fraction);
}

struct Summary {
  double mean = NAN, sd = NAN, median = NAN, p99 = NAN, max = NAN;
};

// Mean, sample standard deviation and nearest-rank percentiles; all NaN
// for no samples.
inline Summary Summarize(std::vector<double> values) {
  Summary s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const auto n = static_cast<double>(values.size());
  double sum = 0;
  for (double x : values) sum += x;
  s.mean = sum / n;
  double squares = 0;
  for (double x : values) squares += (x - s.mean) * (x - s.mean);
  s.sd = values.size() > 1 ? std::sqrt(squares / (n - 1)) : 0;
  s.median = NearestRank(values, 0.5);
  s.p99 = NearestRank(values, 0.99);
  s.max = values.back();
  return s;
}

}  // namespace zapwit::bench
