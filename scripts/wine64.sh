#!/usr/bin/env bash
# Runs a 64-bit Windows program under Debian's Wine, quietly, in the prefix
# $WINEPREFIX (which must be set: the build keeps its own).
# Usage: scripts/wine64.sh PROGRAM.exe [ARGS...]
#        scripts/wine64.sh --check   exits 0: 64-bit Wine always runs here
set -euo pipefail
[[ ${1:-} == --check ]] && exit 0
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the build}"
export WINEPREFIX WINEDEBUG=-all
# No Mono or Gecko prompts, and no menu files written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# wine64 itself: /usr/bin/wine picks its loader by the program's bitness,
# and names the 32-bit one when wine32 is installed.
exec /usr/lib/wine/wine64 "$@"
