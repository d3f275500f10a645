// Drives the real zapwit executable on an X server (Xvfb in the tests), as a
// player would: finds its window, checks its caption and size, clicks
// COUNTER, types a key, sees the text appear, then closes the window and
// expects exit status 0.
//
//   xvfb_smoke ZAPWIT                      the smoke test
//   xvfb_smoke ZAPWIT --close-mid-test     closes the window during JUMP
//   xvfb_smoke ZAPWIT --screenshot OUT.ppm  a mid-game picture of LIGHT
// and after any of these:
//   --dpi N          the window is expected at N DPI (default 96)
//   --launcher CMD   runs CMD ZAPWIT, for example a Wine wrapper
//   --signal N       ends the game mid-test with signal N instead of
//                    closing its window
//   --startup        only prints the milliseconds from start to the first
//                    frame with BOX red, then closes the window (for bench/)
//   --scale N        starts the game with QT_SCALE_FACTOR=N and expects
//                    everything N times the size, text drawn at that
//                    resolution rather than enlarged
//   --wm-class NAME  the window's WM_CLASS class must be NAME
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/smoke/red_square.h"
#include "window/form_layout.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long to wait for the program to do something before calling it a
// failure, and how often to look.
// Far beyond what a start or a step takes on a loaded machine, so only a
// real failure runs into them.
constexpr milliseconds kPatience{30'000};
constexpr milliseconds kStartPatience{60'000};
milliseconds kPoll{50};

constexpr const char* kTitle = zapwit::kFormCaption;
// The client area in pixels, at the DPI the window is expected at.
int client_width = zapwit::TwipsToPixels(zapwit::kClientWidth);
int client_height = zapwit::TwipsToPixels(zapwit::kClientHeight);
int dpi = zapwit::kBaseDpi;

// The centre of a control, in pixels at the expected DPI.
struct Point {
  int x, y;
};
// A distance of `pixels` at 96 DPI, at the expected DPI.
int Px(int pixels) { return pixels * dpi / zapwit::kBaseDpi; }

Point CentreOf(const zapwit::Placement& placement) {
  const zapwit::PixelRect r = zapwit::ToPixels(placement, dpi);
  return {r.left + r.width / 2, r.top + r.height / 2};
}
Point CentreOf(const char* button) {
  for (const auto& placement : zapwit::kButtons) {
    if (std::strcmp(placement.name, button) == 0) return CentreOf(placement);
  }
  return {0, 0};
}

// A window caught between being named and being mapped answers requests
// with errors; Xlib's default handler would end the driver on the first.
int IgnoreXError(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

int Fail(const std::string& why) {
  std::fprintf(stderr, "smoke: FAIL: %s\n", why.c_str());
  return 1;
}

std::optional<Window> FindWindow(Display* display, Window from, int depth) {
  char* name = nullptr;
  if (XFetchName(display, from, &name) != 0 && name != nullptr) {
    const bool match = std::strcmp(name, kTitle) == 0;
    XFree(name);
    if (match) return from;
  }
  if (depth == 0) return std::nullopt;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, from, &root, &parent, &children, &count) == 0) {
    return std::nullopt;
  }
  std::optional<Window> found;
  for (unsigned i = 0; i < count && !found; ++i) {
    found = FindWindow(display, children[i], depth - 1);
  }
  if (children != nullptr) XFree(children);
  return found;
}

// An RGB snapshot of the window's client area.
struct Snapshot {
  int width = 0, height = 0;
  std::string rgb;  // 3 bytes a pixel
  unsigned long At(int x, int y) const {
    const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) +
                    3 * (static_cast<std::size_t>(y) * width + x);
    return (static_cast<unsigned long>(p[0]) << 16) | (p[1] << 8) | p[2];
  }
  // Pixels of the band y0..y1 that differ from the pixel near the
  // bottom-left corner.
  int Ink(int y0, int y1) const {
    const unsigned long background = At(2, client_height - 11);
    int ink = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = 0; x < width; ++x) ink += At(x, y) != background;
    }
    return ink;
  }
};

