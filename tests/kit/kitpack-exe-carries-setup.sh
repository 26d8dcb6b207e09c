#!/usr/bin/env bash
# kitpack.exe under Wine carries the shipped 32-bit SETUP.EXE, whichever
# Windows build it is: run from a folder of its own, it makes a medium of
# the sample kit without --setup whose SETUP.EXE is byte for byte the shipped
# one, and --version names that SETUP.EXE.
#   kitpack-exe-carries-setup.sh WINE_RUN SESSION_DIR KITPACK.EXE SAMPLE_KIT SHIPPED_SETUP.EXE VERSION WORK_DIR
set -euo pipefail
here=$(dirname "$(realpath "$0")")
wine_run=$1 session=$2 kitpack=$(realpath "$3") kit=$(realpath "$4") shipped=$(realpath -m "$5") version=$6 work=$(realpath -m "$7")
fail() {
  echo "kitpack.exe carries SETUP.EXE: $*" >&2
  exit 1
}
[ -f "$shipped" ] || fail "no shipped SETUP.EXE at $shipped (build the win32 preset first)"
expected=$("$here/carried-identity.sh" "$shipped" "$version")
rm -rf "$work"
mkdir -p "$work"
cp -r "$kit" "$work/kit"
cd "$work"
"$wine_run" "$session" 60 "$kitpack" medium kit medium >medium.log 2>&1 || fail "kitpack.exe medium failed: $(cat medium.log)"
cmp medium/SETUP.EXE "$shipped" || fail "the medium's SETUP.EXE is not the shipped one"
version_text=$("$wine_run" "$session" 60 "$kitpack" --version | tr -d '\r')
[ "$version_text" = "$expected" ] || fail "--version prints \"$version_text\", not \"$expected\""
echo "kitpack.exe carries the shipped SETUP.EXE; --version:"
echo "$version_text"
