// Measures the real Form1 on the current Qt platform (offscreen, or xcb on
// Xvfb): the pace of TIME, the latencies between the go signal, the key and
// what is painted, CPU and memory, beside plain QTimer baselines.
//
//   window_bench [--seconds S] [--runs N]   prints a Markdown table
//   window_bench --startup N RUNS SECONDS   exec to first frame, N times
//                                           each for the game and a bare
//                                           QLabel; then the game's memory
//                                           in RUNS fresh processes
//   window_bench --startup-child [--bare]   (used by --startup)
//   window_bench --memory-child SECONDS     (used by --startup)
//
// Timestamps all come from std::chrono::steady_clock (CLOCK_MONOTONIC).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/stats.h"
#include "bench/watching_app.h"
#include "engine/clock.h"
#include "window/qt/form1.h"
#include "window/qt/game.h"
#include "window/tick_schedule.h"

namespace zapwit {
namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

using bench::Ms;
using bench::Summarize;
using bench::Summary;

// CPU time of every thread of the process, from the scheduler's own
// nanosecond accounting (getrusage samples at the kernel's tick, too coarse
// for a process that runs a few milliseconds a second).
double CpuSeconds() {
  double total_ns = 0;
  QDir tasks("/proc/self/task");
  for (const QString& task :
       tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    std::ifstream stat(
        ("/proc/self/task/" + task + "/schedstat").toStdString());
    double on_cpu_ns = 0;
    if (stat >> on_cpu_ns) total_ns += on_cpu_ns;
  }
  if (total_ns > 0) return total_ns / 1e9;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A "Key:   value kB" line of a /proc file, in MB.
double ProcMegabytes(const char* path, const char* key) {
  std::ifstream file(path);
  std::string word;
  while (file >> word) {
    if (word == key) {
      double kib = 0;
      file >> kib;
      return kib / 1024.0;
    }
  }
  return NAN;
}

// A timer object of our own rather than QTimer::singleShot, whose
// self-deleting timer the static analyser takes for a leak.
void StartOnce(QTimer& timer, milliseconds delay) {
  timer.setSingleShot(true);
  timer.start(delay);
}

void RunFor(milliseconds duration) {
  QEventLoop loop;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  StartOnce(timer, duration);
  loop.exec();
}

// Sees every event: key arrivals at Form1 before it handles them, and the
// end of each paint-and-flush of a window (UpdateRequest to its widget).
using BenchApp = bench::WatchingApp;

BenchApp* app = nullptr;

// Watches the application's events for as long as it lives.
class ScopedWatch {
 public:
  ScopedWatch(BenchApp::Watcher before, BenchApp::Watcher after) {
    app->before = std::move(before);
    app->after = std::move(after);
  }
  ~ScopedWatch() {
    app->before = nullptr;
    app->after = nullptr;
  }
  ScopedWatch(const ScopedWatch&) = delete;
  ScopedWatch& operator=(const ScopedWatch&) = delete;
  ScopedWatch(ScopedWatch&&) = delete;
  ScopedWatch& operator=(ScopedWatch&&) = delete;
};

struct Pace {
  double rate = 0;   // ticks per second
  double drift = 0;  // ticks delivered minus ideal over the window
  double cpu_percent = 0;
  std::vector<double> lateness_ms;
};

// Form1 as the game runs it, idle or with COUNTER running (which repaints
// BOX's caption on every tick).
Pace MeasurePace(milliseconds duration, bool run_counter) {
  Form1 form;
  form.show();
  (void)QTest::qWaitForWindowExposed(&form);
  Pace pace;
  bool measuring = false;
  long ticks = 0;
  Steady::time_point first_tick, last_tick;
  form.SetTimerProbe([&](auto deadline, auto fired, bool ticked) {
    if (!measuring || !ticked) return;
    if (ticks == 0) first_tick = fired;
    last_tick = fired;
    ++ticks;
    pace.lateness_ms.push_back(Ms(fired - deadline));
  });
  if (run_counter) form.COUNTER_Click();
  RunFor(milliseconds(500));  // settle
  measuring = true;
  const double cpu0 = CpuSeconds();
  const auto t0 = Steady::now();
  RunFor(duration);
  const auto elapsed = Steady::now() - t0;
  const double cpu = CpuSeconds() - cpu0;
  measuring = false;
  const double seconds = std::chrono::duration<double>(elapsed).count();
  // Firings per second between the first and the last, free of where the
  // window's edges fall between two ticks.
  pace.rate = static_cast<double>(ticks - 1) /
              std::chrono::duration<double>(last_tick - first_tick).count();
  pace.drift = static_cast<double>(ticks) -
               std::chrono::duration<double>(elapsed) /
                   std::chrono::duration<double>(kTickPeriod);
  pace.cpu_percent = 100.0 * cpu / seconds;
  return pace;
}

// A plain repeating QTimer, for comparison: rate, and lateness against the
// ideal n-th deadline counted from its first firing.
// With `caption`, each firing also changes the text of a bare QLabel: the
// least any Qt Widgets window can do to show a count-down.
Pace MeasurePlainTimer(milliseconds interval, milliseconds duration,
                       bool caption = false) {
  Pace pace;
  std::unique_ptr<QLabel> label;
  if (caption) {
    label = std::make_unique<QLabel>();
    label->setFixedSize(484, 441);
    label->show();
    (void)QTest::qWaitForWindowExposed(label.get());
  }
  QTimer timer;
  timer.setInterval(interval);
  long firings = 0;
  Steady::time_point first;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const auto now = Steady::now();
    if (firings == 0) first = now;
    pace.lateness_ms.push_back(Ms(now - (first + firings * interval)));
    ++firings;
    if (label) label->setText(QString::number(firings));
  });
  const double cpu0 = CpuSeconds();
  const auto t0 = Steady::now();
  timer.start();
  RunFor(duration);
  timer.stop();
  const double seconds =
      std::chrono::duration<double>(Steady::now() - t0).count();
  pace.rate = static_cast<double>(firings) / seconds;
  pace.cpu_percent = 100.0 * (CpuSeconds() - cpu0) / seconds;
  pace.drift = static_cast<double>(firings) -
               seconds * 1000.0 / static_cast<double>(interval.count());
  return pace;
}

