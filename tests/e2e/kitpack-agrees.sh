#!/usr/bin/env bash
# kitpack.exe, under Wine, and the native kitpack agree on kits whose names go
# past ASCII, or that setup cannot write: the same trees give the same archive
# bytes in each code page, and kitpack.exe's extract gives the tree back; the
# same names are refused for the same reasons, in the same words (a character
# the code page lacks, one that 950 holds twice, letters equal without case, a
# directory named like the archive, a directory's path too long, a device by
# the code page's superscript digit), and the same accepted (letters that only
# look alike, a byte that is a superscript elsewhere, characters whose second
# byte is 0x5C, which both split names at alike). The tree is made here with
# UTF-8 names, which the session's locale has Wine read as such. And they
# agree on a medium of several of the compressor's blocks, for any number of
# jobs; kitpack.exe reads its payload back through the platform's LZ library.
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
links=/tmp/qa$$
trap 'rm -f "$links"-*' EXIT

# The refusals in a kitpack log, one a line as NAME: REASON, the name below
# the tree with '/' between its components, whichever platform wrote it.
#   refusals LOG TREE_PREFIX
refusals() {
  local line rest name
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ $line == "kitpack: $2"* ]] || continue
    rest=${line#"kitpack: $2"}
    name=${rest%%: *}
    printf '%s: %s\n' "${name//\\//}" "${rest#*: }"
  done <"$1"
}

# case CODEPAGE WHY REFUSED NAME...: packs the names (files holding their own
# names) with both kitpacks. REFUSED empty: both must pack them into the same
# bytes, which kitpack.exe extracts back into the same tree. Otherwise both
# must fail, refusing the same names for the same reasons, among them the
# refusal REFUSED (NAME: REASON, or its start).
case_() {
  local page=$1 why=$2 refused=$3
  shift 3
  local dir=$work/$page-$((++cases))
  mkdir -p "$dir/tree"
  for name in "$@"; do
    mkdir -p "$(dirname "$dir/tree/$name")"
    printf '%s\n' "$name" >"$dir/tree/$name"
  done
  # kitpack.exe reads the tree through a short link: like any program that
  # does not ask for long paths, it reads no directory whose path is longer
  # than MAX_PATH, and the longest names here come near that by themselves.
  local short=$links-$cases
  ln -sfn "$dir/tree" "$short"
  local got=0 gotExe=0 status=0
  [ -z "$refused" ] || status=1
  "$native" pack "$dir/tree" -o "$dir/native.vnx" --codepage "$page" >"$dir/native.log" 2>&1 || got=$?
  "$here/wine-run.sh" "$session" 60 "$exe" pack "$(windows "$short")" -o "$(windows "$dir/exe.vnx")" \
    --codepage "$page" >"$dir/exe.log" 2>&1 || gotExe=$?
  if [ "$got" != "$status" ] || [ "$gotExe" != "$status" ]; then
    fail "$page, $why: the native kitpack ended with $got, kitpack.exe with $gotExe, expected $status"
    cat "$dir/native.log" "$dir/exe.log" >&2
    return
  fi
  if [ "$status" != 0 ]; then
    refusals "$dir/native.log" "$dir/tree/" >"$dir/native.refused"
    refusals "$dir/exe.log" "$(windows "$short")\\" >"$dir/exe.refused"
    grep -qF -- "$refused" "$dir/native.refused" ||
      { fail "$page, $why: the native kitpack does not refuse $refused"; cat "$dir/native.log" >&2; return; }
    diff "$dir/native.refused" "$dir/exe.refused" >&2 ||
      fail "$page, $why: kitpack.exe (>) refuses other names, or for other reasons, than the native kitpack (<)"
    return 0
  fi
  cmp -s "$dir/native.vnx" "$dir/exe.vnx" || { fail "$page, $why: the two archives differ"; return; }
  "$here/wine-run.sh" "$session" 60 "$exe" extract "$(windows "$dir/exe.vnx")" -C "$(windows "$dir/out")" \
    --codepage "$page" >"$dir/extract.log" 2>&1 || { fail "$page, $why: kitpack.exe cannot extract"; return; }
  diff -r "$dir/tree" "$dir/out" >&2 || fail "$page, $why: kitpack.exe's extract does not give the tree back"
}
cases=0

# 237 characters that the format can store: an "a" at index 122 would be
# stored as a zero byte.
long=$(printf 'a%.0s' {1..122})b$(printf 'a%.0s' {1..114})

case_ 1252 "the euro sign, Œ and an em dash in a directory's and files' names" "" \
  "DOC/€uro — Œuvre.txt" "Œuvres/Ärger € 100.txt" "Œuvres/naïve.txt" "ÿ.txt" "BIN/QCC.CFG"
case_ 1251 "Cyrillic" "" "Документы/Привет.txt" "Документы/Ёлка — новогодняя.txt" "Ёжик.txt"
case_ 1250 "Central European" "" "Łódź/Żółć.txt"
case_ 1253 "Greek, the micro sign beside Mu" "" "Ωμέγα.txt" "µ.txt" "Μ.txt"
case_ 1254 "Turkish dotless and dotted i" "" "ı.txt" "I.txt" "İ.txt" "ş.txt"
case_ 1257 "Baltic" "" "Ąžuolas.txt"
case_ 874 "Thai" "" "ภาษา.txt"
case_ 1256 "Arabic" "" "كتاب.txt"
case_ 932 "Japanese" "" "資料/アイ.txt" "Ｑ.txt"
case_ 936 "Simplified Chinese" "" "中文/文件.txt"
case_ 949 "Korean" "" "한글/파일.txt"
case_ 950 "Traditional Chinese" "" "軟體/說明.txt"
case_ 932 "second bytes 0x5C in a directory's and files' names" "" \
  "ソフトウェア/表示.txt" "ソフトウェア/ｿﾌﾄ/能力.txt" "十予定.txt"
case_ 936 "a second byte 0x5C" "" "乗/乗.txt"
case_ 950 "second bytes 0x5C" "" "功能/許可.txt"
case_ 932 "COM and the katakana that is 0xB2" "" "COMｲ.txt"
case_ 1251 "LPT and the Cyrillic I that is 0xB2" "" "LPTІ.txt"
case_ 1252 "Ä and ä" "ärger.txt: differs only in case" "Ärger.txt" "ärger.txt"
case_ 1252 "ÿ and Ÿ" "ÿ.txt: differs only in case" "ÿ.txt" "Ÿ.txt"
case_ 1251 "Ё and ё" "ёлка.txt: differs only in case" "Ёлка.txt" "ёлка.txt"
case_ 1253 "Ω and ω" "ω.txt: differs only in case" "Ω.txt" "ω.txt"
case_ 932 "full-width Ｑ and ｑ" "ｑ.txt: differs only in case" "Ｑ.txt" "ｑ.txt"
case_ 1252 "a character 1252 lacks" "日本.txt: the name holds U+65E5" "日本.txt"
case_ 950 "a box-drawing character that 950 holds twice" "═.txt: the name holds U+2550" "═.txt"
case_ 932 "the yen sign, which iconv alone would write as a backslash" "¥.txt: the name holds U+00A5" "¥.txt"
case_ 1252 "a directory named like the archive" "Data.Vnx/README.TXT: the first component is DATA.VNX" \
  "GOOD.TXT" "Data.Vnx/README.TXT"
case_ 1252 "a directory's path of 248 characters below C:\\QUENV98" "$long/F.TXT: joined to the installation directory" \
  "GOOD.TXT" "$long/F.TXT"
case_ 1252 "COM and the superscript two that is 0xB2" "COM².txt: a component is named like a device" "COM².txt"

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
