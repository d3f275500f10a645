#!/usr/bin/env bash
# Runs the game as a native Wayland client of weston (no XWayland) and
# checks it from outside: the requests it sends (app id, title, a fixed
# size), pictures of the compositor's screen, and its exit status.
#
#   weston_test.sh headless ZAPWIT TOOLS_DIR APP_ID
#     weston's headless backend, no input: the window at load, BOX red and
#     the buttons in place; SIGTERM (the session ending) exits 0.
#   weston_test.sh seat ZAPWIT TOOLS_DIR APP_ID    (under xvfb-run)
#     weston as a client of the X server in DISPLAY, whose keyboard and
#     pointer it takes as its seat: the window has the keyboard at start
#     (Space starts LIGHT), survives its title bar's maximize button, and
#     exits 0 from its close button.
# TOOLS_DIR holds box_in_picture and xtest_input.
set -uo pipefail
mode=$1
zapwit=$2
tools=$3
app_id=$4

work=$(mktemp -d)
chmod 700 "$work"
weston_pid=
game_pid=
cleanup() {
  [[ -n $game_pid ]] && kill -KILL "$game_pid" 2>/dev/null
  [[ -n $weston_pid ]] && kill -TERM "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
fail() {
  echo "FAIL: $*"
  echo "--- weston:"; tail -5 weston.log
  echo "--- game:"; grep -v '^\[' game.log | head -5
  exit 1
}
failures=0
check() {  # check WHAT ACTUAL EXPECTED
  if [[ $2 == "$3" ]]; then echo "ok: $1: $2"
  else echo "FAIL: $1: '$2', not '$3'"; failures=$((failures + 1)); fi
}

# --use-pixman: weston 10 draws nothing otherwise here; --debug: lets
# weston-screenshooter take its pictures.
backend=headless-backend.so
[[ $mode == seat ]] && backend=x11-backend.so
export XDG_RUNTIME_DIR=$work WAYLAND_DISPLAY=zapwit-test
weston --backend=$backend --use-pixman --debug --no-config \
  --socket="$WAYLAND_DISPLAY" --width=1024 --height=768 --idle-time=0 \
  >weston.log 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [[ -S $WAYLAND_DISPLAY ]] && break
  sleep 0.1
done
[[ -S $WAYLAND_DISPLAY ]] || fail "weston did not start"

# WAYLAND_DEBUG=client logs every request the game sends and event it gets.
start_game() {
  env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client \
    "$zapwit" 2>game.log </dev/null &
  game_pid=$!
}
start_game

# Takes pictures until box_in_picture passes with $1, for up to 10 s; the
# compositor may take a few frames to place and draw the window.
box=
picture() {
  for _ in $(seq 50); do
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended"
    rm -f wayland-screenshot-*.png
    if weston-screenshooter >/dev/null 2>&1 &&
       "$tools/box_in_picture" wayland-screenshot-*.png "$1" >check.log; then
      box=$(sed -n 's/.* at (\([0-9]*\),\([0-9]*\)).*/\1 \2/p' check.log)
      return 0
    fi
    sleep 0.2
  done
  cat check.log
  return 1
}
# Waits up to $1 tenths of a second for the game to end; sets status to its
# exit status.
wait_exit() {
  status="still running"
  for _ in $(seq "$1"); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid"; status=$?; game_pid=; return
    fi
    sleep 0.1
  done
}

picture shown || fail "no picture with BOX and the buttons in place"
echo "ok: the compositor shows BOX red and the buttons in place"
requests() {
  grep -o " -> xdg_toplevel@[0-9]*\.$1([^)]*)" game.log | head -1 |
    sed 's/^ -> xdg_toplevel@[0-9]*\.//'
}
check "app id is the desktop file id" "$(requests set_app_id)" "set_app_id(\"$app_id\")"
check "title" "$(requests set_title)" 'set_title("ZAPWIT TEST")'
check "fixed size: least" "$(requests set_min_size)" 'set_min_size(484, 441)'
check "fixed size: most" "$(requests set_max_size)" 'set_max_size(484, 441)'

if [[ $mode == headless ]]; then
  # The session ends: the game closes its window and exits 0.
  kill -TERM "$game_pid"
  wait_exit 100
  check "exit status on SIGTERM" "$status" 0
  check "window destroyed before exit" \
    "$(grep -c ' -> xdg_toplevel@[0-9]*\.destroy()' game.log)" 1
  [[ $failures -eq 0 ]]
  exit
fi

# The client area's corner on the screen, from where BOX is, and the title
# bar's buttons above it as Qt 6.4 draws them.
title_bar() {
  read -r box_x box_y <<<"$box"
  maximize="$((box_x - 192 + 447)) $((box_y - 128 - 15))"
  close="$((box_x - 192 + 470)) $((box_y - 128 - 15))"
}
title_bar
"$tools/xtest_input" space $((box_x + 40)) $((box_y + 150))
picture hidden || fail "Space did not reach the focused LIGHT button"
echo "ok: the window had the keyboard at start: Space started LIGHT"
for _ in 1 2; do
  "$tools/xtest_input" click $maximize
  sleep 0.3
done
picture hidden || fail "maximize changed the window"
echo "ok: the window is unchanged after its maximize button"
asked=$(grep -c ' -> xdg_toplevel@[0-9]*\.set_maximized()' game.log)
check "the title bar asked to maximize" "$((asked > 0))" 1
check "no protocol error" "$(grep -c 'error' game.log)" 0
kill -TERM "$game_pid"
wait_exit 100
check "exit status on SIGTERM after maximize" "$status" 0

# A fresh game, closed from its title bar.
start_game
picture shown || fail "the second game did not show"
title_bar
"$tools/xtest_input" click $close
wait_exit 100
check "exit status from the close button" "$status" 0
[[ $failures -eq 0 ]]
