#!/usr/bin/env bash
# Remakes docs/screenshot.png: the window under Xvfb, 1.7 s into a LIGHT
# test, when BOX has turned yellow. Needs a built tree (scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

command -v convert >/dev/null || {
  sudo=(); [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  "${sudo[@]}" apt-get install -y -qq imagemagick </dev/null
}
ppm=$(mktemp --suffix=.ppm)
trap 'rm -f "$ppm"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" \
  build/tests/xvfb_smoke build/window/qt/zapwit --screenshot "$ppm"
mkdir -p docs
convert "$ppm" -strip docs/screenshot.png
echo "wrote docs/screenshot.png"
