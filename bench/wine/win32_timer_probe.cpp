// Two of Windows' timer rules, as the system this runs on applies them, for
// checking the timer model against Wine: the interval of a window timer
// asked for 1 ms and re-armed on each WM_TIMER (Windows raises anything
// below USER_TIMER_MINIMUM, 10 ms, to 10 ms), after timeBeginPeriod(1).
// The waitable timer's pace is win32_pace's.
//   win32_timer_probe.exe
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main() {
  timeBeginPeriod(1);
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return 1;
  std::vector<double> intervals_ms;
  auto armed = std::chrono::steady_clock::now();
  SetTimer(window, 1, 1, nullptr);
  MSG message{};
  while (intervals_ms.size() < 200 && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message != WM_TIMER) {
      DispatchMessageW(&message);
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    intervals_ms.push_back(
        std::chrono::duration<double, std::milli>(now - armed).count());
    armed = now;
    SetTimer(window, 1, 1, nullptr);
  }
  std::sort(intervals_ms.begin(), intervals_ms.end());
  std::printf("settimer_1ms_interval_ms %.3f\n",
              intervals_ms[intervals_ms.size() / 2]);
  timeEndPeriod(1);
  return 0;
}
