#!/usr/bin/env bash
# Started with no display at all, the game must say so in one line on
# stderr, naming what is missing, and exit with status 1: not Qt's several
# lines, abort and core dump.
# Usage: no_display_test.sh ZAPWIT
set -uo pipefail
zapwit=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT

# platform | WAYLAND_DISPLAY | DISPLAY | what the line must name
cases=(
  "|||neither WAYLAND_DISPLAY nor DISPLAY is set"
  "||:97|could not connect to display :97"
  "wayland|||neither WAYLAND_DISPLAY nor DISPLAY is set"
  "wayland||:97|WAYLAND_DISPLAY is not set"
  "wayland|wayland-97||compositor answers at WAYLAND_DISPLAY=wayland-97"
  "|wayland-97||compositor answers at WAYLAND_DISPLAY=wayland-97"
)
for case in "${cases[@]}"; do
  IFS='|' read -r platform wayland x11 expected <<<"$case"
  environment=(-u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY)
  [[ -n $platform ]] && environment+=(QT_QPA_PLATFORM="$platform")
  [[ -n $wayland ]] && environment+=(WAYLAND_DISPLAY="$wayland")
  [[ -n $x11 ]] && environment+=(DISPLAY="$x11")
  env "${environment[@]}" "$zapwit" 2>"$err" </dev/null
  status=$?
  echo "platform='$platform' WAYLAND_DISPLAY='$wayland' DISPLAY='$x11':" \
       "exit $status: $(grep '^zapwit: ' "$err")"
  [[ $status -eq 1 ]] || { echo "FAIL: exit status $status, not 1"; cat "$err"; exit 1; }
  # Qt or libwayland may add a note about XDG_RUNTIME_DIR first; ours is
  # one line.
  [[ $(grep -c '^zapwit: ' "$err") -eq 1 ]] || { echo "FAIL: no one-line message"; cat "$err"; exit 1; }
  grep -q "^zapwit: .*$expected" "$err" || { echo "FAIL: does not say '$expected'"; exit 1; }
  grep -q 'could not load\|This application failed' "$err" &&
    { echo "FAIL: Qt's own failure text leaked"; cat "$err"; exit 1; }
done
echo "ok"
