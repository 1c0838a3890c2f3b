#!/usr/bin/env bash
# Builds the Windows program, its tests and its installer (scripts/windows/build.sh) and runs every
# Windows test under Wine, with an X server for the ones that need a real display. The end-to-end tests drive
# elevra.exe against the Linux stand simulator, so the Linux build must be there (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/windows/build.sh
# The installer too, for the Linux side's installer test.
scripts/windows/build.sh --target windows_installer
source scripts/windows/env.sh
[ -x build/bin/standsim ] || scripts/setup.sh
export ELEVRA_LINUX_BIN=$PWD/build/bin
export QT_QPA_PLATFORM=offscreen
# One Wine server for the whole run, with the prefix's own services up before two test programs
# start at once (two first starts side by side could hang one of them).
wineserver -p
wine cmd.exe /c exit
trap 'wineserver -k || true' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-windows --output-on-failure --timeout 300 -j "$(nproc)"
# The Linux side of the end-to-end tests: elevra.exe and prompter.exe under Wine against the
# Linux simulator; without a Windows build the Linux suite skips them, so they run again here.
cmake --build build
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure --timeout 300 -R '^tst_wine_'
