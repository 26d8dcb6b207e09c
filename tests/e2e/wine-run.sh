#!/usr/bin/env bash
# Runs one Windows program in the shared Wine session of the test run.
#   wine-run.sh SESSION_DIR SECONDS PROGRAM [ARGS...]
# The program's exit code is this script's; past SECONDS it is stopped and
# the script fails, saying what it waited for.
set -euo pipefail
session=$1 seconds=$2
shift 2
[ -f "$session/env.sh" ] || { echo "wine-run: no Wine session in $session (the start fixture did not run)" >&2; exit 1; }
# shellcheck source=/dev/null
source "$session/env.sh"
status=0
timeout -k 5 "$seconds" "$WINELOADER" "$@" || status=$?
if [ "$status" -eq 124 ]; then
  echo "wine-run: $1 did not end within $seconds s" >&2
fi
exit "$status"
