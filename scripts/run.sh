#!/usr/bin/env bash
# Runs SETUP.EXE under Wine on a sample medium: installs what is missing,
# builds the program and the kit builder, makes the medium from sample/kit,
# and starts the setup from it. With $DISPLAY set the wizard opens in a
# window there for you to walk; without one it runs headless in a virtual X
# server, where the test driver walks the pages and saves a picture of each
# window under build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/prereqs.sh

for preset in native win64; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

medium=$root/build/sample-medium
echo "== medium: $medium"
build/native/src/kit/kitpack medium sample/kit "$medium" --setup build/win64/src/SETUP.EXE
ls -l "$medium"

if [ -n "${DISPLAY:-}" ]; then
  # A prefix of its own, so the run leaves the user's ~/.wine alone.
  export WINEPREFIX=$root/build/run-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  echo "== SETUP.EXE on $DISPLAY (prefix $WINEPREFIX)"
  cd "$medium"
  status=0
  wine SETUP.EXE || status=$?
  echo "SETUP.EXE ended with exit code $status"
  exit "$status"
fi

session=$root/build/run-session
pictures=$root/build/screenshots
trap 'tests/e2e/wine-session.sh stop "$session"' EXIT
tests/e2e/wine-session.sh start "$session"
rm -rf "$pictures"
mkdir -p "$pictures"
echo "== SETUP.EXE headless: the driver walks the wizard"
(cd "$medium" && "$root/tests/e2e/wine-run.sh" "$session" 120 "$root/build/win64/tests/e2e/driver.exe" \
  "$medium/SETUP.EXE" tour "$pictures")
for bmp in "$pictures"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm "$bmp"
done
echo "== pictures of every window in $pictures:"
ls "$pictures"
