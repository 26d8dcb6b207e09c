#!/usr/bin/env bash
# Fails when the driver knows a scenario that the test list does not run, or
# the list names one the driver does not know.
#   check-scenario-list.sh SESSION_DIR DRIVER.EXE SCENARIO...
set -euo pipefail
session=$1 driver=$2
shift 2
known=$("$(dirname "$0")/wine-run.sh" "$session" 60 "$driver" --list | tr -d '\r' | sort)
listed=$(printf '%s\n' "$@" | sort)
if [ "$known" != "$listed" ]; then
  echo "scenarios the driver knows and the test list runs differ:" >&2
  diff <(echo "$known") <(echo "$listed") >&2 || true
  exit 1
fi
