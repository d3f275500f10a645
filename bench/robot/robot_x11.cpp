#include "bench/robot/robot_x11.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <poll.h>
#include <cstdio>
#include <ctime>

#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace zapwit {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// Windows of a game in another process can go while the robot looks at
// them; a request on a window that is gone fails, and the robot moves on.
int IgnoreGoneWindows(Display* /*display*/, XErrorEvent* /*error*/) {
  return 0;
}

}  // namespace

struct Robot::Impl {
  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  Impl(Impl&&) = delete;
  Impl& operator=(Impl&&) = delete;
  bool Open() {
    XSetErrorHandler(IgnoreGoneWindows);
    display_ = XOpenDisplay(nullptr);
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (display_ == nullptr ||
        !XDamageQueryExtension(display_, &event_base, &error_base) ||
        !XTestQueryExtension(display_, &event_base, &error_base, &major,
                             &minor)) {
      return false;
    }
    XDamageQueryExtension(display_, &damage_event_, &error_base);
    key_ = XKeysymToKeycode(display_, XK_a);
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  ~Impl() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  void Watch(Window window) {
    watching_ready_ = false;
    window_ = window;
    ++generation_;
    while (!watching_ready_) std::this_thread::sleep_for(milliseconds(1));
  }
  RobotSide Result() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return result_;
  }
  double CpuSeconds() const { return cpu_seconds_; }
  long Images() const { return images_; }

  void Run() {
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> dither(0.0, 250.0);
    Window watched = 0;
    unsigned watched_generation = 0;
    Damage damage = 0;
    bool answered = true;
    while (!stop_) {
      // Each Watch() is a new game, in the same window (a page reloaded in
      // a browser) or another. The window is written before the count.
      const unsigned generation = generation_;
      const Window wanted = window_;
      if (generation != watched_generation) {
        watched_generation = generation;
        if (damage != 0) XDamageDestroy(display_, damage);
        damage = XDamageCreate(display_, wanted, XDamageReportRawRectangles);
        XSelectInput(display_, wanted, KeyPressMask);
        // As a player clicks a window before typing into it: with no
        // window manager nothing else gives it the keyboard.
        XSetInputFocus(display_, wanted, RevertToParent, CurrentTime);
        XSync(display_, False);
        watched = wanted;
        answered = false;
        {
          const std::lock_guard<std::mutex> lock(mutex_);
          result_ = {};
        }
        watching_ready_ = true;
      }
      pollfd fd{ConnectionNumber(display_), POLLIN, 0};
      if (XPending(display_) == 0 && poll(&fd, 1, 5) <= 0) continue;
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        const auto seen = Steady::now();
        if (event.type == KeyPress) {
          const std::lock_guard<std::mutex> lock(mutex_);
          if (result_.answered && result_.key_echo == Steady::time_point{}) {
            result_.key_echo = seen;
          }
          continue;
        }
        if (event.type != damage_event_ + XDamageNotify || answered) continue;
        const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
        if (!ShowsGreen(watched, notify.area)) continue;
        answered = true;
        Answer(seen, 150.0 + dither(random));
      }
      timespec cpu{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
      cpu_seconds_ = static_cast<double>(cpu.tv_sec) +
                     static_cast<double>(cpu.tv_nsec) / 1e9;
    }
    if (damage != 0) XDamageDestroy(display_, damage);
  }

  // Whether the damaged rectangle holds a green (#00FF00) pixel now.
  bool ShowsGreen(Window window, const XRectangle& area) {
    if (area.width == 0 || area.height == 0) return false;
    XImage* image = XGetImage(display_, window, area.x, area.y, area.width,
                              area.height, AllPlanes, ZPixmap);
    ++images_;
    if (image == nullptr) return false;
    bool green = false;
    for (int y = 0; y < area.height && !green; ++y) {
      for (int x = 0; x < area.width && !green; ++x) {
        green = (XGetPixel(image, x, y) & 0xFFFFFF) == 0x00FF00;
      }
    }
    XDestroyImage(image);
    return green;
  }

