#!/usr/bin/env bash
# The install step of SETUP.EXE under Wine, against the platform's own work
# on the same data, and how it scales with the number of entries.
#
# 1. A medium of the x86_64 MinGW-w64 SDK tree (include/ and lib/, about 150
#    MB in 2,500 files, links resolved), made by kitpack. The install step is
#    timed by the test driver from Next on page 5 to page 7; beside it, in the
#    same Wine session, Wine's lz32 expanding the same DATA.CMP (the
#    lzexpand test program, the installer's own calls) and Wine's xcopy /E of
#    the same tree. Both of those are started from the shell, so the cost of
#    starting a Wine program is measured too and taken off. Best of RUNS.
#    The installed tree is compared with the SDK tree, byte for byte.
#    The bytes that the SETUP.EXE process read and wrote during the install
#    step (rchar and wchar of /proc/PID/io, read while the driver holds it on
#    page 5 and on page 7) are set against the least the step can do: read
#    DATA.CMP and the archive once each, write the archive and the tree.
# 2. Media of 1,024, 4,096, 16,384 and 65,536 small entries: the install
#    step's time per entry for each.
#
#   bench/install.sh [RUNS]      (default 3; builds native and the Windows build first)
# The SETUP.EXE that ships, the 32-bit build, in a 32-bit prefix where this
# machine executes 32-bit programs; the 64-bit build elsewhere.
# Figures only: nothing here passes or fails on a time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${1:-3}

bench="install bench"
# shellcheck source=bench/builds.sh
source bench/builds.sh
echo "install bench: the $windows build of SETUP.EXE"
kitpack=$root/build/native/src/kit/kitpack
setup=$root/build/$windows/src/SETUP.EXE
driver=$root/build/$windows/tests/e2e/driver.exe
lzexpand=$root/build/$windows/tests/lzexpand/lzexpand.exe
sdk=/usr/x86_64-w64-mingw32
[ -d "$sdk/include" ] || { echo "install bench: $sdk is missing (g++-mingw-w64-x86-64)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-bench-install.XXXXXX")
session=$work/session
trap '"$root/tests/e2e/wine-session.sh" stop "$session" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# The group converter's stand-in too: without a converter, SETUP.EXE warns
# before its completion notice.
"$root/tests/e2e/wine-session.sh" start "$session" "$windows" "$root/build/$windows/tests/e2e/grpconv.exe" >/dev/null
# shellcheck source=/dev/null
source "$session/env.sh"
drive_c=$WINEPREFIX/drive_c
run() { "$root/tests/e2e/wine-run.sh" "$session" 3600 "$@"; }

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

# The install step of the medium in a folder into a directory of drive C:,
# as the driver timed it.
install_step() {
  local medium=$1 target=$2
  rm -rf "${drive_c:?}/$target"
  (cd "$medium" && run "$driver" "$setup" time-install "C:\\$target") | tr -d '\r' |
    sed -n 's/^install step: \([0-9.]*\) s$/\1/p'
}

