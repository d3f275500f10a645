#!/usr/bin/env bash
# Builds every artefact twice and checks that both builds are the same bytes:
#   - the Debian package, with reprotest (two builds of the source package
#     that scripts/debian.sh makes, varied as listed below; it runs
#     scripts/debian.sh first if there is none);
#   - the Windows artefacts (ZAPWIT.exe for x64 and x86, both zips, both
#     installers), each build from its own clone at another path, one after
#     the other, in other time zones, locales and umasks: the first of HEAD,
#     the second of HEAD and a later commit that changes only the README,
#     since the artefacts change only with the code or the release;
#   - the browser build's site zip (ZAPWIT-1.00-web.zip), built in the same
#     two clones in the same two settings.
# Prints the SHA-256 of every artefact from each build and exits non-zero
# on any difference, naming what differs (diffoscope says where).
# Usage: scripts/reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/deps.sh reproducible

work=$(mktemp -d "${TMPDIR:-/tmp}/zapwit-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

echo "== the Debian package: reprotest"
[[ -f build-debian/zapwit_1.0.0-1.dsc ]] || scripts/debian.sh
# Every variation reprotest 0.7.23 has but user_group, which needs a second
# user account set up for it on the build machine.
variations=-user_group
(cd build-debian && reprotest --min-cpus=2 --vary="$variations" \
  --store-dir="$work/reprotest" zapwit_1.0.0-1.dsc -- null \
  >"$work/reprotest.log" 2>&1) || true
if grep -q '^Reproduction successful' "$work/reprotest.log"; then
  echo "reprotest: reproduction successful, varying all but $variations:"
  grep -E '^[0-9a-f]{64}  ' "$work/reprotest.log"
else
  echo "reprotest: the two builds differ or did not finish:"
  tail -40 "$work/reprotest.log"
  failures=$((failures + 1))
fi

echo "== the Windows artefacts and the web zip: two clones, two builds"
artefacts=(x64/ZAPWIT.exe x86/ZAPWIT.exe packages/ZAPWIT-1.00-win64.zip
  packages/ZAPWIT-1.00-win32.zip packages/ZAPWIT-1.00-win64-setup.exe
  packages/ZAPWIT-1.00-win32-setup.exe)
first=$work/first/zapwit
second=$work/a/second/build/at/another/path/zapwit
for clone in "$first" "$second"; do
  mkdir -p "$(dirname "$clone")"
  git clone -q --no-local "$root" "$clone"
  git -C "$clone" checkout -q "$(git rev-parse HEAD)"
done
echo "A line that changes nothing built." >>"$second/README.md"
git -C "$second" -c user.name=reproducible -c user.email=reproducible@zapwit.invalid \
  commit -q --date=now -m "README only" README.md
build() {
  scripts/windows.sh --no-tests && scripts/web.sh --build-only
}
(cd "$first" && umask 022 && TZ=UTC LC_ALL=C.UTF-8 build >"$work/first.log" 2>&1) ||
  { tail -30 "$work/first.log"; exit 1; }
(cd "$second" && umask 077 && TZ=Pacific/Kiritimati LC_ALL=fr_FR.UTF-8 \
  build >"$work/second.log" 2>&1) ||
  { tail -30 "$work/second.log"; exit 1; }
artefacts=("${artefacts[@]/#/build-windows/}" build-web/packages/ZAPWIT-1.00-web.zip)
printf '%-40s %-64s %s\n' artefact "first build" "second build"
for artefact in "${artefacts[@]}"; do
  a=$(sha256sum <"$first/$artefact" | cut -d' ' -f1)
  b=$(sha256sum <"$second/$artefact" | cut -d' ' -f1)
  printf '%-40s %s %s\n' "${artefact#*/}" "$a" "$b"
  if [[ $a != "$b" ]]; then
    echo "DIFFERS: $artefact"
    diffoscope --text - "$first/$artefact" "$second/$artefact" | head -40 || true
    failures=$((failures + 1))
  fi
done

if [[ $failures -ne 0 ]]; then
  echo "reproducible: $failures artefact(s) differ"
  exit 1
fi
echo "reproducible: every artefact is the same in both builds"
