#!/usr/bin/env bash
# The browser build measured by a robot player on Xvfb, in one sitting,
# beside a page written as most browser reaction tests are
# (bench/web/naive.html) and beside the floor, the least a page can do
# (bench/web/floor.html), in Chromium and Firefox, idle and with a busy
# process on each core; then the page's pace, and its start-up against the
# floor's, on a first visit and from the service worker. Writes its section
# of docs/performance.md (bench/run.sh runs it too).
#   bench/web/run.sh                 300 games of each page in each cell
#   bench/web/run.sh --games 20      a quick look
#   bench/web/run.sh --idle          without the busy processes
set -euo pipefail
cd "$(dirname "$0")/../.."

games=300 loads=(idle hog)
while [[ $# -gt 0 ]]; do
  case $1 in
    --games) games=${2-}; shift $(($# >= 2 ? 2 : 1)) ;;
    --idle) loads=(idle); shift ;;
    *) echo "usage: $0 [--games N] [--idle]" >&2; exit 2 ;;
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
files=()
for load in "${loads[@]}"; do
  for browser in chromium firefox; do
    echo "robot: $browser, $load, $games games of each page"
    xvfb-run -a -s "-screen 0 1024x768x24" node bench/web/robot.mjs \
      --browser "$browser" --load "$load" --games "$games" \
      --robot build-bench/bench/web_robot --out "$out/$browser-$load.json"
    files+=("$out/$browser-$load.json")
  done
done
minutes=$(( ($(date +%s) - start + 59) / 60 ))

section=$(mktemp)
trap 'rm -f "$section"' EXIT
{
  echo "<!-- bench/web/run.sh: begin -->"
  echo "## The browser build, measured by a robot player (Xvfb)"
  echo
  echo "\`bench/web/run.sh --games $games$([[ ${#loads[@]} -eq 1 ]] && echo " --idle")\` ($minutes minutes on $(nproc) cores):"
  echo "\`bench/web/robot.mjs\` runs each browser as a normal window on Xvfb, under"
  echo "openbox; \`web_robot\` (the desktop robot's XDamage and XTest code) watches"
  echo "the window and answers green 150 ms plus a uniform 0-250 ms later. Each game"
  echo "is one page load; the game (LIGHT), \`bench/web/naive.html\` and"
  echo "\`bench/web/floor.html\` take turns. The naive page turns the square green in a"
  echo "\`setTimeout()\` callback and reads \`performance.now()\` in its key handler;"
  echo "the game and the floor page turn it green on an animation frame, read the go"
  echo "signal there and take the key's \`timeStamp\`. The game and the floor page are"
  echo "served alike, by \`scripts/web_server.py\` with the game's service worker."
  echo "RT lag is the page's own reaction time (exact, from the console"
  echo "line each page writes) less the robot's delay. Page times are put on"
  echo "\`CLOCK_MONOTONIC\` once per load, from the shortest of 40 driver round trips."
  echo "\"Hog\" is one busy process per core. Under a window manager, the robot"
  echo "clicks the page's empty lower left first where the browser keeps the"
  echo "keyboard in its own controls (Firefox)."
  echo
  node bench/web/robot.mjs --report "${files[@]}"
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
