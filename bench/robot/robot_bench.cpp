// A robot player for the real Form1 on a real X server (Xvfb): it watches
// BOX's pixels as the server has them, answers green after a known delay
// through XTest, and compares its own reaction time with the one the engine
// measures. The window and the robot live in one process, so every
// timestamp comes from one clock, std::chrono::steady_clock.
//
//   robot_bench [--games N] [--idle | --hog] [--qt-shm] [--csv FILE]
//   robot_bench --external COMMAND...   (a game in another process: Wine)
//
// --qt-shm leaves Qt's shared-memory backing store on, as Qt has it by
// default and the game had it before: the figures before and after.
//
// Per game it notes the engine's clock readings (the go signal's and the
// key's), the end of the frame that showed green, when the server's damage
// report for that frame reached the robot, when the robot sent its key, and
// when the key reached Form1. It prints a Markdown table of the stretches,
// the RT lag (engine's reaction time less the robot's) and the score error.
//
// The engine's clock reads the monotonic clock shifted to a time of day:
// morning (08:00), noon (12:00) or late evening (22:00), in turn, so that the
// single-precision clock's steps (2, 4 and 8 ms there) show in the scores.
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/robot/robot_x11.h"
#include "bench/stats.h"
#include "bench/watching_app.h"
#include "engine/score.h"
#include "window/qt/form1.h"
#include "window/qt/game.h"

