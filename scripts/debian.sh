#!/usr/bin/env bash
# The Debian source and binary packages, checked as a Debian maintainer
# checks them, in one command (as root, or with sudo, on Debian 12):
#   - the upstream tarball zapwit_VERSION.orig.tar.gz, by git archive of
#     the committed tree;
#   - the build-dependencies of debian/control, installed with
#     mk-build-deps;
#   - dpkg-buildpackage -us -uc: .dsc, .orig.tar.gz, .debian.tar.xz,
#     .changes, .buildinfo and .deb, all in build-debian/;
#   - the package's own checks (tests/package/deb_check.sh);
#   - lintian --pedantic -I -E --fail-on error,warning on the .changes;
#   - autopkgtest on the .changes, with the null virt server.
# Usage: scripts/debian.sh               all of the above
#        scripts/debian.sh --clean-room  then builds the binary package
#          again in a minimal Debian 12 chroot (mmdebstrap --variant=buildd)
#          that holds build-essential and the declared Build-Depends only
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
clean_room=false
case ${1:-} in
  "") ;;
  --clean-room) clean_room=true ;;
  *) echo "usage: $0 [--clean-room]" >&2; exit 2 ;;
esac

scripts/deps.sh debian
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

source=$(dpkg-parsechangelog -S Source)
version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
# The version is the project's, set in CMakeLists.txt; the changelog follows.
project_version=$(sed -nE 's/^project\(zapwit VERSION ([0-9.]+) .*/\1/p' CMakeLists.txt)
[[ $upstream == "$project_version" ]] || {
  echo "debian/changelog has $upstream, CMakeLists.txt $project_version" >&2
  exit 1
}
out=$root/build-debian
rm -rf "$out"
mkdir -p "$out"

# The upstream tarball: the committed tree less debian/, which goes in the
# .debian.tar.xz, so that it is the same from any clone of the same commit.
# gzip -n: no name or time in its header.
git archive --format=tar --prefix="$source-$upstream/" HEAD -- . ':!debian' |
  gzip -9n >"$out/${source}_$upstream.orig.tar.gz"
tar -xzf "$out/${source}_$upstream.orig.tar.gz" -C "$out"
tree=$out/$source-$upstream
git archive --format=tar HEAD debian | tar -x -C "$tree"

echo "== build-dependencies"
(cd "$out" && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive mk-build-deps \
  --install --remove \
  --tool 'apt-get -y -qq --no-install-recommends -o Debug::pkgProblemResolver=yes' \
  "$tree/debian/control" </dev/null >"$out/build-deps.log" 2>&1) ||
  { cat "$out/build-deps.log"; exit 1; }

echo "== dpkg-buildpackage"
(cd "$tree" && dpkg-buildpackage -us -uc) >"$out/build.log" 2>&1 ||
  { tail -60 "$out/build.log"; exit 1; }
changes=$out/${source}_${version}_$(dpkg --print-architecture).changes
deb=$out/${source}_${version}_$(dpkg --print-architecture).deb
ls -l "$out"/*.dsc "$out"/*.orig.tar.gz "$out"/*.debian.tar.xz "$changes" \
  "$out"/*.buildinfo "$deb"

echo "== the package's own checks"
# The X driver that plays the packaged game, built from this tree.
cmake -S . -B "$out/driver" -G Ninja -DZAPWIT_QT=OFF -DZAPWIT_PACKAGE_TESTS=OFF \
  -DZAPWIT_HARDENING=OFF >/dev/null
cmake --build "$out/driver" --target xvfb_smoke >/dev/null
tests/package/deb_check.sh "$deb" "$out/driver/tests/xvfb_smoke"

echo "== lintian"
lintian --pedantic -I -E --fail-on error,warning "$changes" | tee "$out/lintian.txt"

echo "== autopkgtest"
"${sudo[@]}" autopkgtest "$changes" -- null \
  >"$out/autopkgtest.log" 2>&1 || { tail -40 "$out/autopkgtest.log"; exit 1; }
sed -n '/@@@@@@@@@@@@@@@@@@@@ summary/,/Binaries: resetting/p' "$out/autopkgtest.log" |
  grep -v 'Binaries: resetting'
grep -q '^plays-on-xvfb *PASS' "$out/autopkgtest.log"

if $clean_room; then
  echo "== clean room: mmdebstrap --variant=buildd"
  room=$out/clean-room
  mkdir -p "$room"
  # The machine's own Debian sources where it has them (deb822 or one-line).
  sources=()
  for file in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
    [[ -s $file ]] && { sources=("$file"); break; }
  done
  start=$(date +%s)
  # The machine's own apt sources; the chroot gets the source package, its
  # declared Build-Depends and nothing else, and builds the binary package.
  "${sudo[@]}" mmdebstrap --variant=buildd --quiet \
    --customize-hook="copy-in $out/${source}_$version.dsc $out/${source}_$upstream.orig.tar.gz $out/${source}_$version.debian.tar.xz /tmp" \
    --customize-hook='chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq --no-install-recommends /tmp/'"${source}_$version.dsc"' >/dev/null' \
    --customize-hook='chroot "$1" sh -c "dpkg-query -W -f=\"\${Package} \${Version}\n\" > /tmp/installed.txt"' \
    --customize-hook='chroot "$1" sh -c "cd /tmp && dpkg-source -x '"${source}_$version.dsc"' build >/dev/null && cd build && dpkg-buildpackage -b -us -uc" > '"$room/build.log"' 2>&1' \
    --customize-hook="copy-out /tmp/${source}_${version}_$(dpkg --print-architecture).deb /tmp/installed.txt $room" \
    bookworm /dev/null "${sources[@]}"
  echo "clean room: built in $(($(date +%s) - start)) s: $(ls "$room"/*.deb)"
  echo "clean room: $(wc -l <"$room/installed.txt") packages installed; the build-dependencies:"
  sed -n 's/^Build-Depends: //p' "$out/${source}_$version.dsc"
fi
