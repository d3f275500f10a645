#!/usr/bin/env bash
# The Windows build under Wine on Xvfb, both bitnesses, idle and with a busy
# process on each core: TIME's pace and lateness on the high-resolution
# waitable timer against the re-armed window timer that older Windows get,
# both in this run; TIME's pace through a drag of the title bar against a
# game at rest; the start-up beside the Qt build's; the two rules the timer
# model can be checked against Wine on; and, with GAMES and the host's
# robot_bench, the robot player's RT lag. Prints Markdown.
# Wine is not Windows: these figures say how the game behaves under Wine
# on this machine, nothing about Windows itself.
# Usage: bench/wine/wine.sh SECONDS RUNS [GAMES ROBOT_BENCH]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
seconds=$1 runs=$2 games=${3:-0} robot=${4:-}
out=$root/build-windows
scripts/deps.sh windows >&2

declare -A toolchain=([x64]=mingw-x86_64 [x86]=mingw-i686)
declare -A wine=([x64]=scripts/wine64.sh [x86]=scripts/wine32.sh)
declare -A prefix=([x64]=$out/bench-wineprefix [x86]=$out/bench-wineprefix32)
arches=()
for arch in x64 x86; do
  if ! reason=$("${wine[$arch]}" --check); then
    echo "$arch: $reason" >&2
    continue
  fi
  arches+=("$arch")
  cmake -S . -B "$out/bench-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/${toolchain[$arch]}.cmake" \
    -DZAPWIT_BENCH=ON -DZAPWIT_TESTS=OFF >/dev/null
  cmake --build "$out/bench-$arch" \
    --target zapwit win32_pace win32_robot win32_timer_probe >&2
  [[ -d ${prefix[$arch]} ]] ||
    { WINEPREFIX=${prefix[$arch]} "${wine[$arch]}" wineboot -i
      WINEPREFIX=${prefix[$arch]} wineserver -w; } >&2
done
cmake -S . -B "$out/bench-host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZAPWIT_PACKAGE_TESTS=OFF -DZAPWIT_BENCH=ON >/dev/null
cmake --build "$out/bench-host" \
  --target xvfb_smoke zapwit drag_bench windows_timer_model >&2

