// The robot player's eyes and hands for a game in a browser: the same
// robot as robot_bench's (XDamage on the browser's window, a key through
// XTest 150 ms plus a uniform 0-250 ms after the first green), driven line
// by line from bench/web/robot.mjs, which runs the browser.
//
//   watch TITLE     finds the browser's top-level window whose title begins
//                   with TITLE and arms the robot for a new game in it;
//                   answers "watching WINDOW" or "error ..."
//   result          once the robot has answered, or after 30 s without
//                   green: "result SEEN SENT ECHO DELAY" (the first three in
//                   ns of CLOCK_MONOTONIC, ECHO 0 where the server sent the
//                   robot no copy of its key; DELAY in ms) or "result none"
//   click X Y       a left click at X, Y on the screen, through XTest, as a
//                   player clicks into a page before typing; "clicked"
//   wm              "wm yes" once a window manager runs, else "wm no"
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "bench/robot/robot_x11.h"

namespace {

using Steady = std::chrono::steady_clock;

long long Ns(Steady::time_point t) {
  if (t == Steady::time_point{}) return 0;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// Polls `ready` every millisecond until it is true or `patience` passes.
template <typename Ready>
bool WaitFor(Ready ready, std::chrono::milliseconds patience) {
  const auto end = Steady::now() + patience;
  while (!ready()) {
    if (Steady::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

int main() {
  zapwit::Robot robot;
  if (!robot.Open()) {
    std::printf("error no X display with XDamage and XTest\n");
    return 1;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.rfind("watch ", 0) == 0) {
      const std::string title = line.substr(6);
      unsigned long window = 0;
      WaitFor([&] { return (window = zapwit::FindTopLevel(title.c_str(), 0, true)) != 0; },
              std::chrono::seconds(10));
      if (window == 0) {
        std::printf("error no window titled %s\n", title.c_str());
      } else {
        robot.Watch(window);
        std::printf("watching %lu\n", window);
      }
    } else if (line == "result") {
      // A game with no green gives up after 30 s. The key's echo, where the
      // server sends the robot one, comes a moment after the key.
      WaitFor([&] { return robot.Result().answered; }, std::chrono::seconds(30));
      WaitFor([&] { return robot.Result().key_echo != Steady::time_point{}; },
              std::chrono::milliseconds(100));
      const zapwit::RobotSide side = robot.Result();
      if (side.answered) {
        std::printf("result %lld %lld %lld %.3f\n", Ns(side.green_seen), Ns(side.key_sent),
                    Ns(side.key_echo), side.delay_ms);
      } else {
        std::printf("result none\n");
      }
    } else if (line.rfind("click ", 0) == 0) {
      int x = 0, y = 0;
      if (std::sscanf(line.c_str(), "click %d %d", &x, &y) == 2 && zapwit::ClickAt(x, y)) {
        std::printf("clicked\n");
      } else {
        std::printf("error cannot click %s\n", line.c_str() + 6);
      }
    } else if (line == "wm") {
      std::printf("wm %s\n", zapwit::WindowManagerRuns() ? "yes" : "no");
    } else {
      std::printf("error unknown command %s\n", line.c_str());
    }
    std::fflush(stdout);
  }
  return 0;
}
