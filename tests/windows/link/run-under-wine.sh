#!/bin/sh
# Runs a Windows test program of a Windows build under Wine, in the Wine prefix WINE_TEST_PREFIX,
# with an X server of its own: Wine's DDE and clipboard need a display, which Qt's offscreen
# platform does not give Wine. Without a Windows build the test is skipped (77).
program=$1
shift
if [ ! -f "$program" ]; then
  echo "skipped: no Windows build at $program (scripts/windows/build.sh)"
  exit 77
fi
export WINEPREFIX="$WINE_TEST_PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
log=$(mktemp)
cd "$(dirname "$program")" || exit 1
# Under Wine, Qt Test's results do not reach a pipe, so they go through a file.
xvfb-run -a wine "$program" -o "Z:$log,txt" "$@" >/dev/null 2>&1
status=$?
cat "$log"
rm -f "$log"
exit $status
