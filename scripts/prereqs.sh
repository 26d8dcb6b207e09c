#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# is not on this machine yet. Fast when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev   # native build, sanitizers, libFuzzer
  googletest                                      # GoogleTest sources, built with our flags
  clang-format                                    # the sources' format, checked by the tests
  g++-mingw-w64-i686 g++-mingw-w64-x86-64         # SETUP.EXE for 32 and 64 bits
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  python3                                         # reads the shipped SETUP.EXE
  wine wine64 wine32:i386 xvfb xauth x11-utils    # the Win32 platform the tests run on, 32 and 64 bits
  locales                                         # locale sources for Wine sessions in code pages 1251, 932, 950
  imagemagick                                     # screenshots to PNG
  mscompress libmspack-dev                        # independent SZDD coder and decoders
  zlib1g-dev libz-mingw-w64-dev                   # CRC-32 of the archive, native and for Windows
  libisofs-dev pkgconf                            # kitpack's CD image
  xorriso genisoimage fuseiso fuse3               # outside readers of the image: isoinfo, xorriso, a FUSE mount
  fonts-wine                                      # the bitmap "MS Sans Serif" of the pictures
  man-db groff-base                               # kitpack's manual page, rendered by its test
  dpkg-dev                                        # dpkg-shlibdeps, for kitpack's Debian package
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
# The 32-bit Wine comes from Debian's i386 architecture, beside the machine's
# own. It installs on any amd64 machine; whether the kernel can run it is
# found out when the tests are configured (tests/e2e/can-run-32bit.sh).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "prereqs: adding the i386 architecture for the 32-bit Wine"
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
