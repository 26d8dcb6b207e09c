#!/usr/bin/env bash
# Runs one scenario of the driver in a fresh working folder, with a drive T:
# of its own (an empty folder beside the working folder) for the scenarios
# that install into the root of the current drive.
#   run-scenario.sh SESSION_DIR WORK_ROOT DRIVER.EXE SETUP.EXE SCENARIO [PICTURES_DIR]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
session=$(realpath -m "$1") driver=$(realpath "$3") setup=$(realpath "$4") scenario=$5
work=$(realpath -m "$2")/$scenario
drive=$work.drive-t
pictures=${6:+$(realpath -m "$6")}
[ -f "$session/env.sh" ] || { echo "run-scenario: no Wine session in $session (the start fixture did not run)" >&2; exit 1; }
# shellcheck source=/dev/null
source "$session/env.sh"
link=$WINEPREFIX/dosdevices/t:
rm -rf "$work" "$drive"
mkdir -p "$work" "$drive" ${pictures:+"$pictures"}
ln -sfn "$drive" "$link"
trap 'rm -f "$link"' EXIT
cd "$work"
"$here/wine-run.sh" "$session" 240 "$driver" "$setup" "$scenario" ${pictures:+"$pictures"}
