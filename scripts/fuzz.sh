#!/usr/bin/env bash
# Runs each libFuzzer target briefly on its seed corpus, from the fuzz build,
# and fails on the first crash, leak or sanitizer report.
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
# Defaults: build/fuzz (the fuzz preset) and 25 seconds. New inputs go to a
# scratch corpus, so the seeds in the repository stay as they are; a crashing
# input is kept and its path printed.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/fuzz}
seconds=${2:-25}
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-fuzz.XXXXXX")
keep=0
trap '[ "$keep" -eq 1 ] || rm -rf "$work"' EXIT

for target in reader payload index stream shortcut; do
  fuzzer="$build/tests/fuzz/fuzz_$target"
  seeds="tests/fuzz/corpus/$target"
  if [ ! -x "$fuzzer" ]; then
    echo "fuzz: $fuzzer is missing: build the fuzz preset first" >&2
    exit 1
  fi
  mkdir -p "$work/$target/corpus" "$work/$target/crash"
  echo "fuzz: $target for ${seconds}s on $seeds"
  if ! "$fuzzer" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$work/$target/crash/" -print_final_stats=1 \
       "$work/$target/corpus" "$seeds" >"$work/$target/log" 2>&1; then
    keep=1
    tail -n 40 "$work/$target/log" >&2
    echo "fuzz: $target failed; log and crashing input in $work/$target" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$work/$target/log" | sed "s/^/fuzz: $target: /"
done
echo "fuzz: no crash"
