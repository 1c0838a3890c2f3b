#!/usr/bin/env bash
# Sets up, builds and runs every test; windows are drawn on Qt's offscreen platform. As root, the
# package test follows: it installs the Debian package, runs it and purges it again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300 -j "$(nproc)"
if [ "$(id -u)" -eq 0 ]; then
  scripts/package-test.sh
else
  echo "package test skipped: it installs the package, run sudo scripts/package-test.sh" >&2
fi
