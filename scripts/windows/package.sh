#!/usr/bin/env bash
# Builds the Windows program (scripts/windows/build.sh) and its installer,
# build-windows/package/Elevra-<version>-setup.exe, with makensis.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/windows/build.sh --target windows_installer
ls "$PWD"/build-windows/package/Elevra-*-setup.exe
