#pragma once
// The robot player's eyes and hands on the X server, kept apart from Qt:
// Xlib's macros (KeyPress, Status, Bool, None) clash with Qt's names.

#include <chrono>
#include <memory>

namespace zapwit {

// What the robot saw and did in one game.
struct RobotSide {
  std::chrono::steady_clock::time_point green_seen, key_sent;
  // When the server's key event for the game's window reached the robot
  // (it listens for it too): the server's share of the response path.
  std::chrono::steady_clock::time_point key_echo;
  double delay_ms = 0;  // what the robot meant to wait
  bool answered = false;
};

// The robot: its own display connection, a damage report on the current
// game's window, and XTest for its key. It runs in its own thread and answers
// the first green it sees in each game 150 ms plus a uniform 0-250 ms later.
class Robot {
 public:
  Robot();
  ~Robot();
  Robot(const Robot&) = delete;
  Robot& operator=(const Robot&) = delete;
  Robot(Robot&&) = delete;
  Robot& operator=(Robot&&) = delete;

  // Connects to the display in DISPLAY; false without XDamage or XTest.
  bool Open();
  // Watches the X window `window` for the next game; returns once the
  // damage report is in place on the server.
  void Watch(unsigned long window);
  RobotSide Result();
  // The robot thread's CPU time in seconds, and the images it has read.
  double CpuSeconds() const;
  long Images() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A mapped top-level window titled `title` other than `other`, or 0. Used
// to find a game run by another process (Wine) on the same X server. With
// `prefix`, a title that begins with `title` will do (a browser adds its
// own name to the page's).
unsigned long FindTopLevel(const char* title, unsigned long other, bool prefix = false);

// A left click through XTest at `x`, `y` on the screen; false without
// XTest.
bool ClickAt(int x, int y);

// Whether a window manager (one that says so on the root window, as
// EWMH asks) runs on the display.
bool WindowManagerRuns();

// CLOCK_MONOTONIC_RAW less steady_clock (CLOCK_MONOTONIC), now.
std::chrono::nanoseconds RawClockOffset();

}  // namespace zapwit
