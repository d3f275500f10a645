#!/usr/bin/env bash
# Installs what the game needs, builds it and starts it on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh play
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAPWIT_TESTS=OFF
cmake --build build --target zapwit
exec build/window/qt/zapwit
