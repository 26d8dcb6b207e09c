# Timing for the benchmarks, sourced by them. They set bench (the name their
# messages start with) and work (a scratch folder), and runs for best.
#
# A command that fails stops the bench, naming it: its time would mean
# nothing. A failure inside $(...) would not stop a script by itself, so
# these return non-zero and the assignment that takes their output fails.

# Wall-clock seconds of one run of a command, its output discarded.
seconds() {
  local start end
  start=$(date +%s%N)
  if ! "$@" >/dev/null 2>"$work/stderr"; then
    echo "$bench: failed: $*" >&2
    cat "$work/stderr" >&2
    return 1
  fi
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

# The smaller of two figures; the first when the second is empty.
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

# Best wall-clock seconds of $runs runs of a command.
best() {
  local fastest="" t
  for _ in $(seq "$runs"); do
    t=$(seconds "$@") || return 1
    fastest=$(smaller "$t" "$fastest")
  done
  echo "$fastest"
}

# Runs a command whose output is not wanted; stops the bench, naming it,
# when it fails.
quietly() {
  "$@" >/dev/null 2>"$work/stderr" || {
    echo "$bench: failed: $*" >&2
    cat "$work/stderr" >&2
    exit 1
  }
}
