#!/usr/bin/env bash
# The play command as a new player meets it: a minimal Debian 12 root
# (mmdebstrap --variant=minbase, Debian's own Node.js when emscripten
# brings it), the committed tree copied in, and `scripts/web.sh` run there
# with nothing else installed. Passes once the page it serves answers with
# the game's files; prints the time taken and the packages the root ended
# with. Needs root (or sudo) and Debian's package mirror.
# Usage: scripts/web-clean-room.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh debian # mmdebstrap
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
out=$root/build-web-clean-room
rm -rf "$out"
mkdir -p "$out"
git archive --format=tar --prefix=zapwit/ HEAD >"$out/zapwit.tar"

sources=()
for file in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
  [[ -s $file ]] && { sources=("$file"); break; }
done

# Run inside mmdebstrap's customize hook, with the root at $1: the play
# command started in the background, its page fetched from outside once it
# prints its address, then stopped.
cat >"$out/play.sh" <<'EOF'
#!/bin/sh
set -eu
room=$1 out=$2
tar -xf "$out/zapwit.tar" -C "$room/root"
chroot "$room" dpkg-query -W -f='${Package}\n' >"$out/before.txt"
start=$(date +%s)
chroot "$room" sh -c 'cd /root/zapwit && exec scripts/web.sh --port 0' </dev/null >"$out/web.out" 2>"$out/web.log" &
player=$!
# The address it serves, once it serves (the install and build come
# first); at most an hour, however slow the mirror.
address=""
for _ in $(seq 3600); do
  address=$(grep -m1 '^http://' "$out/web.out" 2>/dev/null || true)
  [ -n "$address" ] && break
  kill -0 "$player" 2>/dev/null || break
  sleep 1
done
[ -n "$address" ] || { tail -30 "$out/web.out" "$out/web.log"; exit 1; }
echo "$(($(date +%s) - start))" >"$out/seconds"
chroot "$room" python3 -c '
import sys, urllib.request
base = sys.argv[1]
for name in ("", "page.js", "zapwit.js", "zapwit.wasm", "sw.js"):
    with urllib.request.urlopen(base + name) as answer:
        print(answer.status, answer.headers["Content-Type"], len(answer.read()), "/" + name)
' "$address" >"$out/fetched.txt"
kill "$player"
wait "$player" || true
chroot "$room" dpkg-query -W -f='${Package} ${Version}\n' >"$out/installed.txt"
chroot "$room" sh -c 'node --version' >"$out/node.txt"
EOF
chmod +x "$out/play.sh"

echo "== clean room: mmdebstrap --variant=minbase, then scripts/web.sh"
"${sudo[@]}" mmdebstrap --variant=minbase --quiet \
  --customize-hook="$out/play.sh \"\$1\" $out" \
  bookworm /dev/null "${sources[@]}"
echo "clean room: scripts/web.sh served the page $(cat "$out/seconds") s after it started:"
cat "$out/fetched.txt"
echo "clean room: web.sh installed $(($(wc -l <"$out/installed.txt") - $(wc -l <"$out/before.txt"))) packages into the $(wc -l <"$out/before.txt") of minbase; Node.js $(cat "$out/node.txt")"
