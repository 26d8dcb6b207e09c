#!/usr/bin/env bash
# Runs a scenario with C:\AUTOEXEC.BAT of the session's prefix on a
# read-only bind mount: Wine lets root write a file whose permissions say
# read-only, but not one on a read-only mount. The file holds a small batch
# file while the scenario runs and is put back as it was afterwards.
# Mounting needs root; when it cannot be done the test fails here, saying
# so, and never passes without its read-only file.
#   with-read-only-autoexec.sh SESSION_DIR WORK_ROOT DRIVER.EXE SETUP.EXE SCENARIO
set -euo pipefail
here=$(dirname "$(realpath "$0")")
session=$(realpath -m "$1") scenario=$5
[ -f "$session/env.sh" ] || { echo "with-read-only-autoexec: no Wine session in $session" >&2; exit 1; }
# shellcheck source=/dev/null
source "$session/env.sh"
batch=$WINEPREFIX/drive_c/AUTOEXEC.BAT
saved=$(realpath -m "$2")/$scenario.autoexec-saved
mkdir -p "$(dirname "$saved")"
umount "$batch" 2>/dev/null || true
if [ -e "$batch" ] && [ ! -f "$batch" ]; then
  echo "with-read-only-autoexec: $batch is not a file; an earlier scenario left it so" >&2
  exit 1
fi
had_batch=0
if [ -f "$batch" ]; then
  cp "$batch" "$saved"
  had_batch=1
fi
cleanup() {
  umount "$batch" 2>/dev/null || true
  if [ "$had_batch" = 1 ]; then cp "$saved" "$batch"; else rm -f "$batch"; fi
  rm -f "$saved"
}
trap cleanup EXIT
printf '@ECHO OFF\r\nREM a batch file on a read-only mount\r\nPATH C:\\DOS\r\n' >"$batch"
echo "with-read-only-autoexec: mounting $batch read-only"
if ! error=$({ mount --bind "$batch" "$batch" && mount -o remount,bind,ro "$batch"; } 2>&1); then
  echo "with-read-only-autoexec: cannot mount $batch read-only: (${error:-no message})" >&2
  echo "with-read-only-autoexec: the read-only test needs root and the right to mount; it fails rather than pass untested" >&2
  exit 1
fi
if ( : >>"$batch" ) 2>/dev/null; then
  echo "with-read-only-autoexec: $batch is still writable after the read-only mount" >&2
  exit 1
fi
"$here/run-scenario.sh" "$@"
