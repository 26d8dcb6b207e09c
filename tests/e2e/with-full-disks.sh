#!/usr/bin/env bash
# Runs a scenario with two small file systems of its own mounted as Wine
# drives: Q: (512 KiB) and R: (1200 KiB), tmpfs both, so that a disk really
# runs out. Mounting needs root; when it cannot be done the test fails here,
# saying so, and never passes without its full disks.
#   with-full-disks.sh SESSION_DIR WORK_ROOT DRIVER.EXE SETUP.EXE SCENARIO
set -euo pipefail
here=$(dirname "$(realpath "$0")")
session=$(realpath -m "$1") scenario=$5
[ -f "$session/env.sh" ] || { echo "with-full-disks: no Wine session in $session" >&2; exit 1; }
# shellcheck source=/dev/null
source "$session/env.sh"
disks=$(realpath -m "$2")/$scenario.disks
mounted=()
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/q:" "$WINEPREFIX/dosdevices/r:"
  for point in "${mounted[@]}"; do umount "$point" 2>/dev/null || true; done
}
trap cleanup EXIT
for disk in q:512k r:1200k; do
  letter=${disk%%:*} size=${disk#*:}
  point=$disks/$letter
  mkdir -p "$point"
  umount "$point" 2>/dev/null || true
  if ! error=$(mount -t tmpfs -o "size=$size" "qv-full-$letter" "$point" 2>&1); then
    echo "with-full-disks: cannot mount a $size tmpfs at $point for drive ${letter^^}: (${error:-no message})" >&2
    echo "with-full-disks: the full-disk test needs root and the right to mount; it fails rather than pass untested" >&2
    exit 1
  fi
  mounted+=("$point")
  ln -sfn "$point" "$WINEPREFIX/dosdevices/$letter:"
done
"$here/run-scenario.sh" "$@"
