#!/usr/bin/env bash
# Builds the engine fuzzer with clang and runs it from the checked-in seeds.
#   fuzz/run.sh                  fixed-seed run of 200 000 executions (CI)
#   fuzz/run.sh --minutes 10     a longer run; new inputs go to build-fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=
case "${1:-}" in
  --minutes) minutes=${2:?minutes}; [[ $minutes =~ ^[0-9]+$ ]] || exit 2 ;;
  "") ;;
  *) echo "usage: $0 [--minutes N]" >&2; exit 2 ;;
esac

CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZAPWIT_FUZZ=ON -DZAPWIT_QT=OFF -DZAPWIT_TESTS=OFF >/dev/null
cmake --build build-fuzz --target engine_fuzz

# New inputs land in the first folder; the seeds stay as checked in.
mkdir -p build-fuzz/corpus build-fuzz/crashes
options=(-max_len=512 -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/)
if [[ -n $minutes ]]; then
  options+=(-max_total_time=$((minutes * 60)))
else
  options+=(-seed=1 -runs=200000)
fi
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  build-fuzz/fuzz/engine_fuzz "${options[@]}" build-fuzz/corpus fuzz/corpus
