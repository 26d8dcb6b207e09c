#!/usr/bin/env bash
# Puts a CD image into the Wine session's drive D:, read-only through FUSE,
# or takes it out again. The session made D: a CD-ROM drive over its folder
# cdrom. Inserting fails, saying so, when the image cannot be mounted (FUSE
# needs /dev/fuse) or the mount still takes writes.
#   cd-drive.sh insert SESSION_DIR IMAGE
#   cd-drive.sh eject SESSION_DIR
set -euo pipefail
action=$1
session=$(realpath -m "$2")
point=$session/cdrom

eject() { fusermount -u "$point" 2>/dev/null || fusermount -uz "$point" 2>/dev/null || true; }

case "$action" in
  eject) eject ;;
  insert)
    image=$3
    [ -f "$session/env.sh" ] || { echo "cd-drive: no Wine session in $session" >&2; exit 1; }
    # shellcheck source=/dev/null
    source "$session/env.sh"
    if [ "$(readlink "$WINEPREFIX/dosdevices/d:")" != "$point" ]; then
      echo "cd-drive: drive D: of the session is not $point; the session did not set up its CD-ROM drive" >&2
      exit 1
    fi
    # An earlier run that was killed may have left its image mounted.
    eject
    if ! error=$(fuseiso -n "$image" "$point" -o ro 2>&1); then
      echo "cd-drive: cannot mount $image on $point with fuseiso: (${error:-no message})" >&2
      echo "cd-drive: the CD drive needs FUSE (/dev/fuse) and fuseiso" >&2
      exit 1
    fi
    if ( : >"$point/WRITE.TST" ) 2>/dev/null; then
      echo "cd-drive: $point takes a new file after the read-only mount" >&2
      eject
      exit 1
    fi
    echo "cd-drive: $image is mounted read-only on $point, drive D:"
    ;;
  *)
    echo "usage: $0 insert SESSION_DIR IMAGE | eject SESSION_DIR" >&2
    exit 2
    ;;
esac