# The Unix process of SETUP.EXE in this bench's Wine session. Wine names a
# program's process after it (/proc/PID/comm), and the session's prefix in
# its environment tells it from a SETUP.EXE of any other session on the
# machine. Fails unless there is exactly one.
setup_pid() {
  local dir found=()
  for dir in /proc/[0-9]*; do
    [ "$(cat "$dir/comm" 2>/dev/null)" = SETUP.EXE ] || continue
    { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    found+=("${dir#/proc/}")
  done
  [ "${#found[@]}" -eq 1 ] || { echo "install bench: ${#found[@]} SETUP.EXE processes in this session" >&2; return 1; }
  echo "${found[0]}"
}

# rchar and wchar of a process, on one line.
io_counters() { awk '$1 == "rchar:" { r = $2 } $1 == "wchar:" { w = $2 } END { print r, w }' "/proc/$1/io"; }

# Waits, at most a minute, for a line of the driver's output.
await_line() {
  local log=$1 line=$2
  for _ in $(seq 600); do
    tr -d '\r' <"$log" 2>/dev/null | grep -qxF "$line" && return 0
    sleep 0.1
  done
  echo "install bench: the driver did not say \"$line\" within a minute" >&2
  return 1
}

# The install step as install_step times it, and besides the bytes that the
# SETUP.EXE process read and wrote during it: the driver holds SETUP.EXE on
# page 5 and on page 7 while /proc/PID/io is read. Prints "SECONDS READ
# WRITTEN".
measured_install_step() {
  local medium=$1 target=$2 hand=$work/handshake log=$work/driver.log pid before after driver_pid t
  rm -rf "${drive_c:?}/$target" "$hand"
  mkdir -p "$hand"
  (cd "$medium" && QV_IO_HANDSHAKE="Z:${hand//\//\\}" run "$driver" "$setup" time-install "C:\\$target") \
    >"$log" 2>&1 &
  driver_pid=$!
  await_line "$log" 'io handshake: page 5'
  pid=$(setup_pid)
  before=$(io_counters "$pid")
  touch "$hand/5"
  await_line "$log" 'io handshake: page 7'
  after=$(io_counters "$pid")
  touch "$hand/7"
  wait "$driver_pid" || { cat "$log" >&2; return 1; }
  t=$(tr -d '\r' <"$log" | sed -n 's/^install step: \([0-9.]*\) s$/\1/p')
  read -r r0 w0 <<<"$before"
  read -r r1 w1 <<<"$after"
  echo "$t $((r1 - r0)) $((w1 - w0))"
}

make_kit() {
  local kit=$1
  printf 'Licence\r\n' >"$kit/LICENSE.TXT"
  printf 'Information\r\n' >"$kit/README.TXT"
  printf '[progman.groups]\r\n' >"$kit/SHELLINK.DAT"
}

echo "install bench: copying $sdk/include and $sdk/lib"
mkdir -p "$work/sdk/files"
cp -rL "$sdk/include" "$sdk/lib" "$work/sdk/files/"
make_kit "$work/sdk"
tree=$work/sdk/files
files=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)
quietly "$kitpack" medium "$work/sdk" "$work/medium" --setup "$setup"
cmp_bytes=$(stat -c %s "$work/medium/DATA.CMP")
tree_bytes=$(find "$tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
find "$tree" "$work/medium" -type f -exec cat {} + >/dev/null  # into the page cache

tree_win="Z:${tree//\//\\}"
best_install="" best_lz="" best_xcopy="" best_start=""
for i in $(seq "$runs"); do
  echo "install bench: run $i of $runs"
  read -r t read_bytes written_bytes <<<"$(measured_install_step "$work/medium" SDK)"
  [ -n "$t" ] || { echo "install bench: the driver did not time the install step" >&2; exit 1; }
  best_install=$(smaller "$t" "$best_install")
  rm -f "$drive_c/DATA.VNX"
  best_lz=$(smaller "$(seconds run "$lzexpand" "Z:${work//\//\\}\\medium\\DATA.CMP" 'C:\DATA.VNX')" "$best_lz")
  rm -rf "$drive_c/XCOPY"
  best_xcopy=$(smaller "$(seconds run xcopy /E /I /Q /Y "$tree_win" 'C:\XCOPY')" "$best_xcopy")
  # A Wine program that does next to nothing: the driver listing its scenarios.
  best_start=$(smaller "$(seconds run "$driver" --list)" "$best_start")
done
identical="DIFFERS from the SDK tree"
diff -r "$tree" "$drive_c/SDK" >/dev/null && identical="byte for byte the SDK tree"
quietly "$kitpack" pack "$tree" -o "$work/packed.vnx"
expanded="lz32's expansion DIFFERS from the archive kitpack packs"
cmp -s "$drive_c/DATA.VNX" "$work/packed.vnx" && expanded="lz32's expansion is the archive kitpack packs, byte for byte"

lz_net=$(awk -v a="$best_lz" -v s="$best_start" 'BEGIN { printf "%.3f", a - s }')
xcopy_net=$(awk -v a="$best_xcopy" -v s="$best_start" 'BEGIN { printf "%.3f", a - s }')
echo
echo "SDK tree: $files files, $bytes bytes; DATA.CMP $cmp_bytes bytes"
echo "Best of $runs runs under Wine, seconds:"
printf '  %-44s %8s\n' "SETUP.EXE install step (Next on page 5 to page 7)" "$best_install"
printf '  %-44s %8s  (%s started from the shell)\n' "lz32 expanding DATA.CMP (lzexpand)" "$lz_net" "$best_lz"
printf '  %-44s %8s  (%s started from the shell)\n' "xcopy /E of the tree" "$xcopy_net" "$best_xcopy"
printf '  %-44s %8s\n' "starting a Wine program that does nothing" "$best_start"
awk -v i="$best_install" -v l="$lz_net" -v x="$xcopy_net" \
  'BEGIN { printf "  install / (lzexpand + xcopy) = %.2f   (goal: 1.5 or less)\n", i / (l + x) }'
echo "  installed tree: $identical"
echo "  $expanded"
archive_bytes=$(stat -c %s "$work/packed.vnx")
echo "Bytes of the SETUP.EXE process during the install step (/proc/PID/io, last run):"
awk -v r="$read_bytes" -v w="$written_bytes" -v c="$cmp_bytes" -v a="$archive_bytes" -v t="$tree_bytes" 'BEGIN {
  printf "  %-8s %12d   least %12d (%s)   ratio %.3f\n", "read", r, c + a, "DATA.CMP + archive", r / (c + a)
  printf "  %-8s %12d   least %12d (%s)   ratio %.3f\n", "written", w, a + t, "archive + tree", w / (a + t)
  printf "  goal: read within 1.02 times the least; written unchanged\n"
}'

echo
echo "Scaling: media of small entries (64 bytes each, 256 to a directory)"
printf '  %8s %10s %14s\n' entries seconds "us per entry"
first_per=""
for n in 1024 4096 16384 65536; do
  kit=$work/scale$n
  mkdir -p "$kit/files"
  make_kit "$kit"
  (cd "$kit/files" && for ((d = 0; d * 256 < n; d++)); do
    dir=$(printf 'D%03d' "$d")
    mkdir -p "$dir"
    for ((f = d * 256; f < (d + 1) * 256 && f < n; f++)); do
      printf 'entry %08d of the scaling medium, 64 bytes long...........\n' "$f" >"$dir/$(printf 'F%05d.TXT' "$f")"
    done
  done)
  quietly "$kitpack" medium "$kit" "$kit/medium" --setup "$setup"
  t=$(install_step "$kit/medium" "SCALE$n")
  [ -n "$t" ] || { echo "install bench: the driver did not time the install step of $n entries" >&2; exit 1; }
  per=$(awk -v t="$t" -v n="$n" 'BEGIN { printf "%.1f", t * 1e6 / n }')
  [ -n "$first_per" ] || first_per=$per
  printf '  %8d %10s %14s\n' "$n" "$t" "$per"
  rm -rf "${drive_c:?}/SCALE$n" "$kit"
done
awk -v a="$per" -v b="$first_per" \
  'BEGIN { printf "  per entry at 65,536 / per entry at 1,024 = %.2f   (goal: 1.5 or less)\n", a / b }'