// The window's own work per COUNTER tick, without the timer: the engine's
// tick, the caption change, and the repaint and flush it causes. Also an
// idle tick for comparison.
struct TickCost {
  double counter_us = 0, idle_us = 0;
};

TickCost MeasureTickCost() {
  Form1 form(Form1::Sources{[] { return 1.0f; }, [] { return 0.0f; }, false});
  form.show();
  (void)QTest::qWaitForWindowExposed(&form);
  constexpr int kTicks = 3000;
  auto per_tick = [&] {
    const auto t0 = Steady::now();
    for (int i = 0; i < kTicks; ++i) {
      form.TIME_Timer();
      QApplication::processEvents();
    }
    return 1000.0 * Ms(Steady::now() - t0) / kTicks;
  };
  TickCost cost;
  cost.idle_us = per_tick();
  form.COUNTER_Click();
  cost.counter_us = per_tick();
  return cost;
}

struct Latencies {
  std::vector<double> stimulus_ms, response_ms, score_ms;
};

// Whole JUMP games, one window each (the printed lines never run out of
// room): go signal to its frame, key to the clock reading, key to the score
// line's frame. Random draws of 0 give the go signal on the fifth jump.
void MeasureLatencies(milliseconds duration, Latencies& out) {
  const auto end = Steady::now() + duration;
  while (Steady::now() < end) {
    enum class Phase {
      kWaitGo,
      kWaitGoFrame,
      kWaitKey,
      kWaitScoreFrame,
      kDone
    };
    Phase phase = Phase::kWaitGo;
    Steady::time_point clock_read, go, key;
    auto sources =
        Form1::Sources{[&] {
                         clock_read = Steady::now();
                         if (phase == Phase::kWaitScoreFrame) {
                           out.response_ms.push_back(Ms(clock_read - key));
                         }
                         return Clock();
                       },
                       [] { return 0.0f; }, true};
    auto form = std::make_unique<Form1>(sources);
    form->show();
    form->activateWindow();
    (void)QTest::qWaitForWindowExposed(form.get());
    QEventLoop loop;
    QWindow* window = form->windowHandle();
    QTimer key_timer, give_up;
    QObject::connect(&key_timer, &QTimer::timeout,
                     [window] { QTest::keyClick(window, Qt::Key_A); });
    QObject::connect(&give_up, &QTimer::timeout, &loop, &QEventLoop::quit);
    form->SetTimerProbe([&](auto, auto, bool ticked) {
      if (ticked && phase == Phase::kWaitGo &&
          form->Engine().State().GoTime != 0) {
        go = clock_read;
        phase = Phase::kWaitGoFrame;
      }
    });
    auto before = [&](const QObject* receiver, const QEvent* event) {
      if (receiver == form.get() && event->type() == QEvent::KeyPress &&
          phase == Phase::kWaitKey) {
        key = Steady::now();
        phase = Phase::kWaitScoreFrame;
      }
    };
    auto after = [&](const QObject* receiver, const QEvent* event) {
      // Qt Widgets paints and flushes a window's backing store when its
      // top-level widget handles UpdateRequest.
      if (receiver != form.get() || event->type() != QEvent::UpdateRequest) {
        return;
      }
      const auto now = Steady::now();
      if (phase == Phase::kWaitGoFrame) {
        out.stimulus_ms.push_back(Ms(now - go));
        phase = Phase::kWaitKey;
        StartOnce(key_timer, milliseconds(200));
      } else if (phase == Phase::kWaitScoreFrame &&
                 form->VisibleLines().size() >= 2) {
        out.score_ms.push_back(Ms(now - key));
        phase = Phase::kDone;
        loop.quit();
      }
    };
    const ScopedWatch watch(before, after);
    form->JUMP_Click();
    StartOnce(give_up, milliseconds(5000));
    loop.exec();
  }
}

