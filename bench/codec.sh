#!/usr/bin/env bash
# Codec figures: our SZDD compressor against mscompress, side by side in one
# run, with the best parse's size beside them, on (a) a synthetic 12 MB
# payload and (b) the library archive that kitpack packs from the x86_64
# MinGW-w64 SDK (include/ and lib/, links resolved; a tar of the same tree
# when kitpack is not built).
#   bench/codec.sh [BUILD_DIR]      (default: build/native)
# Figures only: nothing here passes or fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/native}
bench="$build/bench/szdd_bench"
kitpack="$build/src/kit/kitpack"
sdk=/usr/x86_64-w64-mingw32
[ -x "$bench" ] || { echo "codec bench: $bench is missing: build $build first" >&2; exit 1; }
command -v mscompress >/dev/null || { echo "codec bench: mscompress is missing (scripts/prereqs.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-codec.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "codec bench: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
"$bench" --synthetic "$work/synthetic.bin"

echo "codec bench: copying $sdk/include and $sdk/lib"
mkdir -p "$work/files"
cp -rL "$sdk/include" "$sdk/lib" "$work/files/"
if [ -x "$kitpack" ]; then
  echo "codec bench: packing the SDK with kitpack pack"
  "$kitpack" pack "$work/files" -o "$work/sdk.vnx" >/dev/null
  archive="$work/sdk.vnx"
else
  echo "codec bench: $kitpack is not built; a tar of the SDK stands in"
  tar -C "$work" -cf "$work/sdk.tar" files
  archive="$work/sdk.tar"
fi
rm -rf "$work/files"

"$bench" "$work/synthetic.bin" "$archive"
