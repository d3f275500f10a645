#!/usr/bin/env bash
# Runs every test that drives a real display server, Wine, a browser or a
# packaging tool (CTest label window-system) ROUNDS times, every second round with a
# busy process on each core, and ends with one line per test: its failures
# out of its runs. Exits non-zero if any run failed. A test that fails here
# is mended, never retried until it passes. PATTERN soaks only the tests
# whose names match it (CTest's -R), e.g. Browser.
# Usage: scripts/soak-tests.sh [ROUNDS [PATTERN]]   (20 rounds by default)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-20}
only=()
[[ -n ${2:-} ]] && only=(-R "$2")
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [ROUNDS [PATTERN]]" >&2; exit 2; }

scripts/deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAPWIT_BENCH=ON >/dev/null
cmake --build build
# The Windows trees, built (and tested once) if they are not there yet.
[[ -f build-windows/x64/CTestTestfile.cmake ]] || scripts/windows.sh
# The browser build, built if it is not there yet.
[[ -f build-web/CTestTestfile.cmake ]] || scripts/web.sh --build-only --tests
trees=(build build-web)
for arch in x64 x86; do
  [[ -f build-windows/$arch/CTestTestfile.cmake ]] && trees+=("build-windows/$arch")
done

busy=()
stop_load() {
  if [[ ${#busy[@]} -gt 0 ]]; then
    kill "${busy[@]}" 2>/dev/null || true
    wait "${busy[@]}" 2>/dev/null || true
  fi
  busy=()
}
# The Wine tests leave a wineserver for the prefix; it ends with the soak.
cleanup() {
  stop_load
  WINEPREFIX=$PWD/build-windows/wineprefix wineserver -k 2>/dev/null || true
}
results=$(mktemp)
trap 'cleanup; rm -f "$results" "$results.round"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
for round in $(seq "$rounds"); do
  load=idle
  if ((round % 2 == 0)); then
    load="a busy process on each of $(nproc) cores"
    for _ in $(seq "$(nproc)"); do
      bash -c 'while :; do :; done' &
      busy+=($!)
    done
  fi
  echo "=== round $round of $rounds, $load"
  for tree in "${trees[@]}"; do
    # One line per test: "NAME Passed" or "NAME Failed" (or Timeout, ...).
    ctest --test-dir "$tree" -L window-system "${only[@]}" --output-on-failure 2>&1 |
      tee "$results.round" |
      sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?([A-Za-z]+).*/\1 \3/p' \
        >>"$results" || true
    grep -E '^ *[0-9]+/[0-9]+ Test ' "$results.round" | grep -v ' Passed ' || true
    # A failure's own output, so that its cause can be found afterwards.
    if grep -Eq '^ *[0-9]+/[0-9]+ Test .*(Failed|Timeout|Exception)' "$results.round"; then
      echo "--- output of the round's failures in $tree:"
      cat "$results.round"
    fi
  done
  stop_load
done
# A skipped run (32-bit Wine on a kernel that runs no 32-bit programs) is
# neither a pass nor a failure, and is counted apart.
echo "=== failures out of runs, per test, over $rounds rounds"
awk '$2 == "Skipped" {skipped[$1]++; next}
     {runs[$1]++; if ($2 != "Passed") failed[$1]++}
     END {
       for (t in runs) printf "%-60s %d/%d\n", t, failed[t], runs[t]
       for (t in skipped) printf "%-60s skipped %d times\n", t, skipped[t]
     }' "$results" | sort
total=$(grep -vc ' Skipped$' "$results" || true)
failed=$(grep -Evc ' (Passed|Skipped)$' "$results" || true)
skipped=$(grep -c ' Skipped$' "$results" || true)
echo "soak: $failed failed of $total runs, $skipped skipped"
[[ $total -gt 0 && $failed -eq 0 ]]
