#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what clang-format makes
# of it with the repository's .clang-format, naming each file and line.
#   check-format.sh REPOSITORY
set -euo pipefail
cd "$1"
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (scripts/prereqs.sh)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
[ ${#files[@]} -gt 0 ] || { echo "check-format: found no sources in $1" >&2; exit 1; }
clang-format --dry-run -Werror "${files[@]}"
echo "check-format: ${#files[@]} files as clang-format makes them"
