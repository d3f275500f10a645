#!/usr/bin/env bash
# Renders packaging/icons/zapwit.svg into the checked-in PNGs (16, 32 and 48
# pixels for the desktop, 192 and 512 for the web page's manifest) and the
# multi-size Windows icon. Run it after editing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"

sudo=(); [[ $(id -u) -eq 0 ]] || sudo=(sudo)
command -v rsvg-convert >/dev/null && command -v convert >/dev/null ||
  "${sudo[@]}" apt-get install -y -qq librsvg2-bin imagemagick </dev/null

for size in 16 32 48 192 512; do
  rsvg-convert -w "$size" -h "$size" zapwit.svg -o "zapwit-$size.png"
done
convert zapwit-16.png zapwit-32.png zapwit-48.png zapwit.ico
echo "rendered zapwit-{16,32,48,192,512}.png and zapwit.ico"
