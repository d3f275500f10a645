#!/usr/bin/env bash
# Runs a command on an X server of its own and returns the command's exit
# status. The server chooses a free display number itself (-displayfd) and
# names it only once it accepts connections, so two of these started at
# once never take the same display, and nothing is sent to a server that is
# not yet listening (xvfb-run -a guesses a number from the lock files,
# which two runs at once can both guess).
# Usage: on_xvfb.sh WIDTHxHEIGHTxDEPTH COMMAND [ARGS...]
set -uo pipefail
screen=$1
shift
work=$(mktemp -d)
server=
cleanup() {
  if [[ -n $server ]]; then
    kill -TERM "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
# The read ends with the number, or with nothing if the server died first;
# a server that hangs is ended by the test's own timeout.
read -r number <"$work/display"
if [[ -z ${number:-} ]]; then
  echo "on_xvfb: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
DISPLAY=:$number "$@"
