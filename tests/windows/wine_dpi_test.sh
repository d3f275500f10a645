#!/usr/bin/env bash
# Plays the game under Wine with the prefix set to DPI dots per inch, and
# sets it back to 96 afterwards.
# Usage: wine_dpi_test.sh DPI SMOKE ZAPWIT.exe WINE
set -euo pipefail
dpi=$1 smoke=$2 exe=$3 wine=$4
set_dpi() {
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null
  # Wine reads the DPI when its server starts.
  wineserver -k || true
  wineserver -w || true
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
"$(dirname "$0")/../on_xvfb.sh" 1024x768x24 "$smoke" "$exe" --dpi "$dpi" --launcher "$wine"