busy=()
load_on() {
  for _ in $(seq "$(nproc)"); do
    bash -c 'while :; do :; done' &
    busy+=($!)
  done
}
load_off() {
  if [[ ${#busy[@]} -gt 0 ]]; then
    kill "${busy[@]}" 2>/dev/null || true
    wait "${busy[@]}" 2>/dev/null || true
  fi
  busy=()
}
work=$(mktemp -d)
cleanup() {
  load_off
  for arch in x64 x86; do
    WINEPREFIX=${prefix[$arch]} wineserver -k 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
xvfb=(tests/on_xvfb.sh 1024x768x24)
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
in_wine() {  # in_wine ARCH PROGRAM ARGS...: runs it on Xvfb in ARCH's prefix
  local arch=$1
  shift
  WINEPREFIX=${prefix[$arch]} "${xvfb[@]}" "${wine[$arch]}" "$@" 2>/dev/null |
    tr -d '\r'
}

# Pace: every combination in each run, so that slow drift of the machine
# falls on all of them alike.
for ((run = 0; run < runs; run++)); do
  for load in idle busy; do
    [[ $load == busy ]] && load_on
    for arch in "${arches[@]}"; do
      for timer in waitable window; do
        option=()
        [[ $timer == window ]] && option=(--window-timer)
        in_wine "$arch" "$out/bench-$arch/bench/win32_pace.exe" "$seconds" \
          "${option[@]}" >>"$work/pace-$arch-$load-$timer"
      done
    done
    load_off
  done
done
figure() {  # figure FILE NAME
  grep "^$2 " "$1" | cut -d' ' -f2 | median
}

echo "$runs runs of $seconds s per row, medians of the runs;" \
  "Wine $(/usr/lib/wine/wine64 --version). Wine is not Windows."
echo
echo "### TIME's pace: the waitable timer against the window timer"
echo
echo "| Build | Load | TIME on | Ticks/s | Lateness p50 | p99 | max |"
echo "|---|---|---|---|---|---|---|"
for arch in "${arches[@]}"; do
  for load in idle busy; do
    for timer in waitable window; do
      f=$work/pace-$arch-$load-$timer
      name=$(grep -m1 '^timer ' "$f" | cut -d' ' -f2-)
      label=$([[ $load == idle ]] && echo idle || echo "a busy process on each core")
      echo "| $arch | $label | $name | $(figure "$f" ticks_per_second)" \
        "| $(figure "$f" lateness_p50_ms) ms | $(figure "$f" lateness_p99_ms) ms" \
        "| $(figure "$f" lateness_max_ms) ms |"
    done
  done
done
for arch in x64 x86; do
  [[ " ${arches[*]} " == *" $arch "* ]] ||
    echo "| $arch | | skipped: $("${wine[$arch]}" --check) | | | | |"
done
echo

echo "### TIME through a drag of the title bar"
echo
echo "LIGHT's time from the buttons going to yellow (tick 100, 1562.5 ms at"
echo "64 ticks a second), seen from the X side, in Wine's virtual desktop,"
echo "where Wine runs the modal move loop. Games at rest and dragged alternate."
echo
echo "| Build | Game | Games | Time to yellow, median (min-max) | Moved by the drag, median | X side's sampling |"
echo "|---|---|---|---|---|---|"
for arch in "${arches[@]}"; do
  WINEPREFIX=${prefix[$arch]} "${xvfb[@]}" "$out/bench-host/bench/drag_bench" \
    $((2 * runs)) "${wine[$arch]}" "$out/bench-$arch/ZAPWIT.exe" \
    >"$work/drag-$arch" 2>/dev/null || true
  for game in rest drag; do
    values=$(awk -v g=$game '$1 == g && $2 != "lost" {print $2}' "$work/drag-$arch")
    lost=$(grep -c "^$game lost" "$work/drag-$arch" || true)
    count=$(echo "$values" | grep -c . || true)
    echo "| $arch | $game | $count ($lost lost) |" \
      "$(echo "$values" | median) ($(echo "$values" | sort -n | head -1)-$(echo "$values" | sort -n | tail -1)) ms" \
      "| $(awk -v g=$game '$1 == g && $2 != "lost" {print $6}' "$work/drag-$arch" | median) px" \
      "| $(awk -v g=$game '$1 == g && $2 != "lost" {print $4}' "$work/drag-$arch" | median) ms |"
  done
done
echo

echo "### The timer model's rules, checked against Wine"
echo
echo "| Rule | Model | Wine, x64 | Wine, x86 |"
echo "|---|---|---|---|"
model=$("$out/bench-host/bench/windows_timer_model" --probe)
probe() {  # probe ARCH
  if [[ " ${arches[*]} " == *" $1 "* ]]; then
    in_wine "$1" "$out/bench-$1/bench/win32_timer_probe.exe" |
      awk '/^settimer_1ms_interval_ms/ {print $2 " ms"}'
  else
    echo skipped
  fi
}
echo "| A window timer asked for 1 ms, median interval (1 ms interrupts) |" \
  "$(echo "$model" | awk '/^settimer_1ms_interval_ms/ {print $2 " ms"; exit}') |" \
  "$(probe x64) | $(probe x86) |"
idle_waitable() {  # idle_waitable ARCH FIGURE
  if [[ " ${arches[*]} " == *" $1 "* ]]; then
    figure "$work/pace-$1-idle-waitable" "$2"
  else
    echo skipped
  fi
}
echo "| Waitable timer, idle: ticks/s |" \
  "$(echo "$model" | awk '/^waitable_ticks_per_second/ {print $2}') |" \
  "$(idle_waitable x64 ticks_per_second) | $(idle_waitable x86 ticks_per_second) |"
echo "| Waitable timer, idle: lateness p50 / p99 |" \
  "$(echo "$model" | awk '/^waitable_lateness_p50_ms/ {p50 = $2} /^waitable_lateness_p99_ms/ {print p50 " / " $2 " ms"}') |" \
  "$(idle_waitable x64 lateness_p50_ms) / $(idle_waitable x64 lateness_p99_ms) ms |" \
  "$(idle_waitable x86 lateness_p50_ms) / $(idle_waitable x86 lateness_p99_ms) ms |"
echo

startup() {  # startup PROGRAM [--launcher CMD]
  for ((i = 0; i < 2 * runs; i++)); do
    "${xvfb[@]}" "$out/bench-host/tests/xvfb_smoke" "$@" --startup 2>/dev/null |
      awk '/^startup_ms/ {print $2}'
  done | median
}
echo "### Start-up"
echo
echo "| Program | Start-up to the window mapped with BOX red, from the X side |"
echo "|---|---|"
for arch in "${arches[@]}"; do
  echo "| ZAPWIT.exe ($arch) under Wine |" \
    "$(WINEPREFIX=${prefix[$arch]} startup "$out/bench-$arch/ZAPWIT.exe" \
       --launcher "${wine[$arch]}") ms |"
done
echo "| zapwit (Qt), same run | $(startup "$out/bench-host/window/qt/zapwit") ms |"
echo

if ((games > 0)); then
  echo "### The robot player against the Windows build"
  echo
  echo "The game runs under Wine in its own process, so the two sides share"
  echo "CLOCK_MONOTONIC_RAW, which Wine's performance counter reads. The"
  echo "engine's clock is at noon here."
  for arch in "${arches[@]}"; do
    for load in idle busy; do
      for timer in waitable window; do
        option=()
        [[ $timer == window ]] && option=(--window-timer)
        echo
        echo "#### $arch, $([[ $load == idle ]] && echo idle || echo "a busy process on each core"), TIME on the $timer timer"
        echo
        [[ $load == busy ]] && load_on
        WINEPREFIX=${prefix[$arch]} "${xvfb[@]}" "$robot" --external "${wine[$arch]}" \
          "$out/bench-$arch/bench/win32_robot.exe" "$games" "${option[@]}" 2>/dev/null || true
        load_off
      done
    done
  done
  echo
fi
echo "Wine is not Windows: these figures are Wine's timers, start-up and"
echo "input path on this machine. Wine raises SetTimer to 10 ms as Windows"
echo "does, but never steps to Windows' 15.6 ms interrupt period, and accepts"
echo "the high-resolution flag without honouring it, so each figure here is a"
echo "best case for its timer. Nothing here is measured on real Windows."
