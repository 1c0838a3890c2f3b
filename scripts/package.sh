#!/usr/bin/env bash
# Sets up and builds, then makes the Debian package and prints its path:
# build/package/elevra_<version>_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2
rm -f build/package/elevra_*.deb
if ! (cd build && cpack -G DEB > cpack.log 2>&1); then
  cat build/cpack.log >&2
  exit 1
fi
ls "$PWD"/build/package/elevra_*_amd64.deb
