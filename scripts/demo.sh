#!/usr/bin/env bash
# Sets up and builds, lays out a demo data folder under build/demo and starts the program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

demo_root=$PWD/build/demo
data_folder=$demo_root/Quillon/Vantora
mkdir -p "$data_folder/Database" "$data_folder/RunOrder" "$data_folder/ports"
for f in elevra.ini elevra.msg DBase0.db; do
  [ -f "$data_folder/$f" ] || cp "data/$f" "$data_folder/$f"
done

export XDG_DATA_DIRS="$demo_root:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
exec build/bin/elevra
