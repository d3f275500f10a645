#!/usr/bin/env bash
# Checks a built ZAPWIT.exe from its headers and resources, as Windows
# would read them: the machine, the GUI subsystem, hardening flags, that it
# imports only Windows' own DLLs, and the version record, icon and manifest.
# Usage: pe_check.sh ZAPWIT.exe x64|x86
set -euo pipefail
exe=$1
arch=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $arch in
  x64) objdump=x86_64-w64-mingw32-objdump; format='pei-x86-64'; magic=20b ;;
  x86) objdump=i686-w64-mingw32-objdump; format='pei-i386'; magic=10b ;;
  *) echo "usage: $0 ZAPWIT.exe x64|x86" >&2; exit 2 ;;
esac
"$objdump" -p "$exe" >"$work/headers"
wrestool -x --raw -t 16 "$exe" | iconv -f UTF-16LE -t UTF-8 -c | tr -c '[:print:]' '\n' | grep -v '^$' \
  >"$work/version"
wrestool -x --raw -t 24 -n 1 "$exe" | tr -s "[:space:]" " " >"$work/manifest"
wrestool -x -t 14 "$exe" -o "$work/icon.ico"
icotool -l "$work/icon.ico" >"$work/icons"

failures=0
check() {  # check DESCRIPTION FILE EXTENDED-REGEX
  if grep -Eq -- "$3" "$work/$2"; then
    echo "ok: $1"
  else
    echo "FAIL: $1 (nothing in $2 matches /$3/)"
    failures=$((failures + 1))
  fi
}
check "file format $format" headers "file format $format\$"
check "optional header magic $magic" headers "^Magic[[:space:]]+0*$magic"
check "GUI subsystem" headers '^Subsystem[[:space:]]+0*2[[:space:]]'
check "ASLR (dynamic base)" headers 'DYNAMIC_BASE'
check "DEP (NX compatible)" headers 'NX_COMPAT'
if [[ $arch == x64 ]]; then
  check "high-entropy ASLR" headers 'HIGH_ENTROPY_VA'
fi
check "a relocation table, so ASLR can move it" headers \
  '^Entry 5 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Base Relocation Directory'

# Windows' own DLLs only: no libstdc++, libgcc or winpthread beside it.
own='^(kernel32|user32|gdi32|comctl32|winmm|msvcrt|advapi32|shell32|ole32|ntdll)\.dll$'
mapfile -t dlls < <(grep -E '^[[:space:]]*DLL Name:' "$work/headers" | awk '{print tolower($3)}')
for dll in "${dlls[@]}"; do
  if [[ $dll =~ $own || $dll == api-ms-win-* ]]; then
    echo "ok: imports $dll"
  else
    echo "FAIL: imports $dll, which Windows does not ship"
    failures=$((failures + 1))
  fi
done
[[ ${#dlls[@]} -gt 0 ]] || { echo "FAIL: no imports read"; failures=$((failures + 1)); }

for field in "FileVersion 1.00" "ProductVersion 1.00" "ProductName ZAPWIT" \
  "InternalName ZAPWIT" "OriginalFilename ZAPWIT.exe"; do
  name=${field%% *}
  value=${field#* }
  if grep -A1 -x "$name" "$work/version" | tail -1 | grep -qx "$value"; then
    echo "ok: version record $name = $value"
  else
    echo "FAIL: version record $name is not $value"
    failures=$((failures + 1))
  fi
done
check "US English, Unicode string table" version '^040904[bB]0$'
# VS_FIXEDFILEINFO: signature, structure version, then 1.0.0.0 twice.
fixed=$(wrestool -x --raw -t 16 "$exe" | od -An -tx4 -v | tr -s ' \n' ' ')
if [[ $fixed == *"feef04bd 00010000 00010000 00000000 00010000 00000000"* ]]; then
  echo "ok: numeric file and product version 1.0.0.0"
else
  echo "FAIL: numeric version is not 1.0.0.0"
  failures=$((failures + 1))
fi
for size in 16 32 48; do
  check "icon image of $size pixels" icons "--width=$size --height=$size"
done
check "manifest: per-monitor DPI awareness v2" manifest 'PerMonitorV2'
check "manifest: Common Controls 6" manifest 'Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0'
check "manifest: Windows 7" manifest '35138b9a-5d96-4fbd-8e2d-a2440225f93a'
check "manifest: Windows 10 and 11" manifest '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a'

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
