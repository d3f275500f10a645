#!/usr/bin/env bash
# Builds the Windows game from Linux and checks it: installs what it needs,
# cross-builds ZAPWIT.exe for x86-64 and x86 with mingw-w64, makes the zips
# and the installer, and runs the Windows tests (the 64-bit ones under Wine
# on Xvfb; this kernel runs no 32-bit programs, so the x86 build is checked
# by its headers and resources only).
#   build-windows/x64/ZAPWIT.exe, build-windows/x86/ZAPWIT.exe
#   build-windows/packages/ZAPWIT-1.00-win64.zip, -win32.zip, -win64-setup.exe
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-windows

scripts/deps.sh windows

# The X driver that plays the game, built for Linux.
cmake -S . -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZAPWIT_QT=OFF -DZAPWIT_PACKAGE_TESTS=OFF >/dev/null
cmake --build "$out/host" --target xvfb_smoke

# A fresh Wine prefix of the build's own, started once.
export WINEPREFIX=$out/wineprefix
rm -rf "$WINEPREFIX"
scripts/wine64.sh wineboot -i
wineserver -w
# Each prefix leaves a server folder under /tmp; this one's goes at the end.
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "/tmp/.wine-$(id -u)/server-$(stat -c '%d-%i' "$WINEPREFIX" 2>/dev/null || echo none)"
}
trap cleanup EXIT

mkdir -p "$out/packages"
for arch in x64 x86; do
  case $arch in
    x64) toolchain=mingw-x86_64 ;;
    x86) toolchain=mingw-i686 ;;
  esac
  cmake -S . -B "$out/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$toolchain.cmake" \
    -DZAPWIT_HOST_SMOKE="$out/host/tests/xvfb_smoke" \
    -DZAPWIT_WINEPREFIX="$WINEPREFIX" \
    -DZAPWIT_PACKAGES_DIR="$out/packages" -DZAPWIT_BENCH=ON >/dev/null
  cmake --build "$out/$arch"
  (cd "$out/$arch" && cpack -B "$out/$arch/cpack" >/dev/null)
  cp "$out/$arch"/cpack/ZAPWIT-*.zip "$out/packages/"
  if [[ $arch == x64 ]]; then cp "$out/$arch"/cpack/ZAPWIT-*-setup.exe "$out/packages/"; fi
done
for arch in x64 x86; do
  ctest --test-dir "$out/$arch" --output-on-failure --repeat until-fail:2
done
ls -l "$out/x64/ZAPWIT.exe" "$out/x86/ZAPWIT.exe" "$out"/packages/*
