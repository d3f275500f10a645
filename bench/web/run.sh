#!/usr/bin/env bash
# The browser build measured by a robot player on Xvfb, against a page
# written as most browser reaction tests are (bench/web/naive.html), in
# Chromium and Firefox, idle and with a busy process on each core; then
# the page's pace and its start-up against a bare red square. Writes its
# section of docs/performance.md (bench/run.sh runs it too).
#   bench/web/run.sh                 300 games of each page in each cell
#   bench/web/run.sh --games 20      a quick look
set -euo pipefail
cd "$(dirname "$0")/../.."

games=300
while [[ $# -gt 0 ]]; do
  case $1 in
    --games) games=$2; shift 2 ;;
    *) echo "usage: $0 [--games N]" >&2; exit 2 ;;
  esac
done
[[ $games =~ ^[0-9]+$ ]] || { echo "whole numbers only" >&2; exit 2; }

scripts/deps.sh bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZAPWIT_BENCH=ON -DZAPWIT_TESTS=OFF >/dev/null
cmake --build build-bench --target web_robot
# The page, and the test driver the robot drives the browser with.
scripts/web.sh --build-only --tests >/dev/null

out=build-bench/bench/web-results
mkdir -p "$out"
start=$(date +%s)
for load in idle hog; do
  for browser in chromium firefox; do
    echo "robot: $browser, $load, $games games of each page"
    xvfb-run -a -s "-screen 0 1024x768x24" node bench/web/robot.mjs \
      --browser "$browser" --load "$load" --games "$games" \
      --robot build-bench/bench/web_robot --out "$out/$browser-$load.json"
  done
done
minutes=$(( ($(date +%s) - start + 59) / 60 ))

section=$(mktemp)
trap 'rm -f "$section"' EXIT
{
  echo "<!-- bench/web/run.sh: begin -->"
  echo "## The browser build, measured by a robot player (Xvfb)"
  echo
  echo "\`bench/web/run.sh --games $games\` ($minutes minutes on $(nproc) cores):"
  echo "\`bench/web/robot.mjs\` runs each browser as a normal window on Xvfb, under"
  echo "openbox, with the page served by \`scripts/web.sh\`; \`web_robot\` (the desktop"
  echo "robot's XDamage and XTest code) watches the window and answers green 150 ms"
  echo "plus a uniform 0-250 ms later. Each game is one page load; the game (LIGHT)"
  echo "and \`bench/web/naive.html\` take turns. The naive page turns the square green"
  echo "in a \`setTimeout()\` callback and reads \`performance.now()\` in its key"
  echo "handler; the game reads its go signal on the animation frame and the key's"
  echo "\`timeStamp\`. RT lag is the page's own reaction time (exact, from the console"
  echo "line each page writes) less the robot's delay. Page times are put on"
  echo "\`CLOCK_MONOTONIC\` once per load, from the shortest of 40 driver round trips."
  echo "\"Hog\" is one busy process per core. Under a window manager, the robot"
  echo "clicks the page's empty lower left first where the browser keeps the"
  echo "keyboard in its own controls (Firefox)."
  echo
  node bench/web/robot.mjs --report "$out"/chromium-idle.json "$out"/firefox-idle.json \
    "$out"/chromium-hog.json "$out"/firefox-hog.json
  echo "<!-- bench/web/run.sh: end -->"
} >"$section"
# In place of the section from the last run, or at the end.
python3 - "$section" <<'PYTHON'
import re, sys
section = open(sys.argv[1]).read()
path = "docs/performance.md"
text = open(path).read()
pattern = re.compile(r"<!-- bench/web/run.sh: begin -->.*?<!-- bench/web/run.sh: end -->\n", re.S)
text = pattern.sub(lambda _: section, text) if pattern.search(text) else text.rstrip("\n") + "\n\n" + section
open(path, "w").write(text)
PYTHON
echo "wrote the browser section of docs/performance.md"
