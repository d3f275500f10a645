#!/usr/bin/env bash
# The game in a browser: installs what it needs, builds the WebAssembly page
# into build-web/site/ (and the site's zip into build-web/packages/) with
# Debian's emscripten, and serves it on http://127.0.0.1:8064/ until
# stopped, with the headers the page wants (cross-origin isolation, its
# Content Security Policy, no caching).
# Usage: scripts/web.sh [--port N] [--bind ADDR] [--build-only] [--no-tests]
#   --no-tests builds the site and its zip alone: no suites, no test driver.
set -euo pipefail
cd "$(dirname "$0")/.."

serve=(--port 8064 --bind 127.0.0.1)
build_only=false
tests=ON
usage="usage: $0 [--port N] [--bind ADDR] [--build-only] [--no-tests]"
while [[ $# -gt 0 ]]; do
  case $1 in
    --port | --bind)
      [[ $# -ge 2 ]] || { echo "$usage" >&2; exit 2; }
      serve+=("$1" "$2")
      shift 2
      ;;
    --build-only) build_only=true; shift ;;
    --no-tests) tests=OFF; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

scripts/deps.sh web
# em++'s own scripts need Debian's Node modules (acorn), which a Node.js
# that is not Debian's own does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Node 18 and later fetch a .wasm by URL unless told not to, which fails
# for a file: the suites under Node load theirs from disk.
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DZAPWIT_TESTS=$tests \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=node;--no-experimental-fetch" >/dev/null
cmake --build build-web
# The browser tests' driver, exactly as the lock file pins it; it never
# downloads a browser of its own.
if [[ $tests == ON ]] && ! cmp -s tests/web/package-lock.json tests/web/node_modules/.installed-lock.json; then
  (cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error &&
    cp package-lock.json node_modules/.installed-lock.json)
fi
ls -l build-web/site/
$build_only && exit 0
exec python3 scripts/web_server.py build-web/site "${serve[@]}"
