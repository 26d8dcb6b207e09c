#!/usr/bin/env bash
# kitpack at the size of a CD. Generated kits of about 150 MB, 600 MB and
# 2 GB: the x86_64 MinGW-w64 SDK's include/ and lib/ (about 150 MB in 2,500
# files, links resolved) copied 1, 4 and 14 times, 14 copies being about the
# largest kit the archive holds. For each kit:
# - kitpack medium with --jobs 1, with --jobs 2 and with the default (one job
#   for each core): the time and the peak resident memory of each, and
#   whether their payloads are the same bytes;
# - kitpack verify of the medium: time and peak memory;
# - mscompress on the same archive (kitpack pack's): time, peak memory and the
#   size it compresses to, beside kitpack's payload;
# - up to 600 MB, the payload's size over the best parse of the archive
#   (SzddOptimalSize, through szdd_bench, which holds the archive in memory).
# On the second kit (600 MB) also kitpack.exe, the Windows build that ships
# beside SETUP.EXE (32-bit where this machine runs 32-bit programs), under
# Wine: time, peak memory, and whether its DATA.CMP is the native one.
#
#   bench/kitsize.sh [COPIES...]      (default: 1 4 14)
#   KITPACK_OTHER=PATH bench/kitsize.sh   also times another build of kitpack
#                                         (an older one, say) on each kit
#   MSCOMPRESS=0 bench/kitsize.sh         leaves mscompress out (it takes
#                                         minutes a kit)
# The copies are hard links, so the kits cost the disk nothing; the archives,
# payloads and mscompress's output take about twice the largest kit.
# Figures only: nothing here passes or fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
copies=("$@")
[ ${#copies[@]} -gt 0 ] || copies=(1 4 14)
other=${KITPACK_OTHER:-}
with_mscompress=${MSCOMPRESS:-1}

bench="kit-size bench"
# shellcheck source=bench/builds.sh
source bench/builds.sh
kitpack=$root/build/native/src/kit/kitpack
kitpack_exe=$root/build/$windows/src/kit/kitpack.exe
szdd_bench=$root/build/native/bench/szdd_bench
sdk=/usr/x86_64-w64-mingw32
[ -d "$sdk/include" ] || { echo "kit-size bench: $sdk is missing (g++-mingw-w64-x86-64)" >&2; exit 1; }
[ "$with_mscompress" = 0 ] || command -v mscompress >/dev/null ||
  { echo "kit-size bench: mscompress is missing (scripts/prereqs.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-kitsize.XXXXXX")
session=$work/session
trap '"$root/tests/e2e/wine-session.sh" stop "$session" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

# Seconds and peak resident memory (MiB) of one run of a command, as
# "SECONDS s, PEAK MiB"; stops the bench, naming the command, when it fails.
measure() {
  if ! /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
    echo "kit-size bench: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  fi
  awk '{ printf "%6.1f s, %7.1f MiB", $1, $2 / 1024 }' "$work/time"
}

# The same bytes, or not.
same() { cmp -s "$1" "$2" && echo "the same bytes" || echo "DIFFERENT bytes"; }

echo "kit-size bench: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "kit-size bench: copying $sdk/include and $sdk/lib"
mkdir -p "$work/sdk"
cp -rL "$sdk/include" "$sdk/lib" "$work/sdk/"

# A kit of the SDK copied n times, as hard links.
make_kit() {
  local n=$1 kit=$work/kit
  rm -rf "$kit"
  mkdir -p "$kit/files"
  for i in $(seq "$n"); do cp -al "$work/sdk" "$kit/files/COPY$i"; done
  printf 'Licence\r\n' >"$kit/LICENSE.TXT"
  printf 'Information\r\n' >"$kit/README.TXT"
  printf '[Quenvar 98]\r\n' >"$kit/SHELLINK.DAT"
  find "$kit/files" -type f -exec cat {} + >/dev/null  # into the page cache
}

# kitpack.exe under Wine on the kit: its medium against the native one.
windows_figures() {
  "$root/tests/e2e/wine-session.sh" start "$session" "$windows" >/dev/null
  local figures
  figures=$(measure "$root/tests/e2e/wine-run.sh" "$session" 7200 "$kitpack_exe" medium "Z:${work//\//\\}\\kit" \
    "Z:${work//\//\\}\\exe")
  echo "   kitpack.exe ($windows) under Wine: $figures; DATA.CMP $(same "$work/exe/DATA.CMP" "$work/m-default/DATA.CMP") as the native one"
  "$root/tests/e2e/wine-session.sh" stop "$session" >/dev/null
  rm -rf "$work/exe"
}

kit_figures() {
  local n=$1
  make_kit "$n"
  echo "== $n cop$([ "$n" = 1 ] && echo y || echo ies): $(find "$work/kit/files" -type f | wc -l) files, $(du -sbl "$work/kit/files" | cut -f1) bytes"
  local jobs options
  for jobs in 1 2 default; do
    options=()
    [ "$jobs" = default ] || options=(--jobs "$jobs")
    echo "   medium --jobs $jobs: $(measure "$kitpack" medium "$work/kit" "$work/m-$jobs" "${options[@]}")"
  done
  echo "   payload $(stat -c %s "$work/m-default/DATA.CMP") bytes; --jobs 1 and 2 give $(same "$work/m-1/DATA.CMP" "$work/m-default/DATA.CMP"), $(same "$work/m-2/DATA.CMP" "$work/m-default/DATA.CMP") as the default"
  echo "   verify the medium: $(measure "$kitpack" verify "$work/m-default")"
  if [ -n "$other" ]; then
    rm -rf "$work/m-other"
    echo "   $other medium: $(measure "$other" medium "$work/kit" "$work/m-other")"
    rm -rf "$work/m-other"
  fi
  "$kitpack" pack "$work/kit/files" -o "$work/DATA.VNX" >/dev/null
  if [ "$with_mscompress" != 0 ]; then
    echo "   mscompress of the archive: $(measure mscompress "$work/DATA.VNX"), $(stat -c %s "$work/DATA.VNX_") bytes"
    rm -f "$work/DATA.VNX_"
  fi
  [ "$n" -gt 4 ] || echo "   $("$szdd_bench" --ratio "$work/DATA.VNX" "$work/m-default/DATA.CMP" | sed "s|$work/||g")"
  rm -f "$work/DATA.VNX"
  [ "$n" != 4 ] || windows_figures
  rm -rf "$work"/m-*
}

for n in "${copies[@]}"; do kit_figures "$n"; done
