#!/usr/bin/env bash
# Runs one Windows program in the shared Wine session of the test run.
#   wine-run.sh SESSION_DIR SECONDS PROGRAM [ARGS...]
# The program's exit code is this script's. Past SECONDS the script prints
# the session's processes and their states, to show what hung, and stops
# the program and whatever it started; then it fails, saying what it
# waited for.
set -euo pipefail
session=$1 seconds=$2
shift 2
[ -f "$session/env.sh" ] || { echo "wine-run: no Wine session in $session (the start fixture did not run)" >&2; exit 1; }
# shellcheck source=/dev/null
source "$session/env.sh"

# When the process started, in clock ticks since boot.
started() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f20; }

# The processes of this session (the prefix in their environment tells
# them from those of other sessions); or, given process $1, the programs
# started since, but for Wine's server and its services, which may start
# on demand: Wine starts a program's children detached from it, so they are
# found so.
session_processes() {
  local since=${1:+$(started "$1")} dir pid program
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    if [ -n "$since" ]; then
      [ "$(started "$pid")" -ge "$since" ] || continue
      program=$(tr '\0' '\n' <"$dir/cmdline" 2>/dev/null | head -n 1)
      case ${program,,} in *wineserver* | "c:\\windows\\system32\\"*) continue ;; esac
    fi
    echo "$pid"
  done
}

expired=$(mktemp)
trap 'rm -f "$expired"' EXIT
"$WINELOADER" "$@" &
runner=$!
# The watchdog's own sleep holds no output open (a test runner waits for its
# output to close) and ends with it.
(
  trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
  sleep "$seconds" >/dev/null 2>&1 &
  sleeper=$!
  wait "$sleeper"
  echo yes >"$expired"
  echo "wine-run: $1 did not end within $seconds s; the processes of the session:" >&2
  ps -o pid,ppid,stat,wchan:24,etime,args -p "$(session_processes | paste -sd, -)" >&2 || true
  stuck=$(session_processes "$runner")
  # shellcheck disable=SC2086
  kill -TERM $stuck 2>/dev/null || exit 0
  sleep 5
  # shellcheck disable=SC2086
  kill -KILL $stuck 2>/dev/null || true
) &
watchdog=$!
status=0
wait "$runner" || status=$?
kill "$watchdog" 2>/dev/null || true
wait "$watchdog" 2>/dev/null || true
[ -s "$expired" ] && status=124
exit "$status"
