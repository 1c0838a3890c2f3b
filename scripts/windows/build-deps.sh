#!/usr/bin/env bash
# Builds the two C libraries the program needs besides Qt for 64-bit Windows with MinGW-w64:
# liblo 0.31 (the OSC codec; the same version Debian 12 ships for Linux) and chmlib 0.40
# (the help file reader). A library whose source cannot be had is left out, and said so.
#
#   build-deps.sh TOOLCHAIN_FILE LIBLO_PREFIX CHMLIB_PREFIX [LIBLO_SOURCE_DIR]
#
# Sources: Debian's own source packages (apt-get source, through a private deb-src list at the
# address this machine already uses for Debian's packages). Where the archive lacks liblo's
# source, pass a folder holding the liblo 0.31 release source instead.
set -euo pipefail
toolchain=$1 lo_prefix=$2 chm_prefix=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/apt/lists/partial"
archive=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[ -n "$archive" ] || archive=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
  "$archive" > "$work/apt/src.sources"
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt" -o Dir::State::Lists="$work/apt/lists")
apt-get "${apt_opts[@]}" update

# liblo, with its own CMake build; the library only.
lo_src=
if [ $# -ge 1 ]; then
  lo_src=$1
elif (cd "$work" && apt-get "${apt_opts[@]}" source --download-only liblo=0.31-1); then
  tar -C "$work" -xzf "$work/liblo_0.31.orig.tar.gz"
  lo_src="$work/liblo-0.31"
else
  echo "liblo's source is not in the archive: set LIBLO_WINDOWS_PREFIX to a liblo 0.31 built for Windows," \
       "or pass liblo's source folder to this script" >&2
fi
[ -z "$lo_src" ] || {
cmake -G Ninja -S "$lo_src/cmake" -B "$work/lo-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$lo_prefix" \
  -DWITH_TOOLS=OFF -DWITH_TESTS=OFF -DWITH_EXAMPLES=OFF -DWITH_CPP_TESTS=OFF
cmake --build "$work/lo-build"
cmake --install "$work/lo-build"
sed -i 's|^prefix=.*|prefix=${pcfiledir}/../..|' "$lo_prefix/lib/pkgconfig/liblo.pc"
cat > "$lo_prefix/lib/cmake/liblo/libloConfig.cmake" <<'CONFIG'
get_filename_component(_liblo_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(LIBLO_INCLUDE_DIRS "${_liblo_prefix}/include")
set(LIBLO_LIBRARIES "${_liblo_prefix}/lib/liblo.dll.a")
set(LIBLO_DLL "${_liblo_prefix}/bin/liblo.dll")
CONFIG
}

# chmlib: two C files, built as a static library (its old autotools build does not know MinGW;
# the C library there has no ffs(), the compiler's builtin stands in).
(cd "$work" && apt-get "${apt_opts[@]}" source --download-only chmlib=0.40a-8)
tar -C "$work" -xzf "$work/chmlib_0.40a.orig.tar.gz"
out="$chm_prefix"
mkdir -p "$out/lib" "$out/include"
(cd "$work/chmlib-0.40/src" &&
  x86_64-w64-mingw32-gcc-posix -O2 -Dffs=__builtin_ffs -c chm_lib.c lzx.c &&
  x86_64-w64-mingw32-ar rcs "$out/lib/libchm.a" chm_lib.o lzx.o &&
  cp chm_lib.h "$out/include/")
echo "chmlib for Windows installed in $chm_prefix"