// Of the `block`-sized squares in the band y0..y1 that hold ink, the share
// that are not one colour. Text enlarged from a smaller picture is drawn in
// even blocks, so this is 0 for it; text drawn at the full resolution has
// edges inside the blocks.
double UnevenShare(const Snapshot& s, int y0, int y1, int block) {
  const unsigned long background = s.At(2, client_height - 11);
  int inked = 0, uneven = 0;
  for (int y = y0; y + block <= y1; y += block) {
    for (int x = 0; x + block <= s.width; x += block) {
      bool ink = false, mixed = false;
      for (int dy = 0; dy < block; ++dy) {
        for (int dx = 0; dx < block; ++dx) {
          ink |= s.At(x + dx, y + dy) != background;
          mixed |= s.At(x + dx, y + dy) != s.At(x, y);
        }
      }
      inked += ink;
      uneven += mixed;
    }
  }
  return inked == 0 ? 0.0 : static_cast<double>(uneven) / inked;
}

// The window's WM_CLASS as "instance", "class".
std::optional<std::pair<std::string, std::string>> WmClass(Display* display,
                                                           Window window) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return std::nullopt;
  std::pair<std::string, std::string> names{
      hint.res_name != nullptr ? hint.res_name : "",
      hint.res_class != nullptr ? hint.res_class : ""};
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return names;
}

Snapshot Take(Display* display, Window window) {
  XSync(display, False);
  Snapshot shot;
  XImage* image =
      XGetImage(display, window, 0, 0, client_width, client_height, AllPlanes, ZPixmap);
  if (image == nullptr) return shot;
  shot.width = client_width;
  shot.height = client_height;
  shot.rgb.reserve(std::size_t{3} * client_width * client_height);
  for (int y = 0; y < client_height; ++y) {
    for (int x = 0; x < client_width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      shot.rgb.push_back(static_cast<char>((pixel & image->red_mask) >> 16));
      shot.rgb.push_back(static_cast<char>((pixel & image->green_mask) >> 8));
      shot.rgb.push_back(static_cast<char>(pixel & image->blue_mask));
    }
  }
  XDestroyImage(image);
  return shot;
}

// Polls `test` on fresh snapshots for up to `limit`.
template <typename Test>
bool WaitFor(Display* display, Window window, Test test,
             std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (test(Take(display, window))) return true;
    std::this_thread::sleep_for(kPoll);
  }
  return false;
}

void Click(Display* display, Window window, Point at) {
  const int x = at.x, y = at.y;
  int root_x = 0, root_y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y,
                        &root_x, &root_y, &child);
  XTestFakeMotionEvent(display, -1, root_x, root_y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
}

// With no window manager, some X clients (Wine) give keys to the window
// under the pointer: the pointer goes onto the window first.
void Type(Display* display, Window window, KeySym symbol) {
  int root_x = 0, root_y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display),
                        client_width / 2, client_height - 20, &root_x, &root_y, &child);
  XTestFakeMotionEvent(display, -1, root_x, root_y, CurrentTime);
  const KeyCode code = XKeysymToKeycode(display, symbol);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
  XFlush(display);
}

void Close(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] =
      static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

std::optional<int> WaitExit(pid_t child, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(kPoll);
  }
  return std::nullopt;
}

