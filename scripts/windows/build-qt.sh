#!/usr/bin/env bash
# Builds Qt 6.4.2 (Core, Gui, Widgets, PrintSupport, Network, Test and the Windows platform and
# style plugins) for 64-bit Windows with MinGW-w64, from Debian's own qt6-base source package:
# the same Qt version that Debian 12 ships for Linux, so one code base builds against both.
#
#   build-qt.sh PREFIX
#
# Needs: g++-mingw-w64-x86-64-posix mingw-w64-tools cmake ninja-build qt6-base-dev
# qt6-base-dev-tools (the Linux Qt's moc, rcc and uic are used as the host tools).
# Takes about 40 minutes on two cores.
set -euo pipefail
prefix=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/apt/lists/partial" "$work/src"

# Debian's source archive at the address this machine already uses for Debian's packages,
# reached through a private list so the system's apt setup is untouched.
archive=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[ -n "$archive" ] || archive=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$archive" ] || { echo "no Debian archive configured for apt" >&2; exit 1; }
cat > "$work/apt/src.sources" <<SOURCES
Types: deb-src
URIs: $archive
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt"
          -o Dir::State::Lists="$work/apt/lists")
apt-get "${apt_opts[@]}" update
(cd "$work/src" && apt-get "${apt_opts[@]}" source --download-only qt6-base=6.4.2+dfsg-10)
tar -C "$work/src" -xJf "$work/src/qt6-base_6.4.2+dfsg.orig.tar.xz"
qt="$work/src/qtbase-everywhere-src-6.4.2"

# Debian's source leaves out the Wintab header (its licence); build the Windows platform plugin
# without Wintab tablets (pen input still arrives through the Windows pointer messages).
win="$qt/src/plugins/platforms/windows"
grep -rl 'QT_CONFIG(tabletevent)' "$win" | xargs sed -i 's/QT_CONFIG(tabletevent)/0 \/* no Wintab header in this source *\//g'
for plugin in "$win" "$qt/src/plugins/platforms/direct2d"; do
  sed -i 's/CONDITION QT_FEATURE_tabletevent$/CONDITION QT_FEATURE_tabletevent AND FALSE/' "$plugin/CMakeLists.txt"
done

cat > "$work/mingw.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN

cmake -G Ninja -S "$qt" -B "$work/build" \
  -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_sql=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_dbus=OFF -DFEATURE_openssl=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
cmake --build "$work/build" --parallel "$(nproc)"
cmake --install "$work/build"

# Make the prefix relocatable: the MinGW toolchain file goes inside it, and Qt's own toolchain
# file chain-loads it from there, so projects need only
#   -DCMAKE_TOOLCHAIN_FILE=$prefix/lib/cmake/Qt6/qt.toolchain.cmake
cp "$work/mingw.cmake" "$prefix/mingw-w64-x86_64.cmake"
sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")$|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64-x86_64.cmake")|' \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
echo "Qt for Windows installed in $prefix"
