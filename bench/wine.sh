#!/usr/bin/env bash
# The Windows build's pace and start-up under Wine on Xvfb, beside the Qt
# build's start-up measured the same way in the same run. Prints a
# Markdown table. Wine is not Windows: these figures say how the game
# behaves under Wine on this machine, nothing about Windows itself.
# Usage: bench/wine.sh SECONDS RUNS [GAMES ROBOT_BENCH]
# With GAMES and the host's robot_bench, the robot player also plays GAMES
# games against the Windows build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=$1 runs=$2 games=${3:-0} robot=${4:-}
out=$root/build-windows
scripts/deps.sh windows >&2

cmake -S . -B "$out/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-x86_64.cmake" \
  -DZAPWIT_BENCH=ON -DZAPWIT_TESTS=OFF >/dev/null
cmake --build "$out/bench" --target zapwit win32_pace win32_robot >&2
cmake -S . -B "$out/bench-host" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZAPWIT_PACKAGE_TESTS=OFF >/dev/null
cmake --build "$out/bench-host" --target xvfb_smoke zapwit >&2

export WINEPREFIX=$out/bench-wineprefix
[[ -d $WINEPREFIX ]] || { scripts/wine64.sh wineboot -i; wineserver -w; } >&2
trap 'wineserver -k 2>/dev/null || true' EXIT
xvfb=(xvfb-run -a -s "-screen 0 1024x768x24")

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
pace=$(mktemp)
for ((run = 0; run < runs; run++)); do
  "${xvfb[@]}" scripts/wine64.sh "$out/bench/bench/win32_pace.exe" "$seconds" \
    2>/dev/null | tr -d '\r' >>"$pace"
done
figure() { grep "^$1 " "$pace" | cut -d' ' -f2 | median; }
startup() {  # startup PROGRAM [--launcher CMD]
  for ((i = 0; i < 2 * runs; i++)); do
    "${xvfb[@]}" "$out/bench-host/tests/xvfb_smoke" "$@" --startup 2>/dev/null |
      awk '/^startup_ms/ {print $2}'
  done | median
}
wine_start=$(startup "$out/bench/ZAPWIT.exe" --launcher scripts/wine64.sh)
qt_start=$(startup "$out/bench-host/window/qt/zapwit")

echo "$runs runs of $seconds s; medians of the runs. Wine $(/usr/lib/wine/wine64 --version)."
echo
echo "| Figure | ZAPWIT.exe under Wine | Linux (Qt), same run |"
echo "|---|---|---|"
echo "| Tick rate | $(figure ticks_per_second)/s | see above |"
echo "| Tick lateness p50 (p99) | $(figure lateness_p50_ms) ($(figure lateness_p99_ms)) ms | see above |"
echo "| Start-up to the window mapped with BOX red, from the X side | $wine_start ms | $qt_start ms |"
echo
if ((games > 0)); then
  "${xvfb[@]}" "$robot" --external scripts/wine64.sh \
    "$out/bench/bench/win32_robot.exe" "$games" 2>/dev/null
  echo
  echo "The robot player's games against the Windows build (idle only): the"
  echo "game runs under Wine in its own process, so the two sides share"
  echo "CLOCK_MONOTONIC_RAW, which Wine's performance counter reads. The"
  echo "engine's clock is at noon here."
fi
echo
echo "Wine is not Windows: these figures are Wine's timers, start-up and"
echo "input path on this machine. The start-up includes Wine's own (its"
echo "server and loader starting in a prefix that is already made); nothing"
echo "here is measured on real Windows."
rm -f "$pace"
