#!/usr/bin/env bash
# kitpack.exe, under Wine, and the native kitpack agree on kits whose names go
# past ASCII: the same trees give the same archive bytes in each code page,
# the same names are refused (a character the code page lacks, letters equal
# without case, a second byte setup would split at) and the same accepted
# (letters that only look alike), and kitpack.exe's extract gives the tree
# back. The tree is made here with UTF-8 names, which the session's locale
# has Wine read as such. And they agree on a medium of several of the
# compressor's blocks, for any number of jobs; kitpack.exe reads its payload
# back through the platform's LZ library.
#   kitpack-agrees.sh SESSION_DIR WORK_DIR NATIVE_KITPACK KITPACK.EXE
set -euo pipefail
here=$(dirname "$(realpath "$0")")
session=$(realpath -m "$1") work=$(realpath -m "$2") native=$3 exe=$(realpath "$4")
[ -x "$native" ] || { echo "kitpack-agrees: no native kitpack at $native (build the native preset first)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "kitpack-agrees: $*" >&2
  failures=$((failures + 1))
}
windows() { echo "Z:${1//\//\\}"; }

# case CODEPAGE WHY STATUS NAME...: packs the names (files holding their own
# names) with both kitpacks; both must end with STATUS, and when that is 0
# give the same bytes, which kitpack.exe extracts back into the same tree.
case_() {
  local page=$1 why=$2 status=$3
  shift 3
  local dir=$work/$page-$((++cases))
  mkdir -p "$dir/tree"
  for name in "$@"; do
    mkdir -p "$(dirname "$dir/tree/$name")"
    printf '%s\n' "$name" >"$dir/tree/$name"
  done
  local got=0 gotExe=0
  "$native" pack "$dir/tree" -o "$dir/native.vnx" --codepage "$page" >"$dir/native.log" 2>&1 || got=$?
  "$here/wine-run.sh" "$session" 60 "$exe" pack "$(windows "$dir/tree")" -o "$(windows "$dir/exe.vnx")" \
    --codepage "$page" >"$dir/exe.log" 2>&1 || gotExe=$?
  if [ "$got" != "$status" ] || [ "$gotExe" != "$status" ]; then
    fail "$page, $why: the native kitpack ended with $got, kitpack.exe with $gotExe, expected $status"
    cat "$dir/native.log" "$dir/exe.log" >&2
    return
  fi
  [ "$status" = 0 ] || return 0
  cmp -s "$dir/native.vnx" "$dir/exe.vnx" || { fail "$page, $why: the two archives differ"; return; }
  "$here/wine-run.sh" "$session" 60 "$exe" extract "$(windows "$dir/exe.vnx")" -C "$(windows "$dir/out")" \
    --codepage "$page" >"$dir/extract.log" 2>&1 || { fail "$page, $why: kitpack.exe cannot extract"; return; }
  diff -r "$dir/tree" "$dir/out" >&2 || fail "$page, $why: kitpack.exe's extract does not give the tree back"
}
cases=0

case_ 1252 "the euro sign, Œ and an em dash in a directory's and files' names" 0 \
  "DOC/€uro — Œuvre.txt" "Œuvres/Ärger € 100.txt" "Œuvres/naïve.txt" "ÿ.txt" "BIN/QCC.CFG"
case_ 1251 "Cyrillic" 0 "Документы/Привет.txt" "Документы/Ёлка — новогодняя.txt" "Ёжик.txt"
case_ 1250 "Central European" 0 "Łódź/Żółć.txt"
case_ 1253 "Greek, the micro sign beside Mu" 0 "Ωμέγα.txt" "µ.txt" "Μ.txt"
case_ 1254 "Turkish dotless and dotted i" 0 "ı.txt" "I.txt" "İ.txt" "ş.txt"
case_ 1257 "Baltic" 0 "Ąžuolas.txt"
case_ 874 "Thai" 0 "ภาษา.txt"
case_ 1256 "Arabic" 0 "كتاب.txt"
case_ 932 "Japanese" 0 "資料/アイ.txt" "Ｑ.txt"
case_ 936 "Simplified Chinese" 0 "中文/文件.txt"
case_ 949 "Korean" 0 "한글/파일.txt"
case_ 1252 "Ä and ä" 1 "Ärger.txt" "ärger.txt"
case_ 1252 "ÿ and Ÿ" 1 "ÿ.txt" "Ÿ.txt"
case_ 1251 "Ё and ё" 1 "Ёлка.txt" "ёлка.txt"
case_ 1253 "Ω and ω" 1 "Ω.txt" "ω.txt"
case_ 932 "full-width Ｑ and ｑ" 1 "Ｑ.txt" "ｑ.txt"
case_ 1252 "a character 1252 lacks" 1 "日本.txt"
case_ 932 "a second byte that is a backslash" 1 "表.txt"
case_ 932 "the yen sign, which iconv alone would write as a backslash" 1 "¥.txt"

# medium_case JOBS...: the medium of a kit of several compressor blocks, made
# by kitpack.exe with each number of jobs ("" for the default), must hold
# the native kitpack's DATA.CMP; kitpack.exe verifies and extracts it.
medium_case() {
  local dir=$work/medium kit=$work/medium/kit
  mkdir -p "$kit/files/LIB"
  head -c 1500000 /dev/urandom >"$kit/files/LIB/PACKED.BIN"
  { yes "Quenvar 98 kit, $(date +%N)" || true; } | head -c 2500000 >"$kit/files/LIB/TEXT.TXT"
  printf 'Licence\r\n' >"$kit/LICENSE.TXT"
  printf 'Information\r\n' >"$kit/README.TXT"
  printf '[Quenvar 98]\r\n' >"$kit/SHELLINK.DAT"
  "$native" medium "$kit" "$dir/native" >"$dir/native.log" 2>&1 || { fail "medium: the native kitpack fails"; return; }
  local jobs
  for jobs in "$@"; do
    cases=$((cases + 1))
    "$here/wine-run.sh" "$session" 120 "$exe" medium "$(windows "$kit")" "$(windows "$dir/exe$jobs")" \
      ${jobs:+--jobs "$jobs"} >"$dir/exe.log" 2>&1 || { fail "medium, jobs ${jobs:-default}: kitpack.exe fails"; continue; }
    cmp -s "$dir/native/DATA.CMP" "$dir/exe$jobs/DATA.CMP" ||
      fail "medium, jobs ${jobs:-default}: kitpack.exe's DATA.CMP differs from the native one"
  done
  cases=$((cases + 1))
  "$here/wine-run.sh" "$session" 120 "$exe" extract "$(windows "$dir/exe/DATA.CMP")" -C "$(windows "$dir/out")" \
    >"$dir/extract.log" 2>&1 || { fail "medium: kitpack.exe cannot verify and extract its payload"; return; }
  diff -r "$kit/files" "$dir/out" >&2 || fail "medium: kitpack.exe's extract does not give the tree back"
}
medium_case 1 2 ""

if [ "$failures" -gt 0 ]; then
  echo "kitpack-agrees: $failures of $cases cases disagree" >&2
  exit 1
fi
echo "kitpack-agrees: kitpack.exe and the native kitpack agree on $cases cases"
