#!/usr/bin/env bash
# Runs the game as a native Wayland client of weston (no XWayland) and
# checks it from outside: the requests it sends (app id, title, a fixed
# size), pictures of the compositor's screen, and its exit status.
#
#   weston_test.sh headless ZAPWIT TOOLS_DIR APP_ID
#     weston's headless backend, no input: the window at load, BOX red and
#     the buttons in place; SIGTERM (the session ending) exits 0.
#   weston_test.sh seat ZAPWIT TOOLS_DIR APP_ID    (under on_xvfb.sh)
#     weston as a client of the X server in DISPLAY, whose keyboard and
#     pointer it takes as its seat: the window has the keyboard at start
#     (Space starts LIGHT), survives its title bar's maximize button, and
#     exits 0 from its close button. The X screen must be larger than
#     weston's 1024 x 768 window, so that the pointer can come into it.
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
width=1024 height=768
export XDG_RUNTIME_DIR=$work WAYLAND_DISPLAY=zapwit-test
weston --backend=$backend --use-pixman --debug --no-config \
  --socket="$WAYLAND_DISPLAY" --width=$width --height=$height --idle-time=0 \
  >weston.log 2>&1 &
weston_pid=$!
for _ in $(seq 200); do
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

# Takes pictures until box_in_picture passes with $1, 100 times at most
# (20 s and more); the compositor may take a few frames to place and draw
# the window. Once Space has started LIGHT, BOX turns yellow and green on
# the game's own ticks while the window is maximized and restored, so
# "hidden" finds BOX in any of its colours: no check here may depend on
# the game not having reached some tick.
box=
picture() {
  for _ in $(seq 100); do
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended"
    rm -f wayland-screenshot-*.png
    if weston-screenshooter >/dev/null 2>&1 &&
       "$tools/box_in_picture" wayland-screenshot-*.png "$1" >check.log; then
      box=$(sed -n 's/^box_in_picture: BOX at (\([0-9]*\),\([0-9]*\)).*/\1 \2/p' check.log)
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

# Waits up to $1 tenths of a second for the game's protocol log to hold
# more than $2 lines that match the extended regex $3.
wait_log() {
  for _ in $(seq "$1"); do
    [[ $(grep -cE "$3" game.log) -gt $2 ]] && return 0
    kill -0 "$game_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
log_count() { grep -cE "$1" game.log; }

# Where Qt 6.4 draws the window on Wayland: its surface holds the title bar
# and a frame around the client area, whose corner is at (3, 30) in the
# surface. The title bar's buttons are 18 pixels square, 15 pixels below the
# surface's top, their centres 40 (maximize) and 17 (close) pixels left of
# its right edge; the surface is as wide as the last window geometry says.
frame_left=3 frame_top=30
geometry() {
  grep -oE ' -> xdg_surface@[0-9]+\.set_window_geometry\(0, 0, [0-9]+, [0-9]+\)' game.log |
    tail -1 | sed -E 's/.*\(0, 0, ([0-9]+), ([0-9]+)\)/\1 \2/'
}
title_bar() {
  local surface_width _
  read -r box_x box_y <<<"$box"
  read -r surface_width _ <<<"$(geometry)"
  client_x=$((box_x - 192)) client_y=$((box_y - 128))
  local right=$((client_x - frame_left + surface_width))
  local top=$((client_y - frame_top + 15))
  maximize="$((right - 40)) $top"
  close="$((right - 17)) $top"
}
# Moves the pointer to the screen point $1 $2 and waits until the game has
# been told the pointer is there, at that point of its surface: a person
# moves onto a button before pressing it, and a press the client has not
# seen the pointer arrive for lands wherever the compositor last had it.
point_at() {
  local x=$(($1 - client_x + frame_left)) y=$(($2 - client_y + frame_top))
  local here="wl_pointer@[0-9]+\\.(enter\\([0-9]+, wl_surface@[0-9]+|motion\\([0-9]+), $x\\.0+, $y\\.0+\\)"
  local seen
  seen=$(log_count "$here")
  "$tools/xtest_input" move "$1" "$2"
  wait_log 100 "$seen" "$here"
}
# Presses and releases the left button where the pointer is, each step
# waiting until the game has the button's event.
click() {
  local state
  for state in press release; do
    local event="wl_pointer@[0-9]+\\.button\\([0-9]+, [0-9]+, 272, $([[ $state == press ]] && echo 1 || echo 0)\\)"
    local seen
    seen=$(log_count "$event")
    "$tools/xtest_input" "$state"
    wait_log 100 "$seen" "$event" || return 1
  done
}

# The keyboard is the compositor's to give: Space goes once the game has it.
wait_log 100 0 'wl_keyboard@[0-9]+\.enter\(' || fail "the window never got the keyboard"
"$tools/xtest_input" space
picture hidden || fail "Space did not reach the focused LIGHT button"
echo "ok: the window had the keyboard at start: Space started LIGHT"

# weston turns the X pointer's moves into relative ones and learns where it
# is only when it enters weston's window from outside, so the pointer
# starts beyond weston's window (the X screen is larger) and comes in.
"$tools/xtest_input" move $((width + 50)) $((height + 50))
title_bar
point_at $maximize || fail "the game was never told the pointer is on maximize"
click || fail "the game did not get the click on maximize"
wait_log 100 0 ' -> xdg_toplevel@[0-9]+\.set_maximized\(\)' ||
  fail "the title bar did not ask to maximize"
# The compositor holds a maximized window to the width of its output.
wait_log 100 0 " -> xdg_surface@[0-9]+\\.set_window_geometry\\(0, 0, $width, " ||
  fail "the window did not take the maximized size: $(geometry)"
picture hidden || fail "BOX or the hidden buttons moved inside the maximized window"
echo "ok: maximized to $(geometry), BOX and the buttons in place"
title_bar
point_at $maximize || fail "the game was never told the pointer is on restore"
click || fail "the game did not get the click on restore"
wait_log 100 0 ' -> xdg_toplevel@[0-9]+\.unset_maximized\(\)' ||
  fail "the title bar did not ask to restore"
wait_log 100 1 ' -> xdg_toplevel@[0-9]+\.set_max_size\(484, 441\)' ||
  fail "the window did not take its one size back: $(geometry)"
check "restored window geometry" "$(geometry)" "490 474"
picture hidden || fail "the restored window is not as it was"
echo "ok: restored to its one size"
check "no protocol error" "$(grep -c 'error' game.log)" 0
kill -TERM "$game_pid"
wait_exit 100
check "exit status on SIGTERM after maximize" "$status" 0

# A fresh game, closed from its title bar.
start_game
picture shown || fail "the second game did not show"
title_bar
point_at $close || fail "the game was never told the pointer is on close"
click || fail "the game did not get the click on close"
wait_exit 100
check "exit status from the close button" "$status" 0
[[ $failures -eq 0 ]]
