// TIME's pace while the player drags the window by its title bar, against a
// game at rest in the same run: the Windows build under Wine in a virtual
// desktop (`wine explorer /desktop=...`), where Wine draws the title bar
// and runs Windows' modal move loop itself, which never returns to the
// game's own loop. Each game clicks LIGHT and measures, from the X side,
// the time from the buttons going to BOX turning yellow, which is tick 100
// (1.5625 s at 64 ticks a second). In a dragged game the title bar is
// pressed as soon as the buttons go and the pointer moves the window back
// and forth until yellow shows. Games at rest and dragged alternate.
//   drag_bench GAMES WINE ZAPWIT.exe     (on an X server; WINEPREFIX set)
// Prints one line per game, "rest MS" or "drag MS", the X side's sampling
// interval, which bounds the figures' resolution, and how far the window
// had moved when yellow showed, which shows that the drag took.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/smoke/red_square.h"
#include "window/form_layout.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kDesktopWidth = 900, kDesktopHeight = 700;
constexpr const char* kDesktopName = "zapwit-drag";
constexpr milliseconds kPatience{30'000};
constexpr unsigned long kYellow = 0xFFFF00;

int IgnoreXError(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

std::optional<Window> FindByName(Display* display, const std::string& name) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent,
                 &children, &count) == 0) {
    return std::nullopt;
  }
  std::optional<Window> found;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* window_name = nullptr;
    if (XFetchName(display, children[i], &window_name) != 0 &&
        window_name != nullptr) {
      if (name == window_name) found = children[i];
      XFree(window_name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

// The desktop window's pixels, 0xRRGGBB.
struct Picture {
  std::vector<unsigned long> pixels;
  unsigned long At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * kDesktopWidth +
                  static_cast<std::size_t>(x)];
  }
};

std::optional<Picture> Take(Display* display, Window desktop) {
  XImage* image = XGetImage(display, desktop, 0, 0, kDesktopWidth,
                            kDesktopHeight, AllPlanes, ZPixmap);
  if (image == nullptr) return std::nullopt;
  Picture picture;
  picture.pixels.resize(static_cast<std::size_t>(kDesktopWidth) *
                        kDesktopHeight);
  for (int y = 0; y < kDesktopHeight; ++y) {
    for (int x = 0; x < kDesktopWidth; ++x) {
      picture.pixels[static_cast<std::size_t>(y) * kDesktopWidth +
                     static_cast<std::size_t>(x)] =
          XGetPixel(image, x, y) & 0xFFFFFF;
    }
  }
  XDestroyImage(image);
  return picture;
}

// How many pixels are `color`, and their mean column (the icon's few
// yellow pixels hardly move it off BOX's).
struct Colored {
  int count = 0;
  double mean_x = 0;
};
Colored Find(const Picture& picture, unsigned long color) {
  Colored found;
  double sum_x = 0;
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    if (picture.pixels[i] != color) continue;
    ++found.count;
    sum_x += static_cast<double>(i % kDesktopWidth);
  }
  if (found.count > 0) found.mean_x = sum_x / found.count;
  return found;
}

void MoveTo(Display* display, int x, int y) {
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XSync(display, False);
}

void Button(Display* display, bool press) {
  XTestFakeButtonEvent(display, 1, press ? True : False, CurrentTime);
  XSync(display, False);
}

struct Game {
  std::optional<double> to_yellow_ms;
  double sample_ms = 0;  // the mean interval between pictures
  int moved_px = 0;       // how far the window had been dragged at yellow
};

