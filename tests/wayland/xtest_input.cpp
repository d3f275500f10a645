// Input for a compositor running as a client of the X server in DISPLAY,
// one step at a time, as a person gives it: the script that calls this
// waits between the steps until the client shows that it has each one.
// Usage: xtest_input move X Y | press | release | space
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const std::string action = argc >= 2 ? argv[1] : "";
  const bool valid = (action == "move" && argc == 4) ||
                     ((action == "press" || action == "release" ||
                       action == "space") &&
                      argc == 2);
  if (!valid) {
    std::fprintf(stderr, "usage: %s move X Y | press | release | space\n",
                 argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "xtest_input: no X display\n");
    return 1;
  }
  if (action == "move") {
    XTestFakeMotionEvent(display, -1, std::atoi(argv[2]), std::atoi(argv[3]),
                         CurrentTime);
  } else if (action == "space") {
    const KeyCode space = XKeysymToKeycode(display, XK_space);
    XTestFakeKeyEvent(display, space, True, CurrentTime);
    XTestFakeKeyEvent(display, space, False, CurrentTime);
  } else {
    XTestFakeButtonEvent(display, 1, action == "press", CurrentTime);
  }
  // The server has taken the events once it answers.
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
