#!/usr/bin/env bash
# Runs a 32-bit Windows program under Debian's 32-bit Wine (wine32:i386),
# quietly, in the prefix $WINEPREFIX (a 32-bit one: the build keeps its own).
# Usage: scripts/wine32.sh PROGRAM.exe [ARGS...]
#        scripts/wine32.sh --check
# --check, and any run where this kernel runs no 32-bit programs or 32-bit
# Wine is not installed, exits 77 with the reason (CTest's skip code)
# instead of running anything.
set -euo pipefail
here=$(dirname "$0")
if ! "$here/i386-probe.sh"; then
  echo "skipped: this kernel runs no 32-bit programs, so 32-bit Wine cannot run"
  exit 77
fi
if [[ ! -x /usr/lib/wine/wine ]]; then
  echo "skipped: 32-bit Wine (/usr/lib/wine/wine, package wine32:i386) is not installed; scripts/deps.sh windows installs it where the package lists allow"
  exit 77
fi
[[ ${1:-} == --check ]] && exit 0
: "${WINEPREFIX:?set WINEPREFIX to the 32-bit Wine prefix of the build}"
export WINEPREFIX WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
exec /usr/lib/wine/wine "$@"
