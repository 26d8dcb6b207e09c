#!/usr/bin/env bash
# Runs a scenario with the kit on a CD in drive D:, which the Wine session
# made a CD-ROM drive over its folder cdrom: the driver writes the
# scenario's kit folder, kitpack makes the CD image of it with the program
# under test, and fuseiso mounts the image read-only on that folder. When the
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
point=$session/cdrom
if [ "$(readlink "$WINEPREFIX/dosdevices/d:")" != "$point" ]; then
  echo "with-cd-drive: drive D: of the session is not $point; the session did not set up its CD-ROM drive" >&2
  exit 1
fi
cd_dir=$(realpath -m "$2")/$scenario.cd
rm -rf "$cd_dir"
mkdir -p "$cd_dir"

# An earlier run that was killed may have left its image mounted.
unmount() { fusermount -u "$point" 2>/dev/null || fusermount -uz "$point" 2>/dev/null || true; }
unmount
trap unmount EXIT

echo "with-cd-drive: the kit and its image in $cd_dir"
"$here/wine-run.sh" "$session" 60 "$3" "$setup" cd-kit "Z:${cd_dir//\//\\}\\kit"
"$kitpack" image "$cd_dir/kit" "$cd_dir/QUENVAR98.ISO" --setup "$setup" --label QUENVAR98
if ! error=$(fuseiso -n "$cd_dir/QUENVAR98.ISO" "$point" -o ro 2>&1); then
  echo "with-cd-drive: cannot mount $cd_dir/QUENVAR98.ISO on $point with fuseiso: (${error:-no message})" >&2
  echo "with-cd-drive: the CD test needs FUSE (/dev/fuse) and fuseiso; it fails rather than pass untested" >&2
  exit 1
fi
if ( : >"$point/WRITE.TST" ) 2>/dev/null; then
  echo "with-cd-drive: $point takes a new file after the read-only mount" >&2
  exit 1
fi
echo "with-cd-drive: the image is mounted read-only on $point, drive D:"
"$here/run-scenario.sh" "$1" "$2" "$3" "$4" "$5"
