#!/usr/bin/env bash
# kitpack as people install it. cmake --install of the build puts kitpack in
# bin/ and its manual page in share/man/man1/, and nothing else; nothing ties
# the installed program to the build tree or to the prefix (no run path, and
# the prefix is moved before it runs); run from another folder, it makes a
# medium of the sample kit without --setup whose SETUP.EXE is byte for byte
# the shipped one, and --version names that SETUP.EXE. The Debian package
# that CPack makes holds the same two files, depends on the libraries
# kitpack loads, and its kitpack says the same.
#   kitpack-installs.sh BUILD_DIR WORK_DIR SAMPLE_KIT SHIPPED_SETUP.EXE VERSION
set -euo pipefail
here=$(dirname "$(realpath "$0")")
build=$(realpath "$1") work=$(realpath -m "$2") kit=$(realpath "$3") shipped=$(realpath -m "$4") version=$5
fail() {
  echo "kitpack-installs: $*" >&2
  exit 1
}
[ -f "$shipped" ] || fail "no shipped SETUP.EXE at $shipped (build the win32 preset first)"
expected=$("$here/carried-identity.sh" "$shipped" "$version")
rm -rf "$work"
mkdir -p "$work/elsewhere"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"
installed=$(cd "$prefix" && find . ! -type d | sort | tr '\n' ' ')
[ "$installed" = "./bin/kitpack ./share/man/man1/kitpack.1 " ] || fail "the prefix holds $installed"
[ -x "$prefix/bin/kitpack" ] || fail "bin/kitpack is not executable"
if readelf -d "$prefix/bin/kitpack" | grep -E 'RPATH|RUNPATH'; then fail "the installed kitpack has a run path"; fi
mv "$prefix" "$work/moved"

cp -r "$kit" "$work/elsewhere/kit"
cd "$work/elsewhere"
"$work/moved/bin/kitpack" medium kit medium >medium.log 2>&1 || fail "kitpack medium failed: $(cat medium.log)"
cmp medium/SETUP.EXE "$shipped" || fail "the medium's SETUP.EXE is not the shipped one"
version_text=$("$work/moved/bin/kitpack" --version)
[ "$version_text" = "$expected" ] || fail "--version prints \"$version_text\", not \"$expected\""
"$work/moved/bin/kitpack" verify medium >/dev/null || fail "the medium does not verify"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
package=$(find "$work/deb" -maxdepth 1 -name '*.deb')
[ "$(wc -w <<<"$package")" = 1 ] || fail "cpack made not one package: $package"
listed=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $NF }' | sort | tr '\n' ' ')
[ "$listed" = "./usr/bin/kitpack ./usr/share/man/man1/kitpack.1 " ] || fail "the package holds $listed"
depends=$(dpkg-deb -f "$package" Depends)
for library in libisofs libstdc++ zlib1g; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done
dpkg-deb -x "$package" "$work/root"
[ "$("$work/root/usr/bin/kitpack" --version)" = "$expected" ] || fail "the packaged kitpack's --version differs"
echo "kitpack-installs: $installed; $(basename "$package"): $listed"
echo "$expected"
