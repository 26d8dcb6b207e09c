#!/usr/bin/env bash
# Runs one scenario of the driver in a fresh working folder.
#   run-scenario.sh SESSION_DIR WORK_ROOT DRIVER.EXE SETUP.EXE SCENARIO [PICTURES_DIR]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
session=$(realpath -m "$1") driver=$(realpath "$3") setup=$(realpath "$4") scenario=$5
work=$(realpath -m "$2")/$scenario
pictures=${6:+$(realpath -m "$6")}
rm -rf "$work"
mkdir -p "$work" ${pictures:+"$pictures"}
cd "$work"
exec "$here/wine-run.sh" "$session" 240 "$driver" "$setup" "$scenario" ${pictures:+"$pictures"}