std::string Cell(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void Row(const char* figure, const char* unit, const char* target,
         const Summary& s, int decimals, bool met) {
  std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", figure, unit, target,
              Cell(s.median, decimals).c_str(), Cell(s.p99, decimals).c_str(),
              Cell(s.max, decimals).c_str(), met ? "met" : "**missed**");
}

int Benchmark(milliseconds duration, int runs) {
  std::vector<double> rates, drifts, cpu_idle, cpu_running;
  std::vector<double> lateness, lateness_running;
  std::vector<double> rate_1ms, late_1ms, rate_16ms, late_16ms;
  std::vector<double> tick_idle_us, tick_counter_us;
  std::vector<double> cpu_1ms, cpu_16ms, cpu_label;
  Latencies latencies;
  for (int run = 0; run < runs; ++run) {
    std::fprintf(stderr, "run %d of %d\n", run + 1, runs);
    Pace idle = MeasurePace(duration, false);
    rates.push_back(idle.rate);
    drifts.push_back(std::fabs(idle.drift));
    cpu_idle.push_back(idle.cpu_percent);
    lateness.insert(lateness.end(), idle.lateness_ms.begin(),
                    idle.lateness_ms.end());
    Pace running = MeasurePace(duration, true);
    cpu_running.push_back(running.cpu_percent);
    lateness_running.insert(lateness_running.end(), running.lateness_ms.begin(),
                            running.lateness_ms.end());
    MeasureLatencies(duration, latencies);
    const TickCost cost = MeasureTickCost();
    tick_idle_us.push_back(cost.idle_us);
    tick_counter_us.push_back(cost.counter_us);
    Pace one = MeasurePlainTimer(milliseconds(1), duration);
    rate_1ms.push_back(one.rate);
    cpu_1ms.push_back(one.cpu_percent);
    late_1ms.insert(late_1ms.end(), one.lateness_ms.begin(),
                    one.lateness_ms.end());
    Pace sixteen = MeasurePlainTimer(milliseconds(16), duration);
    rate_16ms.push_back(sixteen.rate);
    cpu_16ms.push_back(sixteen.cpu_percent);
    cpu_label.push_back(
        MeasurePlainTimer(milliseconds(16), duration, true).cpu_percent);
    late_16ms.insert(late_16ms.end(), sixteen.lateness_ms.begin(),
                     sixteen.lateness_ms.end());
  }

  std::printf("| Figure | Unit | Target | Median | p99 | Max | |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  const Summary rate = Summarize(rates);
  const bool rate_ok = std::all_of(rates.begin(), rates.end(), [](double r) {
    return std::fabs(r - 64.0) <= 0.064;
  });
  Row("Tick rate, idle", "ticks/s", "64.00 ± 0.064", rate, 3, rate_ok);
  const Summary drift = Summarize(drifts);
  Row("Drift: ticks delivered minus ideal count", "ticks", "within ± 1", drift,
      2, drift.max <= 1.0);
  const Summary late = Summarize(lateness);
  Row("Tick lateness, idle", "ms", "p99 < 2", late, 3, late.p99 < 2.0);
  const Summary late_run = Summarize(lateness_running);
  Row("Tick lateness, COUNTER running", "ms", "p99 < 2", late_run, 3,
      late_run.p99 < 2.0);
  const Summary stimulus = Summarize(latencies.stimulus_ms);
  Row("Stimulus latency", "ms", "p99 < 2", stimulus, 3, stimulus.p99 < 2.0);
  const Summary response = Summarize(latencies.response_ms);
  Row("Response latency", "ms", "p99 < 0.2", response, 4, response.p99 < 0.2);
  const Summary score = Summarize(latencies.score_ms);
  Row("Score latency", "ms", "p99 < 2", score, 3, score.p99 < 2.0);
  const Summary idle = Summarize(cpu_idle);
  Row("CPU, idle", "% of a core", "< 1", idle, 3, idle.max < 1.0);
  const Summary running = Summarize(cpu_running);
  Row("CPU, COUNTER running", "% of a core", "< 1", running, 3,
      running.max < 1.0);
  Row("Window work per idle tick (no timer)", "µs", "reported",
      Summarize(tick_idle_us), 1, true);
  Row("Window work per COUNTER tick, with repaint (no timer)", "µs", "reported",
      Summarize(tick_counter_us), 1, true);
  std::printf(
      "\nBaselines in the same runs (plain repeating QTimer, default timer "
      "type):\n\n");
  std::printf(
      "| Timer | Rate median (/s) | Lateness median (ms) | p99 | Max | CPU "
      "median (%% of a core) |\n");
  std::printf("|---|---|---|---|---|---|\n");
  auto baseline = [](const char* name, const std::vector<double>& r,
                     const std::vector<double>& l,
                     const std::vector<double>& cpu) {
    const Summary lat = Summarize(l);
    std::printf("| %s | %s | %s | %s | %s | %s |\n", name,
                Cell(Summarize(r).median, 2).c_str(),
                Cell(lat.median, 3).c_str(), Cell(lat.p99, 3).c_str(),
                Cell(lat.max, 3).c_str(),
                Cell(Summarize(cpu).median, 3).c_str());
  };
  baseline("Form1's TIME (deadline schedule), idle", rates, lateness, cpu_idle);
  baseline("plain 1 ms QTimer", rate_1ms, late_1ms, cpu_1ms);
  baseline("plain 16 ms QTimer", rate_16ms, late_16ms, cpu_16ms);
  std::printf(
      "\nCPU of a bare QLabel whose text a plain 16 ms QTimer changes on "
      "every firing (the floor for a count-down on this platform): "
      "median %s %% of a core, against %s %% for Form1 running COUNTER.\n",
      Cell(Summarize(cpu_label).median, 3).c_str(),
      Cell(Summarize(cpu_running).median, 3).c_str());
  std::printf(
      "\nSamples: %zu tick firings, %zu go signals, %zu keys; %d runs of "
      "%lld ms per figure.\n",
      lateness.size(), latencies.stimulus_ms.size(), latencies.score_ms.size(),
      runs, static_cast<long long>(duration.count()));
  return 0;
}

// The game's own footprint: a fresh process that does what main() does,
// lets TIME tick for `seconds`, and prints its peak RSS and PSS in MB.
int MemoryChild(int argc, char** argv, int seconds) {
  QApplication child_app(argc, argv);
  Form1 form;
  form.show();
  form.activateWindow();
  RunFor(std::chrono::seconds(seconds));
  std::printf("%.2f %.2f\n", ProcMegabytes("/proc/self/status", "VmHWM:"),
              ProcMegabytes("/proc/self/smaps_rollup", "Pss:"));
  return 0;
}

// Runs this program again with `mode_args` and returns what it printed.
std::string RunChild(const char* self, std::vector<std::string> mode_args) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<char*> args;
  std::string name = "window_bench";
  args.push_back(name.data());
  for (std::string& arg : mode_args) args.push_back(arg.data());
  args.push_back(nullptr);
  pid_t child = 0;
  std::string text;
  if (posix_spawn(&child, self, &actions, nullptr, args.data(), environ) == 0) {
    close(pipe_fds[1]);
    char buffer[256];
    ssize_t got = 0;
    while ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    waitpid(child, &status, 0);
  } else {
    close(pipe_fds[1]);
  }
  close(pipe_fds[0]);
  posix_spawn_file_actions_destroy(&actions);
  return text;
}

