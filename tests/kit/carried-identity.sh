#!/usr/bin/env bash
# What kitpack --version must print for a kitpack of VERSION that carries the
# given SETUP.EXE: its size and zlib's CRC-32 of it.
#   carried-identity.sh SETUP.EXE VERSION
set -euo pipefail
setup=$1 version=$2
crc=$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$setup")
printf 'kitpack %s\nSETUP.EXE carried: %s bytes, CRC-32 %s\n' "$version" "$(stat -c %s "$setup")" "$crc"
