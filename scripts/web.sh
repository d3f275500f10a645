#!/usr/bin/env bash
# The game in a browser: installs what it needs (Debian's emscripten and
# Python, nothing else), builds the WebAssembly page into build-web/site/
# (and the site's zip into build-web/packages/), and serves it on
# http://127.0.0.1:8064/ until stopped, with the headers the page wants
# (cross-origin isolation, its Content Security Policy, no caching).
# Usage: scripts/web.sh [--port N] [--bind ADDR] [--build-only] [--tests]
#   --port N, --bind ADDR  where to serve (8064 and 127.0.0.1 by default);
#     --bind 0.0.0.0 serves every address of this machine
#   --build-only  builds, and serves nothing
#   --tests  also builds the suites as WebAssembly and the second site the
#     browser tests replace the first with, and installs the browsers and
#     the tests' driver (npm ci); needs Node.js 20 or later
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: $0 [--port N] [--bind ADDR] [--build-only] [--tests]"
port=8064 bind=127.0.0.1 build_only=false tests=OFF
while [[ $# -gt 0 ]]; do
  case $1 in
    --port | --bind)
      [[ $# -ge 2 ]] || { echo "web.sh: $1 needs a value; $usage" >&2; exit 2; }
      if [[ $1 == --port ]]; then port=$2; else bind=$2; fi
      shift 2
      ;;
    --build-only) build_only=true; shift ;;
    --tests) tests=ON; shift ;;
    -h | --help) echo "$usage"; sed -n '/^#   /s/^# //p' "$0"; exit 0 ;;
    *) echo "web.sh: unknown argument '$1'; $usage" >&2; exit 2 ;;
  esac
done
# Checked before anything is installed or built.
if ! [[ $port =~ ^[0-9]{1,5}$ ]] || ((10#$port > 65535)); then
  echo "web.sh: --port $port is not a port number (0 to 65535)" >&2
  exit 2
fi
port=$((10#$port))
server=(scripts/web_server.py build-web/site --port "$port" --bind "$bind")
# Whether the address can be bound and the port is free: at once where
# Python is already here, otherwise as soon as it is installed, before the
# build.
check_address() { $build_only || python3 "${server[@]}" --check; }
checked=false
if command -v python3 >/dev/null; then check_address; checked=true; fi

if [[ $tests == ON ]]; then
  # The browser tests' driver (puppeteer-core, selenium-webdriver) needs
  # Node.js 20; Debian 12's own is 18, which builds and serves the page.
  scripts/deps.sh web-test
  node_major=$(node -p 'process.versions.node.split(".")[0]')
  if ((node_major < 20)); then
    echo "web.sh: the browser tests need Node.js 20 or later (puppeteer-core 24, selenium-webdriver 4.46); this is $(node --version). The page itself builds and serves without --tests." >&2
    exit 1
  fi
else
  scripts/deps.sh web
fi
$checked || check_address

# em++'s own scripts need Debian's Node modules (acorn), which a Node.js
# that is not Debian's own does not look for.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# Node 18 and later fetch a .wasm by URL unless told not to, which fails
# for a file: the suites under Node load theirs from disk.
# Without --tests, a tree that has the suites keeps them.
suites=()
if [[ $tests == ON ]]; then suites=(-DZAPWIT_TESTS=ON)
elif [[ ! -f build-web/CMakeCache.txt ]]; then suites=(-DZAPWIT_TESTS=OFF); fi
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release "${suites[@]}" \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=node;--no-experimental-fetch" >/dev/null
cmake --build build-web
# The browser tests' driver, exactly as the lock file pins it; it never
# downloads a browser of its own.
if [[ $tests == ON ]] && ! cmp -s tests/web/package-lock.json tests/web/node_modules/.installed-lock.json; then
  (cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error &&
    cp package-lock.json node_modules/.installed-lock.json)
fi
$build_only && { ls -l build-web/site/; exit 0; }
exec python3 "${server[@]}"
