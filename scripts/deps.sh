#!/usr/bin/env bash
# Installs the Debian packages a task needs, and nothing when they are all
# there already.
# Usage: scripts/deps.sh play|test|bench|windows|web|web-test|debian|reproducible
set -euo pipefail

play=(g++ cmake ninja-build qt6-base-dev libgl-dev fonts-dejavu-core)
test=("${play[@]}"
  libgtest-dev libgmock-dev       # unit and window tests
  libbenchmark-dev libxdamage-dev # the benchmarks are built with the tests
  xvfb xauth libx11-dev libxtst-dev  # the smoke test on a real X server
  at-spi2-core python3-pyatspi dbus-daemon  # the window as a screen reader reads it
  weston qt6-wayland                 # the game as a native Wayland client
  dpkg-dev desktop-file-utils appstream lintian man-db  # building and checking the package
  binutils-mingw-w64-x86-64 cpp      # compiling the Windows version record
  clang-14 libclang-rt-14-dev        # the libFuzzer run
  clang-tidy-14 cppcheck             # static analysis
)

# The Windows builds, their tests under Wine and their packages (`wine`
# holds wineserver). Wine's own
# fonts and the X libraries its X11 driver loads at run time are
# recommends of Wine's, named here since recommends are not installed.
windows=(g++ cmake ninja-build libgtest-dev xvfb xauth libx11-dev libxtst-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest
  wine wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1
  nsis icoutils)
test+=("${windows[@]}")

# The browser build, as a player builds and serves it: Debian's emscripten
# (with its Node.js) and Python for the page's server and the site's zip.
web=(cmake ninja-build emscripten python3)
# Its tests: the three browser engines the page is tested in (WebKitGTK
# through its WebDriver server), Xvfb for the headful ones, GoogleTest for
# the suites as WebAssembly. npm comes with this machine's Node.js;
# Debian's own Node needs its npm.
web_test=("${web[@]}" chromium firefox-esr webkit2gtk-driver xvfb xauth googletest)
command -v npm >/dev/null 2>&1 || web_test+=(npm)
test+=("${web_test[@]}")

bench=("${play[@]}" libbenchmark-dev xvfb xauth libx11-dev libxtst-dev libxdamage-dev
  openbox)  # the browser robot's window manager

# The Debian source package, its checks and the clean-room build (the
# package's own Build-Depends come from debian/control, through
# mk-build-deps).
debian=(dpkg-dev devscripts equivs lintian autopkgtest mmdebstrap
  desktop-file-utils appstream man-db binutils
  g++ cmake ninja-build libgtest-dev libx11-dev libxtst-dev xvfb)
# Two builds of everything, compared: reprotest with what its variations
# need (faketime for the time, disorderfs for the file order, every locale
# for the locales), and the small diffoscope to show a difference.
reproducible=("${windows[@]}" reprotest diffoscope-minimal faketime disorderfs locales-all)

case "${1:-}" in
  play) wanted=("${play[@]}") ;;
  test) wanted=("${test[@]}") ;;
  bench) wanted=("${bench[@]}") ;;
  windows) wanted=("${windows[@]}") ;;
  web) wanted=("${web[@]}") ;;
  web-test) wanted=("${web_test[@]}") ;;
  debian) wanted=("${debian[@]}") ;;
  reproducible) wanted=("${reproducible[@]}") ;;
  *) echo "usage: $0 play|test|bench|windows|web|web-test|debian|reproducible" >&2; exit 2 ;;
esac

# 32-bit Windows runs under Debian's 32-bit Wine, where this kernel runs
# 32-bit programs at all; where it does not, the 32-bit tests say skipped.
i386=false
if [[ " ${wanted[*]} " == *" wine64 "* ]] && "$(dirname "$0")/i386-probe.sh"; then
  i386=true
  wanted+=(wine32:i386)
fi

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Another apt at work (unattended upgrades) is waited for, not failed on.
apt=("${sudo[@]}" apt-get -o Acquire::Retries=3 -o DPkg::Lock::Timeout=600)
install=("${apt[@]}" install -y -qq --no-install-recommends)
if $i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
# A mirror caught mid-sync can fail one index (it has: the i386 security
# list, "File has unexpected size") while the rest are fine. What is needed
# is then still installed from the lists that came; the install below
# fails if something is really missing. Recommends are not installed: every
# tool here works without them (the full diffoscope that reprotest
# recommends brings R and matplotlib), and what is needed is named above.
"${apt[@]}" update -qq || echo "deps: apt-get update failed for some lists; going on with the lists it has" >&2
# 32-bit Wine is the one package that needs the i386 lists too. Where it
# cannot be installed, the 32-bit Wine tests say skipped, with the reason
# (scripts/wine32.sh), and everything else is installed as usual.
rest=() want_wine32=false
for package in "${missing[@]}"; do
  if [[ $package == wine32:i386 ]]; then want_wine32=true; else rest+=("$package"); fi
done
if [[ ${#rest[@]} -gt 0 ]]; then
  "${install[@]}" "${rest[@]}" </dev/null
fi
# With it, the 32-bit builds of the X libraries Wine loads at run time.
if $want_wine32 && ! "${install[@]}" wine32:i386 libxrender1:i386 libxrandr2:i386 \
  libxi6:i386 libxcursor1:i386 </dev/null; then
  echo "deps: wine32:i386 could not be installed from these lists; the 32-bit Wine tests will be skipped" >&2
  # Nothing of i386 is installed then, and an i386 list that cannot be
  # fetched would fail every later 'apt-get update' (autopkgtest runs one):
  # the architecture goes again, until a later run can install it.
  if ! dpkg-query -W -f='${Architecture}\n' | grep -qx i386; then
    "${sudo[@]}" dpkg --remove-architecture i386
    "${apt[@]}" update -qq || echo "deps: apt-get update failed for some lists" >&2
  fi
fi
