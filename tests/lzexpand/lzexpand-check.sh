#!/usr/bin/env bash
# Checks that the platform's LZ expansion, under Wine, gives back every input
# of the fixture table from our compressor's output, byte for byte.
#   lzexpand-check.sh WINE_RUN SESSION FIXTURES_EXE LZEXPAND_EXE WORKDIR
set -euo pipefail
run=$1 session=$2 fixtures=$3 lzexpand=$4 work=$5

rm -rf "$work"
mkdir -p "$work"
cd "$work"
echo "lzexpand-check: writing the fixtures"
"$run" "$session" 120 "$fixtures" . >names.txt
mapfile -t names < <(tr -d '\r' <names.txt)
[ ${#names[@]} -gt 0 ] || { echo "lzexpand-check: no fixtures were written" >&2; exit 1; }

args=()
for n in "${names[@]}"; do args+=("$n.CMP" "$n.OUT"); done
echo "lzexpand-check: expanding ${#names[@]} streams with LZInit/LZRead"
"$run" "$session" 120 "$lzexpand" "${args[@]}"

status=0
for n in "${names[@]}"; do
  if cmp -s "$n.BIN" "$n.OUT"; then
    echo "ok   $n"
  else
    echo "FAIL $n: the platform's expansion differs from the input" >&2
    status=1
  fi
done
exit "$status"