// The child: what main() does (or, with `bare`, a bare QLabel in its
// place), then the time of the first frame flushed.
int StartupChild(int argc, char** argv, bool bare) {
  BenchApp child_app(argc, argv);
  std::unique_ptr<QWidget> form;
  if (bare) {
    form = std::make_unique<QLabel>("ZAPWIT TEST");
  } else {
    form = std::make_unique<Form1>();
  }
  child_app.after = [&](const QObject* receiver, const QEvent* event) {
    if (receiver == form.get() && event->type() == QEvent::UpdateRequest) {
      std::printf("%lld\n", static_cast<long long>(
                                Steady::now().time_since_epoch().count()));
      std::fflush(stdout);
      std::_Exit(0);
    }
  };
  form->show();
  form->activateWindow();
  return QApplication::exec();
}

// Start-up of the game, and of a bare QLabel for comparison, alternated;
// then the game's footprint in fresh processes. Prints table rows.
int StartupAndMemory(const char* self, int count, int memory_runs,
                     int memory_seconds) {
  std::vector<double> game, bare;
  for (int i = 0; i < 2 * count; ++i) {
    const bool is_bare = i % 2 == 1;
    const auto t0 = Steady::now();
    std::vector<std::string> args = {"--startup-child"};
    if (is_bare) args.emplace_back("--bare");
    const std::string text = RunChild(self, args);
    if (text.empty()) return 1;
    const Steady::time_point painted{
        Steady::duration(std::atoll(text.c_str()))};
    (is_bare ? bare : game).push_back(Ms(painted - t0));
  }
  std::vector<double> rss, pss;
  for (int i = 0; i < memory_runs; ++i) {
    const std::string text =
        RunChild(self, {"--memory-child", std::to_string(memory_seconds)});
    double run_rss = NAN, run_pss = NAN;
    if (std::sscanf(text.c_str(), "%lf %lf", &run_rss, &run_pss) != 2) {
      return 1;
    }
    rss.push_back(run_rss);
    pss.push_back(run_pss);
  }
  const Summary s = Summarize(game);
  Row("Start-up, exec to first frame", "ms", "< 50", s, 1, s.p99 < 50);
  Row("Start-up of a bare QLabel app, for comparison", "ms", "reported",
      Summarize(bare), 1, true);
  const Summary peak = Summarize(rss);
  Row("Peak RSS of the game after its run", "MB", "< 30", peak, 1,
      peak.max < 30);
  const Summary proportional = Summarize(pss);
  Row("PSS of the game after its run", "MB", "< 30", proportional, 1,
      proportional.max < 30);
  std::printf(
      "\n(%d starts each; footprint: %d fresh processes of %d s each)\n", count,
      memory_runs, memory_seconds);
  return 0;
}

}  // namespace
}  // namespace zapwit

int main(int argc, char** argv) {
  using namespace zapwit;
  // As the game does; the start-up children inherit it.
  PreferDirectUpload();
  if (argc >= 2 && std::strcmp(argv[1], "--startup-child") == 0) {
    return StartupChild(argc, argv,
                        argc == 3 && std::strcmp(argv[2], "--bare") == 0);
  }
  if (argc == 3 && std::strcmp(argv[1], "--memory-child") == 0) {
    return MemoryChild(argc, argv, std::atoi(argv[2]));
  }
  if (argc == 5 && std::strcmp(argv[1], "--startup") == 0) {
    return StartupAndMemory("/proc/self/exe", std::atoi(argv[2]),
                            std::atoi(argv[3]), std::atoi(argv[4]));
  }
  long long seconds = 20;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0)
      seconds = std::atoll(argv[i + 1]);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
  }
  BenchApp bench_app(argc, argv);
  app = &bench_app;
  return Benchmark(std::chrono::seconds(seconds), runs);
}
