// The game's side of the robot player for the Windows build, run under Wine
// by `robot_bench --external`. Plays GAMES games of LIGHT and JUMP in turn,
// each in a fresh window that the robot finds on the X server, and prints
// one line per game:
//
//   game INDEX TEST GO KEY ARRIVED SCORE
//
// GO and KEY are the performance counter at the engine's clock readings for
// the go signal and the key, ARRIVED at the key message's arrival in the
// message loop, all in units of 100 ns. Under Wine the performance counter
// is the host's CLOCK_MONOTONIC_RAW, which the robot reads too.
//   win32_robot.exe GAMES [--window-timer]
// --window-timer paces TIME with the window timer that Windows without a
// high-resolution waitable timer gets.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "window/win32/form1.h"

namespace {

std::int64_t Counter100ns() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<std::int64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const auto ticks = static_cast<std::int64_t>(now.QuadPart);
  return ticks / frequency * 10'000'000 +
         ticks % frequency * 10'000'000 / frequency;
}

struct Game {
  std::int64_t go = 0, key = 0, arrived = 0;
  int score = 0;
  bool done = false;
};

Game Play(bool jump, zapwit::Form1::TimerChoice timer, std::mt19937& random) {
  Game game;
  enum class Phase { kWaitGo, kWaitKey, kWaitScore, kDone } phase =
      Phase::kWaitGo;
  std::int64_t last_read = 0;
  const std::int64_t origin = Counter100ns();
  // Targets from the low tenth of their ranges, as on Linux, to keep the
  // games short.
  std::uniform_real_distribution<float> low(0.0f, 0.1f);
  zapwit::Form1::Sources sources{
      [&] {
        last_read = Counter100ns();
        if (phase == Phase::kWaitScore && game.key == 0) game.key = last_read;
        // Noon, where the single-precision clock steps by 3.9 ms.
        return static_cast<float>(12 * 3600.0 +
                                  static_cast<double>(last_read - origin) / 1e7);
      },
      [&] { return low(random); }};
  auto form = zapwit::Form1::Create(GetModuleHandleW(nullptr), sources, timer);
  if (!form) return game;
  form->SetTimerProbe([&](auto, auto, bool ticked) {
    if (ticked && phase == Phase::kWaitGo && form->Engine().State().GoTime != 0) {
      game.go = last_read;
      phase = Phase::kWaitKey;
    }
  });
  ShowWindow(form->Handle(), SW_SHOW);
  SetForegroundWindow(form->Handle());
  // Time for the robot to find the new window on the X server; TIME ticks
  // all the while, so the loop wakes.
  const DWORD shown = GetTickCount();
  zapwit::RunMessageLoop(*form,
                         {[&] { return GetTickCount() - shown < 400; }, {}});
  if (jump) {
    form->JUMP_Click();
  } else {
    form->LIGHT_Click();
  }
  const DWORD started = GetTickCount();
  zapwit::RunMessageLoop(
      *form, {[&] {
                if (phase == Phase::kWaitScore) {
                  for (const std::string& line : form->Lines().Lines()) {
                    if (std::sscanf(line.c_str(), "Your score is %d",
                                    &game.score) == 1) {
                      phase = Phase::kDone;
                    }
                  }
                }
                return phase != Phase::kDone &&
                       GetTickCount() - started < 15000;
              },
              [&](const MSG& message) {
                if (message.message == WM_KEYDOWN && phase == Phase::kWaitKey) {
                  game.arrived = Counter100ns();
                  phase = Phase::kWaitScore;
                }
              }});
  game.done = phase == Phase::kDone && game.key != 0;
  return game;
}

}  // namespace

int main(int argc, char** argv) {
  const int games = argc >= 2 ? std::atoi(argv[1]) : 0;
  const bool window_timer =
      argc == 3 && std::strcmp(argv[2], "--window-timer") == 0;
  if (games <= 0 || argc > 3 || (argc == 3 && !window_timer)) {
    std::fprintf(stderr, "usage: %s GAMES [--window-timer]\n", argv[0]);
    return 2;
  }
  const auto timer = window_timer ? zapwit::Form1::TimerChoice::kWindowTimer
                                  : zapwit::Form1::TimerChoice::kBest;
  std::mt19937 random(1208);
  for (int i = 0; i < games; ++i) {
    const bool jump = i % 2 == 1;
    const Game game = Play(jump, timer, random);
    std::printf("game %d %s %lld %lld %lld %d %s\n", i,
                jump ? "JUMP" : "LIGHT", static_cast<long long>(game.go),
                static_cast<long long>(game.key),
                static_cast<long long>(game.arrived), game.score,
                game.done ? "done" : "lost");
    std::fflush(stdout);
  }
  return 0;
}
