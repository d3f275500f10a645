// The Windows window's pace: runs the real Form1 for a number of seconds
// with TIME's probe attached and prints which timer paces TIME, the tick
// rate and how late each tick came after its deadline. Run under Wine by
// bench/wine/wine.sh.
//   win32_pace.exe SECONDS [--window-timer]
// --window-timer paces TIME with the re-armed window timer that Windows
// without a high-resolution waitable timer gets, for the two side by side.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/stats.h"
#include "window/win32/form1.h"

using zapwit::bench::Percentile;

int main(int argc, char** argv) {
  const int seconds = argc >= 2 ? std::atoi(argv[1]) : 0;
  const bool window_timer =
      argc == 3 && std::strcmp(argv[2], "--window-timer") == 0;
  if (seconds <= 0 || argc > 3 || (argc == 3 && !window_timer)) {
    std::fprintf(stderr, "usage: %s SECONDS [--window-timer]\n", argv[0]);
    return 2;
  }
  auto form = zapwit::Form1::Create(
      GetModuleHandleW(nullptr), {},
      window_timer ? zapwit::Form1::TimerChoice::kWindowTimer
                   : zapwit::Form1::TimerChoice::kBest);
  if (!form) return 1;
  std::vector<double> lateness_ms;
  lateness_ms.reserve(static_cast<std::size_t>(seconds) * 70);
  form->SetTimerProbe([&](auto deadline, auto fired, bool ticked) {
    if (!ticked) return;
    lateness_ms.push_back(
        std::chrono::duration<double, std::milli>(fired - deadline).count());
  });
  ShowWindow(form->Handle(), SW_SHOWNOACTIVATE);
  // The pace is counted from the first tick, so start-up does not count.
  zapwit::RunMessageLoop(*form, {[&] { return lateness_ms.empty(); }, {}});
  const auto start = std::chrono::steady_clock::now();
  const std::size_t first = lateness_ms.size();
  const auto end = start + std::chrono::seconds(seconds);
  zapwit::RunMessageLoop(
      *form, {[&] { return std::chrono::steady_clock::now() < end; }, {}});
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  const std::vector<double> late(
      lateness_ms.begin() + static_cast<std::ptrdiff_t>(first),
      lateness_ms.end());
  std::printf(
      "timer %s\nticks_per_second %.3f\nlateness_p50_ms %.2f\n"
      "lateness_p99_ms %.2f\nlateness_max_ms %.2f\n",
      form->TimerName(), static_cast<double>(late.size()) / elapsed,
      Percentile(late, 0.50), Percentile(late, 0.99), Percentile(late, 1.0));
  return 0;
}
