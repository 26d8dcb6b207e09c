#!/usr/bin/env bash
# kitpack's manual page renders cleanly and agrees with kitpack --help, which
# is read here rather than listed, so that a new command or option must reach
# the page (and the README) to pass: every option of --help is an entry of the
# page's OPTIONS and the other way round, every command is in the SYNOPSIS
# and described, the exit codes are the same, and the README names every
# option and command too.
#   manual-page.sh KITPACK PAGE README
set -euo pipefail
kitpack=$1 page=$2 readme=$3
failures=0
fail() {
  echo "manual-page: $*" >&2
  failures=$((failures + 1))
}

help=$("$kitpack" --help)
# Options: a word of one dash and a letter, or two dashes and a name, that
# does not go on from another word (A-Z, UTF-8 and byte-order are none).
options() { grep -oE -- '(^|[^A-Za-z0-9_-])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[^-]+//' | sort -u; }
helpOptions=$(options <<<"$help")
helpCommands=$(sed -nE 's/^  kitpack ([a-z]+).*/\1/p' <<<"$help" | sort -u)
if [ -z "$helpOptions" ] || [ -z "$helpCommands" ]; then
  echo "manual-page: no options or commands read from --help" >&2
  exit 1
fi

# Rendered as a reader sees it, wide enough that no entry is broken, with
# groff's warnings on.
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
rendered=$(MANWIDTH=200 man --warnings -E ascii -l "$page" 2>"$warnings") || fail "man cannot render $page"
[ ! -s "$warnings" ] || fail "man warns about $page: $(cat "$warnings")"
lexgrog "$page" >/dev/null || fail "the NAME section is not one that whatis and apropos read"

# section NAME: the section's lines, without its heading; subsection NAME
# the same for a subsection.
section() { awk -v name="$1" '/^[A-Z]/ { inside = ($0 == name); next } inside' <<<"$rendered"; }
subsection() { awk -v name="   $1" '/^ ? ? ?[A-Z]/ { inside = ($0 == name); next } inside' <<<"$rendered"; }
for name in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES; do
  [ -n "$(section "$name")" ] || fail "no section $name"
done

pageOptions=$(section OPTIONS | sed -nE 's/^       (-[^ ]+).*/\1/p' | sort -u)
pageCommands=$(section SYNOPSIS | sed -nE 's/^ +kitpack ([a-z]+).*/\1/p' | sort -u)
described=$(subsection Commands | sed -nE 's/^       ([a-z]+) .*/\1/p' | sort -u)
while read -r option; do
  grep -qxF -- "$option" <<<"$pageOptions" || fail "$option is in --help but has no entry under OPTIONS"
  grep -qE -- "(^|[^A-Za-z0-9_-])$option([^A-Za-z0-9_-]|$)" "$readme" || fail "$option is in --help but not in the README"
done <<<"$helpOptions"
while read -r option; do
  grep -qxF -- "$option" <<<"$helpOptions" || fail "$option has an entry under OPTIONS but is not in --help"
done <<<"$pageOptions"
while read -r command; do
  grep -qxF "$command" <<<"$pageCommands" || fail "the command $command is in --help but not in the SYNOPSIS"
  grep -qxF "$command" <<<"$described" || fail "the command $command is in --help but has no entry under Commands"
  grep -qE "kitpack $command|\`$command " "$readme" || fail "the command $command is in --help but not in the README"
done <<<"$helpCommands"
while read -r command; do
  grep -qxF "$command" <<<"$helpCommands" || fail "the command $command is in the SYNOPSIS but not in --help"
done <<<"$pageCommands"

# The exit codes: "Exit status: 0 success, 1 failure, 2 wrong usage." in
# --help, an entry each under EXIT STATUS.
helpCodes=$(sed -nE 's/.*Exit status: //p' <<<"$help" | grep -oE '[0-9]+' | sort -u)
pageCodes=$(section "EXIT STATUS" | sed -nE 's/^       ([0-9]+) .*/\1/p' | sort -u)
if [ -z "$helpCodes" ] || [ "$helpCodes" != "$pageCodes" ]; then
  fail "exit codes: --help gives $(tr '\n' ' ' <<<"$helpCodes"), the page $(tr '\n' ' ' <<<"$pageCodes")"
fi

if [ "$failures" -gt 0 ]; then
  echo "manual-page: $failures disagreements between $page, kitpack --help and $readme" >&2
  exit 1
fi
echo "manual-page: $(wc -l <<<"$helpOptions") options and $(wc -l <<<"$helpCommands") commands agree"
