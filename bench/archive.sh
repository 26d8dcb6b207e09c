#!/usr/bin/env bash
# Archive figures of kitpack against tar over one real tree nobody here
# wrote: the x86_64 MinGW-w64 Windows SDK (include/ and lib/, about 150 MB in
# 2,500 files), copied with its links resolved since the archive holds
# regular files only. Prints pack, list and verify times beside tar's, best
# of several runs with the tree in the page cache, then builds a whole medium
# from the tree, verifies it and has msexpand expand its payload.
#   bench/archive.sh [BUILD_DIR] [RUNS]      (defaults: build/native, 3)
# Figures only: nothing here passes or fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/native}
runs=${2:-3}
kitpack="$build/src/kit/kitpack"
sdk=/usr/x86_64-w64-mingw32
[ -x "$kitpack" ] || { echo "archive bench: $kitpack is missing: build $build first" >&2; exit 1; }
[ -d "$sdk/include" ] || { echo "archive bench: $sdk is missing (g++-mingw-w64-x86-64)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-archive.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "archive bench: copying $sdk/include and $sdk/lib"
mkdir -p "$work/kit/files"
cp -rL "$sdk/include" "$sdk/lib" "$work/kit/files/"
tree="$work/kit/files"
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)
find "$tree" -type f -exec cat {} + >/dev/null  # into the page cache

bench="archive bench"
# shellcheck source=bench/timing.sh
source bench/timing.sh

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }

pack_kit=$(best "$kitpack" pack "$tree" -o "$work/DATA.VNX")
pack_tar=$(best tar -cf "$work/tree.tar" -C "$work/kit" files)
list_kit=$(best "$kitpack" list "$work/DATA.VNX")
list_tar=$(best tar -tf "$work/tree.tar")
verify_kit=$(best "$kitpack" verify "$work/DATA.VNX")
# tar has no verify: reading every member's data to its end is the nearest.
verify_tar=$(best tar -xOf "$work/tree.tar")

echo
echo "Tree: $files files, $bytes bytes; archive $(stat -c %s "$work/DATA.VNX") bytes, tar $(stat -c %s "$work/tree.tar") bytes"
echo "Best of $runs runs, seconds (kitpack / tar):"
printf '  %-8s %8s %8s  %s\n' "" kitpack tar "kitpack/tar"
printf '  %-8s %8s %8s  %s\n' pack "$pack_kit" "$pack_tar" "$(ratio "$pack_kit" "$pack_tar")"
printf '  %-8s %8s %8s  %s\n' list "$list_kit" "$list_tar" "$(ratio "$list_kit" "$list_tar")"
printf '  %-8s %8s %8s  %s   (tar -xOf reads every member)\n' verify "$verify_kit" "$verify_tar" "$(ratio "$verify_kit" "$verify_tar")"

echo
echo "Medium from the same tree (pack, compress, expand-check):"
printf 'Licence\r\n' >"$work/kit/LICENSE.TXT"
printf 'Information\r\n' >"$work/kit/README.TXT"
printf '[Quenvar 98]\r\n' >"$work/kit/SHELLINK.DAT"
start=$(date +%s%N)
"$kitpack" medium "$work/kit" "$work/medium" 2>"$work/stderr" | sed "s|^|  |" ||
  { echo "archive bench: failed: kitpack medium" >&2; cat "$work/stderr" >&2; exit 1; }
end=$(date +%s%N)
awk -v ns=$((end - start)) 'BEGIN { printf "  medium: %.1f s\n", ns / 1e9 }'
"$kitpack" verify "$work/medium/DATA.CMP" | sed 's/^/  /'
if command -v msexpand >/dev/null; then
  msexpand <"$work/medium/DATA.CMP" >"$work/expanded.vnx"
  if cmp -s "$work/expanded.vnx" "$work/DATA.VNX"; then
    echo "  msexpand: payload expands to the packed archive, byte for byte"
  else
    echo "  msexpand: payload does NOT expand to the packed archive"
  fi
fi