namespace zapwit {
namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

using bench::Ms;

// Times of day the engine's clock is shifted to, in seconds since midnight.
struct TimeOfDay {
  const char* name;
  double seconds;
};
constexpr std::array<TimeOfDay, 3> kTimesOfDay = {{
    {"morning (08:00)", 8 * 3600.0},
    {"noon (12:00)", 12 * 3600.0},
    {"late evening (22:00)", 22 * 3600.0},
}};

// What the window side saw in one game.
struct Game {
  bool jump = false, hog = false;
  std::size_t time_of_day = 0;
  Steady::time_point go_read, paint_start, go_frame, key_native, key_arrived,
      key_read;
  float go_value = 0, key_value = 0;
  // The main thread's CPU clock at key_native and key_arrived, in ms. In a
  // virtual machine it also runs while the host holds the virtual CPU, so
  // a long stall that is not the game's work shows here too.
  double cpu_native = 0, cpu_arrived = 0;
  RobotSide robot;
  int score = 0;
  bool done = false;
  const char* lost = "";  // where a game that was not done stopped
};

// Sees every event, as the window benchmark does, and also the moment the
// event loop takes a key press from Qt's X connection.
class RobotApp final : public bench::WatchingApp,
                       public QAbstractNativeEventFilter {
 public:
  RobotApp(int& argc, char** argv) : WatchingApp(argc, argv) {
    installNativeEventFilter(this);
  }
  // Called when the event loop takes a key press from Qt's X connection.
  std::function<void()> key_native;
  bool nativeEventFilter(const QByteArray& type, void* message,
                         qintptr* /*result*/) override {
    constexpr std::uint8_t kXcbKeyPress = 2;
    if (key_native && type == "xcb_generic_event_t" &&
        (*static_cast<const std::uint8_t*>(message) & 0x7F) == kXcbKeyPress) {
      key_native();
    }
    return false;
  }
};

double ThreadCpuMs() {
  timespec cpu{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
  return static_cast<double>(cpu.tv_sec) * 1e3 +
         static_cast<double>(cpu.tv_nsec) / 1e6;
}

// The parsed score of "Your score is  75 , 100 is perfect.", if that line
// is there.
bool ParseScore(const std::vector<std::string>& lines, int& score) {
  for (const std::string& line : lines) {
    if (std::sscanf(line.c_str(), "Your score is %d", &score) == 1) return true;
  }
  return false;
}

// One game of LIGHT or JUMP against the robot.
Game Play(RobotApp& app, Robot& robot, bool jump, std::size_t time_of_day,
          std::mt19937& random) {
  Game game;
  game.jump = jump;
  game.time_of_day = time_of_day;
  const Steady::time_point origin = Steady::now();
  const double base = kTimesOfDay[time_of_day].seconds;
  Steady::time_point last_read;
  float last_value = 0;
  enum class Phase { kWaitGo, kWaitGoFrame, kWaitKey, kWaitScore, kDone };
  Phase phase = Phase::kWaitGo;
  // Targets and positions from the low tenth of their ranges, to keep the
  // games short; the go signal still falls at any point of a tick.
  std::uniform_real_distribution<float> low(0.0f, 0.1f);
  Form1::Sources sources{
      [&] {
        last_read = Steady::now();
        last_value = static_cast<float>(
            base + std::chrono::duration<double>(last_read - origin).count());
        if (phase == Phase::kWaitScore && game.key_read == Steady::time_point{}) {
          game.key_read = last_read;
          game.key_value = last_value;
        }
        return last_value;
      },
      [&] { return low(random); }, true};
  auto form = std::make_unique<Form1>(sources);
  form->show();
  form->activateWindow();
  (void)QTest::qWaitForWindowExposed(form.get());
  QApplication::processEvents();
  robot.Watch(static_cast<unsigned long>(form->winId()));

  QEventLoop loop;
  QTimer give_up;
  give_up.setSingleShot(true);
  QObject::connect(&give_up, &QTimer::timeout, &loop, &QEventLoop::quit);
  form->SetTimerProbe([&](auto, auto, bool ticked) {
    if (ticked && phase == Phase::kWaitGo && form->Engine().State().GoTime != 0) {
      game.go_read = last_read;
      game.go_value = last_value;
      phase = Phase::kWaitGoFrame;
    }
  });
  app.key_native = [&] {
    if (phase == Phase::kWaitKey && game.key_native == Steady::time_point{}) {
      game.key_native = Steady::now();
      game.cpu_native = ThreadCpuMs();
    }
  };
  app.before = [&](const QObject* receiver, const QEvent* event) {
    if (receiver == form.get() && event->type() == QEvent::UpdateRequest &&
        phase == Phase::kWaitGoFrame) {
      game.paint_start = Steady::now();
    }
    if (receiver == form.get() && event->type() == QEvent::KeyPress &&
        phase == Phase::kWaitKey) {
      game.key_arrived = Steady::now();
      game.cpu_arrived = ThreadCpuMs();
      phase = Phase::kWaitScore;
    }
  };
  app.after = [&](const QObject* receiver, const QEvent* event) {
    if (receiver != form.get() || event->type() != QEvent::UpdateRequest) return;
    if (phase == Phase::kWaitGoFrame) {
      game.go_frame = Steady::now();
      phase = Phase::kWaitKey;
    } else if (phase == Phase::kWaitScore &&
               ParseScore(form->VisibleLines(), game.score)) {
      phase = Phase::kDone;
      loop.quit();
    }
  };
  if (jump) {
    form->JUMP_Click();
  } else {
    form->LIGHT_Click();
  }
  give_up.start(milliseconds(15000));
  loop.exec();
  app.before = nullptr;
  app.after = nullptr;
  app.key_native = nullptr;
  game.robot = robot.Result();
  // The robot's copy of the key may still be on its way.
  for (int i = 0; i < 100 && game.robot.answered &&
                  game.robot.key_echo == Steady::time_point{};
       ++i) {
    std::this_thread::sleep_for(milliseconds(1));
    game.robot = robot.Result();
  }
  game.done = phase == Phase::kDone && game.robot.answered;
  constexpr std::array<const char*, 5> kWhere = {
      "no go signal", "no frame after the go signal", "no key reached Form1",
      "no score printed", "the robot did not answer"};
  game.lost = kWhere[static_cast<std::size_t>(phase)];
  return game;
}

// Rows both the in-process and the Wine table have.
constexpr const char* kStimulusRow =
    "**Stimulus path** (clock reading → green on the server)";
constexpr const char* kServerKeyRow =
    "XTest key sent → the server's key event reaches the robot";
constexpr const char* kResponseRow =
    "**Response path** (XTest send → clock reading)";
constexpr const char* kLagRow = "**RT lag** (engine's reaction time − robot's)";

// A section heading and the head of a table of stretches.
void StretchTable(const std::string& heading) {
  std::printf("\n### %s\n\n", heading.c_str());
  std::printf("| Stretch (ms) | Mean | SD | Median | p99 | Max |\n");
  std::printf("|---|---|---|---|---|---|\n");
}

void Row(const char* what, const std::vector<double>& values, int decimals = 3) {
  const bench::Summary s = bench::Summarize(values);
  std::printf("| %s | %.*f | %.*f | %.*f | %.*f | %.*f |\n", what, decimals,
              s.mean, decimals, s.sd, decimals, s.median, decimals, s.p99,
              decimals, s.max);
}

// One busy process per core, at the game's own priority.
std::vector<pid_t> StartHog() {
  std::vector<pid_t> hogs;
  const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
  for (long i = 0; i < cores; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      volatile unsigned long spin = 0;
      for (;;) spin = spin + 1;
    }
    if (child > 0) hogs.push_back(child);
  }
  return hogs;
}

void StopHog(const std::vector<pid_t>& hogs) {
  for (pid_t hog : hogs) kill(hog, SIGKILL);
  for (pid_t hog : hogs) waitpid(hog, nullptr, 0);
}

void Report(const std::vector<Game>& games, bool hog) {
  std::vector<double> paint_wait, paint, key_native, key_dispatch, key_echo;
  std::vector<double> go_frame, frame_server, stimulus, key_arrive, key_clock,
      response, own, lag, score_error, delay;
  int off_by_more = 0, count = 0;
  for (const Game& g : games) {
    if (g.hog != hog) continue;
    ++count;
    paint_wait.push_back(Ms(g.paint_start - g.go_read));
    paint.push_back(Ms(g.go_frame - g.paint_start));
    key_native.push_back(Ms(g.key_native - g.robot.key_sent));
    // A game whose copy of the key the robot never saw has no server
    // share to report.
    if (g.robot.key_echo != Steady::time_point{}) {
      key_echo.push_back(Ms(g.robot.key_echo - g.robot.key_sent));
    }
    key_dispatch.push_back(Ms(g.key_arrived - g.key_native));
    go_frame.push_back(Ms(g.go_frame - g.go_read));
    frame_server.push_back(Ms(g.robot.green_seen - g.go_frame));
    stimulus.push_back(Ms(g.robot.green_seen - g.go_read));
    key_arrive.push_back(Ms(g.key_arrived - g.robot.key_sent));
    key_clock.push_back(Ms(g.key_read - g.key_arrived));
    response.push_back(Ms(g.key_read - g.robot.key_sent));
    own.push_back(Ms(g.go_frame - g.go_read) + Ms(g.key_read - g.key_native));
    const double robot_rt = Ms(g.robot.key_sent - g.robot.green_seen);
    delay.push_back(robot_rt);
    lag.push_back(Ms(g.key_read - g.go_read) - robot_rt);
    const double expected = RoundHalfEven(100.0 - robot_rt / 10.0);
    score_error.push_back(g.score - expected);
    off_by_more += std::fabs(g.score - expected) > 1.0;
  }
  StretchTable(std::string(hog ? "CPU hog on every core" : "Idle") + ": " +
               std::to_string(count) + " games (LIGHT and JUMP)");
  Row("Go signal's clock reading → paint starts", paint_wait);
  Row("Paint and flush", paint);
  Row("Go signal's clock reading → its frame flushed by Qt", go_frame);
  Row("Frame flushed → green on the server (damage report)", frame_server);
  Row(kStimulusRow, stimulus);
  Row(kServerKeyRow, key_echo);
  Row("XTest key sent → the event loop takes it from Qt's X connection", key_native);
  Row("Event loop takes it → key reaches Form1", key_dispatch);
  Row("XTest key sent → key reaches Form1", key_arrive);
  Row("Key reaches Form1 → `KeyPressed`'s clock reading", key_clock);
  Row(kResponseRow, response);
  Row(kLagRow, lag);
  Row("The game's own part of it (clock reading → frame flushed, plus the "
      "event loop taking the key → clock reading)", own);
  Row("Robot's own reaction time", delay, 1);
  Row("Score error (points; printed − robot's due score)", score_error, 2);
  std::printf("\nGames whose score is off by more than one point: %d of %d.\n",
              off_by_more, count);
}

// One line per game, in milliseconds from the go signal's clock reading, for
// looking into single games (the tails).
void WriteCsv(const std::vector<Game>& games, const char* path) {
  FILE* file = std::fopen(path, "w");
  if (file == nullptr) {
    std::perror(path);
    return;
  }
  std::fprintf(file,
               "test,hog,time_of_day,paint_start,frame_flushed,green_seen,"
               "robot_delay,key_sent,key_echo,key_native,key_arrived,key_read,"
               "lag,score,main_thread_cpu_key\n");
  for (const Game& g : games) {
    const auto at = [&](Steady::time_point t) {
      return t == Steady::time_point{} ? NAN : Ms(t - g.go_read);
    };
    const double robot_rt = Ms(g.robot.key_sent - g.robot.green_seen);
    std::fprintf(file,
                 "%s,%d,%zu,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%d,%.3f\n",
                 g.jump ? "JUMP" : "LIGHT", g.hog ? 1 : 0, g.time_of_day,
                 at(g.paint_start), at(g.go_frame), at(g.robot.green_seen),
                 g.robot.delay_ms, at(g.robot.key_sent), at(g.robot.key_echo),
                 at(g.key_native), at(g.key_arrived), at(g.key_read),
                 Ms(g.key_read - g.go_read) - robot_rt, g.score,
                 g.cpu_arrived - g.cpu_native);
  }
  std::fclose(file);
}

// The clock's own error: the engine's reaction time from its clock values
// less the same time from the timestamps, per time of day, and the score
// error there.
void ReportClock(const std::vector<Game>& games) {
  std::printf("\n### The single-precision clock, by time of day (all games)\n\n");
  std::printf("| Time of day | Games | Clock step (ms) | Clock error mean (ms) | SD | Max abs | Score error mean | SD | Off by > 1 point |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  for (std::size_t t = 0; t < kTimesOfDay.size(); ++t) {
    std::vector<double> error, score_error;
    int off = 0;
    for (const Game& g : games) {
      if (g.time_of_day != t) continue;
      const double from_values =
          (static_cast<double>(g.key_value) - static_cast<double>(g.go_value)) * 1000.0;
      error.push_back(from_values - Ms(g.key_read - g.go_read));
      const double robot_rt = Ms(g.robot.key_sent - g.robot.green_seen);
      const double e = g.score - RoundHalfEven(100.0 - robot_rt / 10.0);
      score_error.push_back(e);
      off += std::fabs(e) > 1.0;
    }
    const auto at = static_cast<float>(kTimesOfDay[t].seconds);
    const double step = (std::nextafter(at, 1e9f) - at) * 1000.0;
    const bench::Summary e = bench::Summarize(error), s = bench::Summarize(score_error);
    double max_abs = 0;
    for (double x : error) max_abs = std::max(max_abs, std::fabs(x));
    std::printf("| %s | %zu | %.2f | %.3f | %.3f | %.3f | %.2f | %.2f | %d |\n",
                kTimesOfDay[t].name, error.size(), step, e.mean, e.sd, max_abs,
                s.mean, s.sd, off);
  }
}

// The robot against a game in another process: the Windows build under
// Wine. The command prints one line per game (see win32_robot.cpp) with its
// clock readings in 100 ns units of CLOCK_MONOTONIC_RAW, which is what
// Wine's performance counter reads; the robot's own times are moved onto
// that clock.
int RunExternal(char** command) {
  Robot robot;
  if (!robot.Open()) {
    std::fprintf(stderr, "robot_bench: no X server with XDamage and XTest\n");
    return 1;
  }
  int out[2];
  if (pipe(out) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execvp(command[0], command);
    std::perror(command[0]);
    _exit(127);
  }
  close(out[1]);
  if (child < 0) return 1;
  // In raw-clock nanoseconds, per window in the order they appeared.
  struct Seen {
    double green = 0, sent = 0, echo = 0, delay = 0;
    bool answered = false;
  };
  std::vector<Seen> seen;
  const auto take = [&] {
    const RobotSide r = robot.Result();
    const auto offset = RawClockOffset();
    const auto raw = [&](Steady::time_point t) {
      return t == Steady::time_point{}
                 ? NAN
                 : static_cast<double>((t.time_since_epoch() + offset).count());
    };
    seen.push_back({raw(r.green_seen), raw(r.key_sent), raw(r.key_echo),
                    r.delay_ms, r.answered});
  };
  unsigned long window = 0;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    const unsigned long next = FindTopLevel("ZAPWIT TEST", window);
    if (next != 0 && next != window) {
      if (window != 0) take();
      window = next;
      robot.Watch(window);
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  if (window != 0) take();
  std::string text;
  std::array<char, 4096> buffer{};
  for (ssize_t got = 0;
       (got = read(out[0], buffer.data(), buffer.size())) > 0;) {
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
  close(out[0]);

  std::vector<double> stimulus, response, in_game, lag, server;
  int lost = 0, count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    int index = 0, score = 0;
    char test[8] = {}, state[8] = {};
    long long go = 0, key = 0, arrived = 0;
    if (std::sscanf(line.c_str(), "game %d %7s %lld %lld %lld %d %7s", &index,
                    test, &go, &key, &arrived, &score, state) != 7) {
      continue;
    }
    ++count;
    const auto at = static_cast<std::size_t>(index);
    if (std::strcmp(state, "done") != 0 || at >= seen.size() ||
        !seen[at].answered) {
      ++lost;
      continue;
    }
    const Seen& r = seen[at];
    const auto ms = [](double ns) { return ns / 1e6; };
    const double go_ns = static_cast<double>(go) * 100.0;
    const double key_ns = static_cast<double>(key) * 100.0;
    stimulus.push_back(ms(r.green - go_ns));
    response.push_back(ms(key_ns - r.sent));
    in_game.push_back(ms(key_ns - static_cast<double>(arrived) * 100.0));
    if (!std::isnan(r.echo)) server.push_back(ms(r.echo - r.sent));
    lag.push_back(ms(key_ns - go_ns) - ms(r.sent - r.green));
  }
  StretchTable("ZAPWIT.exe under Wine: " + std::to_string(lag.size()) +
               " games (LIGHT and JUMP)");
  Row(kStimulusRow, stimulus);
  Row(kServerKeyRow, server);
  Row("Key message taken from the queue → `KeyPressed`'s clock reading", in_game);
  Row(kResponseRow, response);
  Row(kLagRow, lag);
  std::printf("\n%d games played, %d lost; %zu windows seen.\n", count, lost,
              seen.size());
  return lag.empty() || WEXITSTATUS(status) != 0 ? 1 : 0;
}

}  // namespace
}  // namespace zapwit