  // Sends the key `delay_ms` after `seen`: sleeps most of the way, then
  // spins the last fraction of a millisecond.
  void Answer(Steady::time_point seen, double delay_ms) {
    const auto due =
        seen + std::chrono::duration_cast<Steady::duration>(
                   std::chrono::duration<double, std::milli>(delay_ms));
    std::this_thread::sleep_until(due - std::chrono::microseconds(500));
    while (Steady::now() < due) {
    }
    const auto sent = Steady::now();
    {
      // Noted before the key goes: once it is out, the game can end and
      // ask for the result while this thread waits for a core.
      const std::lock_guard<std::mutex> lock(mutex_);
      result_ = {seen, sent, {}, delay_ms, true};
    }
    XTestFakeKeyEvent(display_, key_, True, CurrentTime);
    XTestFakeKeyEvent(display_, key_, False, CurrentTime);
    XFlush(display_);
  }

  Display* display_ = nullptr;
  int damage_event_ = 0;
  KeyCode key_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<Window> window_{0};
  std::atomic<unsigned> generation_{0};
  std::atomic<bool> watching_ready_{false};
  std::atomic<double> cpu_seconds_{0};
  std::atomic<long> images_{0};
  std::mutex mutex_;
  RobotSide result_;
};


Robot::Robot() : impl_(std::make_unique<Impl>()) {}
Robot::~Robot() = default;
bool Robot::Open() { return impl_->Open(); }
void Robot::Watch(unsigned long window) { impl_->Watch(window); }
RobotSide Robot::Result() { return impl_->Result(); }
double Robot::CpuSeconds() const { return impl_->CpuSeconds(); }
long Robot::Images() const { return impl_->Images(); }

namespace {

// The first viewable window under `parent` (itself not looked at), down to
// `depth` levels, named as FindTopLevel() asks.
Window FindNamed(Display* display, Window parent, const char* title, Window other, bool prefix,
                 int depth) {
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (depth == 0 || XQueryTree(display, parent, &root, &up, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    if (children[i] == other || XGetWindowAttributes(display, children[i], &attributes) == 0 ||
        attributes.map_state != IsViewable) {
      continue;
    }
    // WM_NAME as its bytes, whatever its type: browsers set it as
    // UTF8_STRING, which XFetchName() does not return.
    XTextProperty name{};
    if (XGetWMName(display, children[i], &name) != 0 && name.value != nullptr &&
        name.format == 8) {
      const std::string text(reinterpret_cast<const char*>(name.value), name.nitems);
      if (prefix ? text.rfind(title, 0) == 0 : text == title) found = children[i];
    }
    if (name.value != nullptr) XFree(name.value);
    // Under a window manager the window is inside its frame.
    if (found == 0) found = FindNamed(display, children[i], title, other, prefix, depth - 1);
  }
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

unsigned long FindTopLevel(const char* title, unsigned long other, bool prefix) {
  static Display* const display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  return FindNamed(display, DefaultRootWindow(display), title, other, prefix, 3);
}

bool ClickAt(int x, int y) {
  static Display* const display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  return true;
}

bool WindowManagerRuns() {
  static Display* const display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found =
      XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                         &type, &format, &items, &after, &data) == Success &&
      items == 1;
  if (data != nullptr) XFree(data);
  return found;
}

std::chrono::nanoseconds RawClockOffset() {
  // The pair read closest together wins.
  auto best = std::chrono::nanoseconds::max();
  std::chrono::nanoseconds offset{};
  for (int i = 0; i < 5; ++i) {
    const auto before = Steady::now();
    timespec raw{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &raw);
    const auto after = Steady::now();
    const auto middle = before + (after - before) / 2;
    const std::chrono::nanoseconds raw_ns =
        std::chrono::seconds(raw.tv_sec) + std::chrono::nanoseconds(raw.tv_nsec);
    if (after - before < best) {
      best = after - before;
      offset = raw_ns - middle.time_since_epoch();
    }
  }
  return offset;
}

}  // namespace zapwit
