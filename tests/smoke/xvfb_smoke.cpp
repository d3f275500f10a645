// Drives the real zapwit executable on an X server (Xvfb in the tests), as a
// player would: finds its window, checks its caption and size, clicks
// COUNTER, types a key, sees the text appear, then closes the window and
// expects exit status 0.
//
//   xvfb_smoke ZAPWIT                      the smoke test
//   xvfb_smoke ZAPWIT --close-mid-test     closes the window during JUMP
//   xvfb_smoke ZAPWIT --screenshot OUT.ppm  a mid-game picture of LIGHT
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
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long to wait for the program to do something before calling it a
// failure, and how often to look.
constexpr milliseconds kPatience{10'000};
constexpr milliseconds kStartPatience{15'000};
constexpr milliseconds kPoll{50};

constexpr const char* kTitle = "ZAPWIT TEST";
constexpr int kWidth = 484;
constexpr int kHeight = 441;

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
  // Pixels of the band y0..y1 that differ from the pixel at (x, y) = (2, 430).
  int Ink(int y0, int y1) const {
    const unsigned long background = At(2, kHeight - 11);
    int ink = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = 0; x < width; ++x) ink += At(x, y) != background;
    }
    return ink;
  }
};

Snapshot Take(Display* display, Window window) {
  XSync(display, False);
  Snapshot shot;
  XImage* image =
      XGetImage(display, window, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
  if (image == nullptr) return shot;
  shot.width = kWidth;
  shot.height = kHeight;
  shot.rgb.reserve(std::size_t{3} * kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
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

void Click(Display* display, Window window, int x, int y) {
  int root_x = 0, root_y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y,
                        &root_x, &root_y, &child);
  XTestFakeMotionEvent(display, -1, root_x, root_y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
}

void Type(Display* display, KeySym symbol) {
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
  const bool screenshot =
      argc == 4 && std::strcmp(argv[2], "--screenshot") == 0;
  const bool close_mid_test =
      argc == 3 && std::strcmp(argv[2], "--close-mid-test") == 0;
  if (argc != 2 && !screenshot && !close_mid_test) {
    std::fprintf(stderr,
                 "usage: %s ZAPWIT [--close-mid-test | --screenshot OUT.ppm]\n",
                 argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return Fail("no X display (run under xvfb-run)");
  XSetErrorHandler(IgnoreXError);

  const pid_t child = fork();
  if (child == 0) {
    execl(argv[1], argv[1], static_cast<char*>(nullptr));
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

  XWindowAttributes attributes{};
  XGetWindowAttributes(display, *window, &attributes);
  if (attributes.width != kWidth || attributes.height != kHeight) {
    kill(child, SIGKILL);
    return Fail("client area is " + std::to_string(attributes.width) + "x" +
                std::to_string(attributes.height) + ", not 484x441");
  }
  // Wait for the first frame: the red BOX at its place.
  const bool painted = WaitFor(
      display, *window,
      [](const Snapshot& s) { return s.width && s.At(225, 160) == 0xFF0000; },
      kPatience);
  if (!painted) return kill(child, SIGKILL), Fail("BOX never showed red");
  // Left of the button row nothing is printed yet.
  if (Take(display, *window).Ink(0, 14) > 300) {
    return kill(child, SIGKILL), Fail("text before any test");
  }

  if (close_mid_test) {
    Click(display, *window, 120, 28);  // JUMP
    const bool started = WaitFor(
        display, *window, [](const Snapshot& s) { return s.Ink(0, 14) > 100; },
        kPatience);
    if (!started) return kill(child, SIGKILL), Fail("JUMP did not start");
    std::this_thread::sleep_for(
        milliseconds(300));  // ticking, BOX not yet green
    Close(display, *window);
    const std::optional<int> status = WaitExit(child, kPatience);
    if (!status) return kill(child, SIGKILL), Fail("still running after close");
    if (*status != 0) return Fail("exit status " + std::to_string(*status));
    std::puts("smoke: closed during a test, exit status 0: OK");
    return 0;
  }

  if (screenshot) {
    Click(display, *window, 48, 28);                  // LIGHT
    std::this_thread::sleep_for(milliseconds(1700));  // yellow from 1.56 s
    const bool written = WritePpm(Take(display, *window), argv[3]);
    Close(display, *window);
    WaitExit(child, kPatience);
    return written ? 0 : Fail("cannot write the screenshot");
  }

  Click(display, *window, 276, 28);  // COUNTER
  const bool prompt = WaitFor(
      display, *window, [](const Snapshot& s) { return s.Ink(0, 14) > 100; },
      kPatience);
  if (!prompt) return kill(child, SIGKILL), Fail("no prompt after the click");
  const int before = Take(display, *window).Ink(14, 60);
  Type(display, XK_a);
  const bool scored = WaitFor(
      display, *window,
      [before](const Snapshot& s) { return s.Ink(14, 60) > before + 100; },
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
