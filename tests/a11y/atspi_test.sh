#!/usr/bin/env bash
# Runs atspi_test.py in a D-Bus session of its own (the accessibility bus
# is started on demand in it), on an X server of its own.
# Usage: atspi_test.sh ON_XVFB ZAPWIT_EXECUTABLE
set -euo pipefail
here=$(dirname "$0")
# dbus-daemon warns that it cannot raise its file limit when not root's
# to raise; that is no failure.
exec dbus-run-session -- "$1" 1024x768x24 /usr/bin/python3 "$here/atspi_test.py" "$2" \
  2> >(grep -v "Failed to set fd limit" >&2)