bool WritePpm(const Snapshot& shot, const char* path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << shot.width << ' ' << shot.height << "\n255\n" << shot.rgb;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  bool screenshot = false, close_mid_test = false, usage = argc < 2;
  bool startup = false;
  int end_signal = 0, scale = 1;
  const char* screenshot_path = nullptr;
  const char* wm_class = nullptr;
  const char* launcher = nullptr;
  for (int i = 2; i < argc && !usage; ++i) {
    const std::string option = argv[i];
    const bool has_value = i + 1 < argc;
    if (option == "--close-mid-test") {
      close_mid_test = true;
    } else if (option == "--screenshot" && has_value) {
      screenshot = true;
      screenshot_path = argv[++i];
    } else if (option == "--dpi" && has_value) {
      dpi = std::atoi(argv[++i]);
      usage = dpi <= 0;
    } else if (option == "--signal" && has_value) {
      close_mid_test = true;
      end_signal = std::atoi(argv[++i]);
      usage = end_signal <= 0;
    } else if (option == "--startup") {
      startup = true;
      kPoll = milliseconds(1);
    } else if (option == "--scale" && has_value) {
      scale = std::atoi(argv[++i]);
      dpi = scale * zapwit::kBaseDpi;
      usage = scale <= 0;
    } else if (option == "--wm-class" && has_value) {
      wm_class = argv[++i];
    } else if (option == "--launcher" && has_value) {
      launcher = argv[++i];
    } else {
      usage = true;
    }
  }
  if (usage) {
    std::fprintf(stderr,
                 "usage: %s ZAPWIT [--close-mid-test | --screenshot OUT.ppm]"
                 " [--dpi N | --scale N] [--wm-class NAME] [--launcher CMD]\n",
                 argv[0]);
    return 2;
  }
  client_width = zapwit::TwipsToPixels(zapwit::kClientWidth, dpi);
  client_height = zapwit::TwipsToPixels(zapwit::kClientHeight, dpi);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return Fail("no X display (run it under an X server: tests/on_xvfb.sh)");
  XSetErrorHandler(IgnoreXError);
  if (scale != 1) setenv("QT_SCALE_FACTOR", std::to_string(scale).c_str(), 1);

  const auto launched = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (launcher != nullptr) {
      execl(launcher, launcher, argv[1], static_cast<char*>(nullptr));
    } else {
      execl(argv[1], argv[1], static_cast<char*>(nullptr));
    }
    _exit(127);
  }

  std::optional<Window> window;
  for (auto end = Clock::now() + kStartPatience;
       !window && Clock::now() < end;) {
    window = FindWindow(display, DefaultRootWindow(display), 3);
    if (!window) std::this_thread::sleep_for(kPoll);
  }
  if (!window)
    return kill(child, SIGKILL), Fail("no window titled ZAPWIT TEST");

  // Named is not yet shown: its size counts once it is mapped.
  XWindowAttributes attributes{};
  for (auto end = Clock::now() + kPatience; Clock::now() < end;) {
    XGetWindowAttributes(display, *window, &attributes);
    if (attributes.map_state == IsViewable) break;
    std::this_thread::sleep_for(kPoll);
  }
  if (attributes.width != client_width || attributes.height != client_height) {
    kill(child, SIGKILL);
    return Fail("client area is " + std::to_string(attributes.width) + "x" +
                std::to_string(attributes.height) + ", not " +
                std::to_string(client_width) + "x" + std::to_string(client_height));
  }
  // Wait for the first frame: the red BOX at its place, filled, no larger.
  const Point box = CentreOf(zapwit::kBox);
  const bool painted = WaitFor(
      display, *window,
      [box](const Snapshot& s) {
        return s.width && s.At(box.x, box.y) == 0xFF0000;
      },
      kPatience);
  if (!painted) return kill(child, SIGKILL), Fail("BOX never showed red");
  const Snapshot first = Take(display, *window);
  const auto red = zapwit::smoke::FindRed(
      first.width, first.height, [&first](int x, int y) { return first.At(x, y); });
  const zapwit::PixelRect want = zapwit::ToPixels(zapwit::kBox, dpi);
  if (!red || !red->filled || red->left != want.left || red->top != want.top ||
      red->width != want.width || red->height != want.height) {
    kill(child, SIGKILL);
    return Fail(red ? "red area " + std::to_string(red->width) + "x" +
                          std::to_string(red->height) + " at (" +
                          std::to_string(red->left) + "," + std::to_string(red->top) +
                          (red->filled ? ")" : ") with holes")
                    : "no red area");
  }
  if (wm_class != nullptr) {
    const auto names = WmClass(display, *window);
    if (!names || names->second != wm_class) {
      kill(child, SIGKILL);
      return Fail("WM_CLASS class is '" + (names ? names->second : "") +
                  "', not '" + wm_class + "'");
    }
    std::printf("smoke: WM_CLASS \"%s\", \"%s\"\n", names->first.c_str(),
                names->second.c_str());
  }
  // Left of the button row nothing is printed yet.
  if (Take(display, *window).Ink(0, Px(14)) > 300) {
    return kill(child, SIGKILL), Fail("text before any test");
  }

  if (startup) {
    const std::chrono::duration<double, std::milli> took =
        Clock::now() - launched;
    std::printf("startup_ms %.1f\n", took.count());
    Close(display, *window);
    const std::optional<int> status = WaitExit(child, kPatience);
    return status == 0 ? 0 : Fail("no clean exit after the start-up run");
  }

  if (close_mid_test) {
    Click(display, *window, CentreOf("JUMP"));
    const bool started = WaitFor(
        display, *window, [](const Snapshot& s) { return s.Ink(0, Px(14)) > 100; },
        kPatience);
    if (!started) return kill(child, SIGKILL), Fail("JUMP did not start");
    // Mid-test is once the ticks run: BOX leaves its place on the tenth.
    const bool ticking = WaitFor(
        display, *window,
        [box](const Snapshot& s) { return s.At(box.x, box.y) != 0xFF0000; },
        kPatience);
    if (!ticking) return kill(child, SIGKILL), Fail("BOX never jumped");
    if (end_signal != 0) {
      kill(child, end_signal);
    } else {
      Close(display, *window);
    }
    const std::optional<int> status = WaitExit(child, kPatience);
    if (!status) return kill(child, SIGKILL), Fail("still running after close");
    if (*status != 0) return Fail("exit status " + std::to_string(*status));
    std::printf("smoke: %s during a test, exit status 0: OK\n",
                end_signal != 0 ? "signalled" : "closed");
    return 0;
  }

  if (screenshot) {
    Click(display, *window, CentreOf("LIGHT"));
    // Yellow, or green where LIGHT's go signal fell on the yellow tick
    // itself (one game in 300): a poll may miss a yellow of one tick.
    const bool lit = WaitFor(
        display, *window,
        [box](const Snapshot& s) {
          return s.At(box.x, box.y) == 0xFFFF00 || s.At(box.x, box.y) == 0x00FF00;
        },
        kPatience);
    if (!lit) return kill(child, SIGKILL), Fail("BOX never turned yellow");
    const bool written = WritePpm(Take(display, *window), screenshot_path);
    Close(display, *window);
    WaitExit(child, kPatience);
    return written ? 0 : Fail("cannot write the screenshot");
  }

  Click(display, *window, CentreOf("COUNTER"));
  const bool prompt = WaitFor(
      display, *window, [](const Snapshot& s) { return s.Ink(0, Px(14)) > 100; },
      kPatience);
  if (!prompt) return kill(child, SIGKILL), Fail("no prompt after the click");
  if (scale > 1) {
    const double uneven = UnevenShare(Take(display, *window), 0, Px(14), scale);
    std::printf("smoke: %.0f %% of the prompt's %dx%d blocks are uneven\n",
                100 * uneven, scale, scale);
    if (uneven < 0.2) {
      return kill(child, SIGKILL), Fail("the text is enlarged, not drawn at scale");
    }
  }
  const int before = Take(display, *window).Ink(Px(14), Px(60));
  Type(display, *window, XK_a);
  const bool scored = WaitFor(
      display, *window,
      [before](const Snapshot& s) { return s.Ink(Px(14), Px(60)) > before + 100; },
      kPatience);
  if (!scored) return kill(child, SIGKILL), Fail("no score line after a key");

  Close(display, *window);
  const std::optional<int> status = WaitExit(child, kPatience);
  if (!status) return kill(child, SIGKILL), Fail("still running after close");
  if (*status != 0) return Fail("exit status " + std::to_string(*status));
  XCloseDisplay(display);
  std::puts("smoke: window, click, key, score line and exit status 0: OK");
  return 0;
}
