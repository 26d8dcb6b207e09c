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

for preset in native native-asan win32 win64; do
  echo "== test: $preset"
  ctest --preset "$preset"
done

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz"
  scripts/fuzz.sh
fi