Game Play(Display* display, const char* wine, const char* exe, bool drag) {
  Game game;
  const std::string desktop_arg = std::string("/desktop=") + kDesktopName +
                                  "," + std::to_string(kDesktopWidth) + "x" +
                                  std::to_string(kDesktopHeight);
  const pid_t child = fork();
  if (child == 0) {
    execl(wine, wine, "explorer", desktop_arg.c_str(), exe,
          static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto end_game = [child] {
    // The whole prefix goes: explorer, the game and their server.
    const pid_t killer = fork();
    if (killer == 0) {
      execlp("wineserver", "wineserver", "-k", static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(killer, &status, 0);
    waitpid(child, &status, 0);
  };

  // The desktop, then BOX red in it: the game is drawn and ticking.
  std::optional<Window> desktop;
  std::optional<zapwit::smoke::RedArea> red;
  for (auto end = Clock::now() + kPatience; Clock::now() < end && !red;) {
    if (!desktop) desktop = FindByName(display, std::string(kDesktopName) +
                                                    " - Wine desktop");
    if (desktop) {
      if (const auto picture = Take(display, *desktop)) {
        red = zapwit::smoke::FindRed(
            kDesktopWidth, kDesktopHeight,
            [&picture](int x, int y) { return picture->At(x, y); });
      }
    }
    if (!red) std::this_thread::sleep_for(milliseconds(20));
  }
  if (!desktop || !red) {
    std::fprintf(stderr, "drag_bench: no game with a red BOX on the desktop\n");
    end_game();
    return game;
  }
  const zapwit::PixelRect box = zapwit::ToPixels(zapwit::kBox);
  const zapwit::PixelRect light = zapwit::ToPixels(zapwit::kButtons[0]);
  const int client_x = red->left - box.left, client_y = red->top - box.top;
  int root_x = 0, root_y = 0;
  Window unused = 0;
  XTranslateCoordinates(display, *desktop, DefaultRootWindow(display), 0, 0,
                        &root_x, &root_y, &unused);

  // LIGHT's left edge shows the form's colour once the buttons have gone.
  const int edge_x = client_x + light.left, edge_y = client_y + light.top + 12;
  const unsigned long form_colour =
      Take(display, *desktop)->At(client_x + 2, client_y + 400);
  MoveTo(display, root_x + client_x + light.left + light.width / 2,
         root_y + client_y + light.top + light.height / 2);
  Button(display, true);
  Button(display, false);
  std::optional<Clock::time_point> started;
  for (auto end = Clock::now() + kPatience; Clock::now() < end && !started;) {
    const auto picture = Take(display, *desktop);
    if (picture && picture->At(edge_x, edge_y) == form_colour) {
      started = Clock::now();
    }
  }
  if (!started) {
    std::fprintf(stderr, "drag_bench: LIGHT did not start\n");
    end_game();
    return game;
  }

  // The title bar, well left of its buttons: Wine's caption is above the
  // client area.
  const int title_x = root_x + client_x + 120, title_y = root_y + client_y - 10;
  if (drag) {
    MoveTo(display, title_x, title_y);
    Button(display, true);
  }
  int pictures = 0, step = 0;
  for (auto end = *started + kPatience; Clock::now() < end;) {
    if (drag) {
      // Back and forth by up to 80 pixels, 4 pixels a picture.
      const int offset = (step % 40 < 20 ? step % 20 : 20 - step % 20) * 4;
      MoveTo(display, title_x + offset, title_y);
      ++step;
    }
    const auto picture = Take(display, *desktop);
    ++pictures;
    const Colored yellow = picture ? Find(*picture, kYellow) : Colored{};
    if (yellow.count > box.width * box.height / 2) {
      game.to_yellow_ms =
          std::chrono::duration<double, std::milli>(Clock::now() - *started)
              .count();
      game.moved_px = static_cast<int>(yellow.mean_x - red->left -
                                       (red->width - 1) / 2.0);
      break;
    }
  }
  const double sampled =
      std::chrono::duration<double, std::milli>(Clock::now() - *started)
          .count();
  game.sample_ms = pictures > 0 ? sampled / pictures : 0;
  if (drag) Button(display, false);
  end_game();
  return game;
}

}  // namespace

int main(int argc, char** argv) {
  const int games = argc == 4 ? std::atoi(argv[1]) : 0;
  if (games <= 0) {
    std::fprintf(stderr, "usage: %s GAMES WINE ZAPWIT.exe\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "drag_bench: no X display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreXError);
  int failed = 0;
  for (int i = 0; i < games; ++i) {
    const bool drag = i % 2 == 1;
    const Game game = Play(display, argv[2], argv[3], drag);
    if (!game.to_yellow_ms) {
      ++failed;
      std::printf("%s lost\n", drag ? "drag" : "rest");
      continue;
    }
    std::printf("%s %.1f sample_ms %.1f moved_px %d\n", drag ? "drag" : "rest",
                *game.to_yellow_ms, game.sample_ms, game.moved_px);
    std::fflush(stdout);
  }
  XCloseDisplay(display);
  return failed == 0 ? 0 : 1;
}
