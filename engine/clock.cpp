#include "engine/clock.h"

#include <chrono>
#include <ctime>

namespace zapwit {
namespace {

// The C library's thread-safe local-time call: POSIX and Windows spell it
// differently, with their arguments swapped.
bool ToLocalTime(std::time_t when, std::tm& local) {
#if defined(_WIN32)
  return localtime_s(&local, &when) == 0;
#else
  return localtime_r(&when, &local) != nullptr;
#endif
}

}  // namespace

double TimeOfDay() {
  using std::chrono::duration;
  using std::chrono::system_clock;
  const auto now = system_clock::now();
  const std::time_t whole = system_clock::to_time_t(now);
  // to_time_t may round; take the fraction from what it kept.
  const duration<double> fraction = now - system_clock::from_time_t(whole);
  std::tm local{};
  if (!ToLocalTime(whole, local)) return 0.0;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
         fraction.count();
}

float Clock() { return static_cast<float>(TimeOfDay()); }

}  // namespace zapwit
