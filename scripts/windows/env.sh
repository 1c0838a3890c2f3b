# Sourced by the Windows scripts: finds (or builds once per machine) Qt, liblo and chmlib for
# Windows, installs the cross tools and Wine, and sets the Wine prefix the tests use.
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
                  wine wine64 nsis xvfb xauth cmake ninja-build qt6-base-dev qt6-base-dev-tools fp-utils)
missing=()
for p in "${windows_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cache=${ELEVRA_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/elevra-windows}
QT_WINDOWS_PREFIX=${QT_WINDOWS_PREFIX:-$cache/qt6.4.2-mingw64}
LIBLO_WINDOWS_PREFIX=${LIBLO_WINDOWS_PREFIX:-$cache/liblo-0.31-mingw64}
CHMLIB_WINDOWS_PREFIX=${CHMLIB_WINDOWS_PREFIX:-$cache/chmlib-0.40-mingw64}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ ! -f "$QT_WINDOWS_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  echo "Building Qt for Windows into $QT_WINDOWS_PREFIX (once per machine, about 40 minutes)" >&2
  "$here/build-qt.sh" "$QT_WINDOWS_PREFIX"
fi
if [ ! -f "$LIBLO_WINDOWS_PREFIX/lib/cmake/liblo/libloConfig.cmake" ] || [ ! -f "$CHMLIB_WINDOWS_PREFIX/lib/libchm.a" ]; then
  "$here/build-deps.sh" "$QT_WINDOWS_PREFIX/mingw-w64-x86_64.cmake" "$LIBLO_WINDOWS_PREFIX" "$CHMLIB_WINDOWS_PREFIX" ${LIBLO_SOURCE_DIR:+"$LIBLO_SOURCE_DIR"}
fi
[ -f "$LIBLO_WINDOWS_PREFIX/lib/cmake/liblo/libloConfig.cmake" ] ||
  { echo "missing: liblo for Windows (LIBLO_WINDOWS_PREFIX)" >&2; exit 1; }
export QT_WINDOWS_PREFIX LIBLO_WINDOWS_PREFIX CHMLIB_WINDOWS_PREFIX

# The tests' own Wine prefix, made once; no desktop integration, no Mono or Gecko prompts.
export WINEPREFIX=${WINEPREFIX:-$cache/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
