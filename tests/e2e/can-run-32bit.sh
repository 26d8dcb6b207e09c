#!/usr/bin/env bash
# Tells whether this machine runs 32-bit Windows programs under Wine. That
# needs Debian's 32-bit Wine (wine32:i386), and a kernel that executes 32-bit
# programs, which some kernels cannot ("Exec format error"). Prints "yes", or
# the reason why not on one line; exits 0 only for yes.
# QV_E2E_32BIT=0 answers no, as such a machine would, so that the 64-bit road
# can be tried where both would work.
set -uo pipefail
loader=/usr/lib/wine/wine
if [ "${QV_E2E_32BIT:-}" = 0 ]; then
  echo "QV_E2E_32BIT=0 takes the road of a machine without 32-bit programs"
  exit 1
fi
if [ ! -x "$loader" ]; then
  echo "32-bit Wine is not installed ($loader, Debian's wine32:i386)"
  exit 1
fi
if ! out=$("$loader" --version 2>&1); then
  echo "this machine cannot execute 32-bit programs: $loader --version failed: $(echo "$out" | head -n1)"
  exit 1
fi
echo yes
