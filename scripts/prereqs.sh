#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# is not on this machine yet. Fast when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev   # native build, sanitizers, libFuzzer
  googletest                                      # GoogleTest sources, built with our flags
  g++-mingw-w64-i686 g++-mingw-w64-x86-64         # SETUP.EXE for 32 and 64 bits
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-utils                        # the Win32 platform the tests run on
  imagemagick                                     # screenshots to PNG
  mscompress libmspack-dev                        # independent SZDD coder and decoders
  zlib1g-dev libz-mingw-w64-dev                   # CRC-32 of the archive, native and for Windows
  libisofs-dev pkgconf                            # kitpack's CD image
  xorriso genisoimage fuseiso fuse3               # outside readers of the image: isoinfo, xorriso, a FUSE mount
  fonts-wine                                      # the bitmap "MS Sans Serif" of the pictures
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "prereqs: installing ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
