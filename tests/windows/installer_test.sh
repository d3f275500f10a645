#!/usr/bin/env bash
# Installs the game silently into the Wine prefix, checks the executable,
# the Start-menu shortcut and the uninstall entry, plays the installed game,
# then uninstalls silently and checks that all three are gone.
# Usage: installer_test.sh SETUP.exe SMOKE WINE 64|32
# The last argument is the registry view the installer writes: 64 for the
# 64-bit installer, 32 for the 32-bit one (in a 32-bit prefix, as on 32-bit
# Windows, that is the only registry there is).
set -euo pipefail
setup=$1 smoke=$2 wine=$3 view=$4
[[ -f $setup ]] || { echo "FAIL: no installer at $setup"; exit 1; }
drive_c=$WINEPREFIX/drive_c
exe="$drive_c/Program Files/ZAPWIT/ZAPWIT.exe"
licence="$drive_c/Program Files/ZAPWIT/LICENSE.txt"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZAPWIT.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZAPWIT'

failures=0
expect() {  # expect DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
entry() { "$wine" reg query "$key" /v DisplayName "/reg:$view" >/dev/null 2>&1; }
no() { ! "$@"; }

"$wine" "$setup" /S
wineserver -w
expect "installed ZAPWIT.exe" test -f "$exe"
expect "installed the licence" test -f "$licence"
expect "Start-menu shortcut" test -f "$shortcut"
expect "uninstall entry in the $view-bit registry" entry
expect "the installed game plays" \
  "$(dirname "$0")/../on_xvfb.sh" 1024x768x24 "$smoke" "$exe" --launcher "$wine"

"$wine" "$drive_c/Program Files/ZAPWIT/Uninstall.exe" /S
# The uninstaller copies itself to %TEMP% and returns at once.
wineserver -w
expect "uninstall removed ZAPWIT.exe" no test -e "$exe"
expect "uninstall removed the shortcut" no test -e "$shortcut"
expect "uninstall removed the entry" no entry
[[ $failures -eq 0 ]]
