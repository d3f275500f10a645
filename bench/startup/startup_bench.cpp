// Start-up seen from outside, as the desktop sees it: on the X server in
// DISPLAY, the time from exec to the program's window being mapped, and to
// its first frame (the first damage to the mapped window), for each program
// given, started in turn, RUNS times each. The programs share the machine's
// state in one run, so their ratio holds where the absolute figures drift
// from run to run.
//
// Usage: startup_bench RUNS PROGRAM [PROGRAM...]
//   Prints a Markdown table, one row per program; the last program given
//   is the floor the others are compared with (bare_window).
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bench/stats.h"

namespace {

using Steady = std::chrono::steady_clock;
using zapwit::bench::Ms;

constexpr auto kPatience = std::chrono::seconds(60);

struct Start {
  double mapped_ms = 0;
  double frame_ms = 0;
};

// The program's windows come and go with it; an error about one that has
// gone (a damage report freed with its window) is no fault of the bench.
int IgnoreErrors(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

// Starts `program`, waits for its top-level window to be mapped and then
// damaged, and ends it. Nothing on failure.
std::optional<Start> StartOnce(Display* display, int damage_event,
                               const std::string& program) {
  // Whatever a program before this one left in the queue.
  XSync(display, True);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const auto t0 = Steady::now();
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "startup_bench: cannot start %s\n", program.c_str());
    return std::nullopt;
  }
  std::set<Window> created;
  Window mapped = 0;
  std::optional<Start> start;
  Start seen;
  const int fd = ConnectionNumber(display);
  for (const auto end = t0 + kPatience; !start && Steady::now() < end;) {
    if (XPending(display) == 0) {
      pollfd ready{fd, POLLIN, 0};
      poll(&ready, 1, 100);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    const auto now = Steady::now();
    if (event.type == CreateNotify && !event.xcreatewindow.override_redirect) {
      // Watched from its creation: it cannot be drawn before it is mapped.
      created.insert(event.xcreatewindow.window);
      XDamageCreate(display, event.xcreatewindow.window, XDamageReportNonEmpty);
      XFlush(display);
    } else if (event.type == MapNotify && mapped == 0 &&
               created.count(event.xmap.window) != 0) {
      mapped = event.xmap.window;
      seen.mapped_ms = Ms(now - t0);
    } else if (event.type == damage_event) {
      const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
      if (mapped != 0 && damage.drawable == mapped) {
        seen.frame_ms = Ms(now - t0);
        start = seen;
      }
    }
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  if (!start) std::fprintf(stderr, "startup_bench: %s showed no frame\n", program.c_str());
  return start;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc >= 3 ? std::atoi(argv[1]) : 0;
  if (runs < 1) {
    std::fprintf(stderr, "usage: %s RUNS PROGRAM [PROGRAM...]\n", argv[0]);
    return 2;
  }
  const std::vector<std::string> programs(argv + 2, argv + argc);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "startup_bench: no X display\n");
    return 1;
  }
  int damage_event = 0, damage_error = 0;
  if (!XDamageQueryExtension(display, &damage_event, &damage_error)) {
    std::fprintf(stderr, "startup_bench: the X server has no XDamage\n");
    return 1;
  }
  damage_event += XDamageNotify;
  XSetErrorHandler(IgnoreErrors);
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);

  std::vector<std::vector<double>> mapped(programs.size()), frame(programs.size());
  // In turn, so that a drift of the machine falls on every program alike.
  for (int run = 0; run < runs; ++run) {
    for (std::size_t p = 0; p < programs.size(); ++p) {
      const std::optional<Start> start = StartOnce(display, damage_event, programs[p]);
      if (!start) return 1;
      mapped[p].push_back(start->mapped_ms);
      frame[p].push_back(start->frame_ms);
    }
  }
  const double floor = zapwit::bench::Summarize(frame.back()).median;
  std::printf("| Program | Exec to mapped, median (p99) | Exec to first frame, median (p99) | "
              "First frame against %s |\n|---|---|---|---|\n",
              programs.back().substr(programs.back().rfind('/') + 1).c_str());
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const auto m = zapwit::bench::Summarize(mapped[p]);
    const auto f = zapwit::bench::Summarize(frame[p]);
    std::printf("| `%s` | %.1f (%.1f) ms | %.1f (%.1f) ms | %.2f× |\n", programs[p].c_str(),
                m.median, m.p99, f.median, f.p99, f.median / floor);
  }
  std::printf("\n(%d starts of each, in turn)\n", runs);
  XCloseDisplay(display);
  return 0;
}
