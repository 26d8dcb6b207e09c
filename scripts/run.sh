#!/usr/bin/env bash
# Runs SETUP.EXE under Wine on a sample medium: installs what is missing,
# builds the program and the kit builder, installs the kit builder into
# build/install as a kit author would, makes the medium from sample/kit with
# it, as a folder and as a CD image, and starts the setup. With $DISPLAY set the
# wizard opens in a window there for you to walk, from the folder; without
# one it runs headless in a virtual X server from the image, mounted
# read-only as the CD in drive D:, where the test driver walks a whole
# installation (answering Yes on the environment page), saves a picture of
# each window under build/screenshots/, and then shows what the installation
# did.
#
# The medium carries the SETUP.EXE that ships, the 32-bit one that kitpack
# carries, which runs in a 32-bit Wine prefix. A machine that cannot execute
# 32-bit programs runs the 64-bit build instead, given to kitpack with
# --setup, and says so.
#
# Wine has no group converter; a stand-in of the tests takes its place in the
# prefix's Windows directory and records how it was started.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/prereqs.sh

setup=()
if why=$(tests/e2e/can-run-32bit.sh); then
  preset=win32 arch=win32 loader=/usr/lib/wine/wine
else
  echo "== this machine cannot run the shipped 32-bit SETUP.EXE ($why): the 64-bit build stands in"
  preset=win64 arch=win64 loader=/usr/lib/wine/wine64
  setup=(--setup "build/win64/src/SETUP.EXE")
fi
for build in native "$preset"; do
  echo "== build: $build"
  cmake --preset "$build" >/dev/null
  cmake --build --preset "$build"
done
grpconv=$root/build/$preset/tests/e2e/grpconv.exe

echo "== install kitpack: $root/build/install"
cmake --install build/native --prefix build/install >/dev/null
kitpack=$root/build/install/bin/kitpack
"$kitpack" --version

medium=$root/build/sample-medium
echo "== medium: $medium"
"$kitpack" medium sample/kit "$medium" "${setup[@]}"
ls -l "$medium"
image=$root/build/sample-medium.iso
echo "== CD image: $image"
"$kitpack" image sample/kit "$image" "${setup[@]}" --label QUENVAR98

if [ -n "${DISPLAY:-}" ]; then
  # A prefix of its own, so the run leaves the user's ~/.wine alone; one of
  # the program's kind.
  export WINEPREFIX=$root/build/run-prefix-$arch WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  timeout 120 "$WINELOADER" wineboot --init >/dev/null 2>&1 ||
    { echo "run: booting the prefix $WINEPREFIX failed (or took over 120 s)" >&2; exit 1; }
  cp "$grpconv" "$WINEPREFIX/drive_c/windows/grpconv.exe"
  echo "== SETUP.EXE on $DISPLAY (prefix $WINEPREFIX)"
  cd "$medium"
  status=0
  "$WINELOADER" SETUP.EXE || status=$?
  echo "SETUP.EXE ended with exit code $status"
  exit "$status"
fi

session=$root/build/run-session
pictures=$root/build/screenshots
cdrom=$session/cdrom
trap 'tests/e2e/wine-session.sh stop "$session"; tests/e2e/cd-drive.sh eject "$session"' EXIT
tests/e2e/wine-session.sh start "$session" "$arch" "$grpconv"
# shellcheck source=/dev/null
source "$session/env.sh"
rm -rf "$pictures"
mkdir -p "$pictures"
# The session's drive D: is a CD-ROM drive over $cdrom: the image goes in it,
# read-only, and SETUP.EXE runs from it as from the kit's CD.
tests/e2e/cd-drive.sh insert "$session" "$image"
echo "== SETUP.EXE headless from the CD image in drive D:, the driver walks a whole installation"
(cd "$cdrom" && "$root/tests/e2e/wine-run.sh" "$session" 120 "$root/build/$preset/tests/e2e/driver.exe" \
  'D:\SETUP.EXE' tour "Z:${pictures//\//\\}")
for bmp in "$pictures"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm "$bmp"
done
echo "== pictures of every window in $pictures:"
ls "$pictures"

drive_c=$WINEPREFIX/drive_c
echo
echo "== what the installation did (drive C: is $drive_c)"
echo "-- the installed tree, C:\\QUENV98:"
(cd "$drive_c/QUENV98" && find . -type f -printf '%10s  %P\n' | sort -k2)
echo "-- C:\\AUTOEXEC.BAT (backed up as AUTOEXEC.QVB when it existed before):"
tr -d '\r' <"$drive_c/AUTOEXEC.BAT" | sed 's/^/   /'
[ -f "$drive_c/AUTOEXEC.QVB" ] && echo "   (AUTOEXEC.QVB holds the file as it was)"
echo "-- C:\\windows\\SETUP.INI, the group converter's input:"
tr -d '\r' <"$drive_c/windows/SETUP.INI" | sed 's/^/   /'
# The converter runs on its own; its record appears once it is done.
log=$drive_c/windows/GRPCONV.LOG
for _ in $(seq 100); do
  [ -f "$log" ] && break
  sleep 0.1
done
[ -f "$log" ] || { echo "run: the group converter left no record within 10 s" >&2; exit 1; }
echo "-- the group converter was started as: $(tr -d '\r' <"$log" | sed -n 's/^command=//p')"
