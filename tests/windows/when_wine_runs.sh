#!/usr/bin/env bash
# Runs COMMAND if the Wine launcher WINE can run here; otherwise passes on
# the launcher's exit status and reason (77, skipped, for 32-bit Wine on a
# kernel that runs no 32-bit programs).
# Usage: when_wine_runs.sh WINE COMMAND [ARGS...]
wine=$1
shift
"$wine" --check || exit
exec "$@"
