#!/usr/bin/env bash
# Builds the Windows game from Linux and checks it: installs what it needs,
# cross-builds ZAPWIT.exe for x86-64 and x86 with mingw-w64, makes the zips
# and the installers, and runs the Windows tests under Wine on Xvfb: the
# 64-bit build under 64-bit Wine, the 32-bit build under 32-bit Wine in a
# 32-bit prefix (reported skipped, with the reason, on a kernel that runs
# no 32-bit programs).
#   build-windows/x64/ZAPWIT.exe, build-windows/x86/ZAPWIT.exe
#   build-windows/packages/ZAPWIT-1.00-win64.zip, -win32.zip,
#     -win64-setup.exe, -win32-setup.exe
# Usage: scripts/windows.sh [--no-tests]   (--no-tests: build and package only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build-windows

scripts/deps.sh windows
# One time for everything the packages stamp, unless the caller gives one:
# the release's, the date of the top entry of debian/changelog, which the
# .deb takes too. A commit that leaves the code and the release alone then
# makes the same zips and installers.
if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  released=$(sed -n 's/^ -- .*>  \(.*\)$/\1/p' debian/changelog | head -n 1)
  SOURCE_DATE_EPOCH=$(date -d "$released" +%s)
fi
export SOURCE_DATE_EPOCH
tests=true
[[ ${1:-} == --no-tests ]] && tests=false

# The X driver that plays the game, built for Linux; with --no-tests only
# the game and its packages are built.
if $tests; then
  cmake -S . -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZAPWIT_QT=OFF -DZAPWIT_PACKAGE_TESTS=OFF >/dev/null
  cmake --build "$out/host" --target xvfb_smoke
fi
testing=(-DZAPWIT_TESTS=ON -DZAPWIT_BENCH=ON)
$tests || testing=(-DZAPWIT_TESTS=OFF -DZAPWIT_BENCH=OFF)

# Fresh Wine prefixes of the build's own, each started once: a 64-bit one,
# and a 32-bit one (as on 32-bit Windows) where this kernel runs 32-bit
# programs.
declare -A prefix=([x64]=$out/wineprefix [x86]=$out/wineprefix32)
declare -A wine=([x64]=scripts/wine64.sh [x86]=scripts/wine32.sh)
# Each prefix leaves a server folder under /tmp; these go at the end.
cleanup() {
  for arch in x64 x86; do
    WINEPREFIX=${prefix[$arch]} wineserver -k 2>/dev/null || true
    rm -rf "/tmp/.wine-$(id -u)/server-$(stat -c '%d-%i' "${prefix[$arch]}" 2>/dev/null || echo none)"
  done
}
trap cleanup EXIT
for arch in x64 x86; do
  rm -rf "${prefix[$arch]}"
  if $tests && "${wine[$arch]}" --check; then
    WINEPREFIX=${prefix[$arch]} "${wine[$arch]}" wineboot -i
    WINEPREFIX=${prefix[$arch]} wineserver -w
  fi
done

mkdir -p "$out/packages"
for arch in x64 x86; do
  case $arch in
    x64) toolchain=mingw-x86_64 ;;
    x86) toolchain=mingw-i686 ;;
  esac
  cmake -S . -B "$out/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$toolchain.cmake" \
    -DZAPWIT_HOST_SMOKE="$out/host/tests/xvfb_smoke" \
    -DZAPWIT_WINEPREFIX="${prefix[$arch]}" \
    -DZAPWIT_PACKAGES_DIR="$out/packages" "${testing[@]}" >/dev/null
  cmake --build "$out/$arch"
  # A zip entry's time is a local one: in UTC it is the same everywhere.
  (cd "$out/$arch" && TZ=UTC cpack -B "$out/$arch/cpack" >/dev/null)
  cp "$out/$arch"/cpack/ZAPWIT-*.zip "$out/$arch"/cpack/ZAPWIT-*-setup.exe "$out/packages/"
done
if $tests; then
  for arch in x64 x86; do
    ctest --test-dir "$out/$arch" --output-on-failure --repeat until-fail:2
  done
fi
ls -l "$out/x64/ZAPWIT.exe" "$out/x86/ZAPWIT.exe" "$out"/packages/*
