#!/usr/bin/env bash
# CD image figures of kitpack on two kits: the sample kit, and the x86_64
# MinGW-w64 SDK tree of the install bench (include/ and lib/, about 150 MB
# in 2,500 files, links resolved). For each: the image's size beside the
# medium folder's; the time of kitpack image beside kitpack medium on the
# same kit (both pack and compress the tree first, which is most of it) and
# the peak memory of each; the image's own writing, timed by cd_image_bench
# on the medium in memory; and, for scale, xorriso writing the medium folder
# as an image. Best of RUNS.
#   bench/image.sh [RUNS]      (default 3; builds native and win32 first)
# Figures only: nothing here passes or fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-3}

for preset in native win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
kitpack=$root/build/native/src/kit/kitpack
setup=$root/build/win32/src/SETUP.EXE
sdk=/usr/x86_64-w64-mingw32
[ -d "$sdk/include" ] || { echo "image bench: $sdk is missing (g++-mingw-w64-x86-64)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-image.XXXXXX")
trap 'rm -rf "$work"' EXIT

bench="image bench"
# shellcheck source=bench/timing.sh
source bench/timing.sh

# Peak resident memory of one run of a command, in MiB.
peak() {
  if ! /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>"$work/stderr"; then
    echo "image bench: failed: $*" >&2
    cat "$work/stderr" >&2
    return 1
  fi
  awk '{ printf "%.1f", $1 / 1024 }' "$work/peak"
}

figures() {
  local name=$1 kit=$2
  local files bytes
  files=$(find "$kit/files" -type f | wc -l)
  bytes=$(du -sb "$kit/files" | cut -f1)
  find "$kit" -type f -exec cat {} + >/dev/null  # into the page cache
  rm -rf "$work/medium"
  "$kitpack" medium "$kit" "$work/medium" --setup "$setup" >/dev/null
  "$kitpack" image "$kit" "$work/kit.iso" --setup "$setup" --label QUENVAR98 >/dev/null
  local medium_bytes image_bytes
  medium_bytes=$(du -sb "$work/medium" | cut -f1)
  image_bytes=$(stat -c %s "$work/kit.iso")
  echo "== $name: $files files, $bytes bytes"
  echo "   medium folder: $medium_bytes bytes; CD image: $image_bytes bytes (SETUP.EXE $(stat -c %s "$setup") bytes)"
  local t_medium t_image t_xorriso
  t_medium=$(best "$kitpack" medium "$kit" "$work/medium" --setup "$setup")
  t_image=$(best "$kitpack" image "$kit" "$work/kit.iso" --setup "$setup" --label QUENVAR98)
  t_xorriso=$(best xorriso -outdev "stdio:$work/xorriso.iso" -blank as_needed -volid QUENVAR98 -map "$work/medium" /)
  echo "   kitpack medium: $t_medium s, peak $(peak "$kitpack" medium "$kit" "$work/medium" --setup "$setup") MiB"
  echo "   kitpack image:  $t_image s, peak $(peak "$kitpack" image "$kit" "$work/kit.iso" --setup "$setup" \
    --label QUENVAR98) MiB"
  echo "   the image's own writing: $("$root/build/native/bench/cd_image_bench" "$work/medium" "$work/bench.iso" "$runs")"
  echo "   xorriso, the medium folder as an image: $t_xorriso s"
  rm -f "$work/xorriso.iso" "$work/bench.iso"
}

figures "sample kit" "$root/sample/kit"

echo "image bench: copying $sdk/include and $sdk/lib"
mkdir -p "$work/sdk/files"
cp -rL "$sdk/include" "$sdk/lib" "$work/sdk/files/"
printf 'Licence\r\n' >"$work/sdk/LICENSE.TXT"
printf 'Information\r\n' >"$work/sdk/README.TXT"
printf '[progman.groups]\r\n' >"$work/sdk/SHELLINK.DAT"
figures "SDK kit" "$work/sdk"
