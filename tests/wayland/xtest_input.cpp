// Moves the pointer of the X server in DISPLAY to (X, Y) and clicks there
// or presses Space: input for a compositor running as that server's client.
// Usage: xtest_input click|space X Y
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  const std::string action = argc == 4 ? argv[1] : "";
  if (action != "click" && action != "space") {
    std::fprintf(stderr, "usage: %s click|space X Y\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "xtest_input: no X display\n");
    return 1;
  }
  XTestFakeMotionEvent(display, -1, std::atoi(argv[2]), std::atoi(argv[3]),
                       CurrentTime);
  // A press that comes with the pointer's entry into a window can reach
  // the client before the entry has been handled.
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (action == "click") {
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
  } else {
    const KeyCode space = XKeysymToKeycode(display, XK_space);
    XTestFakeKeyEvent(display, space, True, CurrentTime);
    XTestFakeKeyEvent(display, space, False, CurrentTime);
  }
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