int main(int argc, char** argv) {
  using namespace zapwit;
  int games = 200;
  bool hog_only = false, idle_only = false;
  const char* csv = nullptr;
  bool qt_shm = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--external") == 0 && i + 1 < argc) {
      return RunExternal(argv + i + 1);
    }
    if (std::strcmp(argv[i], "--games") == 0 && i + 1 < argc) {
      games = std::max(4, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--hog") == 0) {
      hog_only = true;
    } else if (std::strcmp(argv[i], "--idle") == 0) {
      idle_only = true;
    } else if (std::strcmp(argv[i], "--qt-shm") == 0) {
      qt_shm = true;
    } else if (std::strcmp(argv[i], "--csv") == 0 && i + 1 < argc) {
      csv = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--games N] [--idle | --hog] [--qt-shm] [--csv FILE]\n"
                   "       %s --external COMMAND...\n", argv[0], argv[0]);
      return 2;
    }
  }
  if (!qt_shm) PreferDirectUpload();
  RobotApp app(argc, argv);
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    std::fprintf(stderr, "robot_bench: needs an X server (run under xvfb-run)\n");
    return 2;
  }
  Robot robot;
  if (!robot.Open()) {
    std::fprintf(stderr, "robot_bench: no XDamage or XTest on this display\n");
    return 1;
  }
  std::mt19937 random(1208);
  std::vector<Game> played;
  int failed = 0;
  const auto t0 = Steady::now();
  for (const bool hog : {false, true}) {
    if ((hog && idle_only) || (!hog && hog_only)) continue;
    const int count = idle_only || hog_only ? games : games / 2;
    const std::vector<pid_t> hogs = hog ? StartHog() : std::vector<pid_t>{};
    for (int i = 0; i < count; ++i) {
      Game game = Play(app, robot, i % 2 == 1, static_cast<std::size_t>(i / 2) % 3,
                       random);
      game.hog = hog;
      if (game.done) {
        played.push_back(game);
      } else {
        ++failed;
        std::fprintf(stderr, "%s game %d (%s) lost: %s\n", hog ? "hog" : "idle",
                     i + 1, game.jump ? "JUMP" : "LIGHT", game.lost);
      }
      if (i % 20 == 19) std::fprintf(stderr, "%s: %d of %d games\n", hog ? "hog" : "idle", i + 1, count);
    }
    StopHog(hogs);
  }
  const double seconds = std::chrono::duration<double>(Steady::now() - t0).count();
  for (const bool hog : {false, true}) {
    if ((hog && idle_only) || (!hog && hog_only)) continue;
    Report(played, hog);
  }
  ReportClock(played);
  if (csv != nullptr) WriteCsv(played, csv);
  std::printf(
      "\n%zu games played (%d lost: no green seen or no score), %.0f s. The robot "
      "watched through XDamage, reading only damaged rectangles: %ld images, "
      "%.2f %% of a core for the robot thread.\n",
      played.size(), failed, seconds, robot.Images(),
      100.0 * robot.CpuSeconds() / seconds);
  return played.empty() ? 1 : 0;
}
