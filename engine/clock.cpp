#include "engine/clock.h"

#include <chrono>
#include <ctime>

namespace zapwit {

float Clock() {
  using std::chrono::duration;
  using std::chrono::system_clock;
  const auto now = system_clock::now();
  const std::time_t whole = system_clock::to_time_t(now);
  // to_time_t may round; take the fraction from what it kept.
  const duration<double> fraction = now - system_clock::from_time_t(whole);
  std::tm local{};
  if (localtime_r(&whole, &local) == nullptr) return 0.0f;
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 +
                         local.tm_sec + fraction.count();
  return static_cast<float>(seconds);
}

}  // namespace zapwit
