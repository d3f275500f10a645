#!/usr/bin/env bash
# Checks the binary package that dpkg-buildpackage made as a packager
# would: control fields, file list, desktop entry and AppStream metainfo,
# the manual page and the copyright file, the hardening in the binary, and
# that the packaged game plays and exits 0 on an X server with its WM_CLASS
# matching the menu entry. (lintian runs on the whole upload in
# scripts/debian.sh.)
# Usage: deb_check.sh ZAPWIT.deb XVFB_SMOKE
set -euo pipefail
deb=$1
smoke=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[[ -f $deb ]] || { echo "FAIL: no $deb"; exit 1; }

failures=0
check() {  # check DESCRIPTION ACTUAL EXTENDED-REGEX
  if [[ $2 =~ $3 ]]; then
    echo "ok: $1"
  else
    echo "FAIL: $1: got '$2'"
    failures=$((failures + 1))
  fi
}
field() { dpkg-deb -f "$deb" "$1"; }

check "package name" "$(field Package)" '^zapwit$'
check "version" "$(field Version)" '^1\.0\.0-1$'
check "architecture" "$(field Architecture)" '^amd64$'
check "section" "$(field Section)" '^games$'
check "maintainer" "$(field Maintainer)" '^.+ <[^ >]+@[^ >]+>$'
check "recommends the Wayland plugin" "$(field Recommends)" '(^|, )qt6-wayland(,|$)'
check "description" "$(field Description)" $'^reaction-time game\n .+'
# Worked out by dpkg-shlibdeps from the binary, not written by hand.
for library in libc6 libstdc\\+\\+6 libqt6core6 libqt6gui6 libqt6widgets6; do
  check "depends on ${library//\\/}" "$(field Depends)" "(^|, )$library \\(>= [^)]+\\)"
done

expected=$(cat <<'LIST'
./usr/games/zapwit
./usr/share/applications/net.zapwit.zapwit.desktop
./usr/share/doc/zapwit/changelog.Debian.gz
./usr/share/doc/zapwit/copyright
./usr/share/icons/hicolor/16x16/apps/zapwit.png
./usr/share/icons/hicolor/32x32/apps/zapwit.png
./usr/share/icons/hicolor/48x48/apps/zapwit.png
./usr/share/icons/hicolor/scalable/apps/zapwit.svg
./usr/share/lintian/overrides/zapwit
./usr/share/man/man6/zapwit.6.gz
./usr/share/metainfo/net.zapwit.zapwit.metainfo.xml
LIST
)
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
check "file list" "$files" "^${expected//./\\.}$"

root=$work/root
dpkg-deb -x "$deb" "$root"

check "machine-readable copyright" \
  "$(head -1 "$root/usr/share/doc/zapwit/copyright")" '^Format: https://www\.debian\.org/doc/packaging-manuals/copyright-format/1\.0/$'
check "MIT licence in the metainfo" \
  "$(grep -o '<project_license>[^<]*' "$root/usr/share/metainfo/"*.xml)" '>MIT$'
manual=$(man --warnings -l "$root/usr/share/man/man6/zapwit.6.gz" 2>&1 >/dev/null)
check "manual page renders without a warning" "$manual" '^$'
# Debian's hardening flags: bind-now, relro, PIE and fortified calls.
game=$root/usr/games/zapwit
check "bind now" "$(readelf -d "$game" | grep -o 'BIND_NOW' | head -1)" '^BIND_NOW$'
check "relro" "$(readelf -lW "$game" | grep -o 'GNU_RELRO' | head -1)" '^GNU_RELRO$'
check "position independent" "$(readelf -h "$game" | awk '/Type:/ {print $2}')" '^DYN$'
check "fortified calls" "$(readelf --dyn-syms -W "$game" | grep -c '__[a-z_]*_chk@' || true)" '^[1-9]'
# gzip -9n: no name and no time stamp in the header.
check "changelog compressed without a time stamp" \
  "$(od -An -tx1 -j4 -N4 "$root/usr/share/doc/zapwit/changelog.Debian.gz" | tr -d ' ')" '^00000000$'

desktop=$root/usr/share/applications/net.zapwit.zapwit.desktop
if desktop-file-validate "$desktop"; then echo "ok: desktop entry valid"
else echo "FAIL: desktop-file-validate"; failures=$((failures + 1)); fi
if appstreamcli validate --no-net --pedantic \
    "$root/usr/share/metainfo/net.zapwit.zapwit.metainfo.xml"; then
  echo "ok: metainfo valid"
else
  echo "FAIL: appstreamcli validate"; failures=$((failures + 1))
fi
check "menu entry runs zapwit" "$(grep '^Exec=' "$desktop")" '^Exec=zapwit$'
check "menu entry icon" "$(grep '^Icon=' "$desktop")" '^Icon=zapwit$'
check "menu category" "$(grep '^Categories=' "$desktop")" '^Categories=Game;'
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
check "menu entry names the window's class" "$wm_class" '^[^ ]+$'
check "desktop version" "$(grep '^X-ZAPWIT-Version=' "$desktop")" '=1\.00$'
check "metainfo release" \
  "$(grep -o '<release version="[^"]*"' "$root/usr/share/metainfo/"*.xml)" \
  '"1\.00"$'

# The packaged (stripped) binary, started as the menu entry starts it.
if PATH="$root/usr/games:$PATH" "$(dirname "$0")/../on_xvfb.sh" 1024x768x24 \
    "$smoke" "$(PATH="$root/usr/games:$PATH" command -v zapwit)" \
    --wm-class "$wm_class"; then
  echo "ok: packaged game plays, its WM_CLASS matches the menu entry, exits 0"
else
  echo "FAIL: packaged game"; failures=$((failures + 1))
fi
[[ $failures -eq 0 ]]
