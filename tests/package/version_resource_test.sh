#!/usr/bin/env bash
# Compiles the generated Windows resource script, decompiles the compiled
# resource again and checks every field of the version record and the icon.
# Usage: version_resource_test.sh ZAPWIT.RC
set -euo pipefail
rc=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

windres=x86_64-w64-mingw32-windres
"$windres" --preprocessor=cpp --preprocessor-arg=-DRC_INVOKED \
  -i "$rc" -O res -o "$work/zapwit.res"
"$windres" -i "$work/zapwit.res" -O rc -o "$work/decompiled.rc"

failures=0
expect() {  # expect DESCRIPTION EXTENDED-REGEX
  if grep -Eq "$2" "$work/decompiled.rc"; then
    echo "ok: $1"
  else
    echo "FAIL: $1 (no line matching /$2/)"
    failures=$((failures + 1))
  fi
}
expect "numeric file version 1.0.0.0" '^ *FILEVERSION 1, 0, 0, 0$'
expect "numeric product version 1.0.0.0" '^ *PRODUCTVERSION 1, 0, 0, 0$'
expect "an application (VFT_APP)" '^ *FILETYPE 0x1$'
expect "for 32-bit Windows (VOS_NT_WINDOWS32)" '^ *FILEOS 0x40004$'
expect "US English, Unicode string table" '^ *BLOCK "040904B0"$'
expect "file version 1.00" '^ *VALUE "FileVersion", "1\.00"$'
expect "product version 1.00" '^ *VALUE "ProductVersion", "1\.00"$'
expect "product name ZAPWIT" '^ *VALUE "ProductName", "ZAPWIT"$'
expect "internal name ZAPWIT" '^ *VALUE "InternalName", "ZAPWIT"$'
expect "original file name ZAPWIT.exe" '^ *VALUE "OriginalFilename", "ZAPWIT\.exe"$'
expect "translation US English (0x409), Unicode (1200)" \
  '^ *VALUE "Translation", 0x409, 1200$'
expect "resources tagged US English" '^LANGUAGE 9, 1$'
expect "one icon of three images" 'Has 3 elements'
for size in 020 040 060; do  # 16, 32 and 48 pixels, as octal bytes
  expect "icon image of $((8#$size)) pixels" "\"\\\\${size}\\\\${size}\\\\000\\\\000\", 1, 32,"
done

if [[ $failures -ne 0 ]]; then
  echo "--- decompiled resource:"
  grep -v '^ *0x' "$work/decompiled.rc"
  exit 1
fi
