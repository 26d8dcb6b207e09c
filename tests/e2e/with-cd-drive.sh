#!/usr/bin/env bash
# Runs a scenario with the kit on a CD in drive D:, which the Wine session
# made a CD-ROM drive over its folder cdrom: the driver writes the
# scenario's kit folder, kitpack makes the CD image of it with the program
# under test, and cd-drive.sh mounts it read-only on that folder. When the
# image cannot be made or mounted (FUSE needs /dev/fuse), the test fails
# here, saying so, and never runs without its CD.
#   with-cd-drive.sh SESSION_DIR WORK_ROOT DRIVER.EXE SETUP.EXE SCENARIO KITPACK
set -euo pipefail
here=$(dirname "$(realpath "$0")")
session=$(realpath -m "$1") setup=$(realpath "$4") scenario=$5 kitpack=$6
[ -f "$session/env.sh" ] || { echo "with-cd-drive: no Wine session in $session" >&2; exit 1; }
# shellcheck source=/dev/null
source "$session/env.sh"
[ -x "$kitpack" ] || { echo "with-cd-drive: $kitpack is missing: build the native preset first" >&2; exit 1; }
cd_dir=$(realpath -m "$2")/$scenario.cd
rm -rf "$cd_dir"
mkdir -p "$cd_dir"

trap '"$here/cd-drive.sh" eject "$session"' EXIT

echo "with-cd-drive: the kit and its image in $cd_dir"
"$here/wine-run.sh" "$session" 60 "$3" "$setup" cd-kit "Z:${cd_dir//\//\\}\\kit"
"$kitpack" image "$cd_dir/kit" "$cd_dir/QUENVAR98.ISO" --setup "$setup" --label QUENVAR98
"$here/cd-drive.sh" insert "$session" "$cd_dir/QUENVAR98.ISO" ||
  { echo "with-cd-drive: the CD test fails rather than pass without its CD" >&2; exit 1; }
"$here/run-scenario.sh" "$1" "$2" "$3" "$4" "$5"
