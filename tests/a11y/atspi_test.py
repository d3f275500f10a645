#!/usr/bin/python3
"""The game as a screen reader finds it on Linux, through AT-SPI.

Started on an X server of its own, inside a D-Bus session of its own (see
atspi_test.sh), with the accessibility bus and Qt's bridge on. Reads the
tree as Orca does (python3-pyatspi), plays COUNTER to a key with the
button's own action and an XTest key, and checks what came on the bus:
one "showing" event for each printed line, the event Orca presents for a
notification, and nothing while the count ticks.

Usage: atspi_test.py ZAPWIT_EXECUTABLE
Every wait is on a sign, within PATIENCE seconds.
"""
import ctypes
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

PATIENCE = 60.0
BUTTONS = ["LIGHT", "JUMP", "NUMBER", "COUNTER"]
PROMPT = "Press any key when counter reaches 100."
SCORE = re.compile(r"^Your score is [ -]\d+ , 100 is perfect\.$")
REMARK = "Very poor. Were you even looking?"

failures = []


def check(condition, what):
    print(("ok     " if condition else "FAILED ") + what, flush=True)
    if not condition:
        failures.append(what)


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def eventually(sign):
    """Pumps the bus until sign() gives something true, and gives that; None
    after PATIENCE."""
    end = time.monotonic() + PATIENCE
    while time.monotonic() < end:
        pump()
        found = sign()
        if found:
            return found
        # Sleeps until the bus has something, or 20 ms at most.
        GLib.timeout_add(20, lambda: False)
        GLib.MainContext.default().iteration(True)
    return None


def wait_for(sign, what):
    """As eventually(), but the test ends if the sign never comes."""
    found = eventually(sign)
    if not found:
        sys.exit("FAILED nothing after %.0f s: %s" % (PATIENCE, what))
    return found


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def describe(accessible, depth=0):
    line = '%s%s "%s"' % ("  " * depth, accessible.getRoleName(), accessible.name)
    if accessible.description:
        line += " [%s]" % accessible.description
    return "\n".join([line] + [describe(child, depth + 1) for child in children(accessible)])


class XTest:
    """A key typed and the pointer moved as the X server's own devices do."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            sys.exit("FAILED no X display")

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x11.XFlush(self.display)

    def type_a(self):
        code = self.x11.XKeysymToKeycode(self.display, ord("a"))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XFlush(self.display)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: atspi_test.py ZAPWIT_EXECUTABLE")
    events = []

    def heard(event):
        app = event.host_application
        if app is None or app.name != "ZAPWIT":
            return
        source = event.source
        events.append((event.type, source.getRoleName(), source.name, event.detail1))

    for kind in ("object:state-changed:showing", "object:children-changed",
                 "object:property-change", "object:text-changed"):
        pyatspi.Registry.registerEventListener(heard, kind)

    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    environment.pop("QT_QPA_PLATFORM", None)
    game = subprocess.Popen([sys.argv[1]], env=environment)
    try:
        desktop = pyatspi.Registry.getDesktop(0)

        def frame():
            for app in children(desktop):
                if app is not None and app.name == "ZAPWIT":
                    for window in children(app):
                        if window.name == "ZAPWIT TEST" and window.childCount >= 5:
                            return window
            return None

        form = wait_for(frame, "the window in the accessibility tree")
        print("The tree at start:\n" + describe(form), flush=True)
        check(form.getRole() == pyatspi.ROLE_FRAME, "the window is a frame: %s" % form.getRoleName())
        kids = children(form)
        buttons = [kid for kid in kids if kid.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        check([button.name for button in buttons] == BUTTONS, "the four buttons in tab order")
        # The window is shown before the desktop gives it the keyboard.
        check(bool(buttons) and eventually(lambda: buttons[0].getState().contains(pyatspi.STATE_FOCUSED)) is not None,
              "LIGHT has the focus")
        boxes = [kid for kid in kids if kid.name == "BOX"]
        check(len(boxes) == 1, "one object named BOX")
        box = boxes[0]
        check(box.description == "red", "BOX is red: %r" % box.description)

        # COUNTER, pressed as a screen reader's user presses a button.
        counter = buttons[3]
        action = counter.queryAction()
        presses = [i for i in range(action.nActions) if action.getName(i).lower() == "press"]
        check(bool(presses), "COUNTER offers a press action")
        action.doAction(presses[0])

        def lines():
            return [kid for kid in children(form) if kid.getRole() == pyatspi.ROLE_NOTIFICATION]

        def shown():
            # The names of the notifications whose "showing" was heard, in order.
            return [name for kind, role, name, on in events
                    if kind == "object:state-changed:showing" and role == "notification" and on]

        wait_for(lambda: shown() == [PROMPT], "the prompt announced")
        check([line.name for line in lines()] == [PROMPT], "the prompt is a line of the frame")
        check(lines()[0].queryText().getText(0, -1) == PROMPT, "the prompt reads as text")

        # Twenty ticks or more, counted off BOX's own description.
        def counted():
            match = re.match(r"^none, (\d+)$", box.description)
            return int(match.group(1)) if match else None

        first = wait_for(counted, "BOX's count")
        wait_for(lambda: (counted() or first) <= first - 20, "twenty ticks of the count")

        # A key, as the keyboard types it, into the window.
        extents = form.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xtest = XTest()
        xtest.move(extents.x + extents.width // 2, extents.y + extents.height - 10)
        xtest.type_a()
        wait_for(lambda: len(shown()) >= 2, "the score announced")
        score = SCORE.match(lines()[1].name)
        check(score is not None, "the score line: %r" % lines()[1].name)
        printed = [PROMPT, lines()[1].name]
        if score is not None and int(lines()[1].name.split()[3]) < 0:
            printed.append(REMARK)
        wait_for(lambda: len(shown()) >= len(printed), "every line announced")
        print("The tree after the score:\n" + describe(form), flush=True)
        check([line.name for line in lines()] == printed, "the lines in order: %r" % [line.name for line in lines()])
        check(shown() == printed, "one announcement per printed line: %r" % shown())
        check([line.queryText().getText(0, -1) for line in lines()] == printed, "each line reads as text")
        # What came between the prompt's event and the score's arrival (its
        # line added to the frame): the ticks' time, when nothing may come.
        prompt_at = next(i for i, event in enumerate(events) if event[0] == "object:state-changed:showing")
        score_at = next(i for i, event in enumerate(events) if i > prompt_at and event[0].startswith("object:children-changed:add"))
        # (The buttons going as the test starts is no tick's.)
        hidden = ("object:state-changed:showing", "push button")
        during = [event for event in events[prompt_at + 1:score_at] if event[:2] != hidden or event[3] != 0]
        check(during == [], "nothing announced while the count ticked: %r" % during[:5])
        check(all(event[2] != "BOX" for event in events), "BOX never announced: %r" %
              [event for event in events if event[2] == "BOX"][:5])
        check(box.name == "BOX", "BOX keeps its name")
    finally:
        game.terminate()
        game.wait(timeout=PATIENCE)
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("all checks passed")


if __name__ == "__main__":
    main()
