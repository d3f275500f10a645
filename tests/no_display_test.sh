#!/usr/bin/env bash
# Started with no display at all, the game must say so in one line on
# stderr and exit with status 1: not Qt's several lines, abort and core dump.
# Usage: no_display_test.sh ZAPWIT
set -uo pipefail
zapwit=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT

for display in "" ":97"; do  # unset, and set to a server that is not there
  if [[ -z $display ]]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$zapwit" 2>"$err" </dev/null
  else
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" "$zapwit" 2>"$err" </dev/null
  fi
  status=$?
  lines=$(grep -c . "$err")
  echo "DISPLAY='$display': exit $status, $lines line(s): $(head -1 "$err")"
  [[ $status -eq 1 ]] || { echo "FAIL: exit status $status, not 1"; cat "$err"; exit 1; }
  # Qt may add its own note about XDG_RUNTIME_DIR first; ours is one line.
  [[ $(grep -c '^zapwit: ' "$err") -eq 1 ]] || { echo "FAIL: no one-line message"; cat "$err"; exit 1; }
  grep -q 'could not load\|This application failed' "$err" &&
    { echo "FAIL: Qt's own failure text leaked"; cat "$err"; exit 1; }
done
echo "ok"
