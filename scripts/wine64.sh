#!/usr/bin/env bash
# Runs a 64-bit Windows program under Debian's Wine, quietly, in the prefix
# $WINEPREFIX (which must be set: the build keeps its own).
# Usage: scripts/wine64.sh PROGRAM.exe [ARGS...]
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the build}"
export WINEPREFIX WINEDEBUG=-all
# No Mono or Gecko prompts, and no menu files written into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# wine64 itself: /usr/bin/wine would pick a 32-bit loader if wine32 were
# installed, and this kernel runs no 32-bit programs.
exec /usr/lib/wine/wine64 "$@"
