#!/usr/bin/env bash
# Builds Elevra for 64-bit Windows with MinGW-w64 into build-windows/: build-windows/bin holds
# elevra.exe with everything it needs beside it (Qt, the MinGW runtime, liblo, Elevra.chm) and
# the defaults under data/. Qt, liblo and chmlib come from QT_WINDOWS_PREFIX,
# LIBLO_WINDOWS_PREFIX and CHMLIB_WINDOWS_PREFIX, or are built once per machine (scripts/windows/env.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows/env.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f build-windows/CMakeCache.txt ]; then
  cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$QT_WINDOWS_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DLIBLO_WINDOWS_PREFIX="$LIBLO_WINDOWS_PREFIX" -DCHMLIB_WINDOWS_PREFIX="$CHMLIB_WINDOWS_PREFIX" \
    "${launcher[@]}"
fi
cmake --build build-windows --parallel "$(nproc)" "$@"
