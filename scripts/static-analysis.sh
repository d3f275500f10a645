#!/usr/bin/env bash
# clang-tidy and cppcheck over our own sources, as compiled in build/ (and
# build-fuzz/ for the fuzz target). Generated files (moc, version.h) and
# third-party headers are left out. Exits non-zero on any finding.
# Usage: scripts/static-analysis.sh   (after scripts/test.sh has configured build/)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)

[[ -f build/compile_commands.json ]] || { echo "configure build/ first" >&2; exit 2; }

# Our translation units: everything in the compile database under the source
# tree but outside any build folder.
mapfile -t units < <(grep -o '"file": "[^"]*"' build/compile_commands.json |
  cut -d'"' -f4 | grep -E "^$src/(display|engine|window|tests|bench)/" | sort -u)
header_filter="^$src/(display|engine|window|tests|fuzz|bench)/"

echo "clang-tidy: ${#units[@]} files"
run-clang-tidy-14 -quiet -p build -j "$(nproc)" -header-filter="$header_filter" \
  "${units[@]}" >build/clang-tidy.log 2>&1 || {
  grep -E 'warning:|error:' -A3 build/clang-tidy.log | head -100
  echo "clang-tidy: findings above (full log: build/clang-tidy.log)"
  exit 1
}
if [[ -f build-fuzz/compile_commands.json ]]; then
  clang-tidy-14 --quiet -p build-fuzz -header-filter="$header_filter" \
    fuzz/engine_fuzz.cpp 2>/dev/null
fi
# The browser front-end, as em++ compiles it: for WebAssembly, against
# emscripten's own headers.
if [[ -f build-web/compile_commands.json ]]; then
  sysroot=/usr/share/emscripten/cache/sysroot
  clang-tidy-14 --quiet -p build-web -header-filter="$header_filter" \
    --extra-arg=--target=wasm32-unknown-emscripten --extra-arg=-D__EMSCRIPTEN__ \
    --extra-arg=-nostdinc++ --extra-arg=-isystem$sysroot/include/c++/v1 \
    --extra-arg=--sysroot=$sysroot --extra-arg=-isystem$sysroot/include \
    window/web/form1.cpp window/web/main.cpp window/web/form_markup_main.cpp 2>/dev/null
fi
echo "clang-tidy: clean"

echo "cppcheck"
cppcheck --project=build/compile_commands.json --library=qt --library=googletest \
  --enable=warning,style,performance,portability --std=c++20 \
  --inline-suppr --error-exitcode=1 --quiet -j "$(nproc)" \
  --file-filter="display/*" --file-filter="engine/*" \
  --file-filter="window/*" --file-filter="tests/*" \
  --file-filter="bench/*" \
  --suppress=missingIncludeSystem \
  --suppress=unreadVariable:"tests/*" \
  --suppress=useStlAlgorithm
# Why the suppressions:
#  missingIncludeSystem: system and Qt headers are not analysed, only ours.
#  unreadVariable in tests: the fakes read the fields a test sets (rig.now)
#    through lambdas that cppcheck does not follow.
#  useStlAlgorithm: a plain loop is often the clearer one; a style opinion.
echo "cppcheck: clean"
