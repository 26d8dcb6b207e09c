#!/usr/bin/env bash
# Runs every test from a fresh clone: installs what is missing, builds every
# preset, then runs the unit tests natively and under the sanitizers, the
# fuzz targets briefly, and the end-to-end tests of SETUP.EXE under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/prereqs.sh

for preset in native native-asan fuzz win32 win64; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# The shipped 32-bit SETUP.EXE runs the whole end-to-end suite where this
# machine can execute 32-bit programs; elsewhere the 64-bit build does.
if ! why=$(tests/e2e/can-run-32bit.sh); then
  echo "== e2e: the 32-bit suite is skipped ($why); the 64-bit build runs the whole suite"
fi
for preset in native native-asan win32 win64; do
  echo "== test: $preset"
  ctest --preset "$preset"
done

echo "== fuzz"
scripts/fuzz.sh
