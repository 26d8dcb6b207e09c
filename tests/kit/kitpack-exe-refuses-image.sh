#!/usr/bin/env bash
# The Windows kitpack has no libisofs to write a CD image with: its image
# command must say so, exit with 1 and write nothing, rather than seem to
# work.
#   kitpack-exe-refuses-image.sh WINE_RUN SESSION_DIR KITPACK.EXE WORK_DIR
set -euo pipefail
wine_run=$1 session=$2 kitpack=$3 work=$4
rm -rf "$work"
mkdir -p "$work/kit/files"
printf 'data\r\n' >"$work/kit/files/A.TXT"
printf 'Licence\r\n' >"$work/kit/LICENSE.TXT"
printf 'Information\r\n' >"$work/kit/README.TXT"
printf '[progman.groups]\r\n' >"$work/kit/SHELLINK.DAT"
printf 'MZ setup' >"$work/SETUP.EXE"
cd "$work"
status=0
"$wine_run" "$session" 60 "$kitpack" image kit QV.ISO --setup SETUP.EXE >out.txt 2>err.txt || status=$?
fail() {
  echo "kitpack.exe image: $1" >&2
  sed 's/^/  stderr: /' err.txt >&2
  exit 1
}
[ "$status" -eq 1 ] || fail "exit code $status, not 1"
grep -q 'QV.ISO: this kitpack cannot write CD images: it was built without libisofs' err.txt ||
  fail "no message that this build cannot write images"
shopt -s nullglob dotglob
for name in *; do
  case $name in
    kit | SETUP.EXE | out.txt | err.txt) ;;
    *) fail "left $name behind" ;;
  esac
done
echo "kitpack.exe image refuses: $(tr -d '\r' <err.txt)"
