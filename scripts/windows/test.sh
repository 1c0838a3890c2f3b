#!/usr/bin/env bash
# Builds the Windows program and its tests (scripts/windows/build.sh) and runs every Windows test
# under Wine, with an X server for the ones that need a real display. The end-to-end tests drive
# elevra.exe against the Linux stand simulator, so the Linux build must be there (scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/windows/build.sh
source scripts/windows/env.sh
[ -x build/bin/standsim ] || scripts/setup.sh
export ELEVRA_LINUX_BIN=$PWD/build/bin
export QT_QPA_PLATFORM=offscreen
# One Wine server for the whole run: it starts once instead of once per program.
wineserver -p
trap 'wineserver -k || true' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-windows --output-on-failure --timeout 300 -j "$(nproc)"
